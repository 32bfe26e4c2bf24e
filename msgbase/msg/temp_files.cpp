#include "msgbase/msg/temp_files.h"

#include <cerrno>

namespace vex::msg {

namespace {

// Temporary files of new messages: kTempPrefix, a number, kTempSuffix.
const char kTempPrefix[] = ".vexstat-";
const char kTempSuffix[] = ".tmp";
constexpr int kTempSlots = 1000;

bool IsOurTemp(const std::string& name) {
  const size_t p = sizeof kTempPrefix - 1, q = sizeof kTempSuffix - 1;
  return name.size() > p + q && name.compare(0, p, kTempPrefix) == 0 &&
         name.compare(name.size() - q, q, kTempSuffix) == 0;
}

// Removes the temporaries whose writer is gone (nobody holds their lock).
void RemoveStaleTemps(Env& env, const std::string& dir) {
  bool removed = false;
  int err = 0;
  for (const std::string& name : env.HiddenNames(dir)) {
    if (!IsOurTemp(name)) continue;
    auto file = env.Open(dir + name, OpenMode::kReadWrite, &err);
    if (file && file->LockFirstByte(0) && env.Remove(dir + name, &err)) removed = true;
  }
  if (removed) env.SyncDirectory(dir, &err);
}

}  // namespace

std::unique_ptr<File> CreateTemp(Env& env, const std::string& dir, std::string* path, int* err) {
  bool cleaned = false;
  for (int k = 0; k < kTempSlots; ++k) {
    *path = dir + kTempPrefix + std::to_string(k) + kTempSuffix;
    *err = 0;
    auto file = env.Open(*path, OpenMode::kCreateExclusive, err);
    if (file && file->LockFirstByte(0)) return file;
    if (!file && *err == EEXIST && !cleaned) {
      // Temporaries that a stopped writer left are looked for the first
      // time one is in the way, not at every open: the look reads the
      // whole folder.
      cleaned = true;
      RemoveStaleTemps(env, dir);
      k = -1;
      continue;
    }
    if (!file && *err != EEXIST) return nullptr;
  }
  *err = EEXIST;
  return nullptr;
}

}  // namespace vex::msg
