#include "report/report_run.h"

#include <memory>
#include <vector>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "report/graphs.h"
#include "report/period_history.h"
#include "report/period_load.h"
#include "report/report_context.h"
#include "report/template.h"
#include "util/dates.h"
#include "util/text.h"
#include "util/replace_file.h"
#include "util/text_file.h"

namespace vex {
namespace {

// Collects result lines and writes them in large pieces, each line ended
// with CR LF.
class ResultWriter {
 public:
  explicit ResultWriter(File& file) : writer_(file) {}
  void Line(const std::string& line) {
    buffer_ += line;
    buffer_ += "\r\n";
    if (buffer_.size() >= kChunk) Flush();
  }
  void Flush() {
    if (!buffer_.empty()) writer_.Write(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr size_t kChunk = 1 << 16;
  TextWriter writer_;
  std::string buffer_;
};

// What the templates show: the previous period, a trend, the notes or the
// chart (only then is the history gathered), and the names of the systems
// (only then is the nodelist read).
struct TemplateNeeds {
  bool history = false, names = false;
};

TemplateNeeds ScanTemplates(Env& env, const RunSettings& run) {
  TemplateNeeds needs;
  for (const TemplateEntry& entry : run.templates) {
    int err = 0;
    std::unique_ptr<File> file = env.Open(entry.templateFile, OpenMode::kRead, &err);
    if (!file) continue;
    LineReader reader(*file, TextEncoding::kUtf8OrCp866);
    std::string line;
    while (reader.Next(line)) {
      const std::string upper = UpperCp866(line);
      for (const char* word : {"@PREV", "@CHANGE", "@TREND", "#TREND", "#NOTES"})
        if (upper.find(word) != std::string::npos) needs.history = true;
      for (const char* word : {"@SYSNAME", "@SYSOP", "@LOCATION"})
        if (upper.find(word) != std::string::npos) needs.names = true;
    }
  }
  return needs;
}

}  // namespace

bool RunReports(Env& env, LogContext& log, const RunSettings& run,
                ReportSettings& settings, PeriodTables& tables,
                const PostCallback& post, const LoadedCallback& loaded) {
  CalendarDate today = Today(env);
  tables.periodStart = DaysBack(today, run.periodStart);
  tables.periodEnd = DaysBack(today, run.periodEnd);
  log.LogLine(DateText(tables.periodStart) + " -> " + DateText(tables.periodEnd));

  // The configured graph characters hold until a template changes them.
  settings.useChar = NormalizeUseChar(run.useChar);

  PeriodHistory history;
  // The exports hold the history and the names as well.
  const TemplateNeeds needs = ScanTemplates(env, run);
  const bool withHistory = !run.exports.empty() || needs.history;
  if (!LoadPeriod(env, log, run, tables, CurrentDateTime(env),
                  withHistory ? &history : nullptr))
    return false;
  Nodelist names;
  if (!run.nodelist.empty() && (!run.exports.empty() || needs.names)) {
    std::string file;
    if (LoadNodelist(env, run.nodelist, &names, &file))
      history.names = &names;
    else
      log.LogLine("Nodelist " + run.nodelist + " not found: the names stay empty");
  }
  if (loaded) loaded(tables, history);

  ReportContext ctx{env, log, run, settings, tables, nullptr, {},
                    withHistory ? &history : nullptr};
  ctx.names = history.names;
  for (const TemplateEntry& entry : run.templates) {
    const std::string& result =
        entry.result.empty() ? run.resultFile : entry.result;
    log.LogLine(Cp866("Генерируем результирующий файл ") + result);
    // The result replaces the old file whole, so a reader (a web server,
    // a kill, a power cut) sees the old report or the new one.  A result
    // path that is the sysop's own link (or root's) leads to the file it
    // points to; another user's link there is not followed.
    int err = 0;
    std::string target, foreign;
    const bool followed = FollowOwnLinks(env, result, &target, &foreign, &err);
    if (!foreign.empty()) {
      log.LogError(foreign + ": a symbolic link of another user, not followed");
      continue;
    }
    // A result named like its own template would wipe the template out
    // before it is read; such a result is not created.
    const bool overTemplate = result == entry.templateFile || target == entry.templateFile;
    FileReplacement replacement(env, target);
    if (!followed || overTemplate || !replacement.Begin(&err)) {
      log.LogFailure(Cp866("Ошибка создания файла ") + result);
      if (overTemplate)
        log.LogLine("   " + result + ": the template file itself");
      else
        log.LogReason(result, err);
      continue;
    }
    ResultWriter writer(replacement.file());
    std::vector<std::string> screen;
    ctx.write = [&](const std::string& line) {
      writer.Line(run.resultUtf8 ? Cp866ToUtf8(line) : line);
      if (run.statisticsOnScreen) screen.push_back(line);
    };
    ProcessTemplate(ctx, entry);
    writer.Flush();
    // Whole on the disk before it is shown or posted.
    if (!replacement.Commit(&err))
      FailIo(replacement.failedStep(), replacement.failedPath(), err);
    for (const std::string& line : screen) env.ConsoleWrite(line + "\n");
    if (run.makeAnnounce && post) post(entry.announce, result);
  }
  return true;
}

}  // namespace vex
