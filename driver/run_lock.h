// One run at a time per node directory: every run that may change a file
// holds an exclusive lock on vexstat.lck in the working directory from
// before its first change to its end.  A second run waits for the first one
// for a bounded time and then ends with the run-time error line, having
// changed nothing.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"

namespace vex {

inline constexpr const char* kRunLockName = "vexstat.lck";
// How long a run waits for the lock by default.
constexpr int kRunLockWaitMs = 60 * 1000;
// The environment variable that sets the wait in whole seconds.
inline constexpr const char* kRunLockWaitVariable = "VEXSTAT_LOCK_WAIT";

// Takes the lock, creating the (empty) lock file when missing; the lock is
// held until the returned file is closed or the process ends.  A lock still
// held by another run after waitMs milliseconds throws RunTimeError naming
// the lock file.
std::unique_ptr<File> AcquireRunLock(Env& env, int waitMs,
                                     const std::string& path = kRunLockName);

// The wait given by the environment variable's value (whole seconds,
// 0..86400); the default when it is missing or not such a number.
int RunLockWaitMs(const char* value);

}  // namespace vex
