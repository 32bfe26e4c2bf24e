// Dates in the program's own calendar: every year has 365 days and February
// always 28.  The period filter and the purge count days this way.
#pragma once

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace vex {

struct CalendarDate {
  int32_t year = 0, month = 0, day = 0;
  bool operator==(const CalendarDate&) const = default;
};

struct DateTime {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

CalendarDate Today(Env& env);
DateTime CurrentDateTime(Env& env);

int32_t MonthLength(int32_t month);  // 1..12 from the table; 0 otherwise
CalendarDate DaysBack(CalendarDate date, int32_t n);
// Days from a to b (negative when b lies before a); 0 when either date has a
// month or day out of range.
int32_t DaysBetween(CalendarDate a, CalendarDate b);
int32_t DateTimeDaysBetween(const DateTime& a, const DateTime& b);
// N2 <= days from the record's date to now <= N1.
bool InPeriod(const DateTime& record, const DateTime& now, int32_t n1,
              int32_t n2);

std::string DateText(CalendarDate date);  // DD.MM.YYYY
std::string NumberText(int64_t n);
// Fixed notation, `decimals` digits after the point (no point for 0), padded
// on the left to width; ties round half away from zero.
std::string NumberTextFormatted(double value, int width, int decimals);
std::string ZeroPad(std::string text, size_t width);

}  // namespace vex
