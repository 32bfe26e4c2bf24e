#include "driver/export_run.h"

#include "driver/dry_run.h"
#include "platform/cp866.h"
#include "report/export.h"
#include "report/period_load.h"
#include "util/dates.h"
#include "util/nodelist.h"

namespace vex {

int RunExport(App& app, const std::string& request) {
  Env& real = app.env;
  const size_t colon = request.find(':');
  const std::string name = request.substr(0, colon);
  const std::string file = colon == std::string::npos ? "" : request.substr(colon + 1);
  ExportFormat format;
  if (!ParseExportFormat(name, &format) || (colon != std::string::npos && file.empty())) {
    real.ErrorWrite("vexstat: --export=" + request +
                    ": give json, csv or metrics, optionally followed by :FILE\n");
    return 2;
  }
  DryRun dry(app);
  if (!dry.ReadConfiguration()) {
    real.ErrorWrite("vexstat: the command line ends the run; nothing is exported\n");
    return 2;
  }
  // Standard output holds the export only.
  if (!dry.configProblem().empty()) real.ErrorWrite(dry.configProblem() + "\n");
  dry.AssumeEmptyStore();
  App& run = dry.app();
  Env& env = dry.env();
  const CalendarDate today = Today(env);
  run.tables.periodStart = DaysBack(today, run.run.periodStart);
  run.tables.periodEnd = DaysBack(today, run.run.periodEnd);
  PeriodHistory history;
  if (!LoadPeriod(env, run.log, run.run, run.tables, CurrentDateTime(env), &history))
    return 2;  // not reached: the overlay holds a store
  Nodelist names;
  std::string nodelistFile;
  if (LoadNodelist(env, run.run.nodelist, &names, &nodelistFile)) history.names = &names;
  const std::string bytes = RenderExport(format, run.tables, history);
  if (file.empty()) {
    // The console takes CP866 and writes UTF-8: every character of the
    // export comes from a CP866 text, so it passes unchanged.
    real.ConsoleWrite(Utf8ToCp866(bytes));
    return 0;
  }
  int err = 0;
  if (!ReplaceFile(real, file, bytes, &err)) {
    real.ErrorWrite("vexstat: cannot write " + file + ": " + SystemErrorText(err) + "\n");
    return 2;
  }
  return 0;
}

void WriteExports(Env& env, LogContext& log,
                  const std::vector<ExportEntry>& exports,
                  const PeriodTables& tables, const PeriodHistory& history) {
  for (const ExportEntry& e : exports) {
    ExportFormat format;
    if (!ParseExportFormat(e.format, &format) || e.file.empty()) {
      log.LogError("EXPORT " + e.format + " " + e.file +
                   ": give json, csv or metrics and a file name");
      continue;
    }
    int err = 0;
    if (ReplaceFile(env, e.file, RenderExport(format, tables, history), &err))
      log.LogLine("Export " + e.format + " written to " + e.file);
    else
      log.LogError("Export " + e.format + " to " + e.file + " failed: " +
                   SystemErrorText(err));
  }
}

}  // namespace vex
