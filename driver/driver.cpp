#include "driver/driver.h"

#include "driver/command_line.h"
#include "driver/export_run.h"
#include "driver/run_lock.h"
#include "intake/intake_journal.h"
#include "intake/tic_scan.h"
#include "platform/cp866.h"
#include "posting/posting.h"
#include "report/report_run.h"
#include "driver/tic_path.h"

namespace vex {

void ActOnConfig(App& app, const Config& config, bool openLog) {
  for (const std::string& line : ConfigNotReadLines(config)) app.log.LogLine(line);
  app.run = config.run;
  app.posting = config.posting;
  for (const ConfigStep& step : config.steps) {
    switch (step.kind) {
      case ConfigStep::kOpenLog:
        if (!openLog) break;
        app.log.SetProgramName(kProgramName);
        app.log.OpenLog(step.text);
        app.log.LogLine(std::string(79, '\xC4'));
        app.log.LogLine(Cp866("Загружаем конфиг..."));
        break;
      case ConfigStep::kCommandLine:
        if (!step.text.empty()) EndTheRun(app, step.text);
        break;
      case ConfigStep::kScan: {
        // The one place a TICPATH line is acted on.  A value that names no
        // readable directory is an error; the scan still runs as written.
        const TicPathEntry& path = config.ticPaths[step.index];
        const TicPathFault fault = CheckTicPath(app.env, path.value, path.mask);
        if (!fault.reason.empty()) app.log.LogError("TICPATH " + path.value + ": " + fault.reason);
        RunSettings scan = app.run;
        scan.dupeCheck = path.dupeCheck;
        scan.killTic = path.killTic;
        ScanTicDirectory(app.env, app.log, scan, path.value, path.mask);
        break;
      }
      case ConfigStep::kLogError:
        app.log.LogError(step.text);
        break;
    }
  }
}

void BeginLockedRun(App& app) {
  app.runLock = AcquireRunLock(app.env, app.runLockWaitMs);
  RecoverIntake(app.env);
}

void RunDriver(App& app) {
  // Nothing before this point writes a file.
  if (!AsksOnlyForHelp(app.args)) BeginLockedRun(app);
  ActOnConfig(app, ReadConfig(app.env, app.args), true);
  if (app.run.statisticsToFile) {
    App* a = &app;
    PostCallback post = [a](const std::string& area,
                            const std::string& resultFile) {
      if (a->run.makeAnnounce)
        PostAnnouncement(a->posting, a->log, a->env, area, resultFile);
    };
    LoadedCallback exports = [a](const PeriodTables& tables,
                                 const PeriodHistory& history) {
      WriteExports(a->env, a->log, a->run.exports, tables, history);
    };
    // Without a statistics store the run ends here, before the log's
    // closing lines.
    if (!RunReports(app.env, app.log, app.run, app.report, app.tables, post,
                    exports))
      return;
  }
  app.log.EndLog();
}

}  // namespace vex
