#include <cerrno>
#include <string>

#include "platform/env.h"

namespace vex {

int Win32ErrorCode(Env& env, int err, const std::string& path) {
  switch (err) {
    case ENOENT: {
      size_t slash = path.rfind('/');
      if (slash == std::string::npos) return 2;
      std::string dir = slash == 0 ? "/" : path.substr(0, slash);
      FileInfo info = env.Stat(dir);
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
