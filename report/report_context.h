// Everything one report run works with: the environment, the log, the run
// and report settings, the period tables, and where finished lines go.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/run_settings.h"
#include "platform/env.h"
#include "report/period_history.h"
#include "report/period_tables.h"
#include "report/report_settings.h"
#include "util/nodelist.h"

namespace vex {

// Table kinds of the sections and row macros.
enum TableKind : int {
  kNoTable = 0,
  kAreaTable = 1,
  kLinkTable = 2,
  kOriginalLinkTable = 3,
  kExpLinkTable = 4,
  kTrendTable = 5,  // the days, weeks or months of the period
  kNoteTable = 6,   // the notes on what changed
};
// What a section orders by, and what @GRAPH and @PERC measure.
enum SortKey : int { kNoKey = 0, kBySize = 1, kByFiles = 2 };

// Per-table file-count figures of the extended and double graphs.  They do
// not depend on the row order, so each is built once, on first use.
struct FileCountCache {
  std::array<bool, 5> built{};
  std::array<std::vector<int64_t>, 5> descending;  // every row's count
  void Clear() { built = {}; }
};

struct ReportContext {
  Env& env;
  LogContext& log;
  const RunSettings& run;
  ReportSettings& settings;
  PeriodTables& tables;
  // Receives each finished result line (without its line end).
  std::function<void(const std::string&)> write;
  FileCountCache fileCounts;
  // The previous period, the days and the notes; nullptr when not loaded.
  const PeriodHistory* history = nullptr;
  // The rows of the trend section being written.
  std::vector<TrendRow> trendRows{};
  // The names of the nodelist; nullptr when none was read.
  const Nodelist* names = nullptr;
};

}  // namespace vex
