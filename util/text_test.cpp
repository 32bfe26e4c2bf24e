#include "util/text.h"

#include <gtest/gtest.h>

#include "platform/cp866.h"

namespace vex {
namespace {

TEST(Text, CutKeepsAtMostMax) {
  EXPECT_EQ(Cut(std::string(300, 'x')).size(), 255u);
  EXPECT_EQ(Cut("abcdef", 3), "abc");
  EXPECT_EQ(Cut("ab", 3), "ab");
}

TEST(Text, UpperCp866MapsLatinAndCyrillicOnly) {
  EXPECT_EQ(UpperCp866("TicPath 1z"), "TICPATH 1Z");
  EXPECT_EQ(UpperCp866(Cp866("абвгдежзийклмноп")), Cp866("АБВГДЕЖЗИЙКЛМНОП"));
  EXPECT_EQ(UpperCp866(Cp866("рстуфхцчшщъыьэюя")), Cp866("РСТУФХЦЧШЩЪЫЬЭЮЯ"));
  // "ё" (F1) and the pseudographics between the two Cyrillic blocks stay.
  EXPECT_EQ(UpperCp866("\xF1\xB0\xDF\xF0"), "\xF1\xB0\xDF\xF0");
  EXPECT_EQ(UpperCp866(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(Text, FirstWordAndRestOfLine) {
  struct Row {
    std::string text, first, rest;
  };
  for (const Row& r : {
           Row{"  LOGFILE  vex.log  ", "LOGFILE", "vex.log  "},
           // A text without a space is its own rest.
           Row{"LOGFILE", "LOGFILE", "LOGFILE"},
           Row{"   LOGFILE", "LOGFILE", "LOGFILE"},
           Row{"    ", "", ""},
           Row{"KEY ", "KEY", ""},
           // Tabs are ordinary characters.
           Row{"KEY\tvalue x", "KEY\tvalue", "x"},
           Row{std::string(300, 'a') + " b", std::string(255, 'a'), "b"},
           Row{std::string(300, 'a'), std::string(255, 'a'), std::string(255, 'a')},
       }) {
    EXPECT_EQ(FirstWord(r.text), r.first) << r.text;
    EXPECT_EQ(RestOfLine(r.text), r.rest) << r.text;
  }
}

TEST(Text, StripLeadingSpaces) {
  std::string s = "   a b ";
  StripLeadingSpaces(s);
  EXPECT_EQ(s, "a b ");
  s = "    ";
  StripLeadingSpaces(s);
  EXPECT_EQ(s, "");
  s = "\tx";
  StripLeadingSpaces(s);
  EXPECT_EQ(s, "\tx");
}

TEST(Text, OptionValuePlainAndQuoted) {
  struct Row {
    std::string line;
    size_t max;
    std::string value;
  };
  for (const Row& r : {
           Row{"TICEXT \"*.t?c\" ; the mask", kMaxString, "*.t?c"},
           Row{"ORIGIN   My  node  ", kMaxString, "My  node  "},
           Row{"ORIGIN", kMaxString, "ORIGIN"},
           // One quote only: the rest of the line after it.
           Row{"ORIGIN \"open end ", kMaxString, "open end "},
           // The quoted value starts at the first quote wherever it is.
           Row{"KEY a\"b\"c", kMaxString, "b"},
           Row{"KEY \"\"", kMaxString, ""},
           Row{"KEY value", kMaxString, "value"},
           Row{"KEY abcdef", 3, "abc"},
           Row{"KEY " + std::string(400, 'v'), kMaxString, std::string(255, 'v')},
       })
    EXPECT_EQ(OptionValue(r.line, r.max), r.value) << r.line;
}

TEST(Text, SetStringOptionComparesFirstWord) {
  std::string dest = "old";
  EXPECT_FALSE(SetStringOption("LOGFILEX a", "LOGFILE", dest));
  EXPECT_EQ(dest, "old");
  EXPECT_TRUE(SetStringOption("  logfile  vex.log", "LogFile", dest));
  EXPECT_EQ(dest, "vex.log");
  // The keyword alone matches: its value is the keyword itself.
  EXPECT_TRUE(SetStringOption("LOGFILE", "LOGFILE", dest));
  EXPECT_EQ(dest, "LOGFILE");
  EXPECT_TRUE(SetStringOption("ORIGIN \"a b\" tail", "ORIGIN", dest, 2));
  EXPECT_EQ(dest, "a ");
  std::string cyr;
  EXPECT_TRUE(SetStringOption(Cp866("ключ значение"), Cp866("КЛЮЧ"), cyr));
  EXPECT_EQ(cyr, Cp866("значение"));
}

TEST(Text, SetNumberOptionNeedsASpaceAfterTheKeyword) {
  int32_t n = 5;
  EXPECT_TRUE(SetNumberOption("  screenlength 12", "SCREENLENGTH", n));
  EXPECT_EQ(n, 12);
  EXPECT_TRUE(SetNumberOption("SCREENLENGTH $4F", "SCREENLENGTH", n));
  EXPECT_EQ(n, 79);
  EXPECT_TRUE(SetNumberOption("SCREENLENGTH 12 ", "SCREENLENGTH", n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(SetNumberOption("SCREENLENGTH \"-3\" x", "SCREENLENGTH", n));
  EXPECT_EQ(n, -3);
  n = 5;
  EXPECT_FALSE(SetNumberOption("SCREENLENGTH", "SCREENLENGTH", n));
  EXPECT_FALSE(SetNumberOption("SCREENLENGTH2 7", "SCREENLENGTH", n));
  EXPECT_EQ(n, 5);
}

TEST(Text, SetBoolOptionAndParseYes) {
  bool b = true;
  EXPECT_FALSE(SetBoolOption("KILLTIC", "KILLTIC", b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(SetBoolOption("killtic no", "KILLTIC", b));
  EXPECT_FALSE(b);
  EXPECT_TRUE(SetBoolOption("  KILLTIC yes", "KILLTIC", b));
  EXPECT_TRUE(b);
  // The keyword followed only by spaces: the value is empty.
  EXPECT_TRUE(SetBoolOption("KILLTIC   ", "KILLTIC", b));
  EXPECT_FALSE(b);

  for (const char* v : {"Y", "y", "Yes", "yes", "YXZ"})
    EXPECT_TRUE(ParseYes(std::string("KILLTIC ") + v, "KILLTIC")) << v;
  for (const char* v : {"N", "No", "1", "True", ""})
    EXPECT_FALSE(ParseYes(std::string("KILLTIC ") + v, "KILLTIC")) << v;
  // A line holding only the keyword is not a yes, but a bare "Yes" is.
  EXPECT_FALSE(ParseYes("KILLTIC", "KILLTIC"));
  EXPECT_FALSE(ParseYes("killtic", "KILLTIC"));
  EXPECT_TRUE(ParseYes("Yes", "KILLTIC"));
}

TEST(Text, IsConfigLine) {
  for (auto [line, config] : {std::pair<const char*, bool>{"", true}, {"; comment", false},
                              {"#comment", false}, {"\\\\ comment", false},
                              {"\\ not a comment", true}, {" ; indented", true},
                              {"KEY ; value", true}})
    EXPECT_EQ(IsConfigLine(line), config) << line;
}

}  // namespace
}  // namespace vex
