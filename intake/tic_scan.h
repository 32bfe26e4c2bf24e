// The TIC scan: every TIC file of a directory not seen before becomes one
// statistics record and a remembered name.
#pragma once

#include <string>

#include "driver/log.h"
#include "driver/run_settings.h"
#include "intake/stat_record.h"
#include "intake/tic_line.h"
#include "platform/env.h"

namespace vex {

// Searches directory + mask (joined without a separator) and analyses each
// file found; uses the dupe check and delete flags of run.
void ScanTicDirectory(Env& env, LogContext& log, const RunSettings& run,
                      const std::string& directory, const std::string& mask);

}  // namespace vex
