// JAM message bases: a header file (.jhr), an index (.jdx), a text file
// (.jdt) and a last-read file (.jlr) that share one name.
#pragma once

#include <memory>
#include <string>

#include "msgbase/base.h"

namespace vex {

// Opens the JAM base `path` (its name without an extension); for writing,
// under its lock, and a missing base is created.
Status OpenJam(Env& env, const std::string& path, BaseMode mode, const OpenOptions& options,
               std::unique_ptr<Base>* base);

}  // namespace vex
