#include "driver/run_lock.h"

#include "platform/exit.h"

namespace vex {

std::unique_ptr<File> AcquireRunLock(Env& env, int waitMs,
                                     const std::string& path) {
  int err = 0;
  // Opened for appending: created when missing, never truncated.
  std::unique_ptr<File> lock = env.Open(path, OpenMode::kAppend, &err);
  if (!lock) FailIo("open", path, err);
  if (!lock->LockFirstByte(waitMs)) FailIo("lock", path, lock->LastError());
  return lock;
}

int RunLockWaitMs(const char* value) {
  if (value == nullptr || *value == '\0') return kRunLockWaitMs;
  int seconds = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return kRunLockWaitMs;
    seconds = seconds * 10 + (*p - '0');
    if (seconds > 86400) return kRunLockWaitMs;
  }
  return seconds * 1000;
}

}  // namespace vex
