// Directories of a message base: the folder a base path lies in, and the
// making of missing folders so that each new one survives a power cut.
#pragma once

#include <string>

#include "platform/env.h"

namespace vex {

// The directory part of path ("" for a bare name, "/" for a name in /).
std::string ParentDirectory(const std::string& path);

// Makes every missing directory of dir, from the top down, each one made
// durable in its parent by a directory sync.  A folder that cannot be made
// is left to the caller's next step, which then fails with its own error.
void MakeDirectories(Env& env, const std::string& dir);

}  // namespace vex
