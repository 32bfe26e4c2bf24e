#include "util/number.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

struct NumberRow {
  std::string text;
  int32_t value;
};

TEST(NumberRule, DecimalAndHexWithSign) {
  for (const NumberRow& r : {NumberRow{"12", 12}, NumberRow{"   12", 12}, NumberRow{"+7", 7},
                             NumberRow{"-7", -7}, NumberRow{"$4F", 79}, NumberRow{"$4f", 79},
                             NumberRow{"-$10", -16}, NumberRow{"007", 7}})
    EXPECT_EQ(NumberValue(r.text), r.value) << r.text;
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
  for (const NumberRow& r :
       {NumberRow{"2147483647", 2147483647}, NumberRow{"-2147483648", INT32_MIN},
        NumberRow{"2147483648", 0}, NumberRow{"-2147483649", 0},
        NumberRow{"$7FFFFFFF", 2147483647}, NumberRow{"-$80000000", INT32_MIN},
        NumberRow{"$80000000", 0}, NumberRow{"$FFFFFFFF", 0},
        // Very long digit strings neither wrap nor overflow.
        NumberRow{std::string(300, '9'), 0}, NumberRow{"000000000000000000000042", 42}})
    EXPECT_EQ(NumberValue(r.text), r.value) << r.text.substr(0, 30);
}

TEST(NumberRule, UnsignedThirtyTwoBitRange) {
  EXPECT_EQ(UnsignedValue("+4294967295"), 4294967295u);
  EXPECT_EQ(UnsignedValue("$FFFFFFFF"), 4294967295u);
  for (const char* zero : {"4294967296", "-1", "-0", "12k", "", "-$1"})
    EXPECT_EQ(UnsignedValue(zero), 0u) << zero;
}

}  // namespace
}  // namespace vex
