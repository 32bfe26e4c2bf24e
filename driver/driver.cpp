#include "driver/driver.h"

#include "driver/command_line.h"
#include "driver/export_run.h"
#include "driver/run_lock.h"
#include "intake/intake_journal.h"
#include "intake/tic_scan.h"
#include "platform/cp866.h"
#include "posting/message_charset.h"
#include "posting/posting.h"
#include "report/report_run.h"
#include "util/address.h"
#include "util/known_words.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {

namespace {

constexpr size_t kGraphCharacters = 5;

bool FirstWordIs(const std::string& line, std::string_view key) {
  return KeywordIs(line, key);
}

void AddTemplate(RunSettings& run, const std::string& line) {
  std::string rest = RestOfLine(line);
  TemplateEntry entry;
  entry.templateFile = Cut(FirstWord(rest));
  // A single name gives no result name: the report then writes to the
  // result file setting, never over the template itself.
  if (rest.find(' ') != std::string::npos) {
    std::string s = RestOfLine(rest);
    if (s.find(' ') == std::string::npos) {
      entry.result = Cut(s);
    } else {
      entry.result = Cut(FirstWord(s));
      entry.announce = Cut(RestOfLine(s));
    }
  }
  run.templates.push_back(std::move(entry));
}

}  // namespace

void ApplyConfigLine(App& app, const std::string& line) {
  RunSettings& run = app.run;

  if (FirstWordIs(line, "ADDRESS")) {
    FtnAddress address;
    // Blanks and tabs after the address are no part of it.
    ParseFieldAddress(TrimTrailingBlanksAndTabs(RestOfLine(line)), address);
    run.ownAddresses.push_back(address);
  }
  SetStringOption(line, "RESULTFILE", run.resultFile);
  // Result files in UTF-8 instead of CP866.
  if (FirstWordIs(line, "RESULTCHARSET")) run.resultUtf8 = NamesUtf8(RestOfLine(line));
  SetNumberOption(line, "SCREENLENGTH", run.screenLength);
  SetBoolOption(line, "SKIPDUPECH", run.dupeCheck);
  SetStringOption(line, "TICEXT", run.ticMask);
  SetBoolOption(line, "KILLTIC", run.killTic);
  SetBoolOption(line, "MAKEANNOUNCE", run.makeAnnounce);
  SetNumberOption(line, "NOTESILENTDAYS", run.noteSilentDays);
  SetNumberOption(line, "NOTESPIKE", run.noteSpike);
  if (FirstWordIs(line, "TPLFILENAME")) AddTemplate(run, line);
  if (FirstWordIs(line, "EXPORT")) {
    const std::string rest = RestOfLine(line);
    const bool file = rest.find(' ') != std::string::npos;
    run.exports.push_back({Cut(FirstWord(rest)), file ? Cut(RestOfLine(rest)) : ""});
  }
  if (FirstWordIs(line, "LOGFILE")) {
    app.log.SetProgramName(kProgramName);
    app.log.OpenLog(Cut(RestOfLine(line)));
    app.log.LogLine(std::string(79, '\xC4'));
    app.log.LogLine(Cp866("Загружаем конфиг..."));
  }
  if (FirstWordIs(line, "USECHAR")) {
    // Positions the value does not reach are spaces.
    std::string v = RestOfLine(line);
    v.resize(kGraphCharacters, ' ');
    run.useChar = v;
  }
  if (FirstWordIs(line, "TICPATH") && !run.scanCancelled) {
    if (!run.commandLineApplied) ApplyCommandLine(app);
    if (!run.scanCancelled)
      ScanTicDirectory(app.env, app.log, run, Cut(RestOfLine(line)),
                       run.ticMask);
  }
}

bool ReadConfigurationLines(
    App& app, const std::function<void(const std::string&)>& apply,
    int* errorOut) {
  int err = 0;
  std::unique_ptr<File> file =
      app.env.Open(app.run.configFile, OpenMode::kRead, &err);
  if (!file) {
    if (errorOut) *errorOut = err;
    return false;
  }
  LineReader reader(*file, TextEncoding::kUtf8OrCp866);
  std::string line;
  while (reader.Next(line)) {
    if (IsConfigLine(line)) apply(line);
  }
  return true;
}

void ReadConfiguration(App& app) {
  int err = 0;
  bool read = ReadConfigurationLines(
      app,
      [&app](const std::string& line) {
        ApplyConfigLine(app, line);
        ApplyPostingLine(app.posting, app.log, app.env, line);
      },
      &err);
  // Maintenance runs need no configuration: say so, and go on.
  if (!read)
    app.log.LogLine("Config file " + app.run.configFile + " not read (" +
                    SystemErrorText(err) + "), running with defaults");
}

void BeginLockedRun(App& app) {
  app.runLock = AcquireRunLock(app.env, app.runLockWaitMs);
  RecoverIntake(app.env);
}

void RunDriver(App& app) {
  InitPostingSettings(app.posting, app.env);
  app.run.configFile =
      Cut(ConfigFileFromCommandLine(app.args, app.run.configFile));
  // Nothing before this point writes a file.
  if (!AsksOnlyForHelp(app.args)) BeginLockedRun(app);
  ReadConfiguration(app);
  if (!app.run.commandLineApplied) ApplyCommandLine(app);
  DefaultFromAddress(app.posting, app.run.ownAddresses);
  app.posting.resultUtf8 = app.run.resultUtf8;
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
