#include "report/number_format.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(FixedTextTest, RoundsHalfAwayFromZeroOnTheExactValue) {
  EXPECT_EQ(FixedText(0.125, 2), "0.13");   // an exact tie goes up
  EXPECT_EQ(FixedText(2.5, 0), "3");
  EXPECT_EQ(FixedText(0.5, 0), "1");
  EXPECT_EQ(FixedText(-2.5, 0), "-3");
  EXPECT_EQ(FixedText(1.005, 2), "1.00");   // the double lies below the tie
  EXPECT_EQ(FixedText(0.375, 2), "0.38");
  EXPECT_EQ(FixedText(9.995, 2), "9.99");   // 9.99499999...
  EXPECT_EQ(FixedText(99.995000000000005, 2), "100.00");  // just above
  EXPECT_EQ(FixedText(999.5, 0), "1000");
}

TEST(FixedTextTest, FixedNotationWithoutExponentOrStraySign) {
  EXPECT_EQ(FixedText(3, 2), "3.00");
  EXPECT_EQ(FixedText(1e20, 1), "100000000000000000000.0");
  EXPECT_EQ(FixedText(-0.001, 2), "0.00");
  EXPECT_EQ(FixedText(12.345, 0), "12");
  EXPECT_EQ(FixedText(1.0 / 3, 255).size(), 257u);
  EXPECT_EQ(FixedText(2, -4), "2");
}

TEST(ApplyDotStyleTest, DecimalCharacterAndGrouping) {
  ReportSettings s;
  EXPECT_EQ(ApplyDotStyle(s, "1234567.89"), "1234567.89");
  s.dotStyle = ',';
  EXPECT_EQ(ApplyDotStyle(s, "12.34"), "12,34");
  EXPECT_EQ(ApplyDotStyle(s, ".5.5"), ".5,5");  // a leading point stays
  s.dotStyle = '.';
  s.orderStyle = "'";
  EXPECT_EQ(ApplyDotStyle(s, "1234567.89"), "1'234'567.89");
  EXPECT_EQ(ApplyDotStyle(s, "123456.00"), "123'456.00");
  EXPECT_EQ(ApplyDotStyle(s, "123.00"), "123.00");
  EXPECT_EQ(ApplyDotStyle(s, "1234"), "1'234");  // no decimals: from the end
  s.dotStyle = ',';
  s.orderStyle = " ";
  EXPECT_EQ(ApplyDotStyle(s, "1234567.5"), "1 234 567,5");
}

TEST(FormatSizeTest, DividesByKbSize) {
  ReportSettings s;
  EXPECT_EQ(FormatSize(s, 1536), "1.50");
  EXPECT_EQ(FormatSize(s, 1048576), "1024.00");
  EXPECT_EQ(FormatSize(s, 0), "0.00");
  s.realDots = 0;
  s.orderStyle = "'";
  EXPECT_EQ(FormatSize(s, 1048576 * 1024LL), "1'048'576");
  s.kbSize = 1000;
  s.realDots = 1;
  EXPECT_EQ(FormatSize(s, 1250), "1.3");
  // Sums beyond 32 bits print correctly.
  s.kbSize = 1;
  s.realDots = 0;
  s.orderStyle.clear();
  EXPECT_EQ(FormatSize(s, 5000000000LL), "5000000000");
}

}  // namespace
}  // namespace vex
