// The echo-toss log: one area tag per line, read by the node's tosser to
// learn which areas hold new mail to export.
#pragma once

#include <string>

#include "core/log.h"
#include "platform/env.h"

namespace vex {

// Adds tag to the file unless it is listed already (compared in CP866 upper
// case).  Nothing happens when file is empty.  A missing file is created.
void UpdateEchoTossLog(LogContext& log, Env& env, const std::string& file,
                       const std::string& tag);

// Message for a file error, keyed by the Win32-style code of
// Win32ErrorCode().
std::string IoErrorText(const std::string& name, int code);

}  // namespace vex
