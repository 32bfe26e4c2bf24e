#include "report/macro_line.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

std::string Set(const std::string& text, const std::string& name,
                const std::string& value) {
  MacroLine line(text);
  SetMacro(name, value, line);
  return line.text;
}

TEST(FieldArgumentTest, WidthAndAlignment) {
  EXPECT_EQ(Set("[@FILEIN(6)]", "@FILEIN", "42"), "[    42]");
  EXPECT_EQ(Set("[@FILEIN(6,L)]", "@FILEIN", "42"), "[42    ]");
  EXPECT_EQ(Set("[@FILEIN(6, r)]", "@FILEIN", "42"), "[    42]");
  EXPECT_EQ(Set("[@FILEIN(1)]", "@FILEIN", "42"), "[42]");  // never cut
  // Centre: the first added space goes on the right, then they alternate.
  EXPECT_EQ(Set("[@FILEIN(3,C)]", "@FILEIN", "42"), "[42 ]");
  EXPECT_EQ(Set("[@FILEIN(5,c)]", "@FILEIN", "42"), "[ 42  ]");
  EXPECT_EQ(Set("[@FILEIN(6,C)]", "@FILEIN", "42"), "[  42  ]");
  // Malformed arguments: width 0, right alignment.
  EXPECT_EQ(Set("[@FILEIN(x,L)]", "@FILEIN", "42"), "[42]");
  EXPECT_EQ(Set("[@FILEIN()]", "@FILEIN", "42"), "[42]");
  EXPECT_EQ(Set("[@FILEIN(6 ,L)]", "@FILEIN", "42"), "[42    ]");
  EXPECT_EQ(Set("[@FILEIN(-3)]", "@FILEIN", "42"), "[42]");
}

TEST(FieldArgumentTest, UnterminatedArgumentRunsToTheEndOfTheLine) {
  EXPECT_EQ(Set("x @FILEIN(6", "@FILEIN", "42"), "x     42");
  EXPECT_EQ(Set("x @FILEIN(6,L and more", "@FILEIN", "42"), "x 42    ");
  EXPECT_EQ(Set("@FILEIN(", "@FILEIN", "42"), "42");
}

TEST(FieldArgumentTest, WidthAboveTheLineLengthStopsAt255) {
  std::string out = Set("ab @FILEIN(100000) cd", "@FILEIN", "42");
  ASSERT_EQ(out.size(), kMaxLine);
  EXPECT_EQ(out.substr(0, 3), "ab ");
  EXPECT_EQ(out.substr(out.size() - 2), "  ");  // value pushed past the cut
  EXPECT_EQ(Set("@FILEIN(255,L)|", "@FILEIN", "42").size(), kMaxLine);
}

TEST(SetMacroTest, OccurrencesCaseAndProtectedValues) {
  // Each occurrence gets its own field argument.
  EXPECT_EQ(Set("@totalfiles|@TotalFiles(4)|@TOTALFILES(3,L)|", "@TOTALFILES", "7"),
            "7|   7|7  |");
  // A value holding the macro's own name is not expanded again.
  EXPECT_EQ(Set("<@AREA> <@AREA(8,L)>", "@AREA", "X@AREAY"),
            "<X@AREAY> <X@AREAY >");
  // Nor are "@Space" and "\n" inside values.
  MacroLine line("@AREA @SIZEIN");
  SetMacro("@AREA", "a\\nb@SPACE@SIZEIN", line);
  SetMacro("@SIZEIN", "1.00", line);
  EXPECT_EQ(line.text, "a\\nb@SPACE@SIZEIN 1.00");
  // A "(" that a value put in does not open a field argument.
  MacroLine l2("@AREA@FILEIN");
  SetMacro("@AREA", "x", l2);
  EXPECT_EQ(l2.text, "x@FILEIN");
  MacroLine l3("@FILEIN@AREA");
  SetMacro("@AREA", "(3)", l3);
  SetMacro("@FILEIN", "42", l3);
  EXPECT_EQ(l3.text, "42(3)");
}

TEST(SetMacroTest, NameJoinedByAnEmptyValueIsFound) {
  // Removing "@X" puts the first "@" before "TOTALFILES".
  MacroLine line("@@XTOTALFILES");
  ReplaceAll(line, "", "@X");
  EXPECT_EQ(line.Find("@TOTALFILES"), 0u);
  EXPECT_EQ(line.Find("@ENDDATE"), std::string::npos);
}

TEST(SetMacroTest, SpaceAndLineBreak) {
  EXPECT_EQ(Set("a@Space(10)b", "@X", ""), "a          b");
  EXPECT_EQ(Set("a@SPACEb@space", "@X", ""), "a b ");
  EXPECT_EQ(Set("one\\ntwo", "@X", ""), "one\n\rtwo");
  EXPECT_EQ(Set("one\\Ntwo", "@X", ""), "one\n\rtwo");
}

TEST(SetMacroTest, ExpansionNeverGrowsPast255) {
  std::string text = std::string(230, 'x') + "@TOTALSIZE@TOTALSIZE";
  std::string out = Set(text, "@TOTALSIZE", "1234567890123");
  EXPECT_EQ(out, std::string(230, 'x') + "1234567890123" + "123456789012");
}

TEST(GraphWidthTest, NumberBeforeTheFirstComma) {
  EXPECT_EQ(GraphWidth("@GRAPH", MacroLine("@GRAPH(20,L)")), 20);
  EXPECT_EQ(GraphWidth("@GRAPH", MacroLine("@GRAPH(20)")), 0);
  EXPECT_EQ(GraphWidth("@GRAPH", MacroLine("@graph(7,L) @GRAPH(9,L)")), 7);
  EXPECT_EQ(GraphWidth("@GRAPH", MacroLine("@GRAPH 12, x")), 12);
  EXPECT_EQ(GraphWidth("@GRAPH", MacroLine("@GRAPH(20 ,L)")), 0);
  EXPECT_EQ(GraphWidth("@GRAPH", MacroLine("@GRAPH12, x")), 12);
  EXPECT_EQ(GraphWidth("@AREA", MacroLine("@AREA")), 0);
  EXPECT_EQ(GraphWidth("@AREA", MacroLine("")), 0);
  EXPECT_EQ(GraphWidth("@AREA", MacroLine("@AREA(10,L")), 10);
}

TEST(JustifyLineTest, Modes) {
  EXPECT_EQ(JustifyLine("abc", 6, "RIGHT"), "   abc");
  EXPECT_EQ(JustifyLine("abc", 6, "left"), "abc   ");
  EXPECT_EQ(JustifyLine("abc", 6, "CENTER"), "  abc  ");  // one column over
  EXPECT_EQ(JustifyLine("abcd", 6, "C"), " abcd ");
  EXPECT_EQ(JustifyLine("abc", 6, "X"), "abc");
  EXPECT_EQ(JustifyLine("abcdefg", 6, "R"), "abcdefg");
  EXPECT_EQ(JustifyLine("abc", 100000, "R").size(), kMaxLine);
  EXPECT_EQ(JustifyLine("abc", 100000, "C").size(), kMaxLine);
  EXPECT_EQ(JustifyLine("abc", -5, "C"), "abc");
}

}  // namespace
}  // namespace vex
