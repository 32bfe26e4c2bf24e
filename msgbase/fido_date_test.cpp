#include "msgbase/fido_date.h"

#include <gtest/gtest.h>

#include "util/coding.h"

namespace vex {
namespace {

MsgDateTime Make(int year, int month, int day, int hour, int minute, int second) {
  MsgDateTime dt;
  dt.year = year;
  dt.month = month;
  dt.day = day;
  dt.hour = hour;
  dt.minute = minute;
  dt.second = second;
  return dt;
}

void ExpectDate(const MsgDateTime& dt, int year, int month, int day, int hour,
                int minute, int second) {
  EXPECT_EQ(dt.year, year);
  EXPECT_EQ(dt.month, month);
  EXPECT_EQ(dt.day, day);
  EXPECT_EQ(dt.hour, hour);
  EXPECT_EQ(dt.minute, minute);
  EXPECT_EQ(dt.second, second);
  EXPECT_EQ(dt.hundredths, 0);
}

TEST(FidoDateTest, PacksDateWordFirstThenTimeWord) {
  MsgDateTime dt = Make(2002, 2, 8, 9, 5, 7);
  char stamp[4];
  PutStamp(stamp, dt);
  EXPECT_EQ(GetU16(stamp), 0x2C48);
  EXPECT_EQ(GetU16(stamp + 2), 0x48A3);
  // Seconds come back even.
  ExpectDate(GetStamp(stamp), 2002, 2, 8, 9, 5, 6);
}

TEST(FidoDateTest, TextDateIsNineteenCharacters) {
  EXPECT_EQ(TextDate(Make(2002, 2, 8, 9, 5, 7)), "08 Feb 02  09:05:07");
  EXPECT_EQ(TextDate(Make(1999, 12, 31, 23, 59, 58)), "31 Dec 99  23:59:58");
  EXPECT_EQ(TextDate(Make(2002, 13, 8, 9, 5, 7)), "08 ??? 02  09:05:07");
  EXPECT_EQ(TextDate(Make(2002, 0, 8, 9, 5, 7)), "08 ??? 02  09:05:07");
  // Values that do not fit two digits never make the field longer.
  EXPECT_EQ(TextDate(Make(2100, 1, 123, 9, 5, 7)).size(), 19u);
  EXPECT_EQ(TextDate(Make(1850, 1, -5, -1, 5, 7)).size(), 19u);
}

TEST(FidoDateTest, ParsesTheFourTextForms) {
  ExpectDate(ParseTextDate("08 Feb 02  09:05:07"), 2002, 2, 8, 9, 5, 7);
  ExpectDate(ParseTextDate("08 Feb 02 09:05:07"), 2002, 2, 8, 9, 5, 7);
  ExpectDate(ParseTextDate("Fri  8 Feb 02 09:05"), 2002, 2, 8, 9, 5, 0);
  ExpectDate(ParseTextDate("08-02-02 09:05:07"), 2002, 2, 8, 9, 5, 7);
}

TEST(FidoDateTest, ParseWidensYearsAndToleratesJunk) {
  ExpectDate(ParseTextDate("01 jan 70  00:00:00"), 2070, 1, 1, 0, 0, 0);
  ExpectDate(ParseTextDate("01 JAN 71  00:00:00"), 1971, 1, 1, 0, 0, 0);
  // An unknown month name gives 0; the other fields stay.
  ExpectDate(ParseTextDate("01 Foo 99  12:34:56"), 1999, 0, 1, 12, 34, 56);
  // Texts of no known form, and short texts, give all zeros.
  ExpectDate(ParseTextDate(""), 0, 0, 0, 0, 0, 0);
  ExpectDate(ParseTextDate("x"), 0, 0, 0, 0, 0, 0);
  ExpectDate(ParseTextDate("garbage!!"), 0, 0, 0, 0, 0, 0);
  // Cut short after the date: the time reads as zero.
  ExpectDate(ParseTextDate("08 Feb 02"), 2002, 2, 8, 0, 0, 0);
}

TEST(FidoDateTest, TextDateRoundTrips) {
  for (int year : {1980, 1999, 2000, 2026, 2070}) {
    MsgDateTime dt = Make(year, 11, 30, 23, 59, 59);
    ExpectDate(ParseTextDate(TextDate(dt)), year, 11, 30, 23, 59, 59);
  }
}

}  // namespace
}  // namespace vex
