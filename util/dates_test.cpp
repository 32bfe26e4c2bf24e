#include "util/dates.h"

#include <gtest/gtest.h>

#include <cmath>

#include "testenv/mem_env.h"

namespace vex {
namespace {

CalendarDate D(int y, int m, int d) { return CalendarDate{y, m, d}; }

TEST(Dates, TodayAndNowComeFromTheClock) {
  MemEnv env;
  ClockTime t;
  t.year = 2002;
  t.month = 3;
  t.day = 5;
  t.hour = 23;
  t.minute = 59;
  t.second = 58;
  t.hundredths = 99;
  env.SetNow(t);
  EXPECT_EQ(Today(env), D(2002, 3, 5));
  DateTime now = CurrentDateTime(env);
  EXPECT_EQ(now.hour, 23);
  EXPECT_EQ(now.minute, 59);
  EXPECT_EQ(now.second, 58);
}

TEST(Dates, MonthTableHasNoLeapYears) {
  EXPECT_EQ(MonthLength(2), 28);
  EXPECT_EQ(MonthLength(12), 31);
  EXPECT_EQ(MonthLength(0), 0);
  EXPECT_EQ(MonthLength(13), 0);
  int sum = 0;
  for (int m = 1; m <= 12; ++m) sum += MonthLength(m);
  EXPECT_EQ(sum, 365);
}

TEST(Dates, DaysBackSteps365DayYears) {
  EXPECT_EQ(DaysBack(D(2024, 3, 2), 3), D(2024, 2, 27));
  EXPECT_EQ(DaysBack(D(2024, 3, 1), 1), D(2024, 2, 28));
  EXPECT_EQ(DaysBack(D(2002, 1, 1), 1), D(2001, 12, 31));
  EXPECT_EQ(DaysBack(D(2002, 3, 5), 0), D(2002, 3, 5));
  EXPECT_EQ(DaysBack(D(2002, 3, 5), -4), D(2002, 3, 5));
  EXPECT_EQ(DaysBack(D(2002, 3, 5), 31), D(2002, 2, 2));
  EXPECT_EQ(DaysBack(D(2002, 3, 5), 365), D(2001, 3, 5));
  EXPECT_EQ(DaysBack(D(2002, 3, 5), 365 * 1000 + 4), D(1002, 3, 1));
  // A day beyond the month's length counts down within that month first.
  EXPECT_EQ(DaysBack(D(2002, 2, 31), 2), D(2002, 2, 29));
  // Month 13 steps back into December.
  EXPECT_EQ(DaysBack(D(2002, 13, 1), 1), D(2002, 12, 31));
}

TEST(Dates, DaysBackAgreesWithOneDayStepsAndDaysBetween) {
  for (CalendarDate start : {D(2002, 3, 5), D(2000, 12, 31), D(1999, 1, 1)}) {
    CalendarDate stepped = start;
    for (int n = 1; n <= 800; ++n) {
      stepped = DaysBack(stepped, 1);
      ASSERT_EQ(DaysBack(start, n), stepped) << n;
      ASSERT_EQ(DaysBetween(stepped, start), n) << n;
      ASSERT_EQ(DaysBetween(start, stepped), -n) << n;
    }
  }
}

// The day-by-day stepping exactly as the calendar rule states it.
CalendarDate DaysBackOneByOne(CalendarDate date, int32_t n) {
  CalendarDate r = date;
  int32_t b = date.day;
  for (int32_t i = 1; i <= n; ++i) {
    if (i < b) {
      r.day = b - i;
    } else {
      if (r.month == 1) {
        r.month = 12;
        --r.year;
      } else {
        --r.month;
      }
      int32_t len = MonthLength(r.month);
      r.day = b + len - i;
      b += len;
    }
  }
  return r;
}

TEST(Dates, DaysBackMatchesTheRuleForOddDates) {
  for (int month : {-2, 0, 1, 2, 3, 12, 13, 14, 20}) {
    for (int day : {-40, -1, 0, 1, 15, 28, 31, 45}) {
      for (int n : {1, 2, 10, 40, 400, 800, 2000}) {
        CalendarDate d = D(2002, month, day);
        ASSERT_EQ(DaysBack(d, n), DaysBackOneByOne(d, n))
            << month << " " << day << " " << n;
      }
    }
  }
}

TEST(Dates, DaysBackWithHugeCountsEndsQuickly) {
  CalendarDate d = DaysBack(D(2024, 3, 15), INT32_MAX);
  EXPECT_EQ(DaysBetween(d, D(2024, 3, 15)), INT32_MAX);
  EXPECT_EQ(DaysBack(D(2024, INT32_MAX, 1), INT32_MAX).month, 12);
  EXPECT_EQ(DaysBack(D(2024, -5, 1), INT32_MAX).month, INT32_MIN);
}

TEST(Dates, DaysBetween) {
  EXPECT_EQ(DaysBetween(D(2024, 2, 28), D(2024, 3, 1)), 1);
  EXPECT_EQ(DaysBetween(D(2001, 12, 31), D(2002, 1, 1)), 1);
  EXPECT_EQ(DaysBetween(D(2002, 1, 1), D(2001, 12, 31)), -1);
  EXPECT_EQ(DaysBetween(D(2002, 3, 5), D(2002, 3, 5)), 0);
  EXPECT_EQ(DaysBetween(D(2001, 3, 5), D(2002, 3, 5)), 365);
  EXPECT_EQ(DaysBetween(D(2002, 11, 30), D(2003, 2, 1)), 63);
}

TEST(Dates, DaysBetweenOutOfRangeGivesZero) {
  EXPECT_EQ(DaysBetween(D(2002, 13, 1), D(2002, 3, 5)), 0);
  EXPECT_EQ(DaysBetween(D(2002, 3, 5), D(2002, 13, 1)), 0);
  EXPECT_EQ(DaysBetween(D(2002, 1, 32), D(2002, 3, 5)), 0);
  EXPECT_EQ(DaysBetween(D(2002, 3, 5), D(2002, 1, 32)), 0);
  EXPECT_EQ(DaysBetween(D(2002, 0, 1), D(2002, 3, 5)), 0);
  EXPECT_EQ(DaysBetween(D(2002, 3, 5), D(2002, 3, 0)), 0);
  EXPECT_EQ(DaysBetween(D(2002, 3, -1), D(2002, 3, 5)), 0);
  // Day 0 is allowed in the first date only.
  EXPECT_EQ(DaysBetween(D(2002, 3, 0), D(2002, 3, 5)), 5);
  // Far-apart years saturate instead of wrapping.
  EXPECT_EQ(DaysBetween(D(INT32_MIN, 1, 1), D(INT32_MAX, 1, 1)), INT32_MAX);
}

TEST(Dates, InPeriodCountsWholeDays) {
  DateTime now{2002, 3, 5, 10, 0, 0};
  DateTime today{2002, 3, 5, 23, 59, 59};
  DateTime monthAgo{2002, 2, 2, 0, 0, 0};    // 31 days back
  DateTime tooOld{2002, 2, 1, 23, 59, 59};   // 32 days back
  DateTime broken{2002, 13, 40, 0, 0, 0};    // counts as today
  EXPECT_TRUE(InPeriod(today, now, 31, 0));
  EXPECT_TRUE(InPeriod(monthAgo, now, 31, 0));
  EXPECT_FALSE(InPeriod(tooOld, now, 31, 0));
  EXPECT_TRUE(InPeriod(broken, now, 31, 0));
  EXPECT_FALSE(InPeriod(today, now, 31, 1));
  // N2 above N1 contains no day.
  for (DateTime r : {today, monthAgo, tooOld})
    EXPECT_FALSE(InPeriod(r, now, 3, 5));
}

TEST(Dates, Texts) {
  EXPECT_EQ(DateText(D(2002, 3, 5)), "05.03.2002");
  EXPECT_EQ(DateText(D(2002, 12, 31)), "31.12.2002");
  EXPECT_EQ(DateText(D(7, 1, 1)), "01.01.07");
  EXPECT_EQ(NumberText(0), "0");
  EXPECT_EQ(NumberText(-42), "-42");
  EXPECT_EQ(NumberText(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(ZeroPad("5", 2), "05");
  EXPECT_EQ(ZeroPad("12", 2), "12");
  EXPECT_EQ(ZeroPad("123", 2), "123");
  EXPECT_EQ(ZeroPad("", 3), "000");
}

// The real calendar against dates whose weekday and Unix day are known;
// the day-count calendar folds 29 February into 1 March.
TEST(Dates, RealCalendar) {
  const struct {
    CalendarDate date;
    int64_t day;
    int weekday;
  } cases[] = {
      {D(1970, 1, 1), 0, 3},       {D(1969, 12, 29), -3, 0},
      {D(2000, 2, 29), 11016, 1},  {D(2026, 12, 8), 20795, 1},
      {D(2044, 2, 29), 27087, 0},  {D(2044, 3, 1), 27088, 1},
      {D(2100, 3, 1), 47541, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RealDayNumber(c.date), c.day) << IsoDateText(c.date);
    EXPECT_EQ(RealWeekday(c.date), c.weekday) << IsoDateText(c.date);
  }
  EXPECT_EQ(RealWeekNumber(D(1969, 12, 28)) + 1, RealWeekNumber(D(1969, 12, 29)));
  EXPECT_EQ(RealWeekNumber(D(2044, 2, 29)), RealWeekNumber(D(2044, 3, 6)));
  EXPECT_EQ(RealWeekNumber(D(2044, 2, 28)) + 1, RealWeekNumber(D(2044, 2, 29)));
  EXPECT_EQ(RealMonthLength(2044, 2), 29);
  EXPECT_EQ(RealMonthLength(2100, 2), 28);
  EXPECT_EQ(RealMonthLength(2000, 2), 29);
  EXPECT_EQ(IsoDateText(D(2044, 2, 29)), "2044-02-29");
  EXPECT_EQ(FirstRealDayOf(D(2044, 3, 1)), D(2044, 2, 29));
  EXPECT_EQ(FirstRealDayOf(D(2045, 3, 1)), D(2045, 3, 1));
  EXPECT_EQ(DaysBetween(D(2044, 2, 29), D(2044, 3, 1)), 0);
}

TEST(NumberTextFormatted, RoundsHalfAwayFromZero) {
  EXPECT_EQ(NumberTextFormatted(0.125, 0, 2), "0.13");
  EXPECT_EQ(NumberTextFormatted(0.375, 0, 2), "0.38");
  EXPECT_EQ(NumberTextFormatted(2.5, 0, 0), "3");
  EXPECT_EQ(NumberTextFormatted(0.5, 0, 0), "1");
  EXPECT_EQ(NumberTextFormatted(-2.5, 0, 0), "-3");
  EXPECT_EQ(NumberTextFormatted(-0.125, 0, 2), "-0.13");
  // 1.005 is stored a little below the tie, so it rounds down.
  EXPECT_EQ(NumberTextFormatted(1.005, 0, 2), "1.00");
  EXPECT_EQ(NumberTextFormatted(9.995, 0, 2), "9.99");
  EXPECT_EQ(NumberTextFormatted(9.9951, 0, 2), "10.00");
  EXPECT_EQ(NumberTextFormatted(99.5, 0, 0), "100");
  EXPECT_EQ(NumberTextFormatted(1536.0 / 1024, 0, 2), "1.50");
  EXPECT_EQ(NumberTextFormatted(1024, 0, 2), "1024.00");
  // Something that rounds to zero has no sign.
  EXPECT_EQ(NumberTextFormatted(-0.001, 0, 2), "0.00");
}

TEST(NumberTextFormatted, WidthAndFixedNotation) {
  EXPECT_EQ(NumberTextFormatted(3.14159, 8, 3), "   3.142");
  EXPECT_EQ(NumberTextFormatted(12345.6, 3, 1), "12345.6");
  EXPECT_EQ(NumberTextFormatted(7, 4, 0), "   7");
  EXPECT_EQ(NumberTextFormatted(0, 0, 0), "0");
  EXPECT_EQ(NumberTextFormatted(1, -5, 0), "1");
  EXPECT_EQ(NumberTextFormatted(1, INT32_MAX, 0).size(), 255u);
  EXPECT_EQ(NumberTextFormatted(1e20, 0, 0), "100000000000000000000");
  EXPECT_EQ(NumberTextFormatted(1e-20, 0, 3), "0.000");
  std::string huge = NumberTextFormatted(1.7e308, 0, 2);
  EXPECT_EQ(huge.find_first_of("eE"), std::string::npos);
  EXPECT_EQ(huge.size(), 309u + 3u);
  EXPECT_EQ(huge.substr(0, 6), "169999");
  EXPECT_EQ(huge.substr(huge.size() - 3), ".00");
  EXPECT_EQ(NumberTextFormatted(5e-324, 0, 2), "0.00");
  EXPECT_EQ(NumberTextFormatted(std::nan(""), 0, 2), "0.00");
}

}  // namespace
}  // namespace vex
