// The configuration check (vexstat --check): the configuration is read as a
// run reads it, with the command line, and what a run would use is reported
// line by line.  The last line forecasts what the next run counts, posts
// and exits with: the run is acted out in memory, as the preview does.
// Nothing is written, posted, locked or created.
#pragma once

#include "driver/app.h"

namespace vex {

inline constexpr const char* kCheckOption = "--check";

// Writes the report to the console; every problem is one line beginning
// with "problem:".  Returns the exit code: 0 without a problem, 1 otherwise.
int RunCheck(App& app);

}  // namespace vex
