// The two store maintenance actions of the command line.  Both end the
// program (ProgramExit, code 0) when done.
#pragma once

#include <string>

#include "core/log.h"
#include "platform/env.h"

namespace vex {

inline constexpr const char* kPurgeTempName = "temp";

// -K: deletes the dupe store.
[[noreturn]] void ResetDupeStore(Env& env, LogContext& log);

// -L<n>: keeps only the statistics records of the last n days.  parameter
// is the whole command-line parameter.
[[noreturn]] void PurgeStatistics(Env& env, LogContext& log,
                                  const std::string& parameter);

}  // namespace vex
