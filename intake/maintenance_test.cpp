#include "intake/maintenance.h"

#include <gtest/gtest.h>

#include "core/stat_store.h"
#include "intake/dupe_store.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

StatRecord Dated(int year, int month, int day, const std::string& area) {
  StatRecord r;
  r.area = area;
  r.year = static_cast<uint16_t>(year);
  r.month = static_cast<uint16_t>(month);
  r.day = static_cast<uint16_t>(day);
  return r;
}

class MaintenanceTest : public ::testing::Test {
 protected:
  MaintenanceTest() : log(env) {
    ClockTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 8;
    env.SetNow(t);
    log.SetProgramName("P");
    log.OpenLog("m.log");
  }
  bool Logged(const std::string& utf8) {
    return env.GetFile("m.log").find(Cp866(utf8) + "\n") != std::string::npos;
  }
  MemEnv env;
  LogContext log;
};

TEST_F(MaintenanceTest, ResetDeletesTheDupeStore) {
  env.SetFile("dupes.vx", EncodeDupeRecord("a.tic"));
  EXPECT_EQ(ResetDupeStore(env, log), MaintenanceResult::kDone);
  EXPECT_FALSE(env.HasFile("dupes.vx"));
  EXPECT_TRUE(Logged("Удаляем файл с дупами..."));
  EXPECT_TRUE(Logged("End.."));
}

TEST_F(MaintenanceTest, ResetWithoutStoreStillEndsTheLog) {
  EXPECT_EQ(ResetDupeStore(env, log), MaintenanceResult::kNoStore);
  EXPECT_TRUE(Logged("Файл с дупами не найден.."));
  EXPECT_TRUE(Logged("End.."));
}

TEST_F(MaintenanceTest, PurgeKeepsTheLastDaysInOrder) {
  std::string store;
  store += EncodeStatRecord(Dated(2026, 11, 8, "30 days"));
  store += EncodeStatRecord(Dated(2026, 11, 7, "31 days"));
  store += EncodeStatRecord(Dated(2026, 12, 9, "future"));
  store += EncodeStatRecord(Dated(2026, 13, 1, "bad month"));
  store += EncodeStatRecord(Dated(2025, 12, 8, "a year"));
  store += EncodeStatRecord(Dated(2026, 12, 8, "today"));
  env.SetFile("stat.vx", store + "partial");
  EXPECT_EQ(PurgeStatistics(env, log, "-L30"), MaintenanceResult::kDone);
  std::string kept = env.GetFile("stat.vx");
  EXPECT_EQ(kept, EncodeStatRecord(Dated(2026, 11, 8, "30 days")) +
                      EncodeStatRecord(Dated(2026, 12, 9, "future")) +
                      EncodeStatRecord(Dated(2026, 13, 1, "bad month")) +
                      EncodeStatRecord(Dated(2026, 12, 8, "today")));
  EXPECT_FALSE(env.HasFile("temp"));
  EXPECT_GE(env.SyncCount("stat.vx"), 1);  // reached the disk before the rename
  EXPECT_TRUE(Logged("Пуржим статистику за 30 дней.."));
  EXPECT_TRUE(Logged("End.."));
}

TEST_F(MaintenanceTest, PurgeZeroKeepsTodayAndLater) {
  env.SetFile("stat.vx", EncodeStatRecord(Dated(2026, 12, 7, "y")) +
                             EncodeStatRecord(Dated(2026, 12, 8, "t")));
  EXPECT_EQ(PurgeStatistics(env, log, "-l0"), MaintenanceResult::kDone);
  EXPECT_EQ(env.GetFile("stat.vx"), EncodeStatRecord(Dated(2026, 12, 8, "t")));
}

TEST_F(MaintenanceTest, BadParameterLeavesEverythingAlone) {
  std::string store = EncodeStatRecord(Dated(2020, 1, 1, "old"));
  env.SetFile("stat.vx", store);
  for (std::string p : {"-L", "-Lx", "-L5 ", "-L1.5"}) {
    EXPECT_EQ(PurgeStatistics(env, log, p), MaintenanceResult::kBadParameter) << p;
    EXPECT_EQ(env.GetFile("stat.vx"), store) << p;
  }
  EXPECT_FALSE(env.HasFile("temp"));
  EXPECT_TRUE(Logged("Ошибка в параметре для пуржинга статистики.."));
  EXPECT_FALSE(Logged("End.."));
  EXPECT_TRUE(log.IsOpen());
}

TEST_F(MaintenanceTest, PurgeWithoutStoreRemovesTemp) {
  env.SetFile("temp", "old temp");
  EXPECT_EQ(PurgeStatistics(env, log, "-L5"), MaintenanceResult::kNoStore);
  EXPECT_FALSE(env.HasFile("temp"));
  EXPECT_FALSE(env.HasFile("stat.vx"));
  EXPECT_TRUE(Logged("Пуржим статистику за 5 дней.."));
  EXPECT_TRUE(Logged("Файл со статистикой stat.vx пуст.."));
  EXPECT_TRUE(Logged("End.."));
}

TEST_F(MaintenanceTest, FailuresNeverLoseTheStore) {
  std::string store = EncodeStatRecord(Dated(2026, 12, 8, "a")) +
                      EncodeStatRecord(Dated(2026, 12, 8, "b"));
  env.SetFile("stat.vx", store);
  FaultEnv faulty(env);
  LogContext flog(faulty);
  faulty.FailWritesAfter(600);
  EXPECT_THROW(PurgeStatistics(faulty, flog, "-L5"), RunTimeError);
  EXPECT_EQ(env.GetFile("stat.vx"), store);
  faulty.Reset();
  faulty.FailSyncs();
  EXPECT_THROW(PurgeStatistics(faulty, flog, "-L5"), RunTimeError);
  EXPECT_EQ(env.GetFile("stat.vx"), store);
  faulty.Reset();
  faulty.FailRenames();
  EXPECT_THROW(PurgeStatistics(faulty, flog, "-L5"), RunTimeError);
  EXPECT_EQ(env.GetFile("stat.vx"), store);
}

}  // namespace
}  // namespace vex
