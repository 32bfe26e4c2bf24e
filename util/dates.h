// The program's two calendars, each function named for the one it uses.
//
// The day-count calendar: every year has 365 days and February always 28.
// Ages of records, the period filter, the period bounds and the purge count
// days this way (users choose -D and -L by it), so a file of 29 February
// has the age of 1 March.
//
// The real (Gregorian) calendar: weekdays, calendar weeks and months of the
// trend, and dates that other programs read (exports, time stamps).
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

// Day-count calendar (365-day years) ----------------------------------------
int32_t MonthLength(int32_t month);  // 1..12 from the table; 0 otherwise
// The date n days earlier; never 29 February.
CalendarDate DaysBack(CalendarDate date, int32_t n);
// Days from a to b (negative when b lies before a); 0 when either date has a
// month or day out of range.
int32_t DaysBetween(CalendarDate a, CalendarDate b);
int32_t DateTimeDaysBetween(const DateTime& a, const DateTime& b);
// N2 <= days from the record's date to now <= N1.
bool InPeriod(const DateTime& record, const DateTime& now, int32_t n1,
              int32_t n2);
// The real days a day of the day-count calendar holds: the date itself,
// and 1 March of a leap year holds 29 February before it.  Returns the
// first of them.
CalendarDate FirstRealDayOf(CalendarDate countedDay);

// Real calendar -----------------------------------------------------------------
bool RealLeapYear(int32_t year);
int32_t RealMonthLength(int32_t year, int32_t month);  // 0 out of range
// Days since 1970-01-01 (negative before it).
int64_t RealDayNumber(CalendarDate date);
// 0 Monday .. 6 Sunday.
int RealWeekday(CalendarDate date);
// The number of the calendar week (Monday to Sunday) the date lies in;
// consecutive weeks have consecutive numbers.
int64_t RealWeekNumber(CalendarDate date);
// "YYYY-MM-DD".
std::string IsoDateText(CalendarDate date);

std::string DateText(CalendarDate date);  // DD.MM.YYYY
std::string NumberText(int64_t n);
// Fixed notation, `decimals` digits after the point (no point for 0), padded
// on the left to width; ties round half away from zero.
std::string NumberTextFormatted(double value, int width, int decimals);
std::string ZeroPad(std::string text, size_t width);

}  // namespace vex
