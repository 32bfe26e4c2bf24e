// The machine-readable export: vexstat --export=FORMAT[:FILE] writes the
// period's figures and changes nothing else (no scan, no store write, no
// post, no run lock); the EXPORT lines of the configuration write the same
// files with every report run.
#pragma once

#include <string>
#include <vector>

#include "core/log.h"
#include "core/run_settings.h"
#include "driver/app.h"
#include "report/period_history.h"
#include "report/period_tables.h"

namespace vex {

inline constexpr const char* kExportOption = "--export";

// request: FORMAT, or FORMAT:FILE.  The figures go to standard output, or
// replace FILE in one step.  Returns the exit code: 0, or 2 (after a line
// on standard error) for a bad format or a file that cannot be written.
int RunExport(App& app, const std::string& request);

// Writes every EXPORT entry; failures are logged as errors.
void WriteExports(Env& env, LogContext& log,
                  const std::vector<ExportEntry>& exports,
                  const PeriodTables& tables, const PeriodHistory& history);

}  // namespace vex
