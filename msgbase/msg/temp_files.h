// The hidden temporary files in which new messages are written before a
// hard link gives them their numbers.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"

namespace vex::msg {

// A new temporary file in the folder `dir` (with its closing slash),
// locked for as long as its writer holds it; *path names it.  Temporaries
// whose writer is gone are removed when they are in the way.  Null, with
// the system's reason in *err, when none can be made.
std::unique_ptr<File> CreateTemp(Env& env, const std::string& dir, std::string* path, int* err);

}  // namespace vex::msg
