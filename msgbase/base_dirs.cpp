#include "msgbase/base_dirs.h"

#include <cctype>
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

std::string FindBaseFile(Env& env, const std::string& base, const std::string& ext) {
  for (const std::string& candidate : {base + ext, base + InCaseOf(ext, "AAAA")}) {
    const FileInfo info = env.Stat(candidate);
    if (info.exists && !info.isDirectory) return candidate;
  }
  const std::string name = NameOf(base);
  const std::string folder = base.substr(0, base.size() - name.size());
  for (const DirEntry& e : env.Search(base + std::string(ext.size(), '?'))) {
    if (e.name.size() != name.size() + ext.size() || e.name.compare(0, name.size(), name) != 0) continue;
    // The extension in any mix of cases: ext written in its case is it.
    const std::string found = e.name.substr(name.size());
    if (InCaseOf(ext, found) == found) return folder + e.name;
  }
  return "";
}

std::string InCaseOf(const std::string& ext, const std::string& model) {
  std::string out = ext;
  for (size_t i = 0; i < out.size() && i < model.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    out[i] = static_cast<char>(std::isupper(static_cast<unsigned char>(model[i])) ? std::toupper(c)
                                                                                   : std::tolower(c));
  }
  return out;
}

}  // namespace vex
