#include "util/address.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

FtnAddress Addr(int zone, int net, int node, int point) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(zone);
  a.net = static_cast<int16_t>(net);
  a.node = static_cast<int16_t>(node);
  a.point = static_cast<int16_t>(point);
  return a;
}

FtnAddress Parsed(const char* text, FtnAddress start = Addr(9, 9, 9, 9)) {
  EXPECT_TRUE(ParseAddress(text, start)) << text;
  return start;
}

TEST(ExtractWord, RunsOfDelimitersSeparateLikeOne) {
  EXPECT_EQ(ExtractWord(1, "::2::5020", ":"), "2");
  EXPECT_EQ(ExtractWord(2, "::2::5020", ":"), "5020");
  EXPECT_EQ(ExtractWord(3, "::2::5020", ":"), "");
  EXPECT_EQ(ExtractWord(0, "a b", " "), "");
  EXPECT_EQ(ExtractWord(2, "a.b/c", "./"), "b");
  EXPECT_EQ(ExtractWord(1, "", "./"), "");
  EXPECT_EQ(ExtractWord(1, "abc", ""), "abc");
}

TEST(ParseAddress, FullForms) {
  EXPECT_EQ(Parsed("2:5020/123.4"), Addr(2, 5020, 123, 4));
  EXPECT_EQ(Parsed("2:5020/123"), Addr(2, 5020, 123, 0));
  EXPECT_EQ(Parsed("2:5020/123.4@mynet"), Addr(2, 5020, 123, 4));
  EXPECT_EQ(Parsed("2::5020//123"), Addr(2, 5020, 123, 0));
  EXPECT_EQ(Parsed("/2:5020/123.4"), Addr(2, 5020, 123, 4));
  // A component that is not a number inside an accepted text becomes 0.
  EXPECT_EQ(Parsed("2:5020/1-2"), Addr(2, 5020, 0, 0));
  EXPECT_EQ(Parsed("-1:-2/-3.-4"), Addr(-1, -2, -3, -4));
}

TEST(ParseAddress, PartialFormsBuildOnTheGivenAddress) {
  // Zone and net alone are accepted and change nothing.
  EXPECT_EQ(Parsed("2:5020", Addr(1, 1, 1, 1)), Addr(1, 1, 1, 1));
  EXPECT_EQ(Parsed("5020/123", Addr(2, 1, 1, 1)), Addr(2, 5020, 123, 0));
  EXPECT_EQ(Parsed("5020/123.4", Addr(2, 1, 1, 1)), Addr(2, 5020, 123, 4));
  EXPECT_EQ(Parsed("/123", Addr(2, 5020, 1, 1)), Addr(2, 5020, 123, 0));
  EXPECT_EQ(Parsed("123", Addr(2, 5020, 1, 1)), Addr(2, 5020, 123, 0));
  EXPECT_EQ(Parsed("123.7", Addr(2, 5020, 1, 1)), Addr(2, 5020, 123, 7));
  EXPECT_EQ(Parsed(".7", Addr(2, 5020, 123, 1)), Addr(2, 5020, 123, 7));
  EXPECT_EQ(Parsed(".7.8", Addr(2, 5020, 123, 1)), Addr(2, 5020, 123, 0));
  EXPECT_EQ(Parsed("5020/123@net", Addr(2, 1, 1, 1)), Addr(2, 5020, 123, 0));
}

TEST(ParseAddress, RejectsLeaveTheAddressUnchanged) {
  for (const char* text :
       {"", "@mynet", "/", "/@x", "2:5020/123 ", " 2:5020/123", "2:5020/abc",
        "2:5020/123\t", "2:5020/$1A", "+2:5020/1", "node"}) {
    FtnAddress a = Addr(1, 2, 3, 4);
    EXPECT_FALSE(ParseAddress(text, a)) << '"' << text << '"';
    EXPECT_EQ(a, Addr(1, 2, 3, 4)) << '"' << text << '"';
  }
}

TEST(ParseAddress, ComponentsKeepTheirLowSixteenBits) {
  EXPECT_EQ(Parsed("70000:65535/32768.65536"), Addr(4464, -1, -32768, 0));
  EXPECT_EQ(Parsed("1:2/-1"), Addr(1, 2, -1, 0));
  // Beyond the 32-bit range the number rule gives 0.
  EXPECT_EQ(Parsed("1:2/4294967296"), Addr(1, 2, 0, 0));
}

TEST(ParseFieldAddress, ReadsTheValueAfterTheKeyword) {
  FtnAddress a = Addr(7, 7, 7, 7);
  ParseFieldAddress("FROM 2:5020/123.4@mynet", a);
  EXPECT_EQ(a, Addr(2, 5020, 123, 4));
  ParseFieldAddress("ORIGIN   2:5020/123", a);
  EXPECT_EQ(a, Addr(2, 5020, 123, 0));
  ParseFieldAddress("TO 2:5020/123@fidonet", a);
  EXPECT_EQ(a, Addr(2, 5020, 123, 0));
  // No zone: the zone is 0, not kept.
  ParseFieldAddress("FROM 5020/123", a);
  EXPECT_EQ(a, Addr(0, 5020, 123, 0));
  // A trailing blank spoils the last component.
  ParseFieldAddress("FROM 2:5020/123 ", a);
  EXPECT_EQ(a, Addr(2, 5020, 0, 0));
  ParseFieldAddress("FROM 2:5020/123.4 x", a);
  EXPECT_EQ(a, Addr(2, 5020, 123, 0));
  // A bare value (no blank) is taken whole.
  ParseFieldAddress("2:5020/123.4", a);
  EXPECT_EQ(a, Addr(2, 5020, 123, 4));
  // Hex components and wrapped values pass; garbage gives zeros.
  ParseFieldAddress("FROM $2:$13A/70000", a);
  EXPECT_EQ(a, Addr(2, 314, 4464, 0));
  ParseFieldAddress("FROM", a);
  EXPECT_EQ(a, Addr(0, 0, 0, 0));
  ParseFieldAddress("FROM garbage:in/put.here@x", a);
  EXPECT_EQ(a, Addr(0, 0, 0, 0));
  ParseFieldAddress("", a);
  EXPECT_EQ(a, Addr(0, 0, 0, 0));
}

TEST(AddressText, Forms) {
  EXPECT_EQ(AddressToText(Addr(2, 5020, 123, 4)), "2:5020/123.4");
  EXPECT_EQ(AddressToText(Addr(2, 5020, 123, 0)), "2:5020/123");
  EXPECT_EQ(AddressToText4D(Addr(2, 5020, 123, 0)), "2:5020/123.0");
  EXPECT_EQ(AddressToText3D(Addr(2, 5020, 123, 4)), "2:5020/123");
  EXPECT_EQ(AddressToText(Addr(-1, 0, 0, 0)), "-1:0/0");
  EXPECT_EQ(AddressToTextUnsigned(Addr(-1, 0, -32768, 0)), "65535:0/32768");
  EXPECT_EQ(AddressToTextUnsigned(Addr(1, 2, 3, -1)), "1:2/3.65535");
  // Text written by AddressToText parses back to the same address.
  FtnAddress round;
  ASSERT_TRUE(ParseAddress(AddressToText(Addr(2, 5020, 123, 4)), round));
  EXPECT_EQ(round, Addr(2, 5020, 123, 4));
}

TEST(AddressCompare, FieldsInOrderAsSignedNumbers) {
  EXPECT_EQ(CompareAddress(Addr(1, 2, 3, 4), Addr(1, 2, 3, 5)), -1);
  EXPECT_EQ(CompareAddress(Addr(1, 2, 3, 5), Addr(1, 2, 3, 4)), 1);
  EXPECT_EQ(CompareAddress(Addr(1, 2, 3, 4), Addr(1, 2, 3, 4)), 0);
  EXPECT_EQ(CompareAddress(Addr(-1, 0, 0, 0), Addr(0, 0, 0, 0)), -1);
  EXPECT_EQ(CompareAddress(Addr(1, 9, 9, 9), Addr(2, 0, 0, 0)), -1);
  EXPECT_EQ(CompareAddress(Addr(2, 1, 0, 0), Addr(2, 0, 9, 9)), 1);
}

}  // namespace
}  // namespace vex
