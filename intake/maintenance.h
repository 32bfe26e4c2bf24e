// The two store maintenance actions of the command line.  Each returns how
// it ended; the command line then ends the run (exit code 0) whatever the
// result.  Failures that leave the run unable to go on throw RunTimeError.
#pragma once

#include <string>

#include "core/log.h"
#include "platform/env.h"

namespace vex {

inline constexpr const char* kPurgeTempName = "temp";

enum class MaintenanceResult {
  kDone,          // the store was changed; the log is ended
  kNoStore,       // there was no store to change; the log is ended
  kBadParameter,  // nothing was changed; the log stays open
};

// -K: deletes the dupe store.
MaintenanceResult ResetDupeStore(Env& env, LogContext& log);

// -L<n>: keeps only the statistics records of the last n days.  parameter
// is the whole command-line parameter.
MaintenanceResult PurgeStatistics(Env& env, LogContext& log,
                                  const std::string& parameter);

}  // namespace vex
