#include "msgbase/base_dirs.h"

#include <cerrno>

namespace vex {

bool MakeDirectories(Env& env, const std::string& dir, std::string* failed, int* err) {
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    const std::string part = dir.substr(0, pos);
    const FileInfo info = env.Stat(part);
    *failed = part;
    if (info.exists && !info.isDirectory) {
      *err = ENOTDIR;
      return false;
    }
    if (info.exists) continue;
    if (!env.MakeDirectory(part, err) && !env.Stat(part).isDirectory) return false;
    env.SyncDirectory(ParentDirectory(part), err);
  }
  failed->clear();
  *err = 0;
  return true;
}

}  // namespace vex
