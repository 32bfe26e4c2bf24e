// Folders and files of a message base: the folder a base path lies in, the
// making of missing folders so that each new one survives a power cut, and
// the finding of a base's files whatever the case of their extensions.
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

// The file `base` + ext (base ends with its dot) with the extension in any
// case: as written, in upper case, or any mix the folder holds; "" when
// there is none.  The folder part is kept as `base` spells it.
std::string FindBaseFile(Env& env, const std::string& base, const std::string& ext);

// ext written letter by letter in the case of model's letters ("sqi" in
// the case of "SQD" is "SQI").
std::string InCaseOf(const std::string& ext, const std::string& model);

}  // namespace vex
