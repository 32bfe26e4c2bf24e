// The report run: computes the period, loads it, and turns every configured
// template into its result file.
#pragma once

#include <functional>
#include <string>

#include "core/log.h"
#include "core/run_settings.h"
#include "platform/env.h"
#include "report/period_tables.h"
#include "report/report_settings.h"

namespace vex {

// Called for each finished result file when announcements are on.
using PostCallback =
    std::function<void(const std::string& area, const std::string& resultFile)>;

struct PeriodHistory;
// Called once the period is loaded, before any template reorders its rows.
using LoadedCallback =
    std::function<void(const PeriodTables& tables, const PeriodHistory& history)>;

// False when there is no statistics store: nothing is written and the run
// has nothing more to do.
[[nodiscard]] bool RunReports(Env& env, LogContext& log, const RunSettings& run,
                ReportSettings& settings, PeriodTables& tables,
                const PostCallback& post,
                const LoadedCallback& loaded = nullptr);

}  // namespace vex
