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

TEST(ExtractWord, RunsOfDelimitersSeparateLikeOne) {
  struct Row {
    int n;
    const char* text;
    const char* delimiters;
    const char* word;
  };
  for (const Row& r : {Row{1, "::2::5020", ":", "2"}, Row{2, "::2::5020", ":", "5020"},
                       Row{3, "::2::5020", ":", ""}, Row{0, "a b", " ", ""},
                       Row{2, "a.b/c", "./", "b"}, Row{1, "", "./", ""},
                       Row{1, "abc", "", "abc"}})
    EXPECT_EQ(ExtractWord(r.n, r.text, r.delimiters), r.word) << r.n << " " << r.text;
}

// ParseAddress over a start address: what it accepts and the result.
struct ParseRow {
  const char* text;
  FtnAddress start;
  FtnAddress parsed;
};

class ParseAddressTable : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseAddressTable, Accepts) {
  FtnAddress a = GetParam().start;
  EXPECT_TRUE(ParseAddress(GetParam().text, a));
  EXPECT_EQ(a, GetParam().parsed);
}

const FtnAddress kAny = Addr(9, 9, 9, 9);

INSTANTIATE_TEST_SUITE_P(
    FullForms, ParseAddressTable,
    ::testing::Values(ParseRow{"2:5020/123.4", kAny, Addr(2, 5020, 123, 4)},
                      ParseRow{"2:5020/123", kAny, Addr(2, 5020, 123, 0)},
                      ParseRow{"2:5020/123.4@mynet", kAny, Addr(2, 5020, 123, 4)},
                      ParseRow{"2::5020//123", kAny, Addr(2, 5020, 123, 0)},
                      ParseRow{"/2:5020/123.4", kAny, Addr(2, 5020, 123, 4)},
                      // A component that is not a number inside an accepted
                      // text becomes 0.
                      ParseRow{"2:5020/1-2", kAny, Addr(2, 5020, 0, 0)},
                      ParseRow{"-1:-2/-3.-4", kAny, Addr(-1, -2, -3, -4)}));

INSTANTIATE_TEST_SUITE_P(
    PartialFormsBuildOnTheGivenAddress, ParseAddressTable,
    ::testing::Values(
        // Zone and net alone are accepted and change nothing.
        ParseRow{"2:5020", Addr(1, 1, 1, 1), Addr(1, 1, 1, 1)},
        ParseRow{"5020/123", Addr(2, 1, 1, 1), Addr(2, 5020, 123, 0)},
        ParseRow{"5020/123.4", Addr(2, 1, 1, 1), Addr(2, 5020, 123, 4)},
        ParseRow{"/123", Addr(2, 5020, 1, 1), Addr(2, 5020, 123, 0)},
        ParseRow{"123", Addr(2, 5020, 1, 1), Addr(2, 5020, 123, 0)},
        ParseRow{"123.7", Addr(2, 5020, 1, 1), Addr(2, 5020, 123, 7)},
        ParseRow{".7", Addr(2, 5020, 123, 1), Addr(2, 5020, 123, 7)},
        ParseRow{".7.8", Addr(2, 5020, 123, 1), Addr(2, 5020, 123, 0)},
        ParseRow{"5020/123@net", Addr(2, 1, 1, 1), Addr(2, 5020, 123, 0)}));

INSTANTIATE_TEST_SUITE_P(
    ComponentsKeepTheirLowSixteenBits, ParseAddressTable,
    ::testing::Values(ParseRow{"70000:65535/32768.65536", kAny, Addr(4464, -1, -32768, 0)},
                      ParseRow{"1:2/-1", kAny, Addr(1, 2, -1, 0)},
                      // Beyond the 32-bit range the number rule gives 0.
                      ParseRow{"1:2/4294967296", kAny, Addr(1, 2, 0, 0)}));

TEST(ParseAddress, RejectsLeaveTheAddressUnchanged) {
  for (const char* text :
       {"", "@mynet", "/", "/@x", "2:5020/123 ", " 2:5020/123", "2:5020/abc",
        "2:5020/123\t", "2:5020/$1A", "+2:5020/1", "node"}) {
    FtnAddress a = Addr(1, 2, 3, 4);
    EXPECT_FALSE(ParseAddress(text, a)) << '"' << text << '"';
    EXPECT_EQ(a, Addr(1, 2, 3, 4)) << '"' << text << '"';
  }
}

TEST(ParseFieldAddress, ReadsTheValueAfterTheKeyword) {
  struct Row {
    const char* line;
    FtnAddress parsed;
  };
  // Each line is read over the address the line before left.
  const Row rows[] = {
      {"FROM 2:5020/123.4@mynet", Addr(2, 5020, 123, 4)},
      {"ORIGIN   2:5020/123", Addr(2, 5020, 123, 0)},
      {"TO 2:5020/123@fidonet", Addr(2, 5020, 123, 0)},
      // No zone: the zone is 0, not kept.
      {"FROM 5020/123", Addr(0, 5020, 123, 0)},
      // A trailing blank spoils the last component.
      {"FROM 2:5020/123 ", Addr(2, 5020, 0, 0)},
      {"FROM 2:5020/123.4 x", Addr(2, 5020, 123, 0)},
      // A bare value (no blank) is taken whole.
      {"2:5020/123.4", Addr(2, 5020, 123, 4)},
      // Hex components and wrapped values pass; garbage gives zeros.
      {"FROM $2:$13A/70000", Addr(2, 314, 4464, 0)},
      {"FROM", Addr(0, 0, 0, 0)},
      {"FROM garbage:in/put.here@x", Addr(0, 0, 0, 0)},
      {"", Addr(0, 0, 0, 0)},
  };
  FtnAddress a = Addr(7, 7, 7, 7);
  for (const Row& r : rows) {
    ParseFieldAddress(r.line, a);
    EXPECT_EQ(a, r.parsed) << '"' << r.line << '"';
  }
}

TEST(AddressText, Forms) {
  struct Row {
    std::string (*form)(const FtnAddress&);
    FtnAddress address;
    const char* text;
  };
  for (const Row& r : {Row{AddressToText, Addr(2, 5020, 123, 4), "2:5020/123.4"},
                       Row{AddressToText, Addr(2, 5020, 123, 0), "2:5020/123"},
                       Row{AddressToText4D, Addr(2, 5020, 123, 0), "2:5020/123.0"},
                       Row{AddressToText3D, Addr(2, 5020, 123, 4), "2:5020/123"},
                       Row{AddressToText, Addr(-1, 0, 0, 0), "-1:0/0"},
                       Row{AddressToTextUnsigned, Addr(-1, 0, -32768, 0), "65535:0/32768"},
                       Row{AddressToTextUnsigned, Addr(1, 2, 3, -1), "1:2/3.65535"}})
    EXPECT_EQ(r.form(r.address), r.text);
  // Text written by AddressToText parses back to the same address.
  FtnAddress round;
  ASSERT_TRUE(ParseAddress(AddressToText(Addr(2, 5020, 123, 4)), round));
  EXPECT_EQ(round, Addr(2, 5020, 123, 4));
}

TEST(AddressCompare, FieldsInOrderAsSignedNumbers) {
  struct Row {
    FtnAddress a, b;
    int order;
  };
  for (const Row& r : {Row{Addr(1, 2, 3, 4), Addr(1, 2, 3, 5), -1},
                       Row{Addr(1, 2, 3, 5), Addr(1, 2, 3, 4), 1},
                       Row{Addr(1, 2, 3, 4), Addr(1, 2, 3, 4), 0},
                       Row{Addr(-1, 0, 0, 0), Addr(0, 0, 0, 0), -1},
                       Row{Addr(1, 9, 9, 9), Addr(2, 0, 0, 0), -1},
                       Row{Addr(2, 1, 0, 0), Addr(2, 0, 9, 9), 1}})
    EXPECT_EQ(CompareAddress(r.a, r.b), r.order)
        << AddressToText(r.a) << " " << AddressToText(r.b);
}

}  // namespace
}  // namespace vex
