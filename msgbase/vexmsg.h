// vexmsg: lists the messages of a message base, or shows one message in
// full.  Never creates or changes a base.
#pragma once

#include <string>
#include <vector>

#include "platform/env.h"

namespace vex {

// args are the command-line arguments after the program name:
//   AREAID      list every message (number, date, from, to, subject)
//   AREAID N    show message N: header, kludges ("^A" lines) and body
// Writes to the console; returns the exit code (0 done, 1 bad usage or a
// base or message that cannot be read).
int RunVexmsg(Env& env, const std::vector<std::string>& args);

}  // namespace vex
