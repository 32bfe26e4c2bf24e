#include "report/template.h"

#include <gtest/gtest.h>

#include "platform/cp866.h"
#include "report/report_test_util.h"

namespace vex {
namespace {

using namespace testing_report;

AreaStat Area(const std::string& name, int64_t size, int64_t files) {
  AreaStat a;
  a.name = name;
  a.sizeIn = size;
  a.filesIn = files;
  return a;
}

class TemplateTest : public ::testing::Test {
 protected:
  TemplateTest() {
    f.settings.useChar = "#+*-X";
    f.tables.areas = {Area("SMALL", 1024, 5), Area("LARGE", 4096, 1)};
    LinkStat link;
    link.address = Addr(2, 5020, 1);
    link.sizeIn = 5120, link.filesIn = 6;
    f.tables.links = {link};
    f.tables.totals.sizeIn = f.tables.totals.totalSize = 5120;
    f.tables.totals.filesIn = f.tables.totals.totalFiles = 6;
  }
  std::vector<std::string> Run(const std::string& text) {
    f.lines.clear();
    f.env.SetFile("t.tpl", text);
    TemplateEntry e;
    e.templateFile = "t.tpl";
    ProcessTemplate(f.ctx, e);
    return f.lines;
  }
  using Lines = std::vector<std::string>;
  Fixture f;
};

TEST_F(TemplateTest, SettingDirectivesChangeSizes) {
  EXPECT_EQ(Run("#DOTSTYLE ,\n#ORDERSTYLE '\n#KBSIZE 1\n@TOTALSIZE\n"),
            Lines{"5'120,00"});
  EXPECT_EQ(Run("  #realdots 0\n#PERCDOTS 1\n@TOTALSIZE\n"), Lines{"5'120"});
  EXPECT_EQ(Run("#ORDERSTYLE EMPTY\n#REALDOTS 1\n#KBSIZE 1000\n@TOTALSIZE\n"),
            Lines{"5,1"});
  EXPECT_EQ(f.settings.percDots, 1);
}

TEST_F(TemplateTest, DirectiveValuesAndTheirOddCases) {
  Run("#DOTSTYLE\n");  // alone: its own word is the value
  EXPECT_EQ(f.settings.dotStyle, '#');
  Run("#DOTSTYLE   \n");  // empty value keeps the point
  EXPECT_EQ(f.settings.dotStyle, '.');
  Run("#KBSIZE 2000\n#KBSIZE 0\n#KBSIZE\n#KBSIZE abc\n");  // 0 is ignored
  EXPECT_EQ(f.settings.kbSize, 2000);
  Run("#KBSIZE -1\n");
  EXPECT_EQ(f.settings.kbSize, -1);
  Run("#USECHAR ab\n");  // upper-cased, short values padded with spaces
  EXPECT_EQ(f.settings.useChar, "AB   ");
  Run("#usechar EMPTY\n");
  EXPECT_EQ(f.settings.useChar, "     ");
  Run("#USECHAR\n");
  EXPECT_EQ(f.settings.useChar, "#USEC");
  Run(Cp866("#USECHAR абвгдеж\n"));
  EXPECT_EQ(f.settings.useChar, Cp866("АБВГД"));
  Run("#ORDERSTYLE x\n");
  EXPECT_EQ(f.settings.orderStyle, "X");
  Run("#ORDERSTYLE   \n");
  EXPECT_EQ(f.settings.orderStyle, "");
  Run("#PERCDOTS 258\n#REALDOTS nope\n");
  EXPECT_EQ(f.settings.percDots, 2);
  EXPECT_EQ(f.settings.realDots, 0);
}

TEST_F(TemplateTest, SectionsSortAndRepeatTheRowLine) {
  EXPECT_EQ(Run("head\n#AREASIZE\n@NUMB @AREA(9,L)|\ntail\n"),
            (Lines{"head", "1 LARGE    |", "2 SMALL    |", "tail"}));
  EXPECT_EQ(Run("#areafile\n@NUMB @AREA(9,L) @GRAPH(5,L)|\n"),
            (Lines{"1 SMALL     #####|", "2 LARGE     #    |"}));
  // A comment in the row position is the row line.
  EXPECT_EQ(Run("#LINKSIZE\n;@LINK\n"), Lines{";2:5020/1"});
}

TEST_F(TemplateTest, LaterSectionsStartFromTheOrderLeftBefore) {
  // Equal file counts: the file section keeps the size order it found.
  f.tables.areas = {Area("FIRST", 10, 2), Area("BIGGER", 50, 2)};
  EXPECT_EQ(Run("#AREASIZE\n@AREA(9,L)|\n#AREAFILE\n@NUMB @AREA(9,L)|\n"),
            (Lines{"BIGGER   |", "FIRST    |", "1 BIGGER   |", "2 FIRST    |"}));
}

TEST_F(TemplateTest, SectionDirectivesMustFillTheLine) {
  f.run.screenLength = 20;
  EXPECT_EQ(Run("#AREASIZE now\n  #AREASIZE\n"),
            (Lines{"    AREASIZE now    ", "  #AREASIZE"}));
  EXPECT_EQ(Run(";comment\n\n#\n"), (Lines{"", std::string(20, ' ')}));
}

TEST_F(TemplateTest, EmptyRowLinesAndEmptyTables) {
  // An area section with an empty row line writes nothing; link sections
  // write one empty line per row.
  EXPECT_EQ(Run("#AREASIZE\n\n#LINKFILE\n\nend\n"), (Lines{"", "end"}));
  EXPECT_EQ(Run("#AREASIZE"), Lines{});  // no row line at all
  f.tables.areas.clear();
  f.tables.links.clear();
  EXPECT_EQ(Run("#AREASIZE\n@AREA\n#AREAFILE\nx\n#LINKSIZE\n\n#ORIGINALLINKFILE\n"
                "x\n#EXPLINKSIZE\nx\n#EXPLINKFILE\nx\n"),
            (Lines{"None areas", "None areas", "None links", "None links",
                   "None links", "None links"}));
}

TEST_F(TemplateTest, SettingsCarryOverToTheNextTemplate) {
  Run("#DOTSTYLE ,\n");
  EXPECT_EQ(Run("@TOTALSIZE\n"), Lines{"5,00"});
}

TEST_F(TemplateTest, HtmlEscapeWhileOnAndOnlyInItsTemplate) {
  f.tables.areas = {Area("AT&T<B>", 10, 1), Area("\"Q\"", 5, 1)};
  // Widths count the raw value; the template's own text stays as written.
  EXPECT_EQ(Run("#HTMLESCAPE ON\n#AREASIZE\n<td>@AREA(8,L)|</td>\n"
                "#htmlescape off\n#AREASIZE\n@AREA(8,L)|\n"),
            (Lines{"<td>AT&amp;T&lt;B&gt; |</td>", "<td>&quot;Q&quot;     |</td>",
                   "AT&T<B> |", "\"Q\"     |"}));
  Run("#HTMLESCAPE ON\n");
  EXPECT_EQ(Run("#AREASIZE\n@AREA(8,L)|\n"), (Lines{"AT&T<B> |", "\"Q\"     |"}));
}

TEST_F(TemplateTest, UnreadableTemplateIsLogged) {
  TemplateEntry e;
  e.templateFile = "missing.tpl";
  ProcessTemplate(f.ctx, e);
  EXPECT_TRUE(f.lines.empty());
  EXPECT_NE(f.env.console().find(Cp866("Не могу прочитать шаблон missing.tpl")),
            std::string::npos);
}

TEST_F(TemplateTest, OverlongTemplateLinesAreCut) {
  Lines out = Run(std::string(10000, 'a') + "\n#AREASIZE\n" +
                  std::string(300, 'b') + "@AREA\n");
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], std::string(255, 'a'));
  EXPECT_EQ(out[1], std::string(255, 'b'));
}

}  // namespace
}  // namespace vex
