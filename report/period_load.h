// Loading the records of the period from the statistics store into the
// period tables.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/run_settings.h"
#include "core/stat_record.h"
#include "platform/env.h"
#include "report/period_tables.h"
#include "util/dates.h"

namespace vex {

struct PeriodHistory;

// Where a record went in the tables of its period: the area row and the
// first-seen positions of its link and originating system.
struct RowRefs {
  uint32_t area = 0, link = 0, origin = 0;
  bool outgoing = false;
};

// Incremental summing of records into the tables, with hash indexes that
// keep the first-seen row order.  Records are read in place: only the
// fields the tables need are decoded.  The area rows grow in the tables as
// records come; the three address tables are written by Finish().
class PeriodAccumulator {
 public:
  PeriodAccumulator(PeriodTables& tables, const RunSettings& run);
  ~PeriodAccumulator();
  PeriodAccumulator(const PeriodAccumulator&) = delete;
  PeriodAccumulator& operator=(const PeriodAccumulator&) = delete;

  // Adds one record of the period (its area must not be empty).
  RowRefs Add(const StatRecordView& record);
  // Writes the address tables (links, originating systems, addressees).
  void Finish();
  // True when a record from this address counts as outgoing.
  bool IsOwn(const FtnAddress& from) const;

 private:
  struct Indexes;
  AreaStat& AreaRow(std::string_view area);
  // The row of a spelling met for the first time (added when its name is).
  [[gnu::noinline]] uint32_t NewSpelling(std::string_view name);

  PeriodTables& tables_;
  std::unique_ptr<Indexes> indexes_;
};

// A 64-bit hash of a short string (an area spelling), eight bytes at a time.
uint64_t SpellingHash(std::string_view s);

// Reads stat.vx and fills the four tables and the totals with the records
// whose age in days lies in [run.periodEnd, run.periodStart] on `now`.
// With a history, the same pass fills it as well.  False, after the log
// line saying so, when there is no store; the tables are then left as they
// were.
[[nodiscard]] bool LoadPeriod(Env& env, LogContext& log, const RunSettings& run,
                PeriodTables& tables, const DateTime& now,
                PeriodHistory* history = nullptr);

}  // namespace vex
