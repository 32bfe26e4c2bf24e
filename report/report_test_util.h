// Shared set-up of the report unit tests: an in-memory environment, a
// report context whose lines are collected, and store records.
#pragma once

#include <string>
#include <vector>

#include "core/log.h"
#include "core/run_settings.h"
#include "core/stat_record.h"
#include "platform/mem_env.h"
#include "report/period_tables.h"
#include "report/report_context.h"
#include "report/report_settings.h"
#include "util/dates.h"

namespace vex::testing_report {

// The clock of every report test: 8 December 2026, noon.
inline ClockTime TestNow() {
  ClockTime t;
  t.year = 2026, t.month = 12, t.day = 8, t.hour = 12;
  return t;
}

struct Fixture {
  MemEnv env;
  LogContext log{env};
  RunSettings run;
  ReportSettings settings;
  PeriodTables tables;
  std::vector<std::string> lines;
  ReportContext ctx{env, log, run, settings, tables,
                    [this](const std::string& l) { lines.push_back(l); },
                    {}};
  Fixture() { env.SetNow(TestNow()); }
};

inline FtnAddress Addr(int zone, int net, int node, int point = 0) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(zone);
  a.net = static_cast<int16_t>(net);
  a.node = static_cast<int16_t>(node);
  a.point = static_cast<int16_t>(point);
  return a;
}

// A record of `area` with `size` bytes dated `daysAgo` days before the test
// clock.
inline StatRecord Rec(const std::string& area, int32_t size, int daysAgo = 0,
                      FtnAddress from = Addr(2, 5020, 1),
                      FtnAddress origin = Addr(2, 5020, 2),
                      FtnAddress to = Addr(2, 5020, 3)) {
  StatRecord r;
  r.area = area;
  r.size = size;
  r.from = from;
  r.origin = origin;
  r.to = to;
  CalendarDate d = DaysBack(CalendarDate{2026, 12, 8}, daysAgo);
  r.year = static_cast<uint16_t>(d.year);
  r.month = static_cast<uint16_t>(d.month);
  r.day = static_cast<uint16_t>(d.day);
  r.hour = 10;
  return r;
}

inline std::string Store(const std::vector<StatRecord>& records) {
  std::string bytes;
  for (const StatRecord& r : records) bytes += EncodeStatRecord(r);
  return bytes;
}

inline const FtnAddress kLink1 = Addr(2, 5020, 1), kLink2 = Addr(2, 5020, 2),
                 kQuietLink = Addr(2, 5020, 3), kOrigin = Addr(2, 5020, 50),
                 kNewOrigin = Addr(2, 5020, 99);

// A store with known changes against the default period (the last 31 days
// and today; ages 0..31, the previous period 32..63): an area silent for
// 20 days, a link silent for 40, a new area, a new originating system and
// an area with five times its volume.  Everything else flows evenly.
inline std::vector<StatRecord> AcceptanceStore() {
  std::vector<StatRecord> r;
  auto add = [&](const char* area, int32_t size, int age, FtnAddress from,
                 FtnAddress origin = kOrigin) {
    r.push_back(Rec(area, size, age, from, origin));
  };
  for (int age = 100; age >= 0; --age) {
    if (age % 2 == 0) {
      add("STABLE.A", 1000, age, age % 4 ? kLink1 : kLink2);
      add("Stable.B", 2000, age, kLink2);
      if (age >= 20) add("SILENT.AREA", 700, age, kLink1);
      add("SPIKE.AREA", age < 32 ? 5000 : 1000, age, kLink1);
    }
    if (age >= 40 && age % 3 == 1) add("STABLE.A", 1000, age, kQuietLink);
  }
  add("NEW.AREA", 10, 5, kLink1);
  add("new.area", 10, 3, kLink2);
  add("STABLE.B", 2000, 2, kLink1, kNewOrigin);
  return r;
}

}  // namespace vex::testing_report
