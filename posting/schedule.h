// The WHEN schedule: whether an announcement is due on a given day.
#pragma once

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace vex {

// DAILY (any case, as the whole text), YEARLY, MONTHLY or WEEKLY (upper case)
// with an optional list of years, days of the month or weekdays (0 = Sunday).
// Any other text is never due.
bool EvaluateSchedule(const std::string& text, const ClockTime& today);
bool EvaluateSchedule(const std::string& text, Env& env);

// True when one of the blank-separated numbers of list equals wanted.  A word
// that is not a number counts as 0; an empty list matches nothing.
bool DayInList(const std::string& list, int32_t wanted);

}  // namespace vex
