#include "report/graphs.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

// Bars with '#' full and '+' half cells, width 10, whole 10: x = part.
std::string Bar(double part) { return MakeBar('#', '+', 10, part, 10); }

TEST(MakeBarTest, FullAndHalfCells) {
  EXPECT_EQ(Bar(2.3), "##+");
  EXPECT_EQ(Bar(2.5), "###");
  EXPECT_EQ(Bar(2.7), "###");
  EXPECT_EQ(Bar(2.05), "##");
  EXPECT_EQ(Bar(0.3), "+");
  EXPECT_EQ(Bar(0.5), "#+");
  EXPECT_EQ(Bar(0.1), "+");
  EXPECT_EQ(Bar(0.05), "");
  EXPECT_EQ(Bar(0), "");
  EXPECT_EQ(Bar(10), "##########");
}

TEST(MakeBarTest, DegenerateInputs) {
  EXPECT_EQ(MakeBar('#', '+', 10, 5, 0), "");   // empty period
  EXPECT_EQ(MakeBar('#', '+', 0, 5, 5), "");
  EXPECT_EQ(MakeBar('#', '+', -10, 5, 5), "");
  // Sizes times the width pass 2^31 without overflow.
  EXPECT_EQ(MakeBar('#', '+', 20, 3e9, 3e9), std::string(20, '#'));
  // A part far larger than the whole never builds more than a line holds.
  EXPECT_EQ(MakeBar('#', '+', 255, 1e15, 1), std::string(256, '#'));
}

TEST(CombineBarsTest, Variants) {
  std::string bar1 = "###+", bar2 = "***";
  EXPECT_EQ(CombineBars(bar1, bar2, '1', 'X'), "XXX");
  EXPECT_EQ(CombineBars(bar1, bar2, '2', 'X'), "XXX+");
  EXPECT_EQ(CombineBars(bar1, bar2, 'S', 'X'), "XXX+");
  EXPECT_EQ(CombineBars("##", "****", 'S', 'X'), "XX**");
  EXPECT_EQ(CombineBars("##", "****", '2', 'X'), "XX");
  EXPECT_EQ(CombineBars("", "", 'S', 'X'), "");
}

TEST(GraphHelpersTest, PercentReverseUseChar) {
  EXPECT_EQ(Percent(3, 4), 75);
  EXPECT_EQ(Percent(0, 4), 0);
  EXPECT_EQ(Percent(3, 0), 0);
  EXPECT_EQ(Reverse("##+"), "+##");
  ReportSettings s;
  s.useChar = "ab";
  EXPECT_EQ(UseChar(s, 2), 'b');
  EXPECT_EQ(UseChar(s, 5), ' ');
  EXPECT_EQ(NormalizeUseChar("ab"), "ab   ");
  EXPECT_EQ(NormalizeUseChar("abcdefg"), "abcde");
}

}  // namespace
}  // namespace vex
