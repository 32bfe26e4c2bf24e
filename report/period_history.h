// What the period looks like against its past, gathered in the same pass
// over the statistics store as the period tables: the previous period of
// the same length just before it (with its own tables and totals), the
// figures of every day of the period, and the notes on what changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/run_settings.h"
#include "core/stat_record.h"
#include "report/period_load.h"
#include "report/period_tables.h"
#include "util/dates.h"
#include "util/nodelist.h"

namespace vex {

// The figures of a stretch of days: a day, a week or a month of the
// period, or the whole of it.
struct TrendRow {
  // First and last real day it covers, both in it.  A day of the period is
  // a day of the day-count calendar: 1 March of a leap year holds 29
  // February as well, and then starts there.
  CalendarDate first, last;
  PeriodTotals totals;
  // A week or month of which the period holds only some days.
  bool partial = false;
};

enum class TrendUnit { kDay, kWeek, kMonth };

// The days put together by real calendar week (Monday to Sunday) or
// month; the first and last rows may cover only part of theirs and are
// then marked partial.
std::vector<TrendRow> TrendRows(const std::vector<TrendRow>& days,
                                TrendUnit unit);

enum class NoteKind { kSilentArea, kSilentLink, kNewArea, kNewOrigin, kSpike };
// "silent_area", "silent_link", "new_area", "new_origin", "spike".
const char* NoteKindName(NoteKind kind);

struct Note {
  NoteKind kind;
  std::string subject;  // the area tag or the address as reports write it
  std::string text;     // one sentence, in English
  // The figures the sentence gives.
  FtnAddress address{};  // of a link or originating system
  int32_t days = 0;      // silent: days since the last file
  CalendarDate date{};   // silent: day of the last file; new: of the first
  int64_t perDay = 0;    // spike: bytes a day in the period
  double factor = 0;     // spike: times the previous period's volume
};

struct PeriodHistory {
  // The previous period: as many days as the period, ending the day before
  // it starts.  Its periodStart/periodEnd are its bounds.  Its rows stay
  // in first-seen order (the lookups below rely on it).
  PeriodTables previous;
  // Every day of the period, first to last, days without traffic included.
  std::vector<TrendRow> days;
  // In the order silent areas, silent links, new areas, new origins,
  // spikes; each kind by subject.
  std::vector<Note> notes;
  // The names of the systems, when a nodelist was read (not owned).
  const Nodelist* names = nullptr;

  // The previous period's row of an area (any letter case), a link, an
  // originating system or an addressee; nullptr when it had none.
  const AreaStat* PreviousArea(std::string_view name) const;
  const LinkStat* PreviousLink(const FtnAddress& address) const;
  const LinkStat* PreviousOrigin(const FtnAddress& address) const;
  const ExpLinkStat* PreviousExpLink(const FtnAddress& address) const;

  // Rebuilds the lookups from `previous` (done by the load).
  void Reindex();

 private:
  // Looked up by a string_view as well as by a string.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const {
      return std::hash<std::string_view>{}(s);
    }
  };
  std::unordered_map<std::string, size_t, NameHash, std::equal_to<>> areaIndex_;
  std::unordered_map<uint64_t, size_t> linkIndex_, originIndex_, expIndex_;
};

// Collects the history while the store is read.  The caller gives every
// record that has an area, with its age in days (0 today), and for the
// records of the period the rows the period's accumulator put them in;
// Finish() is called after the period's accumulator has finished.
class HistoryBuilder {
 public:
  // today: the date the ages count from; current: the period's tables as
  // they are being filled.
  HistoryBuilder(PeriodHistory& history, const PeriodTables& current,
                 const RunSettings& run, CalendarDate today);
  ~HistoryBuilder();
  HistoryBuilder(const HistoryBuilder&) = delete;
  HistoryBuilder& operator=(const HistoryBuilder&) = delete;

  void AddCurrent(const StatRecordView& record, int32_t age,
                  const RowRefs& rows);
  // A record outside the period (before or after it).
  void AddOther(const StatRecordView& record, int32_t age);
  // Completes the previous period's tables, the lookups and the notes.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace vex
