// The program's main sequence.
#pragma once

#include "driver/app.h"
#include "driver/config.h"

namespace vex {

// Reads the configuration (ReadConfig), acts on it, runs the reports and
// ends the log.  A run without a statistics store returns after the
// report's log line.  The help screen and the maintenance actions (-K, -L)
// end the program with ProgramExit; unhandled I/O failures throw
// RunTimeError.
void RunDriver(App& app);

// Takes the run lock (waiting for another run up to app.runLockWaitMs) and
// finishes an intake batch that a stopped run left behind.  Every run that
// may change a file does this before its first change.
void BeginLockedRun(App& app);

// Takes the settings of config into app and does, in file order, what a
// run does while it reads the configuration: opens the log at each LOGFILE
// line (when openLog), applies the command line (carrying out -K, -L or the
// help), scans each TICPATH directory through app.env and logs what the
// readers found wrong.  The console lines of a configuration that could not
// be read come first.
void ActOnConfig(App& app, const Config& config, bool openLog);

}  // namespace vex
