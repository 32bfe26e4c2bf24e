#include "msgbase/base_dirs.h"

namespace vex {

std::string ParentDirectory(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
}

void MakeDirectories(Env& env, const std::string& dir) {
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    const std::string part = dir.substr(0, pos);
    int err = 0;
    if (!env.Stat(part).exists && env.MakeDirectory(part, &err))
      env.SyncDirectory(ParentDirectory(part), &err);
  }
}

}  // namespace vex
