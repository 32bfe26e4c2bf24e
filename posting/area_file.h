// Line-by-line reading of an area configuration file.
#pragma once

#include <functional>
#include <string>

#include "platform/env.h"

namespace vex {

// Calls visit with every line of the file (at most 255 bytes each) until it
// returns false.  False when the file cannot be opened.
bool ForEachAreaLine(Env& env, const std::string& path,
                     const std::function<bool(const std::string&)>& visit);

}  // namespace vex
