// The program's main sequence and the configuration file reader.
#pragma once

#include <functional>
#include <string>

#include "driver/app.h"

namespace vex {

// Initialises the posting settings, reads the configuration, applies the
// command line (when no TICPATH line did), runs the reports and ends the log.
// A run without a statistics store returns after the report's log line.
// The help screen and the maintenance actions (-K, -L) end the program with
// ProgramExit; unhandled I/O failures throw RunTimeError.
void RunDriver(App& app);

// Takes the run lock (waiting for another run up to app.runLockWaitMs) and
// finishes an intake batch that a stopped run left behind.  Every run that
// may change a file does this before its first change.
void BeginLockedRun(App& app);

// Reads the file named by the configuration file name setting; a file that
// cannot be opened is skipped without a message.
void ReadConfiguration(App& app);

// Hands every configuration line of the file named by the configuration
// file name setting to apply; false when the file cannot be opened.
// False when the file cannot be opened; its errno then goes to *errorOut.
bool ReadConfigurationLines(
    App& app, const std::function<void(const std::string&)>& apply,
    int* errorOut = nullptr);

// Applies one configuration line to the main keyword table.
void ApplyConfigLine(App& app, const std::string& line);

}  // namespace vex
