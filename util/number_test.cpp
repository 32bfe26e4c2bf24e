#include "util/number.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(NumberRule, DecimalAndHexWithSign) {
  EXPECT_EQ(NumberValue("12"), 12);
  EXPECT_EQ(NumberValue("   12"), 12);
  EXPECT_EQ(NumberValue("+7"), 7);
  EXPECT_EQ(NumberValue("-7"), -7);
  EXPECT_EQ(NumberValue("$4F"), 79);
  EXPECT_EQ(NumberValue("$4f"), 79);
  EXPECT_EQ(NumberValue("-$10"), -16);
  EXPECT_EQ(NumberValue("007"), 7);
}

TEST(NumberRule, AnythingLeftOverGivesZero) {
  for (const char* text : {"12 ", "12a", "4.5", "1-2", "", " ", "+", "-", "$",
                           "$G", "0x10", "1 2", "\t12", "--1", "+-1", "$-1"}) {
    int32_t v = 99;
    EXPECT_FALSE(ParseNumber(text, &v)) << '"' << text << '"';
    EXPECT_EQ(NumberValue(text), 0) << '"' << text << '"';
  }
}

TEST(NumberRule, SignedThirtyTwoBitRange) {
  EXPECT_EQ(NumberValue("2147483647"), 2147483647);
  EXPECT_EQ(NumberValue("-2147483648"), INT32_MIN);
  EXPECT_EQ(NumberValue("2147483648"), 0);
  EXPECT_EQ(NumberValue("-2147483649"), 0);
  EXPECT_EQ(NumberValue("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(NumberValue("-$80000000"), INT32_MIN);
  EXPECT_EQ(NumberValue("$80000000"), 0);
  EXPECT_EQ(NumberValue("$FFFFFFFF"), 0);
  // Very long digit strings neither wrap nor overflow.
  EXPECT_EQ(NumberValue(std::string(300, '9')), 0);
  EXPECT_EQ(NumberValue("000000000000000000000042"), 42);
}

TEST(NumberRule, UnsignedThirtyTwoBitRange) {
  EXPECT_EQ(UnsignedValue("+4294967295"), 4294967295u);
  EXPECT_EQ(UnsignedValue("$FFFFFFFF"), 4294967295u);
  for (const char* zero : {"4294967296", "-1", "-0", "12k", "", "-$1"})
    EXPECT_EQ(UnsignedValue(zero), 0u) << zero;
}

}  // namespace
}  // namespace vex
