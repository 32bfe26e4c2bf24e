// The TIC scan: every TIC file of a directory not seen before becomes one
// statistics record and a remembered name.
#pragma once

#include <string>

#include "core/log.h"
#include "core/run_settings.h"
#include "core/stat_record.h"
#include "intake/tic_line.h"
#include "platform/env.h"

namespace vex {

// Searches directory + mask (joined without a separator) and analyses each
// file found; uses the dupe check and delete flags of run.  The files enter
// the stores in batches of run.ticBatchSize, each in one step.
void ScanTicDirectory(Env& env, LogContext& log, const RunSettings& run,
                      const std::string& directory, const std::string& mask);

}  // namespace vex
