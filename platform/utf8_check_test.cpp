#include "platform/utf8_check.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/cp866.h"

namespace vex {
namespace {

struct Utf8Case {
  std::string text;
  bool wellFormed;
  bool multiByte;
};

class Utf8CheckTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8CheckTest, WholeAndSplitAtEveryByte) {
  const Utf8Case& c = GetParam();
  for (size_t cut = 0; cut <= c.text.size(); ++cut) {
    Utf8Check check;
    check.Feed(std::string_view(c.text).substr(0, cut));
    check.Feed(std::string_view(c.text).substr(cut));
    EXPECT_EQ(check.WellFormed(), c.wellFormed) << cut;
    if (c.wellFormed) {
      EXPECT_EQ(check.HasMultiByte(), c.multiByte) << cut;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8CheckTest,
    ::testing::Values(
        Utf8Case{"", true, false}, Utf8Case{"plain ASCII\r\n", true, false},
        Utf8Case{"Статистика ─ ■∙·█", true, true},
        Utf8Case{"\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", true, true},
        // CP866 text: Cyrillic letters and a box-drawing line.
        Utf8Case{"\x91\xE2\xA0\xE2\xA8\xE1\xE2\xA8\xAA\xA0", false, true},
        Utf8Case{"\xC4\xC4\xC4\xC4", false, true},
        Utf8Case{"\xE2\x94", false, true},              // cut off at the end
        Utf8Case{"\xC0\xAF", false, true},              // overlong
        Utf8Case{"\xE0\x80\xAF", false, true},          // overlong
        Utf8Case{"\xED\xA0\x80", false, true},          // surrogate
        Utf8Case{"\xF4\x90\x80\x80", false, true},      // beyond U+10FFFF
        Utf8Case{"\xF5\x80\x80\x80", false, true},
        Utf8Case{"a\x80", false, true}));               // lone continuation

TEST(Utf8ToCp866Test, CharactersCp866LacksBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp866("Ёж ─ €😀"), "\xF0\xA6 \xC4 ??");
  EXPECT_EQ(Utf8ToCp866(Cp866ToUtf8("\xB0\xDB\xFE\xFF")), "\xB0\xDB\xFE\xFF");
}

}  // namespace
}  // namespace vex
