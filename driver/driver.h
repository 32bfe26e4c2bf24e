// The program's main sequence and the configuration file reader.
#pragma once

#include <functional>
#include <string>

#include "driver/app.h"

namespace vex {

// Initialises the posting settings, reads the configuration, applies the
// command line (when no TICPATH line did), runs the reports and ends the log.
// Early orderly ends throw ProgramExit; unhandled I/O failures RunTimeError.
void RunDriver(App& app);

// Reads the file named by the configuration file name setting; a file that
// cannot be opened is skipped without a message.
void ReadConfiguration(App& app);

// Hands every configuration line of the file named by the configuration
// file name setting to apply; false when the file cannot be opened.
bool ReadConfigurationLines(
    App& app, const std::function<void(const std::string&)>& apply);

// Applies one configuration line to the main keyword table.
void ApplyConfigLine(App& app, const std::string& line);

}  // namespace vex
