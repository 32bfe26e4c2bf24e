#include <cerrno>
#include <string>

#include "platform/env.h"
#include "platform/path.h"

namespace vex {

int Win32ErrorCode(Env& env, int err, const std::string& path) {
  switch (err) {
    case ENOENT: {
      if (path.find('/') == std::string::npos) return 2;
      FileInfo info = env.Stat(FolderOf(path));
      return info.exists && info.isDirectory ? 2 : 3;
    }
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    default: return err;
  }
}

}  // namespace vex
