#include "core/log.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

ClockTime At(int y, int mo, int d, int h, int mi, int s) {
  ClockTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  t.hundredths = 57;
  return t;
}

TEST(LogTest, NewLogStartsWithMadeLineThenStartedAndEndsWithEmptyLine) {
  MemEnv env;
  env.SetNow(At(2002, 3, 5, 9, 7, 3));
  {
    LogContext log(env);
    log.SetProgramName("Prog");
    log.OpenLog("my.log");
    ASSERT_TRUE(log.IsOpen());
    log.LogLine("hello");
    log.EndLog();
    EXPECT_FALSE(log.IsOpen());
  }
  const std::string want =
      " 05.03.02 09:07:03  * Made new log file\n"
      " 05.03.02 09:07:03 Prog: started..\n"
      " 05.03.02 09:07:03 hello\n"
      " 05.03.02 09:07:03 End..\n"
      "\n";
  EXPECT_EQ(env.GetFile("my.log"), want);
  EXPECT_EQ(env.console(), want);

  // The next run appends, without the "Made" line.
  env.ClearConsole();
  env.SetNow(At(2026, 12, 31, 23, 59, 58));
  LogContext log(env);
  log.SetProgramName("Prog");
  log.OpenLog("my.log");
  log.EndLog();
  EXPECT_EQ(env.GetFile("my.log"),
            want + " 31.12.26 23:59:58 Prog: started..\n"
                   " 31.12.26 23:59:58 End..\n\n");
}

TEST(LogTest, LinesBeforeTheLogOpensReachOnlyTheConsole) {
  MemEnv env;
  env.SetNow(At(2026, 1, 2, 3, 4, 5));
  LogContext log(env);
  log.LogLine("early");
  log.LogError("bad");
  log.LogBegin("part one, ");
  log.LogFinish("part two");
  log.EndLog();  // nothing: no log open
  EXPECT_EQ(env.console(),
            " 02.01.26 03:04:05 early\n"
            " 02.01.26 03:04:05 [err] bad\n"
            " 02.01.26 03:04:05 part one, part two\n");
  EXPECT_TRUE(env.Files().empty());
}

TEST(LogTest, LogThatCannotBeMadeLeavesConsoleOnly) {
  MemEnv env;
  LogContext log(env);
  log.SetProgramName("Prog");
  log.OpenLog("no/such/dir/x.log");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_NE(env.console().find(" ! I can't make log file!!!..\n"),
            std::string::npos);
  EXPECT_EQ(env.console().find("started"), std::string::npos);
  log.LogLine("still here");
  EXPECT_NE(env.console().find("still here"), std::string::npos);
}

// A log the program may write to but not read.
class WriteOnlyLogEnv : public MemEnv {
 public:
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override {
    if (path == "w.log" && mode == OpenMode::kRead) {
      *err = EACCES;
      return nullptr;
    }
    return MemEnv::Open(path, mode, err);
  }
};

TEST(LogTest, ExistingLogThatCannotBeReadIsAppendedToNotEmptied) {
  WriteOnlyLogEnv env;
  env.SetFile("w.log", "earlier runs\n");
  LogContext log(env);
  log.SetProgramName("Prog");
  log.OpenLog("w.log");
  ASSERT_TRUE(log.IsOpen());
  log.EndLog();
  std::string text = env.GetFile("w.log");
  EXPECT_EQ(text.rfind("earlier runs\n", 0), 0u);
  EXPECT_EQ(text.find("Made new log file"), std::string::npos);
  EXPECT_NE(text.find("Prog: started..\n"), std::string::npos);
}

TEST(LogTest, WriteFailureIsARunTimeErrorAndKeepsEarlierLines) {
  MemEnv mem;
  FaultEnv env(mem);
  LogContext log(env);
  log.SetProgramName("Prog");
  log.OpenLog("x.log");
  std::string before = mem.GetFile("x.log");
  env.FailWritesAfter(0);
  try {
    log.LogLine("lost");
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.path(), "x.log");
    EXPECT_EQ(e.err(), ENOSPC);
  }
  EXPECT_EQ(mem.GetFile("x.log"), before);
}

// Failures are counted: the "[err]" lines but the notice of a first-time
// creation, the failure lines without "[err]", and a log that cannot be made.
TEST(LogTest, CountsTheLinesThatReportAFailure) {
  MemEnv mem;
  FaultEnv env(mem);
  LogContext log(env);
  log.LogLine("plain");
  log.LogErrorNotice("Creating new echo-exportation file e.log");
  EXPECT_EQ(log.ErrorLines(), 0);
  log.LogError("Area X not found in a.cfg");
  log.LogFailure("template t.tpl cannot be read");
  EXPECT_EQ(log.ErrorLines(), 2);
  env.FailOpen("x.log");
  log.OpenLog("x.log");
  EXPECT_EQ(log.ErrorLines(), 3);
  EXPECT_FALSE(log.LogMade());
  EXPECT_EQ(log.FileName(), "x.log");
  EXPECT_NE(mem.console().find(" [err] Creating new echo-exportation file e.log\n"),
            std::string::npos);
}

TEST(LogTest, SecondOpenRebindsToTheNewFile) {
  MemEnv env;
  LogContext log(env);
  log.SetProgramName("P");
  log.OpenLog("a.log");
  log.OpenLog("b.log");
  log.LogLine("only in b");
  EXPECT_EQ(env.GetFile("a.log").find("only in b"), std::string::npos);
  EXPECT_NE(env.GetFile("b.log").find("only in b"), std::string::npos);
}

TEST(LogTest, WindowTitleCarriesTheProgramName) {
  MemEnv env;
  LogContext log(env);
  log.SetProgramName("Prog");
  log.SetWindowTitle("Scanning");
  ASSERT_EQ(env.titles().size(), 1u);
  EXPECT_EQ(env.titles()[0], "Scanning - Prog");
}

}  // namespace
}  // namespace vex
