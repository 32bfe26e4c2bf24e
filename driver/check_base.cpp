#include "driver/check_base.h"

#include <memory>
#include <vector>

#include "msgbase/base.h"
#include "util/text.h"

namespace vex {
namespace {

// The files of a JAM or Squish base, its header file first.
std::vector<std::string> BaseFiles(char type) {
  if (type == 'J') return {".jhr", ".jdt", ".jdx", ".jlr"};
  if (type == 'S') return {".sqd", ".sqi", ".sql"};
  return {};
}

// The file as it is there, in either letter case of its extension.
FileInfo StatEitherCase(Env& env, const std::string& path, const std::string& ext) {
  FileInfo info = env.Stat(path + ext);
  return info.exists ? info : env.Stat(path + UpperCp866(ext));
}

}  // namespace

std::string LintBase(CheckReport& report, Env& env, const std::string& where,
                     const std::string& type, const std::string& path) {
  const char t = UpperCp866(type)[0];
  const std::vector<std::string> files = BaseFiles(t);
  bool there = t == 'M' ? env.Stat(path).exists : StatEitherCase(env, path, files[0]).exists;
  if (there && !files.empty() && StatEitherCase(env, path, files[0]).size == 0) {
    for (size_t i = 1; i < files.size(); ++i) {
      if (StatEitherCase(env, path, files[i]).size == 0) continue;
      report.Problem(where, "base " + path + " is damaged: its header file " + path + files[0] +
                                " is empty while " + path + files[i] +
                                " holds messages; nothing is posted into it",
                     "rebuild the base with the tosser's base tool or restore it from a "
                     "backup");
      return "damaged";
    }
  }
  if (there) {
    std::unique_ptr<Base> base;
    const Status opened = OpenBase(env, type + path, BaseMode::kReadOnly, &base);
    if (opened.ok()) {
      base->Close();
      // A *.MSG message is a new file in the directory; JAM and Squish
      // write their files in place.
      std::string target = path;
      if (t != 'M')
        target += env.Stat(path + files[0]).exists ? files[0] : UpperCp866(files[0]);
      if (!env.CanWrite(target)) {
        report.Problem(where, "base " + path + " cannot be written (" + target + ")",
                       "give the user that runs vexstat write access to " + target);
        return "not writable";
      }
      return "base opens";
    }
    report.Problem(where, "base " + path + " does not open: " + opened.sentence(),
                   "repair the base or correct its path in the area file");
    return "does not open";
  }
  // The posting makes every missing directory of the path: the nearest one
  // that exists must be a directory the run may write in.
  std::string dir = t == 'M' ? path : FolderOf(path);
  while (!env.Stat(dir).exists && dir != "." && dir != "/") dir = FolderOf(dir);
  const FileInfo info = env.Stat(dir);
  if (info.exists && !info.isDirectory) {
    report.Problem(where, "base " + path + " cannot be made: " + dir +
                              " is a regular file, not a directory",
                   "correct the base path in the area file, or move " + dir + " away");
    return "cannot be made";
  }
  if (!env.CanWrite(dir)) {
    report.Problem(where, "base " + path + " cannot be made: directory " + dir +
                              " is not writable",
                   "give the user that runs vexstat write access to " + dir +
                       ", or correct the base path in the area file");
    return "cannot be made";
  }
  return "no base yet (the first posting makes it)";
}

}  // namespace vex
