#include "intake/tic_scan.h"

#include <gtest/gtest.h>

#include "core/stat_store.h"
#include "intake/dupe_store.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

std::vector<StatRecord> Records(Env& env) {
  std::vector<StatRecord> out;
  StatStoreReader r;
  if (!r.Open(env)) return out;
  StatRecord rec;
  while (r.Next(rec)) out.push_back(rec);
  return out;
}

TEST(TicLineTest, KeywordsBeginTheLineAndAreFollowedByASpace) {
  StatRecord r;
  for (const char* line :
       {"area Ru.Files  Many words ", "Areadesc Описание", "From 2:5020/1.2@fido",
        "ORIGIN 2:5020/3", "TO 5020/4", "Size $10", " AREA Wrong", "AREA\tWrong",
        "File x.zip", "Crc ABCD", "SIZE"})
    ApplyTicLine(line, r);
  EXPECT_EQ(r.area, "Ru.Files  Many words");
  EXPECT_EQ(r.areadesc, "Описание");
  EXPECT_EQ(r.from, (FtnAddress{2, 5020, 1, 2}));
  EXPECT_EQ(r.origin, (FtnAddress{2, 5020, 3, 0}));
  EXPECT_EQ(r.to, (FtnAddress{0, 5020, 4, 0}));
  EXPECT_EQ(r.size, 16u);
  ApplyTicLine("SIZE 12k", r);
  EXPECT_EQ(r.size, 0);
  ApplyTicLine("AREA Last", r);  // the last line wins
  EXPECT_EQ(r.area, "Last");
}

class TicScanTest : public ::testing::Test {
 protected:
  TicScanTest() : log(env) {
    ClockTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 8;
    t.hour = 12;
    env.SetNow(t);
  }
  void Scan(const std::string& dir, const std::string& mask = "*.tic") {
    ScanTicDirectory(env, log, run, dir, mask);
  }
  MemEnv env;
  LogContext log;
  RunSettings run;
};

TEST_F(TicScanTest, EachNewFileBecomesOneRecordWithItsDate) {
  env.SetFile("in/b.tic", "AREA B\r\nSIZE 10\r\n");
  env.SetFile("in/A.TIC", "AREA A\nFROM 1:2/3\n");
  env.SetFile("in/c.txt", "AREA C\n");
  env.SetFile("in/.hidden.tic", "AREA H\n");
  env.SetModTime("in/A.TIC", FileTime{2026, 11, 30, 7, 8, 10});
  Scan("in/");
  std::vector<StatRecord> recs = Records(env);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].area, "A");  // sorted by name
  EXPECT_EQ(recs[0].from, (FtnAddress{1, 2, 3, 0}));
  EXPECT_EQ(recs[0].day, 30);
  EXPECT_EQ(recs[0].hour, 7);
  EXPECT_EQ(recs[0].second, 10);
  EXPECT_EQ(recs[1].area, "B");
  EXPECT_EQ(recs[1].size, 10);
  EXPECT_EQ(env.GetFile("dupes.vx"), EncodeDupeRecord("A.TIC") + EncodeDupeRecord("b.tic"));
  EXPECT_TRUE(env.HasFile("in/b.tic"));  // not deleted by default
  EXPECT_EQ(env.OpenFileCount(), 0);
  EXPECT_NE(env.console().find(Cp866(" Анализирую A.TIC\n")), std::string::npos);
}

TEST_F(TicScanTest, DupesAreSkippedAndKeptWhenDeleting) {
  env.SetFile("dupes.vx", EncodeDupeRecord("OLD.TIC"));
  env.SetFile("in/old.tic", "AREA X\n");
  env.SetFile("in/new.tic", "AREA Y\n");
  run.killTic = true;
  Scan("in/");
  EXPECT_TRUE(env.HasFile("in/old.tic"));
  EXPECT_FALSE(env.HasFile("in/new.tic"));
  ASSERT_EQ(Records(env).size(), 1u);
  std::string c = env.console();
  size_t dupe = c.find(Cp866("Файл old.tic уже обрабатывался...\n"));
  size_t analyse = c.find(Cp866("Анализирую new.tic\n"));
  size_t deleted = c.find(Cp866(" ... файл удален..\n"));
  EXPECT_NE(dupe, std::string::npos);
  ASSERT_NE(analyse, std::string::npos);
  EXPECT_GT(deleted, analyse);
}

TEST_F(TicScanTest, SameNameInTwoDirectoriesCountsOnceUnlessTheCheckIsOff) {
  env.SetFile("a/x.tic", "AREA A\n");
  env.SetFile("b/X.TIC", "AREA B\n");
  Scan("a/");
  Scan("b/");
  EXPECT_EQ(Records(env).size(), 1u);
  run.dupeCheck = false;
  Scan("b/");
  EXPECT_EQ(Records(env).size(), 2u);
  EXPECT_EQ(env.GetFile("dupes.vx").size(), 26u);
}

TEST_F(TicScanTest, DirectoryAndMaskAreJoinedWithoutASeparator) {
  env.SetFile("in/a.tic", "AREA A\n");
  env.SetFile("ina.tic", "AREA ROOT\n");
  Scan("in");
  std::vector<StatRecord> recs = Records(env);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].area, "ROOT");
}

TEST_F(TicScanTest, MissingDirectoryStillCreatesTheStore) {
  Scan("nowhere/");
  EXPECT_TRUE(env.HasFile("stat.vx"));
  EXPECT_EQ(env.GetFile("stat.vx"), "");
  EXPECT_FALSE(env.HasFile("dupes.vx"));
}

TEST_F(TicScanTest, GarbageAndLongLinesAreStoredSafely) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) & 0xFF);
  env.SetFile("in/g.tic", garbage);
  env.SetFile("in/l.tic", "AREA " + std::string(10000, 'L') + "\nSIZE 5\n");
  Scan("in/");
  std::vector<StatRecord> recs = Records(env);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[1].area, std::string(250, 'L'));  // the line keeps 255 bytes
  EXPECT_EQ(recs[1].size, 5);
}

TEST_F(TicScanTest, DeleteFailureIsARunTimeErrorAfterTheRecordIsStored) {
  FaultEnv faulty(env);
  LogContext flog(faulty);
  env.SetFile("in/a.tic", "AREA A\n");
  faulty.FailRemoves();
  run.killTic = true;
  EXPECT_THROW(ScanTicDirectory(faulty, flog, run, "in/", "*.tic"), RunTimeError);
  EXPECT_EQ(Records(env).size(), 1u);
  EXPECT_EQ(env.GetFile("dupes.vx"), EncodeDupeRecord("a.tic"));
}

TEST_F(TicScanTest, ReadFailureKeepsTheFilesReadBeforeIt) {
  FaultEnv faulty(env);
  LogContext flog(faulty);
  env.SetFile("in/a.tic", "AREA A\n");
  env.SetFile("in/b.tic", "AREA B\n");
  faulty.FailReadsAfter(8);  // a.tic whole, then one byte of b.tic
  EXPECT_THROW(ScanTicDirectory(faulty, flog, run, "in/", "*.tic"), RunTimeError);
  EXPECT_EQ(env.GetFile("dupes.vx"), EncodeDupeRecord("a.tic"));
}

TEST_F(TicScanTest, UnopenableTicIsSkippedAndNotRemembered) {
  FaultEnv faulty(env);
  LogContext flog(faulty);
  env.SetFile("in/a.tic", "AREA A\n");
  env.SetFile("in/b.tic", "AREA B\n");
  faulty.FailOpen("in/a.tic");
  run.killTic = true;
  ScanTicDirectory(faulty, flog, run, "in/", "*.tic");
  EXPECT_TRUE(env.HasFile("in/a.tic"));
  EXPECT_EQ(Records(env).size(), 1u);
  EXPECT_EQ(env.GetFile("dupes.vx"), EncodeDupeRecord("b.tic"));
  EXPECT_NE(env.console().find(Cp866("Ошибка при открытии файла: закрыт доступ")),
            std::string::npos);
}

}  // namespace
}  // namespace vex
