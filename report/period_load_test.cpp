#include "report/period_load.h"

#include <gtest/gtest.h>

#include "platform/cp866.h"
#include "report/report_test_util.h"

namespace vex {
namespace {

using namespace testing_report;

class PeriodLoadTest : public ::testing::Test {
 protected:
  void Load(const std::vector<StatRecord>& records) {
    f.env.SetFile("stat.vx", Store(records));
    ASSERT_TRUE(LoadPeriod(f.env, f.log, f.run, f.tables, CurrentDateTime(f.env)));
  }
  Fixture f;
};

TEST_F(PeriodLoadTest, SumsPerKeyInFirstSeenOrder) {
  Load({Rec("B.AREA", 100, 0, Addr(2, 1, 1), Addr(2, 9, 9), Addr(2, 3, 3)),
        Rec("A.AREA", 10, 1, Addr(2, 1, 2), Addr(2, 9, 9), Addr(2, 3, 3)),
        Rec("B.AREA", 1, 2, Addr(2, 1, 1), Addr(2, 9, 8), Addr(0, 0, 0))});
  ASSERT_EQ(f.tables.areas.size(), 2u);
  EXPECT_EQ(f.tables.areas[0].name, "B.AREA");
  EXPECT_EQ(f.tables.areas[0].sizeIn, 101);
  EXPECT_EQ(f.tables.areas[0].filesIn, 2);
  EXPECT_EQ(f.tables.areas[1].name, "A.AREA");
  ASSERT_EQ(f.tables.links.size(), 2u);
  EXPECT_EQ(f.tables.links[0].address, Addr(2, 1, 1));
  EXPECT_EQ(f.tables.links[0].filesIn, 2);
  ASSERT_EQ(f.tables.originalLinks.size(), 2u);
  EXPECT_EQ(f.tables.originalLinks[0].sizeIn, 110);
  ASSERT_EQ(f.tables.expLinks.size(), 2u);
  EXPECT_EQ(f.tables.expLinks[0].size, 110);
  EXPECT_EQ(f.tables.expLinks[0].files, 2);
  EXPECT_TRUE(f.tables.expLinks[1].address.IsZero());
  const PeriodTotals& t = f.tables.totals;
  EXPECT_EQ(t.totalSize, 111);
  EXPECT_EQ(t.totalFiles, 3);
  EXPECT_EQ(t.filesIn, 3);
  EXPECT_EQ(t.filesOut, 0);
  EXPECT_EQ(t.sizeOut, 0);
}

TEST_F(PeriodLoadTest, OutgoingByOwnAddresses) {
  f.run.ownAddresses = {Addr(2, 5020, 100), Addr(2, 5020, 100, 1)};
  Load({Rec("ECHO", 50, 0, Addr(2, 5020, 100, 1)),
        Rec("ECHO", 7, 0, Addr(2, 5020, 1)),
        Rec("ECHO", 3, 0, Addr(2, 5020, 100))});
  const AreaStat& a = f.tables.areas.at(0);
  EXPECT_EQ(a.sizeOut, 53);
  EXPECT_EQ(a.filesOut, 2);
  EXPECT_EQ(a.sizeIn, 7);
  EXPECT_EQ(a.filesIn, 1);
  EXPECT_EQ(f.tables.links.at(0).filesOut, 1);  // the node's own point
  EXPECT_EQ(f.tables.originalLinks.at(0).filesOut, 2);
  EXPECT_EQ(f.tables.originalLinks.at(0).filesIn, 1);
  EXPECT_EQ(f.tables.totals.sizeOut, 53);
  EXPECT_EQ(f.tables.totals.filesIn, 1);
  EXPECT_EQ(f.tables.totals.totalSize, 60);
}

TEST_F(PeriodLoadTest, NoOwnAddressWhenTheFirstHasZoneZero) {
  f.run.ownAddresses = {Addr(0, 5020, 100), Addr(2, 5020, 100)};
  Load({Rec("ECHO", 50, 0, Addr(2, 5020, 100))});
  EXPECT_EQ(f.tables.totals.filesOut, 0);
  EXPECT_EQ(f.tables.totals.filesIn, 1);
}

TEST_F(PeriodLoadTest, AreaNamesFoldByCaseAndCutAt40) {
  std::string long1 = std::string(40, 'L') + "ONE";
  std::string long2 = std::string(40, 'l') + "TWO";
  Load({Rec("fido.Files", 1), Rec("FIDO.FILES", 2),
        Rec(Cp866("файлы"), 4), Rec(Cp866("ФАЙЛЫ"), 8), Rec(long1, 16),
        Rec(long2, 32), Rec("", 64)});
  ASSERT_EQ(f.tables.areas.size(), 3u);
  EXPECT_EQ(f.tables.areas[0].name, "fido.Files");
  EXPECT_EQ(f.tables.areas[0].sizeIn, 3);
  EXPECT_EQ(f.tables.areas[1].name, Cp866("файлы"));
  EXPECT_EQ(f.tables.areas[1].sizeIn, 12);
  EXPECT_EQ(f.tables.areas[2].name, std::string(40, 'L'));
  EXPECT_EQ(f.tables.areas[2].sizeIn, 48);
  // The record without an area is skipped entirely.
  EXPECT_EQ(f.tables.totals.totalFiles, 6);
}

TEST_F(PeriodLoadTest, ManyRowsKeepFirstSeenOrderAndFoldSpellings) {
  std::vector<StatRecord> records;
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < 300; ++i)
      records.push_back(Rec((pass ? "e" : "E") + std::to_string(i), i, 0,
                            Addr(2, 1, i), Addr(2, 2, 299 - i), Addr(2, 3, i)));
  Load(records);
  ASSERT_EQ(f.tables.areas.size(), 300u);
  ASSERT_EQ(f.tables.links.size(), 300u);
  ASSERT_EQ(f.tables.originalLinks.size(), 300u);
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(f.tables.areas[i].name, "E" + std::to_string(i));
    EXPECT_EQ(f.tables.areas[i].sizeIn, 2 * i);
    EXPECT_EQ(f.tables.links[i].address, Addr(2, 1, i));
    EXPECT_EQ(f.tables.originalLinks[i].address, Addr(2, 2, 299 - i));
    EXPECT_EQ(f.tables.expLinks[i].files, 2);
  }
}

TEST_F(PeriodLoadTest, BothEndsOfThePeriodIncluded) {
  f.run.periodStart = 40;
  f.run.periodEnd = 2;
  Load({Rec("TODAY", 1, 0), Rec("ONE", 2, 1), Rec("TWO", 4, 2),
        Rec("FORTY", 8, 40), Rec("FORTYONE", 16, 41)});
  ASSERT_EQ(f.tables.areas.size(), 2u);
  EXPECT_EQ(f.tables.areas[0].name, "TWO");
  EXPECT_EQ(f.tables.areas[1].name, "FORTY");
  EXPECT_EQ(f.tables.totals.totalSize, 12);
}

TEST_F(PeriodLoadTest, SumsDoNotWrapAt32Bits) {
  Load({Rec("BIG", 2000000000), Rec("BIG", 2000000000),
        Rec("BIG", 2000000000)});
  EXPECT_EQ(f.tables.areas.at(0).sizeIn, 6000000000LL);
  EXPECT_EQ(f.tables.totals.totalSize, 6000000000LL);
}

TEST_F(PeriodLoadTest, ReloadStartsFromEmptyTables) {
  Load({Rec("A", 1)});
  Load({Rec("B", 2)});
  ASSERT_EQ(f.tables.areas.size(), 1u);
  EXPECT_EQ(f.tables.totals.totalFiles, 1);
}

TEST_F(PeriodLoadTest, MissingStoreEndsTheRunInOrder) {
  EXPECT_FALSE(LoadPeriod(f.env, f.log, f.run, f.tables, CurrentDateTime(f.env)));
  EXPECT_NE(f.env.console().find(Cp866("Чтение файла со статистикой..")),
            std::string::npos);
  EXPECT_NE(f.env.console().find(Cp866("Файл со статистикой пуст..")),
            std::string::npos);
}

TEST_F(PeriodLoadTest, EmptyStoreGivesEmptyTables) {
  Load({});
  EXPECT_TRUE(f.tables.areas.empty());
  EXPECT_TRUE(f.tables.expLinks.empty());
  EXPECT_EQ(f.tables.totals.totalFiles, 0);
}

}  // namespace
}  // namespace vex
