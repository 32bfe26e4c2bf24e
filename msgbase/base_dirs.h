// Directories of a message base: the folder a base path lies in, and the
// making of missing folders so that each new one survives a power cut.
#pragma once

#include <string>

#include "platform/env.h"
#include "platform/path.h"

namespace vex {

// The folder a base path lies in, "" for the current one (as the
// directory calls of Env take it).
inline std::string ParentDirectory(const std::string& path) {
  const std::string folder = FolderOf(path);
  return folder == "." ? "" : folder;
}

// Makes every missing directory of dir, from the top down, each one made
// durable in its parent by a directory sync.  False when a folder of the
// path cannot be made or is a file: *failed names it and *err holds the
// system's reason.
bool MakeDirectories(Env& env, const std::string& dir, std::string* failed, int* err);

}  // namespace vex
