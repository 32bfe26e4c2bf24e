// The message-base part of the configuration check: whether a post area's
// base opens, is damaged, or can be made where the area file puts it.
#pragma once

#include <string>

#include "driver/check_report.h"
#include "platform/env.h"
#include "platform/path.h"

namespace vex {

// Checks the base of type ("J", "S" or "M") at path; where names the line
// that defines the area.  Returns the text for the area's report line.
std::string LintBase(CheckReport& report, Env& env, const std::string& where,
                     const std::string& type, const std::string& path);

}  // namespace vex
