#include "report/period_history.h"

#include <gtest/gtest.h>

#include "report/period_load.h"
#include "report/report_test_util.h"

namespace vex {
namespace {

using namespace testing_report;

class PeriodHistoryTest : public ::testing::Test {
 protected:
  void Load(const std::vector<StatRecord>& records) {
    f.env.SetFile("stat.vx", Store(records));
    ASSERT_TRUE(LoadPeriod(f.env, f.log, f.run, f.tables,
                           CurrentDateTime(f.env), &history));
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> kinds;
    for (const Note& n : history.notes)
      kinds.push_back(std::string(NoteKindName(n.kind)) + " " + n.subject);
    return kinds;
  }
  Fixture f;
  PeriodHistory history;
};

TEST_F(PeriodHistoryTest, AcceptanceStoreNotesEachChangeOnce) {
  Load(AcceptanceStore());
  struct Expected {
    const char* kind;
    const char* subject;
    const char* text;
  };
  const Expected expected[] = {
      {"silent_area", "SILENT.AREA",
       "area SILENT.AREA silent for 20 days, last file on 2026-11-18"},
      {"silent_link", "2:5020/3",
       "link 2:5020/3 silent for 40 days, last file on 2026-10-29"},
      {"new_area", "NEW.AREA",
       "new area NEW.AREA, first file on 2026-12-03"},
      {"new_origin", "2:5020/99",
       "new originating system 2:5020/99, first file on 2026-12-06"},
      {"spike", "SPIKE.AREA",
       "area SPIKE.AREA: 2.4 KB a day, 5.0 times the previous period"},
  };
  ASSERT_EQ(history.notes.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const Note& n = history.notes[i];
    EXPECT_STREQ(NoteKindName(n.kind), expected[i].kind);
    EXPECT_EQ(n.subject, expected[i].subject);
    EXPECT_EQ(n.text, expected[i].text);
  }
  // The node's own address is never news, however new its files are.
  f.run.ownAddresses = {kNewOrigin};
  history = PeriodHistory{};
  Load(AcceptanceStore());
  for (const Note& n : history.notes) EXPECT_NE(n.subject, "2:5020/99") << n.text;
}

TEST_F(PeriodHistoryTest, PreviousPeriodIsAReportOverThosePeriodDays) {
  std::vector<StatRecord> store = AcceptanceStore();
  f.run.ownAddresses = {kLink2};  // some traffic outgoing
  Load(store);
  PeriodTables direct;
  RunSettings before = f.run;
  before.periodStart = 63, before.periodEnd = 32;
  ASSERT_TRUE(LoadPeriod(f.env, f.log, before, direct, CurrentDateTime(f.env)));
  const PeriodTables& p = history.previous;
  EXPECT_EQ(p.periodStart, (CalendarDate{2026, 10, 6}));
  EXPECT_EQ(p.periodEnd, (CalendarDate{2026, 11, 6}));
  auto same = [](const auto& a, const auto& b) {
    return a.filesIn == b.filesIn && a.filesOut == b.filesOut &&
           a.sizeIn == b.sizeIn && a.sizeOut == b.sizeOut;
  };
  EXPECT_TRUE(same(p.totals, direct.totals));
  EXPECT_EQ(p.totals.totalSize, direct.totals.totalSize);
  EXPECT_GT(direct.totals.filesOut, 0);
  ASSERT_EQ(p.areas.size(), direct.areas.size());
  for (const AreaStat& a : direct.areas) {
    const AreaStat* found = history.PreviousArea(a.name);
    ASSERT_NE(found, nullptr) << a.name;
    EXPECT_TRUE(same(*found, a)) << a.name;
  }
  ASSERT_EQ(p.links.size(), direct.links.size());
  for (const LinkStat& l : direct.links)
    EXPECT_TRUE(same(*history.PreviousLink(l.address), l));
  for (const LinkStat& l : direct.originalLinks)
    EXPECT_TRUE(same(*history.PreviousOrigin(l.address), l));
  EXPECT_EQ(history.PreviousArea("new.area"), nullptr);
  EXPECT_EQ(history.PreviousOrigin(kNewOrigin), nullptr);
}

// Days, weeks and months each cover the period without gap and sum to its
// totals; weeks run Monday to Sunday.
TEST_F(PeriodHistoryTest, SeriesCoverThePeriodAndSumToTotals) {
  f.run.ownAddresses = {kLink2};
  Load(AcceptanceStore());
  struct Case {
    TrendUnit unit;
    size_t rows;
    CalendarDate secondStarts;
  };
  const Case cases[] = {
      {TrendUnit::kDay, 32, {2026, 11, 8}},
      {TrendUnit::kWeek, 6, {2026, 11, 9}},  // 7 Nov is a Saturday
      {TrendUnit::kMonth, 2, {2026, 12, 1}},
  };
  for (const Case& c : cases) {
    std::vector<TrendRow> rows = TrendRows(history.days, c.unit);
    ASSERT_EQ(rows.size(), c.rows);
    EXPECT_EQ(rows.front().first, (CalendarDate{2026, 11, 7}));
    EXPECT_EQ(rows[1].first, c.secondStarts);
    EXPECT_EQ(rows.back().last, (CalendarDate{2026, 12, 8}));
    PeriodTotals sum;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i > 0) {
        EXPECT_EQ(DaysBack(rows[i].first, 1), rows[i - 1].last);
      }
      sum.filesIn += rows[i].totals.filesIn, sum.filesOut += rows[i].totals.filesOut;
      sum.sizeIn += rows[i].totals.sizeIn, sum.sizeOut += rows[i].totals.sizeOut;
      sum.totalFiles += rows[i].totals.totalFiles;
    }
    const PeriodTotals& t = f.tables.totals;
    EXPECT_EQ(sum.filesIn, t.filesIn);
    EXPECT_EQ(sum.filesOut, t.filesOut);
    EXPECT_EQ(sum.sizeIn, t.sizeIn);
    EXPECT_EQ(sum.sizeOut, t.sizeOut);
    EXPECT_EQ(sum.totalFiles, t.totalFiles);
  }
  EXPECT_EQ(history.days[0].totals.totalFiles, 0);  // an odd age: no traffic
}

// Weeks run Monday to Sunday in the real calendar also when 29 February is
// a Monday (2044): its files count with 1 March, and that week starts on it.
TEST_F(PeriodHistoryTest, WeeksAndMonthsFollowTheRealCalendar) {
  ClockTime now;
  now.year = 2044, now.month = 3, now.day = 10, now.hour = 12;
  f.env.SetNow(now);
  f.run.periodStart = 20;  // from 18 February (29 February is no day), a Thursday
  std::vector<StatRecord> records;
  for (CalendarDate d : {CalendarDate{2044, 2, 28}, CalendarDate{2044, 2, 29},
                         CalendarDate{2044, 3, 1}}) {
    StatRecord r = Rec("AREA", 100);
    r.year = static_cast<uint16_t>(d.year);
    r.month = static_cast<uint16_t>(d.month);
    r.day = static_cast<uint16_t>(d.day);
    records.push_back(r);
  }
  Load(records);
  auto rows = [&](TrendUnit unit) {
    std::string out;
    for (const TrendRow& r : TrendRows(history.days, unit))
      out += IsoDateText(r.first) + ".." + IsoDateText(r.last) + ":" +
             std::to_string(r.totals.totalFiles) + (r.partial ? "p " : " ");
    return out;
  };
  EXPECT_EQ(rows(TrendUnit::kWeek),
            "2044-02-18..2044-02-21:0p 2044-02-22..2044-02-28:1 "
            "2044-02-29..2044-03-06:2 2044-03-07..2044-03-10:0p ");
  EXPECT_EQ(rows(TrendUnit::kMonth),
            "2044-02-18..2044-02-28:1p 2044-02-29..2044-03-10:2p ");
}

// The thresholds: off, clamped to a short period, and met exactly.
TEST_F(PeriodHistoryTest, ThresholdsChooseTheNotes) {
  struct Case {
    int16_t first;
    int32_t silentDays, spike;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {31, 0, 0, {"new_area NEW.AREA", "new_origin 2:5020/99"}},
      {31, 21, 6, {"silent_link 2:5020/3", "new_area NEW.AREA",
                   "new_origin 2:5020/99"}},
      // A week: silent for the whole week, files the week before.
      {6, 14, 5, {"new_area NEW.AREA", "new_origin 2:5020/99"}},
      {45, 14, 3, {"silent_area SILENT.AREA", "silent_link 2:5020/3",
                   "new_area NEW.AREA", "new_origin 2:5020/99",
                   "spike SPIKE.AREA"}},
  };
  for (const Case& c : cases) {
    f.run.periodStart = c.first;
    f.run.noteSilentDays = c.silentDays;
    f.run.noteSpike = c.spike;
    Load(AcceptanceStore());
    EXPECT_EQ(Kinds(), c.notes) << c.first << " " << c.silentDays;
  }
}

}  // namespace
}  // namespace vex
