// The exit code that tells cron and systemd that a run went wrong although
// it ended in order: a run that logged an error ends with code 3.
#pragma once

#include <string>

#include "core/log.h"
#include "driver/app.h"

namespace vex {

inline constexpr int kExitLoggedErrors = 3;

// The standard-error line of a run that logged errors: how many, and where
// the log is (or that none could be made, or that none is configured).
std::string LoggedErrorsLine(const LogContext& log);

// For a run that ended in order with `code`: when it logged an error,
// writes LoggedErrorsLine on standard error and returns 3; else `code`.
int ExitStatusAfterRun(App& app, int code);

}  // namespace vex
