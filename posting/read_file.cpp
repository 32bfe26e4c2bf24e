#include "posting/read_file.h"

#include <cerrno>

namespace vex {

std::unique_ptr<File> OpenForReading(Env& env, const std::string& path,
                                     int* err) {
  // A directory opens for reading here, but yields no lines: treat it as a
  // file that cannot be opened.
  if (env.Stat(path).isDirectory) {
    *err = EISDIR;
    return nullptr;
  }
  return env.Open(path, OpenMode::kRead, err);
}

}  // namespace vex
