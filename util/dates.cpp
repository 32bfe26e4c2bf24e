#include "util/dates.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace vex {

namespace {

constexpr int32_t kMonthLengths[12] = {31, 28, 31, 30, 31, 30,
                                       31, 31, 30, 31, 30, 31};
constexpr int32_t kYearLength = 365;
constexpr size_t kMaxPadding = 255;

int32_t Clamp32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max())
    return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min())
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace

CalendarDate Today(Env& env) {
  ClockTime t = env.Now();
  return CalendarDate{t.year, t.month, t.day};
}

DateTime CurrentDateTime(Env& env) {
  ClockTime t = env.Now();
  return DateTime{t.year, t.month, t.day, t.hour, t.minute, t.second};
}

int32_t MonthLength(int32_t month) {
  if (month < 1 || month > 12) return 0;
  return kMonthLengths[month - 1];
}

// Steps back one day at a time: step i (1..n) counts the day down while
// i < b, b being the day counted from the start of the result month;
// otherwise it moves to the previous month and b grows by that month's
// length.  So the day is b - n in the end.  Whole years and runs of months
// outside the table are skipped at once, with the same result as stepping
// through them.
CalendarDate DaysBack(CalendarDate date, int32_t n) {
  if (n <= 0) return date;
  int64_t year = date.year;
  int64_t month = date.month;
  int64_t b = date.day;
  const int64_t last = n;
  int64_t i = b > 1 ? b : 1;  // the next step that moves to another month
  while (i <= last) {
    if (i == b && month >= 1 && month <= 12 && last - b > 2 * kYearLength) {
      int64_t years = (last - b) / kYearLength - 1;
      year -= years;
      b += years * kYearLength;
      i = b;
    }
    if (month == 1) {
      month = 12;
      --year;
    } else {
      --month;
    }
    int64_t len = (month >= 1 && month <= 12) ? kMonthLengths[month - 1] : 0;
    if (len > 0) {
      b += len;
      i = b > i + 1 ? b : i + 1;
    } else if (month > 12) {
      // Months above 12 have no days: each further step moves one month
      // back until December.
      int64_t toDecember = month - 12;
      if (i + toDecember > last) {
        month -= last - i;
        break;
      }
      month = 13;
      i += toDecember;
    } else {
      // Below 1 the month never comes back into the table.
      month -= last - i;
      break;
    }
  }
  return CalendarDate{Clamp32(year), Clamp32(month), Clamp32(b - last)};
}

int32_t DaysBetween(CalendarDate a, CalendarDate b) {
  if (b.month > 12 || a.month > 12 || b.day > 31 || a.day > 31 ||
      b.month < 1 || a.month < 1 || b.day < 1 || a.day < 0)
    return 0;
  int64_t r = int64_t{kYearLength} * (int64_t{b.year} - a.year);
  if (b.month >= a.month) {
    for (int32_t m = a.month; m < b.month; ++m) r += MonthLength(m);
  } else {
    r -= kYearLength;
    for (int32_t m = a.month; m <= 12; ++m) r += MonthLength(m);
    for (int32_t m = 1; m < b.month; ++m) r += MonthLength(m);
  }
  r += int64_t{b.day} - a.day;
  return Clamp32(r);
}

int32_t DateTimeDaysBetween(const DateTime& a, const DateTime& b) {
  return DaysBetween(CalendarDate{a.year, a.month, a.day},
                     CalendarDate{b.year, b.month, b.day});
}

bool InPeriod(const DateTime& record, const DateTime& now, int32_t n1,
              int32_t n2) {
  int32_t d = DateTimeDaysBetween(record, now);
  return n2 <= d && d <= n1;
}

CalendarDate FirstRealDayOf(CalendarDate d) {
  if (d.month == 3 && d.day == 1 && RealLeapYear(d.year)) return {d.year, 2, 29};
  return d;
}

bool RealLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t RealMonthLength(int32_t year, int32_t month) {
  if (month == 2 && RealLeapYear(year)) return 29;
  return MonthLength(month);
}

int64_t RealDayNumber(CalendarDate d) {
  // Counted from 1 March of year 0, so that the leap day ends a year.
  const int64_t y = int64_t{d.year} - (d.month <= 2);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (int64_t{d.month} + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int RealWeekday(CalendarDate d) {
  // 1970-01-01 was a Thursday.
  const int64_t n = RealDayNumber(d) + 3;
  return static_cast<int>(((n % 7) + 7) % 7);
}

int64_t RealWeekNumber(CalendarDate d) {
  const int64_t n = RealDayNumber(d) + 3;  // 0 on the Monday 1969-12-29
  return n >= 0 ? n / 7 : -((-n + 6) / 7);
}

std::string IsoDateText(CalendarDate d) {
  return ZeroPad(NumberText(d.year), 4) + "-" + ZeroPad(NumberText(d.month), 2) + "-" +
         ZeroPad(NumberText(d.day), 2);
}

std::string DateText(CalendarDate date) {
  return ZeroPad(NumberText(date.day), 2) + "." +
         ZeroPad(NumberText(date.month), 2) + "." +
         ZeroPad(NumberText(date.year), 2);
}

std::string NumberText(int64_t n) { return std::to_string(n); }

// The exact decimal expansion of the double is printed first (every finite
// double has a terminating one), then rounded by hand, half away from zero.
std::string NumberTextFormatted(double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 255) decimals = 255;
  if (std::isnan(value)) value = 0;
  if (std::isinf(value)) {
    value = value > 0 ? std::numeric_limits<double>::max()
                      : -std::numeric_limits<double>::max();
  }
  bool negative = std::signbit(value);
  double magnitude = std::fabs(value);
  // 1074 fractional digits hold the smallest subnormal exactly.
  constexpr int kExactDigits = 1100;
  std::vector<char> buf(400 + kExactDigits);
  int len = std::snprintf(buf.data(), buf.size(), "%.*f", kExactDigits,
                          magnitude);
  std::string exact(buf.data(), len > 0 ? static_cast<size_t>(len) : 0);
  size_t point = exact.find('.');
  std::string intPart = exact.substr(0, point);
  std::string frac = point == std::string::npos ? "" : exact.substr(point + 1);
  frac.resize(kExactDigits, '0');
  std::string digits = intPart + frac.substr(0, decimals);
  bool roundUp = frac[decimals] >= '5';
  if (roundUp) {
    size_t i = digits.size();
    while (i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        break;
      }
      if (i == 0) digits.insert(digits.begin(), '1');
    }
  }
  bool allZero = digits.find_first_not_of('0') == std::string::npos;
  std::string text = digits.substr(0, digits.size() - decimals);
  if (decimals > 0) {
    text += '.';
    text.append(digits, digits.size() - decimals, std::string::npos);
  }
  // A value that rounds to zero is written without a sign.
  if (negative && !allZero) text.insert(text.begin(), '-');
  // Padding never makes a text longer than a line can be.
  size_t padTo = width > 0 ? static_cast<size_t>(width) : 0;
  if (padTo > kMaxPadding) padTo = kMaxPadding;
  if (text.size() < padTo) text.insert(0, padTo - text.size(), ' ');
  return text;
}

std::string ZeroPad(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace vex
