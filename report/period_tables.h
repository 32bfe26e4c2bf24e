// The four tables of a period and its totals.  Rows are created on first
// sight of their key and never removed; only sorting changes their order.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "util/address.h"
#include "util/dates.h"

namespace vex {

struct AreaStat {
  std::string name;  // first spelling seen, cut to 40 bytes
  std::string description;  // the first description its records give
  int64_t sizeIn = 0, sizeOut = 0;
  int64_t filesIn = 0, filesOut = 0;
};

struct LinkStat {
  FtnAddress address;
  int64_t sizeIn = 0, sizeOut = 0;
  int64_t filesIn = 0, filesOut = 0;
};

struct ExpLinkStat {
  FtnAddress address;
  int64_t size = 0;
  int64_t files = 0;
};

struct PeriodTotals {
  int64_t totalSize = 0, totalFiles = 0;
  int64_t filesIn = 0, filesOut = 0;
  int64_t sizeIn = 0, sizeOut = 0;
};

struct PeriodTables {
  std::vector<AreaStat> areas;              // AreaTable
  std::vector<LinkStat> links;              // LinkTable
  std::vector<LinkStat> originalLinks;      // OriginalLinkTable
  std::vector<ExpLinkStat> expLinks;        // ExpLinkTable
  PeriodTotals totals;
  CalendarDate periodStart, periodEnd;      // bounds of the run's period
};

}  // namespace vex
