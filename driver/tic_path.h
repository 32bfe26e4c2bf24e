// What is wrong with a TICPATH value: a run logs it as an error line before
// the scan (which still runs as written), and the check reports it with a
// fix.  A value that names an existing, readable directory and ends with
// "/" is sound, empty or not.
#pragma once

#include <string>

#include "platform/env.h"

namespace vex {

struct TicPathFault {
  std::string reason;  // empty when the value is sound
  std::string fix;
};

// mask is the TIC file mask the line's scan uses.
TicPathFault CheckTicPath(Env& env, const std::string& value, const std::string& mask);

}  // namespace vex
