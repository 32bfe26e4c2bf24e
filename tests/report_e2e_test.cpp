// End-to-end report runs of the built program: a hand-made statistics
// store, templates and a configuration in a fresh directory, the clock
// fixed by faketime at 8 December 2026, noon.  Expected results are worked
// out by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex {
namespace {

using e2e::FileExists;
using e2e::ReadFile;
using e2e::RunResult;
using e2e::RunVexstat;
using e2e::TempDir;
using e2e::WriteFile;

std::string ToCp866(const std::string& utf8) { return e2e::Convert(utf8, "CP866", "UTF-8"); }

// One 552-byte store record, written byte by byte here.
struct Addr {
  int zone = 0, net = 0, node = 0, point = 0;
};
std::string U16(int v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string AddressBytes(const Addr& a) {
  return U16(a.zone) + U16(a.net) + U16(a.node) + U16(a.point);
}
std::string ShortString(const std::string& s) {
  std::string out(1, static_cast<char>(s.size()));
  out += s;
  out.resize(256, '\0');
  return out;
}
struct Rec {
  std::string area;
  uint32_t size = 0;
  int month = 12, day = 8;  // 2026
  Addr from{2, 5020, 1, 0}, origin{2, 5020, 2, 0}, to{2, 5020, 3, 0};
};
std::string Encode(const Rec& r) {
  std::string b = AddressBytes(r.from) + AddressBytes(r.origin) + AddressBytes(r.to) +
                  ShortString(r.area) + ShortString("description");
  for (int i = 0; i < 4; ++i) b += static_cast<char>((r.size >> (8 * i)) & 0xFF);
  b += U16(2026) + U16(r.month) + U16(r.day) + U16(10) + U16(0) + U16(0);
  if (b.size() != 552) throw std::logic_error("record size");
  return b;
}
std::string Store(const std::vector<Rec>& records) {
  std::string s;
  for (const Rec& r : records) s += Encode(r);
  return s;
}

class ReportE2eTest : public ::testing::Test {
 protected:
  void File(const std::string& name, const std::string& bytes) { WriteFile(dir / name, bytes); }
  std::string Result(const std::string& name) { return ReadFile(dir / name); }
  RunResult Run(std::vector<std::string> args = {}, int code = 0) {
    RunResult r = RunVexstat(dir.path(), std::move(args));
    EXPECT_EQ(r.exitCode, code) << r.out << r.err;
    return r;
  }
  // Result lines joined with CR LF, the way result files end them.
  static std::string Crlf(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
  }
  TempDir dir;
};

TEST_F(ReportE2eTest, SimpleReport) {
  File("stat.vx", Store({{"FOO.BAR", 1024}, {"BAZ", 1024}, {"FOO.BAR", 1024, 12, 1},
                         {"FOO.BAR", 1024, 11, 7}}));
  File("simple.tpl", "; the example report\n@TOTALFILES files\n#AREASIZE\n"
                     "@NUMB(3). @AREA(12,L) @SIZETOTAL(8) @PERC(7)\n");
  File("vexstat.cfg", "TPLFILENAME simple.tpl simple.txt\n");
  RunResult r = Run();
  EXPECT_EQ(Result("simple.txt"), Crlf({"4 files",
                                        "  1. FOO.BAR          3.00  75.00%",
                                        "  2. BAZ              1.00  25.00%"}));
  EXPECT_NE(r.out.find("07.11.2026 -> 08.12.2026"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Генерируем результирующий файл simple.txt"), std::string::npos);
}

// In: one file of 3072 bytes; out (from the node's own address): three
// files of 1024 bytes together.
std::vector<Rec> InOutRecords() {
  Addr own{2, 5020, 100, 0};
  return {{"ECHO.A", 3072},
          {"ECHO.B", 512, 12, 8, own},
          {"ECHO.B", 256, 12, 7, own},
          {"ECHO.B", 256, 12, 6, own}};
}

TEST_F(ReportE2eTest, BarsHalfCellsAndCombinedGraphs) {
  File("stat.vx", Store(InOutRecords()));
  File("g.tpl",
       // sizes: in 3/4, out 1/4; files: in 1/4, out 3/4
       "[@INSGRAPH(10,L)][@OUTSGRAPH(10,L)][@INFGRAPH(4,L)][@OUTFGRAPH(4,L)]\n"
       "[@INSGRAPH(3,L)][@OUTSGRAPH(1,L)][@OUTSGRAPH(2,L)]\n"
       "[@OUTSGRAPH(2,L)][@REVINSGRAPH(3,L)]\n"
       "[@EXTINGRAPH1(4,L)][@EXTINGRAPH2(4,L)][@EXTINGRAPHS(4,L)]\n"
       "[@EXTOUTGRAPH1(4,L)][@EXTOUTGRAPH2(4,L)][@EXTOUTGRAPHS(4,L)]\n"
       "[@EXTINGRAPH2(3,L)][@REVEXTINGRAPH2(3,L)]\n"
       "#USECHAR EMPTY\n"
       "[@INSGRAPH(4,L)]\n"
       "#USECHAR ab\n"
       "[@EXTINGRAPH2(3,L)]\n");
  File("vexstat.cfg", "ADDRESS 2:5020/100\nUSECHAR #+*-X\nTPLFILENAME g.tpl g.txt\n");
  Run();
  EXPECT_EQ(Result("g.txt"), Crlf({
      "[########  ][###       ][#   ][### ]",  // 7.5 and 2.5 round up
      "[##+][+][+ ]",                          // 2.25; 0.25; first width wins
      "[#+][+##]",                             // 0.5: a full and a half cell
      "[X   ][X## ][X## ]",
      "[X** ][X   ][X** ]",
      "[X#+][+#X]",
      "[    ]",
      // "AB" and three spaces: bar1 "AAB" under a blank overlap cell.
      "[ AB]",
  }));
}

TEST_F(ReportE2eTest, NumberFormatsAndSettingsCarryOver) {
  File("stat.vx", Store(InOutRecords()));
  File("n1.tpl",
       "@TOTALSIZE|@SIZETOTALIN|@SIZETOTALOUT|@FILETOTALIN|@FILETOTALOUT\n"
       "#DOTSTYLE ,\n#ORDERSTYLE '\n#KBSIZE 1\n@TOTALSIZE\n"
       "#KBSIZE 0\n#REALDOTS 0\n@TOTALSIZE @SIZETOTALIN\n"
       "#ORDERSTYLE EMPTY\n#PERCDOTS 1\n#AREASIZE\n@AREA(7,L)@SIZETOTAL(6)@PERC(7)\n");
  File("n2.tpl", "@TOTALSIZE\n#KBSIZE 1000\n#REALDOTS 3\n@TOTALSIZE\n");
  File("vexstat.cfg",
       "ADDRESS 2:5020/100\nTPLFILENAME n1.tpl n1.txt\nTPLFILENAME n2.tpl n2.txt\n");
  Run();
  EXPECT_EQ(Result("n1.txt"), Crlf({"4.00|3.00|1.00|1|3", "4'096,00", "4'096 3'072",
                                    "ECHO.A   3072  75.0%", "ECHO.B   1024  25.0%"}));
  EXPECT_EQ(Result("n2.txt"), Crlf({"4096", "4,096"}));
}

TEST_F(ReportE2eTest, LinesJustifiedBrokenAndSpaced) {
  File("stat.vx", Store(InOutRecords()));
  File("j.tpl", "%right\n#centre\n#AREASIZE now\none\\ntwo@Space(3)|\n"
                "@TOTALFILES/@TOTALFILES(3)/@totalfiles(3,L)|\n");
  File("vexstat.cfg", "SCREENLENGTH 20\nTPLFILENAME j.tpl j.txt\n");
  Run();
  EXPECT_EQ(Result("j.txt"), Crlf({std::string(15, ' ') + "right",
                                   std::string(7, ' ') + "centre" + std::string(7, ' '),
                                   "    AREASIZE now    ",
                                   "one\n\rtwo   |",
                                   "4/  4/4  |"}));
}

TEST_F(ReportE2eTest, AreaNamesFoldedCutAndPrintedSafely) {
  std::string forty = std::string(40, 'L');
  File("stat.vx", Store({{"ABCDEFGHIJKLM", 9000},
                         {"NINECHARS", 8000},
                         {"TENCHARS10", 7000},
                         {ToCp866("файлы"), 3000},
                         {ToCp866("ФАЙЛЫ"), 3000},
                         {forty + "ONE", 2000},
                         {forty + "TWO", 2000},
                         {"X@AREA@SIZEIN", 1000},
                         {"", 50000}}));
  // The cutting width comes from the first @AREA of a line.
  File("a.tpl", "#AREASIZE\n[@AREA(10,L)] @FILETOTAL [@AREA]\n#AREASIZE\n@AREA(50,L)|\n"
                "#AREASIZE\n@AREA|\n");
  File("vexstat.cfg", "TPLFILENAME a.tpl a.txt\n");
  Run();
  EXPECT_EQ(Result("a.txt"),
            Crlf({"[ABCDEFGHI>] 1 [ABCDEFGHI>]", "[NINECHARS ] 1 [NINECHARS]",
                  "[TENCHARS1>] 1 [TENCHARS1>]",
                  "[" + ToCp866("файлы") + "     ] 2 [" + ToCp866("файлы") + "]",
                  "[LLLLLLLLL>] 2 [LLLLLLLLL>]", "[X@AREA@SI>] 1 [X@AREA@SI>]",
                  "ABCDEFGHIJKLM" + std::string(37, ' ') + "|",
                  "NINECHARS" + std::string(41, ' ') + "|",
                  "TENCHARS10" + std::string(40, ' ') + "|",
                  ToCp866("файлы") + std::string(45, ' ') + "|",
                  forty + std::string(10, ' ') + "|",
                  "X@AREA@SIZEIN" + std::string(37, ' ') + "|",
                  ">|", ">|", ">|", ">|", ">|", ">|"}));
}

TEST_F(ReportE2eTest, LinkTablesSplitInAndOutByAddress) {
  Addr own{2, 5020, 100, 0}, up{2, 5020, 1, 0}, orig{1, 2, 3, 4}, zero{};
  File("stat.vx", Store({{"ECHO", 2048, 12, 8, up, orig, zero},
                         {"ECHO", 1024, 12, 8, own, orig, up},
                         {"ECHO", 1024, 12, 8, own, own, up}}));
  File("l.tpl",
       "#LINKSIZE\n@LINK @FILEIN @FILEOUT @SIZEIN @SIZEOUT @GRAPH(4,L)|\n"
       "#ORIGINALLINKFILE\n@LINK @FILETOTAL @PERC\n"
       "#EXPLINKSIZE\n@EXPLINK @EXPFILE @EXPSIZE\n");
  File("vexstat.cfg", "ADDRESS 2:5020/100\nTPLFILENAME l.tpl l.txt\n");
  Run();
  EXPECT_EQ(Result("l.txt"), Crlf({"2:5020/1 1 0 2.00 0.00 \xFE\xFE\xFE\xFE|",
                                   "2:5020/100 0 2 0.00 2.00 \xFE\xFE\xFE\xFE|",
                                   "1:2/3.4 2 66.67%",
                                   "2:5020/100 1 33.33%",
                                   "Unknown 1 2.00",
                                   "2:5020/1 2 2.00"}));
}

TEST_F(ReportE2eTest, PeriodEndsIncludedAndEmptyTables) {
  // -D10/2: records 2 to 10 days old.  8 Dec - 10 days = 28 Nov.
  File("stat.vx", Store({{"ONE", 1, 12, 7}, {"TWO", 2, 12, 6}, {"TEN", 4, 11, 28},
                         {"ELEVEN", 8, 11, 27}}));
  File("p.tpl", "@BEGINDATE @ENDDATE @TOTALFILES\n#AREAFILE\n@AREA(9,L)|\n");
  File("e.tpl", "#AREASIZE\n@AREA\n#LINKFILE\n@LINK\n#EXPLINKFILE\n@EXPLINK\n");
  File("vexstat.cfg", "TPLFILENAME p.tpl p.txt\nTPLFILENAME e.tpl e.txt\n");
  Run({"-D10/2"});
  EXPECT_EQ(Result("p.txt"), Crlf({"28.11.2026 06.12.2026 2", "TWO      |", "TEN      |"}));
  WriteFile(dir / "stat.vx", "");
  Run();
  EXPECT_EQ(Result("e.txt"), Crlf({"None areas", "None links", "None links"}));
}

TEST_F(ReportE2eTest, ConsoleCopyAndFailedEntries) {
  File("stat.vx", Store({{"ECHO", 1024}}));
  File("t.tpl", "Files: @TOTALFILES\n");
  File("vexstat.cfg",
       "TPLFILENAME t.tpl nodir/x.txt\nTPLFILENAME missing.tpl empty.txt\n"
       "TPLFILENAME t.tpl\n");
  RunResult r = Run({"-I"}, 3);
  EXPECT_EQ(r.err, "vexstat: the run logged 2 error lines; no log file is configured (LOGFILE), "
                   "see the output above\n");
  // Both are plain log lines, in the order the entries run.
  std::vector<std::string> log = vex::e2e::UnstampedLines(r.out);
  auto at = [&](const std::string& line) {
    return std::find(log.begin(), log.end(), line) - log.begin();
  };
  EXPECT_LT(at("Генерируем результирующий файл nodir/x.txt"), at("Ошибка создания файла nodir/x.txt"));
  EXPECT_LT(at("Ошибка создания файла nodir/x.txt"), at("Не могу прочитать шаблон missing.tpl"));
  EXPECT_LT(at("Не могу прочитать шаблон missing.tpl"), static_cast<long>(log.size())) << r.out;
  EXPECT_TRUE(FileExists(dir / "empty.txt"));
  EXPECT_EQ(Result("empty.txt"), "");
  // A single name writes to the default result file, not over the template.
  EXPECT_EQ(Result("tic_stat.txt"), "Files: 1\r\n");
  EXPECT_EQ(Result("t.tpl"), "Files: @TOTALFILES\n");
  EXPECT_NE(r.out.find("\nFiles: 1\n"), std::string::npos) << r.out;
}

TEST_F(ReportE2eTest, BadTemplatesNeitherCrashNorOverrun) {
  File("stat.vx", Store({{"ECHO", 1024, 12, 8}, {"ECHO", 1024, 12, 7}}));
  File("b.tpl", std::string(10000, 'w') + "\n" +
                    "#AREASIZE\n@FILEIN(6\n"
                    "#AREASIZE\n@FILEIN(6,L and the rest|\n"
                    "@TOTALFILES(100000)|\n"
                    "#KBSIZE 0\n@TOTALSIZE\n"
                    "#" + std::string(10, 'c') + "\n");
  File("vexstat.cfg", "SCREENLENGTH 100000\nTPLFILENAME b.tpl b.txt\n");
  Run();
  std::vector<std::string> lines = e2e::Lines(Result("b.txt"), "\r\n");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], std::string(255, 'w'));
  EXPECT_EQ(lines[1], "     2");
  EXPECT_EQ(lines[2], "2     ");
  EXPECT_EQ(lines[3], std::string(254, ' ') + "2");  // the "|" lies past the cut
  EXPECT_EQ(lines[4], "2.00");
  EXPECT_EQ(lines[5].size(), 255u);
  EXPECT_EQ(lines[5].substr(0, 124), std::string(123, ' ') + "c");
  EXPECT_EQ(lines[5].substr(123, 10), std::string(10, 'c'));
}

TEST_F(ReportE2eTest, MissingStoreEndsInOrder) {
  File("t.tpl", "x\n");
  File("vexstat.cfg", "TPLFILENAME t.tpl t.txt\n");
  RunResult r = Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Файл со статистикой пуст.."), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists(dir / "t.txt"));
}

}  // namespace
}  // namespace vex
