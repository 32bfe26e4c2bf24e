// Opening a base only to see that it is there and sound: its main files are
// looked at through read-only opens and the base object stays closed.
#include <cstring>

#include "msgbase/message_base.h"

namespace vex {
namespace {

std::string& LastErrorText() {
  static std::string text;
  return text;
}

bool Fail(const std::string& text) {
  LastErrorText() = text;
  return false;
}

// The file of a base with the given extension, in either letter case.
std::string FindFile(Env& env, const std::string& path, const std::string& ext) {
  std::string upper = ext;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  for (const std::string& name : {path + ext, path + upper})
    if (env.Stat(name).exists) return name;
  return std::string();
}

// Reads the first n bytes of a file opened for reading only.
bool ReadStart(Env& env, const std::string& name, size_t n, std::string& out) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(name, OpenMode::kRead, &err);
  if (!file) return Fail(name + ": " + SystemErrorText(err));
  out.assign(n, '\0');
  long long got = file->ReadAt(0, out.data(), n);
  if (got < 0) return Fail(name + ": " + SystemErrorText(file->LastError()));
  if (static_cast<size_t>(got) < n) return Fail(name + ": the base header is cut short");
  return true;
}

bool NeedFiles(Env& env, const std::string& path, const char* mainExt,
               std::initializer_list<const char*> others, std::string& main) {
  main = FindFile(env, path, mainExt);
  if (main.empty()) return Fail(path + mainExt + ": no such file");
  for (const char* ext : others)
    if (FindFile(env, path, ext).empty()) return Fail(path + ext + ": no such file");
  return true;
}

}  // namespace

bool OpenMessageBaseReadOnly(std::unique_ptr<MessageBase>& base,
                             const std::string& areaId) {
  base.reset();
  LastErrorText().clear();
  Env& env = *DefaultEnv();
  if (areaId.empty()) return Fail("no area identifier");
  const std::string path = areaId.substr(1, 254);
  std::string main, head;
  switch (areaId[0]) {
    case 'J':
    case 'j':
      if (!NeedFiles(env, path, ".jhr", {".jdx", ".jdt"}, main)) return false;
      if (!ReadStart(env, main, 1024, head)) return false;
      if (std::memcmp(head.data(), "JAM", 4) != 0)
        return Fail(main + ": not a JAM header");
      return true;
    case 'S':
    case 's':
      if (!NeedFiles(env, path, ".sqd", {".sqi"}, main)) return false;
      if (!ReadStart(env, main, 256, head)) return false;
      if (static_cast<unsigned char>(head[0]) != 0 || head[1] != 1)
        return Fail(main + ": not a Squish base header");
      return true;
    case 'F':
    case 'f':
    case 'M':
    case 'm':
    case '*':
      if (!env.Stat(path).isDirectory) return Fail(path + ": no such directory");
      return true;
    default:
      return Fail(areaId + ": unknown base type");
  }
}

std::string MessageBaseOpenErrorText() { return LastErrorText(); }

}  // namespace vex
