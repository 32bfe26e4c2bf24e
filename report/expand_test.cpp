#include "report/expand.h"

#include <gtest/gtest.h>

#include "report/report_test_util.h"
#include "report/sort_table.h"

namespace vex {
namespace {

using namespace testing_report;

AreaStat Area(const std::string& name, int64_t sizeIn, int64_t filesIn,
              int64_t sizeOut = 0, int64_t filesOut = 0) {
  AreaStat a;
  a.name = name;
  a.sizeIn = sizeIn, a.filesIn = filesIn;
  a.sizeOut = sizeOut, a.filesOut = filesOut;
  return a;
}

class ExpandTest : public ::testing::Test {
 protected:
  ExpandTest() {
    f.settings.useChar = "#+*-X";
    f.tables.areas = {Area("FOO.BAR", 3072, 3), Area("BAZ", 1024, 1)};
    f.tables.totals.sizeIn = f.tables.totals.totalSize = 4096;
    f.tables.totals.filesIn = f.tables.totals.totalFiles = 4;
    f.tables.periodStart = CalendarDate{2026, 11, 7};
    f.tables.periodEnd = CalendarDate{2026, 12, 8};
  }
  std::string Wide(const std::string& line) {
    return ExpandLine(f.ctx, 0, line, kNoTable, kNoKey);
  }
  std::string Row(int64_t index, const std::string& line, int kind = kAreaTable,
                  int key = kBySize) {
    return ExpandLine(f.ctx, index, line, kind, key);
  }
  Fixture f;
};

TEST_F(ExpandTest, ReportWideValues) {
  EXPECT_EQ(Wide("@TOTALFILES files, @TOTALSIZE KB, in @FILETOTALIN/@SIZETOTALIN"
                 " out @FILETOTALOUT/@SIZETOTALOUT"),
            "4 files, 4.00 KB, in 4/4.00 out 0/0.00");
  EXPECT_EQ(Wide("@BeginDate -> @ENDDATE"), "07.11.2026 -> 08.12.2026");
  EXPECT_EQ(Wide("@ID/@VER"), "Vexstat {v4.5.Win.rc}/Vexstat {v4.5.Win.rc}");
  // Row macros stay as written outside sections.
  EXPECT_EQ(Wide("@AREA @NUMB @GRAPH(5,L)"), "@AREA @NUMB @GRAPH(5,L)");
}

TEST_F(ExpandTest, ReportWideBarsAndCombinedGraphs) {
  PeriodTotals& t = f.tables.totals;
  t.sizeIn = 3, t.sizeOut = 1, t.totalSize = 4;
  t.filesIn = 1, t.filesOut = 3, t.totalFiles = 4;
  EXPECT_EQ(Wide("[@INSGRAPH(4,L)][@OUTSGRAPH(4,L)][@INFGRAPH(4,L)][@OUTFGRAPH(4,L)]"),
            "[### ][#   ][#   ][### ]");
  EXPECT_EQ(Wide("[@INSGRAPH(3,)][@REVINSGRAPH(3,)]"), "[##+][+##]");
  // In: bar1 "###" (size), bar2 "*" (files).
  EXPECT_EQ(Wide("[@EXTINGRAPH1(4,L)][@EXTINGRAPH2(4,L)][@EXTINGRAPHS(4,L)]"),
            "[X   ][X## ][X## ]");
  EXPECT_EQ(Wide("[@REVEXTINGRAPH2(4,R)][@REVEXTINGRAPH1(4,R)]"), "[ ##X][   X]");
  // Out: bar1 "#", bar2 "***"; S picks variant 1.
  EXPECT_EQ(Wide("[@EXTOUTGRAPH1(4,)][@EXTOUTGRAPH2(4,)][@EXTOUTGRAPHS(4,)]"),
            "[ X**][   X][ X**]");
  EXPECT_EQ(Wide("[@REVEXTOUTGRAPHS(4,L)]"), "[**X ]");
  // Combined graphs take the bar length modulo 256 (the field stays 260).
  EXPECT_EQ(Wide("[@EXTOUTGRAPH2 4, x]"), "[X 4, x]");
  EXPECT_EQ(Wide("@EXTOUTGRAPH2 260,"), "X 260,");
}

TEST_F(ExpandTest, SimpleReportRows) {
  const std::string line = "@NUMB(3). @AREA(12,L) @SIZETOTAL(8) @PERC(7)";
  EXPECT_EQ(Row(1, line), "  1. FOO.BAR          3.00  75.00%");
  EXPECT_EQ(Row(2, line), "  2. BAZ              1.00  25.00%");
}

TEST_F(ExpandTest, AreaCutRules) {
  f.tables.areas = {Area("THIRTEEN.CHRS", 1, 1), Area("NINE.CHRS", 1, 1),
                    Area("TEN.CHARS!", 1, 1)};
  EXPECT_EQ(Row(1, "[@AREA(10,L)]"), "[THIRTEEN.>]");
  EXPECT_EQ(Row(2, "[@AREA(10,L)]"), "[NINE.CHRS ]");
  EXPECT_EQ(Row(3, "[@AREA(10,L)]"), "[TEN.CHARS>]");
  EXPECT_EQ(Row(1, "[@AREA]"), "[>]");
  EXPECT_EQ(Row(1, "[@AREA(12)]"), "[           >]");  // no comma: width 0
  // The cut width comes from the first occurrence, each pads on its own.
  EXPECT_EQ(Row(1, "[@AREA(5,L)][@area(8,R)]"), "[THIR>][   THIR>]");
  // A name containing macro names is printed as it is.
  f.tables.areas[1].name = "@AREA@SIZEIN";
  EXPECT_EQ(Row(2, "@AREA(20,L)|@SIZEIN"), "@AREA@SIZEIN        |0.00");
}

TEST_F(ExpandTest, RowGraphsAndPercentByKey) {
  EXPECT_EQ(Row(1, "[@GRAPH(8,L)][@PERC]"), "[########][75.00%]");
  EXPECT_EQ(Row(2, "[@GRAPH(8,L)][@GRAPH(3,L)]"), "[###     ][###]");
  EXPECT_EQ(Row(2, "[@GRAPH(6,L)][@PERC]", kAreaTable, kByFiles), "[##    ][25.00%]");
  EXPECT_EQ(Row(2, "[@GRAPH(6,L)][@PERC]", kAreaTable, kNoKey),
            "[@GRAPH(6,L)][@PERC]");
  f.settings.percDots = 0;
  f.settings.dotStyle = ',';
  f.tables.areas[1].sizeIn = 1536;
  EXPECT_EQ(Row(2, "@SIZEIN @PERC"), "1,50 38%");  // 1536/4096 = 37.5
}

TEST_F(ExpandTest, ExtendedAndDoubleGraphsDifferWhenSortedBySize) {
  f.tables.areas = {Area("A", 8, 1), Area("B", 4, 4), Area("C", 2, 2)};
  // File counts, largest first: 4, 2, 1.
  EXPECT_EQ(Row(2, "[@EXTGRAPH1(4,L)][@DBLGRAPH1(4,L)]"), "[XX  ][XX**]");
  EXPECT_EQ(Row(1, "[@EXTGRAPH1(4,)][@DBLGRAPH2(4,)][@DBLGRAPHS(4,)]"),
            "[XXXX][X###][X###]");
  // Sorted by files, a row larger than row 1 draws bar1 beyond the width.
  SortTable(f.tables, kAreaTable, kByFiles);
  EXPECT_EQ(f.tables.areas[0].name, "B");
  // In that order both graphs measure bar2 by the row's own count.
  EXPECT_EQ(Row(3, "[@EXTGRAPH2(4,)][@DBLGRAPH2(4,)]"), "[X#######][X#######]");
  EXPECT_EQ(Row(2, "[@EXTGRAPH1(4,L)][@DBLGRAPH1(4,L)]"), "[XX  ][XX  ]");
}

TEST_F(ExpandTest, LinkAndExpLinkRows) {
  LinkStat link;
  link.address = Addr(2, -1, 3, 4);
  link.sizeIn = 2048, link.filesIn = 2, link.sizeOut = 1024, link.filesOut = 1;
  f.tables.links = {link};
  f.tables.originalLinks = {link};
  EXPECT_EQ(Row(1, "@LINK @SIZEIN @SIZEOUT @SIZETOTAL @FILEIN @FILEOUT @FILETOTAL",
                kLinkTable),
            "2:65535/3.4 2.00 1.00 3.00 2 1 3");
  // Report-wide names that begin with a row macro's name go first.
  EXPECT_EQ(Row(1, "@FILETOTALIN @FILETOTAL", kOriginalLinkTable), "4 3");
  ExpLinkStat exp;
  exp.size = 512, exp.files = 5;
  f.tables.expLinks = {exp};
  EXPECT_EQ(Row(1, "@EXPLINK @EXPSIZE @EXPFILE", kExpLinkTable), "Unknown 0.50 5");
  f.tables.expLinks[0].address = Addr(1, 2, 3);
  EXPECT_EQ(Row(1, "@EXPLINK", kExpLinkTable), "1:2/3");
}

TEST_F(ExpandTest, MissingRowGivesTheKindsErrorText) {
  EXPECT_EQ(Row(3, "@AREA"),
            "Internal error while parsing area macro string, may be no enough memory");
  EXPECT_EQ(Row(1, "%@LINK", kLinkTable),
            "Internal error while parsing links macro string, may be no enough memory");
  EXPECT_EQ(Row(1, "@LINK", kOriginalLinkTable),
            "Internal error while parsing original links macro string, may be no "
            "enough memory");
  EXPECT_EQ(Row(1, "@LINK", kExpLinkTable),
            "Internal error while parsing downlinks macro string, may be no enough "
            "memory");
}

TEST_F(ExpandTest, WholeLineJustification) {
  f.run.screenLength = 20;
  EXPECT_EQ(Wide("%abc"), std::string(17, ' ') + "abc");
  EXPECT_EQ(Wide("#abc"), std::string(9, ' ') + "abc" + std::string(9, ' '));
  EXPECT_EQ(Wide("%#abc"), std::string(16, ' ') + "#abc");
  EXPECT_EQ(Wide("%#" + std::string(20, 'x')), std::string(20, 'x'));
  EXPECT_EQ(Wide("%@TOTALFILES"), std::string(19, ' ') + "4");
  // Only the operator's own first character justifies.
  f.tables.areas[0].name = "%X";
  EXPECT_EQ(Row(1, "@AREA(3,L)"), "%X ");
  // A huge width stops at the line limit.
  f.run.screenLength = 100000;
  EXPECT_EQ(Wide("#abc").size(), 255u);
}

TEST_F(ExpandTest, LineBreaksAndSpaces) {
  EXPECT_EQ(Wide("one\\ntwo"), "one\n\rtwo");
  EXPECT_EQ(Wide("@TOTALFILES@SPACE(3)x"), "4   x");
  // A graph reads its length before the spaces grow the line, which then
  // keeps the cells that fit: 9 of 10 at columns 247-255.
  EXPECT_EQ(Wide("@Space(246)@INSGRAPH(10,L)"),
            std::string(246, ' ') + std::string(9, '#'));
  EXPECT_EQ(Wide("@Space(2)@INSGRAPH(4,L)|"), "  ####|");
}

TEST_F(ExpandTest, LongLinesAreCutAt255) {
  std::string line = std::string(254, 'x') + "@TOTALSIZE";
  EXPECT_EQ(Wide(line), std::string(254, 'x') + "@");
  EXPECT_EQ(Wide(std::string(10000, 'y')), std::string(255, 'y'));
  EXPECT_EQ(Wide(std::string(240, 'z') + "@TOTALSIZE(40)").size(), 255u);
}

}  // namespace
}  // namespace vex
