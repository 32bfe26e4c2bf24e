#include "report/report_run.h"

#include <gtest/gtest.h>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "report/report_test_util.h"
#include "testenv/fault_env.h"

namespace vex {
namespace {

using namespace testing_report;

class ReportRunTest : public ::testing::Test {
 protected:
  ReportRunTest() {
    f.env.SetFile("stat.vx", Store({Rec("FOO.BAR", 1024), Rec("FOO.BAR", 1024, 3),
                                    Rec("BAZ", 1024, 31), Rec("FOO.BAR", 1024, 31),
                                    Rec("OLD", 1024, 32)}));
  }
  void Add(const std::string& tpl, const std::string& result,
           const std::string& announce = "") {
    f.run.templates.push_back(TemplateEntry{tpl, result, announce});
  }
  bool RunAll() {
    return RunReports(f.env, f.log, f.run, f.settings, f.tables,
               [this](const std::string& area, const std::string& file) {
                 posted.push_back(area + "|" + file);
               });
  }
  bool ConsoleHas(const std::string& text) const {
    return f.env.console().find(text) != std::string::npos;
  }
  Fixture f;
  std::vector<std::string> posted;
};

// The history is gathered when any template shows it, and serves every
// template of the run.
TEST_F(ReportRunTest, HistoryForTheTemplatesThatShowIt) {
  f.env.SetFile("plain.tpl", "@TOTALFILES\n");
  f.env.SetFile("notes.tpl", "@prevTotalFiles\n#NOTES\n@NOTE\n");
  Add("plain.tpl", "plain.txt");
  Add("notes.tpl", "notes.txt");
  RunAll();
  EXPECT_EQ(f.env.GetFile("plain.txt"), "4\r\n");
  EXPECT_EQ(f.env.GetFile("notes.txt"),
            "1\r\n"
            "area BAZ silent for 31 days, last file on 2026-11-07\r\n"
            "area OLD silent for 32 days, last file on 2026-11-06\r\n"
            "new area BAZ, first file on 2026-11-07\r\n"
            "new area FOO.BAR, first file on 2026-11-07\r\n");
}

TEST_F(ReportRunTest, SimpleReport) {
  f.env.SetFile("simple.tpl",
                "@TOTALFILES files\n#AREASIZE\n"
                "@NUMB(3). @AREA(12,L) @SIZETOTAL(8) @PERC(7)\n");
  Add("simple.tpl", "simple.txt");
  RunAll();
  EXPECT_EQ(f.env.GetFile("simple.txt"),
            "4 files\r\n"
            "  1. FOO.BAR          3.00  75.00%\r\n"
            "  2. BAZ              1.00  25.00%\r\n");
  EXPECT_TRUE(ConsoleHas("07.11.2026 -> 08.12.2026"));
  EXPECT_TRUE(ConsoleHas(Cp866("Генерируем результирующий файл simple.txt")));
  EXPECT_TRUE(posted.empty());  // announcements are off
  EXPECT_EQ(f.env.OpenFileCount(), 0);
}

TEST_F(ReportRunTest, EntriesFailIndependently) {
  f.env.SetFile("a.tpl", "A @TOTALFILES\n");
  f.run.makeAnnounce = true;
  f.run.resultFile = "default.txt";
  Add("a.tpl", "nodir/a.txt", "AREA1");   // cannot be created
  Add("missing.tpl", "b.txt", "AREA2");   // template missing
  Add("a.tpl", "", "AREA3");              // result from the settings
  f.env.AddDirectory("dir.txt");
  Add("a.tpl", "dir.txt", "AREA4");       // a folder
  RunAll();
  EXPECT_TRUE(ConsoleHas(Cp866("Ошибка создания файла nodir/a.txt")));
  EXPECT_TRUE(ConsoleHas(Cp866("Ошибка создания файла dir.txt")));
  EXPECT_TRUE(ConsoleHas(Cp866("Не могу прочитать шаблон missing.tpl")));
  EXPECT_TRUE(f.env.HasFile("b.txt"));
  EXPECT_EQ(f.env.GetFile("b.txt"), "");
  EXPECT_EQ(f.env.GetFile("default.txt"), "A 4\r\n");
  EXPECT_EQ(f.env.GetFile("a.tpl"), "A @TOTALFILES\n");
  EXPECT_EQ(posted, (std::vector<std::string>{"AREA2|b.txt", "AREA3|default.txt"}));
}

TEST_F(ReportRunTest, ConsoleCopyAndGraphCharacters) {
  f.env.SetFile("g.tpl", "[@INSGRAPH(4,L)]\none\\ntwo\n");
  f.run.statisticsOnScreen = true;
  f.run.useChar = "=";  // the rest are spaces
  f.settings.useChar = "xxxxx";
  Add("g.tpl", "g.txt");
  RunAll();
  EXPECT_EQ(f.env.GetFile("g.txt"), "[====]\r\none\n\rtwo\r\n");
  EXPECT_TRUE(ConsoleHas("\n[====]\none\n\rtwo\n"));
  EXPECT_EQ(f.settings.useChar, "=    ");
}

TEST_F(ReportRunTest, TemplateIsNeverOverwrittenByItsOwnResult) {
  f.env.SetFile("tic_stat.txt", "T @TOTALFILES\n");
  f.env.SetFile("b.tpl", "B @TOTALFILES\n");
  f.env.SetFile("c.tpl", "C @TOTALFILES\n");
  f.run.makeAnnounce = true;
  Add("tic_stat.txt", "", "AREA1");  // single name, default result
  Add("b.tpl", "b.tpl", "AREA2");
  Add("c.tpl", "c.txt", "AREA3");
  RunAll();
  EXPECT_EQ(f.env.GetFile("tic_stat.txt"), "T @TOTALFILES\n");
  EXPECT_EQ(f.env.GetFile("b.tpl"), "B @TOTALFILES\n");
  EXPECT_TRUE(ConsoleHas(Cp866("Ошибка создания файла tic_stat.txt")));
  EXPECT_TRUE(ConsoleHas(Cp866("Ошибка создания файла b.tpl")));
  EXPECT_EQ(f.env.GetFile("c.txt"), "C 4\r\n");
  EXPECT_EQ(posted, std::vector<std::string>{"AREA3|c.txt"});
}

// A result file is replaced whole, keeping the old file's permission bits
// and on the disk before it is published; a write that fails leaves the
// old file and no temporary one, shows nothing and posts nothing.
TEST_F(ReportRunTest, AResultIsReplacedWholeOrNotAtAll) {
  f.env.SetFile("a.tpl", "A @TOTALFILES\n");
  f.env.SetFile("out/a.txt", "old a\r\n");
  f.env.SetMode("out/a.txt", 0640);
  f.env.SetFile("out/b.txt", "old b\r\n");
  f.run.makeAnnounce = true;
  f.run.statisticsOnScreen = true;
  Add("a.tpl", "out/a.txt", "AREA1");
  Add("a.tpl", "out/b.txt", "AREA2");
  FaultEnv fault(f.env);
  fault.FailWritesAfter(5);  // "A 4\r\n" goes, the second result does not
  EXPECT_THROW((void)RunReports(fault, f.log, f.run, f.settings, f.tables,
                          [this](const std::string& area, const std::string&) { posted.push_back(area); }),
               RunTimeError);
  EXPECT_EQ(f.env.GetFile("out/a.txt"), "A 4\r\n");
  EXPECT_EQ(f.env.Mode("out/a.txt"), 0640u);
  EXPECT_EQ(f.env.UnsyncedRenames(), std::vector<std::string>{});
  EXPECT_EQ(f.env.GetFile("out/b.txt"), "old b\r\n");
  EXPECT_EQ(f.env.HiddenNames("out"), std::vector<std::string>{});
  EXPECT_EQ(posted, std::vector<std::string>{"AREA1"});
  const std::string& console = f.env.console();
  EXPECT_EQ(console.find("A 4\n"), console.rfind("A 4\n"));  // the first result only
  EXPECT_NE(console.find("A 4\n"), std::string::npos);
}

TEST_F(ReportRunTest, SecondEntryOverwritesTheSameResult) {
  f.env.SetFile("a.tpl", "first\n");
  f.env.SetFile("b.tpl", "2\n");
  Add("a.tpl", "same.txt");
  Add("b.tpl", "same.txt");
  RunAll();
  EXPECT_EQ(f.env.GetFile("same.txt"), "2\r\n");
}

TEST_F(ReportRunTest, PeriodFromTheDayOffsets) {
  f.env.SetFile("p.tpl", "@BEGINDATE-@ENDDATE @TOTALFILES\n");
  f.run.periodStart = 3;
  f.run.periodEnd = 1;
  Add("p.tpl", "p.txt");
  RunAll();
  EXPECT_EQ(f.env.GetFile("p.txt"), "05.12.2026-07.12.2026 1\r\n");
}

TEST_F(ReportRunTest, MissingStoreEndsBeforeAnyResult) {
  MemEnv& env = f.env;
  int err = 0;
  env.Remove("stat.vx", &err);
  env.SetFile("a.tpl", "x\n");
  Add("a.tpl", "a.txt");
  EXPECT_FALSE(RunAll());
  EXPECT_FALSE(env.HasFile("a.txt"));
}

// Result files in either character set: the same text, and @CHARSET
// names the one the file is written in.
TEST_F(ReportRunTest, ResultFileInCp866OrUtf8) {
  f.env.SetFile("c.tpl", "@CHARSET \xC4\xA0\xA1\n");  // "─аб" in CP866
  Add("c.tpl", "c.txt");
  RunAll();
  EXPECT_EQ(f.env.GetFile("c.txt"), "IBM866 \xC4\xA0\xA1\r\n");
  f.run.resultUtf8 = true;
  RunAll();
  EXPECT_EQ(f.env.GetFile("c.txt"), "UTF-8 \u2500\u0430\u0431\r\n");
}

}  // namespace
}  // namespace vex
