// The charset part of the configuration check: a file that people edit is
// read as UTF-8 only when every character in it exists in CP866 (or it
// begins with the byte-order mark); each character that CP866 lacks is
// named with its line.
#pragma once

#include <string>

#include "driver/check_report.h"
#include "platform/env.h"

namespace vex {

void LintCharset(CheckReport& report, Env& env, const std::string& file);

}  // namespace vex
