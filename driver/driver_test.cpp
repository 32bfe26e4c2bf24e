#include "driver/driver.h"

#include <gtest/gtest.h>

#include "driver/command_line.h"
#include "driver/exit_status.h"
#include "core/stat_store.h"
#include "driver/run_lock.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

class DriverTest : public ::testing::Test {
 protected:
  App MakeApp(std::vector<std::string> args = {}) { return App(env, std::move(args)); }
  // Runs the driver; returns the exit code an early end gives (-1 when none).
  int Run(App& app) {
    try {
      RunDriver(app);
    } catch (const ProgramExit& e) {
      return e.code;
    }
    return -1;
  }
  int StatRecords() { return static_cast<int>(env.GetFile("stat.vx").size() / kStatRecordSize); }

  MemEnv env;
};

TEST_F(DriverTest, EveryRunButTheHelpWaitsForTheRunLock) {
  std::unique_ptr<File> other = AcquireRunLock(env, 0);
  env.SetFile("dupes.vx", "x");
  for (const char* p : {"-K", "-L5", "-R"}) {
    App app = MakeApp({p});
    EXPECT_THROW(Run(app), RunTimeError) << p;
  }
  EXPECT_TRUE(env.HasFile("dupes.vx"));
  App help = MakeApp({"-?"});
  EXPECT_EQ(Run(help), 0);
}

TEST_F(DriverTest, BooleanKeywordsNeedAValueAndTheExactWord) {
  App app = MakeApp();
  ApplyConfigLine(app.run, "skipdupech no");
  EXPECT_FALSE(app.run.dupeCheck);
  ApplyConfigLine(app.run, "SKIPDUPECH Yes");
  EXPECT_TRUE(app.run.dupeCheck);
  ApplyConfigLine(app.run, "SKIPDUPECHECK no");
  EXPECT_TRUE(app.run.dupeCheck);
  ApplyConfigLine(app.run, "KILLTIC");
  EXPECT_FALSE(app.run.killTic);
  ApplyConfigLine(app.run, "KILLTIC y");
  EXPECT_TRUE(app.run.killTic);
  ApplyConfigLine(app.run, "SCREENLENGTH");
  EXPECT_EQ(app.run.screenLength, 79);
  ApplyConfigLine(app.run, "ScreenLength $4F0");
  EXPECT_EQ(app.run.screenLength, 0x4F0);
  ApplyConfigLine(app.run, "SCREENLENGTH 12 ");
  EXPECT_EQ(app.run.screenLength, 0);
  ApplyConfigLine(app.run, "MAKEANNOUNCE Yes");
  EXPECT_TRUE(app.run.makeAnnounce);
}

TEST_F(DriverTest, StringKeywordsAndAddresses) {
  App app = MakeApp();
  ApplyConfigLine(app.run, "RESULTFILE \"my stat.txt\" comment");
  EXPECT_EQ(app.run.resultFile, "my stat.txt");
  for (const char* charset : {"UTF-8", "utf8 ; comment", "CP866"}) {
    ApplyConfigLine(app.run, std::string("RESULTCHARSET ") + charset);
    EXPECT_EQ(app.run.resultUtf8, charset[0] != 'C') << charset;
  }
  ApplyConfigLine(app.run, "TICEXT *.t?c");
  EXPECT_EQ(app.run.ticMask, "*.t?c");
  ApplyConfigLine(app.run, "ADDRESS 2:5020/123.4@fidonet");
  ApplyConfigLine(app.run, "address 2:5020/9");
  ASSERT_EQ(app.run.ownAddresses.size(), 2u);
  EXPECT_EQ(app.run.ownAddresses[0], (FtnAddress{2, 5020, 123, 4}));
  EXPECT_EQ(app.run.ownAddresses[1], (FtnAddress{2, 5020, 9, 0}));
  for (int i = 0; i < 150; ++i) ApplyConfigLine(app.run, "ADDRESS 1:1/1");
  EXPECT_EQ(app.run.ownAddresses.size(), 152u);  // none dropped
}

TEST_F(DriverTest, TemplateLines) {
  App app = MakeApp();
  ApplyConfigLine(app.run, "TPLFILENAME day.tpl day.txt FILE STAT");
  ApplyConfigLine(app.run, "TPLFILENAME week.tpl week.txt");
  ApplyConfigLine(app.run, "TPLFILENAME only.tpl");
  ASSERT_EQ(app.run.templates.size(), 3u);
  EXPECT_EQ(app.run.templates[0].templateFile, "day.tpl");
  EXPECT_EQ(app.run.templates[0].result, "day.txt");
  EXPECT_EQ(app.run.templates[0].announce, "FILE STAT");
  EXPECT_EQ(app.run.templates[1].result, "week.txt");
  EXPECT_EQ(app.run.templates[1].announce, "");
  // A single name never makes the template its own result.
  EXPECT_EQ(app.run.templates[2].templateFile, "only.tpl");
  EXPECT_EQ(app.run.templates[2].result, "");
}

TEST_F(DriverTest, UseCharShortValueIsPaddedWithSpaces) {
  App app = MakeApp();
  ApplyConfigLine(app.run, "USECHAR #=");
  EXPECT_EQ(app.run.useChar, "#=   ");
  ApplyConfigLine(app.run, "USECHAR abcdefg");
  EXPECT_EQ(app.run.useChar, "abcde");
}

TEST_F(DriverTest, LogFileLineOpensTheLogWithItsHeader) {
  env.SetFile("vexstat.cfg", "LOGFILE vex.log\n");
  App app = MakeApp({"-R"});
  Run(app);
  std::string log = env.GetFile("vex.log");
  EXPECT_NE(log.find(" * Made new log file\n"), std::string::npos);
  EXPECT_NE(log.find("Vexstat {v4.5.Win.rc}: started..\n"), std::string::npos);
  EXPECT_NE(log.find(" " + std::string(79, '\xC4') + "\n"), std::string::npos);
  EXPECT_NE(log.find(Cp866("Загружаем конфиг...") + "\n"), std::string::npos);
}

TEST_F(DriverTest, CommandLineAppliesOnceAtTheFirstTicPathAndLaterLinesOverride) {
  env.SetFile("in1/a.tic", "AREA ONE\n");
  env.SetFile("in1/a.tqq", "AREA ONE\n");
  env.SetFile("in2/b.tqq", "AREA TWO\n");
  env.SetFile("in2/c.tic", "AREA TWO\n");
  env.SetFile("vexstat.cfg",
              "; comment\n"
              "KILLTIC Yes\n"
              "TICPATH in1/\n"
              "TICEXT *.tic\n"
              "  ;not a comment\n"
              "TICPATH in2/\n");
  App app = MakeApp({"-E*.tq?", "-F", "-S"});
  EXPECT_EQ(Run(app), -1);
  EXPECT_TRUE(app.run.commandLineApplied);
  EXPECT_FALSE(app.run.killTic);  // toggled from the line above
  // in1 with the mask of the command line, in2 with the later TICEXT.
  EXPECT_TRUE(env.HasFile("in1/a.tic"));
  EXPECT_TRUE(env.HasFile("in2/b.tqq"));
  EXPECT_EQ(StatRecords(), 2);
  EXPECT_EQ(app.run.ticMask, "*.tic");
}

TEST_F(DriverTest, WithoutTicPathTheCommandLineAppliesAfterTheFile) {
  env.SetFile("vexstat.cfg", "MAKEANNOUNCE Yes\nRESULTFILE a.txt\n");
  App app = MakeApp({"-P", "-P", "-d2/0", "-D7", "-oB.TXT", "-I", "-J"});
  Run(app);
  EXPECT_TRUE(app.run.makeAnnounce);
  EXPECT_EQ(app.run.periodStart, 7);
  EXPECT_EQ(app.run.periodEnd, 0);
  EXPECT_EQ(app.run.resultFile, "B.TXT");
  EXPECT_TRUE(app.run.statisticsOnScreen);
  EXPECT_FALSE(app.run.dupeCheck);
}

TEST_F(DriverTest, PeriodOptionForms) {
  App app = MakeApp({"-D10/3", "/D5", "-Dx"});
  ApplyCommandLine(app);
  EXPECT_EQ(app.run.periodStart, 0);  // -Dx
  EXPECT_EQ(app.run.periodEnd, 3);
  App b = MakeApp({"-D/4", "-d70000"});
  ApplyCommandLine(b);
  EXPECT_EQ(b.run.periodStart, static_cast<int16_t>(70000));
  EXPECT_EQ(b.run.periodEnd, 4);
}

// The help screen as the console must receive it: the first twelve option
// lines use a minus sign, the last seven the CP866 box-drawing byte C4.
std::string HelpScreen() {
  const std::string bar = "\xC4";
  return Cp866(" -D<N1[/N2]>      - период, за который делать статистику\n"
               " N1 показывает, на сколько дней нужно вернуться назад, чтобы\n"
               " получить день начала статистики;\n"
               " N2 показывает, на сколько дней нужно вернуться назад, чтобы\n"
               " получить день конца статистики;\n"
               " Например -d2/0 даст последние два дня + сегодня\n"
               "\n"
               " -C<filename.ext> - альтернативное имя конфига\n"
               " -S               - вывести статистику в файл\n"
               " -P               - переключить помещение статистики в эхи\n"
               " -E<mask>         - маска для файлов с тиками\n"
               " -O<filename.ext> - имя файла, в который выводить статистику\n") +
         " -R               " + bar + Cp866(" отменить сканирование TIC\n") +
         " -K               " + bar + Cp866(" пропуржить информацию о дупах\n") +
         " -L<n>            " + bar + Cp866(" оставить информацию для статистики\n") +
         Cp866("                    за последние <n> дней\n") +
         " -J               " + bar + Cp866(" переключить проверку на дупы\n") +
         " -F               " + bar + Cp866(" переключить удаление TIC\n") +
         " -I               " + bar + Cp866(" переключить вывод на экран статистики\n");
}

TEST_F(DriverTest, HelpScreenEndsTheRunWithoutLogLines) {
  for (std::string p : {"-h", "/H", "-?", "?", "xh"}) {
    env.ClearConsole();
    App app = MakeApp({"-D5", p, "-D9"});
    try {
      ApplyCommandLine(app);
      FAIL() << p;
    } catch (const ProgramExit& e) {
      EXPECT_EQ(e.code, 0);
    }
    EXPECT_EQ(app.run.periodStart, 5) << p;  // later options not applied
    EXPECT_EQ(env.console(), HelpScreen()) << p;
  }
  env.ClearConsole();
  App none = MakeApp({"-x", "/?x", "h"});  // /? shows help too
  EXPECT_THROW(ApplyCommandLine(none), ProgramExit);
}

// Every way the options and the help are written is known; the refused
// ones are tested end to end (tests/exit_code_e2e_test.cpp).
TEST(CommandLineTest, EveryOptionAsWrittenIsKnown) {
  const std::vector<std::string> known = {
      "-D7", "-d2/0", "-D", "-Dx", "-Ca b.cfg", "-s", "-P", "-E*.t??", "-O", "-R", "-K", "-l30",
      "-I", "-J", "-f", "-?", "-H", "-h", "/H", "?", "/?x", "xh", "--check", "--help",
      "--version"};
  EXPECT_EQ(FirstUnknownArgument(known), nullptr);
  const std::vector<std::string> typo = {"-D7", "-P", "-Px", "-R"};
  ASSERT_NE(FirstUnknownArgument(typo), nullptr);
  EXPECT_EQ(*FirstUnknownArgument(typo), "-Px");
}

TEST(ExitStatusTest, LoggedErrorLineCountsAndNamesTheLog) {
  MemEnv env;
  App app(env, {});
  EXPECT_EQ(ExitStatusAfterRun(app, 0), 0);
  app.log.LogError("Area X not found in a.cfg");
  EXPECT_EQ(LoggedErrorsLine(app.log),
            "vexstat: the run logged 1 error line; no log file is configured (LOGFILE), see "
            "the output above\n");
  app.log.OpenLog("v.log");
  app.log.LogFailure("template");
  app.log.EndLog();  // the line still names the log after its end
  EXPECT_EQ(ExitStatusAfterRun(app, 0), 3);
  EXPECT_EQ(env.errors(), "vexstat: the run logged 2 error lines, see the log file v.log\n");
  EXPECT_EQ(ExitStatusAfterRun(app, 2), 2);  // a run-time error keeps its code
}

TEST_F(DriverTest, CancelledScanReadsButDoesNotScan) {
  env.SetFile("in/a.tic", "AREA X\n");
  env.SetFile("vexstat.cfg", "TICPATH in/\nTICPATH in/\n");
  App app = MakeApp({"-R"});
  Run(app);
  EXPECT_FALSE(env.HasFile("stat.vx"));
}

TEST_F(DriverTest, ResetAtFirstTicPathStopsReadingTheFile) {
  env.SetFile("dupes.vx", std::string(13, '\0'));
  env.SetFile("in/a.tic", "AREA X\n");
  env.SetFile("vexstat.cfg", "LOGFILE v.log\nTICPATH in/\nRESULTFILE late.txt\n");
  App app = MakeApp({"-K", "-R"});
  EXPECT_EQ(Run(app), 0);
  EXPECT_FALSE(env.HasFile("dupes.vx"));
  EXPECT_FALSE(env.HasFile("stat.vx"));
  EXPECT_FALSE(app.run.scanCancelled);
  EXPECT_EQ(app.run.resultFile, "tic_stat.txt");
  std::string log = env.GetFile("v.log");
  EXPECT_NE(log.find(Cp866("Удаляем файл с дупами...") + "\n"), std::string::npos);
  EXPECT_NE(log.find("End..\n\n"), std::string::npos);
}

TEST_F(DriverTest, ConfigOptionSelectsTheFileRead) {
  env.SetFile("vexstat.cfg", "RESULTFILE default.txt\n");
  env.SetFile("other.cfg", "RESULTFILE other.txt\n");
  App app = MakeApp({"-Cother.cfg"});
  Run(app);
  EXPECT_EQ(app.run.resultFile, "other.txt");
  EXPECT_EQ(ConfigFileFromCommandLine({"-ca.cfg", "-K", "-Cb.cfg"}, "x"), "a.cfg");
  EXPECT_EQ(ConfigFileFromCommandLine({"-D1"}, "x"), "x");
  // A missing file is skipped with one line that says so.
  env.ClearConsole();
  App missing = MakeApp();
  ActOnConfig(missing, ReadConfig(env, {"-Cnone.cfg"}), true);
  EXPECT_EQ(env.console(), " 15.03.24 12:00:00 Config file none.cfg not read "
                           "(No such file or directory), running with defaults\n");
}

TEST_F(DriverTest, NormalEndWritesEndLine) {
  env.SetFile("vexstat.cfg", "LOGFILE v.log\n");
  env.SetFile("stat.vx", "");
  App app = MakeApp();
  EXPECT_EQ(Run(app), -1);
  std::string log = env.GetFile("v.log");
  EXPECT_EQ(log.substr(log.size() - 7), "End..\n\n");
}

}  // namespace
}  // namespace vex
