#include "report/report_run.h"

#include <memory>
#include <vector>

#include "platform/cp866.h"
#include "report/graphs.h"
#include "report/period_history.h"
#include "report/period_load.h"
#include "report/report_context.h"
#include "report/template.h"
#include "util/dates.h"
#include "util/text.h"
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

// Whether a template shows the previous period, a trend, the notes or the
// chart; only then is the history gathered.
bool TemplatesUseHistory(Env& env, const RunSettings& run) {
  for (const TemplateEntry& entry : run.templates) {
    int err = 0;
    std::unique_ptr<File> file = env.Open(entry.templateFile, OpenMode::kRead, &err);
    if (!file) continue;
    LineReader reader(*file, TextEncoding::kUtf8OrCp866);
    std::string line;
    while (reader.Next(line)) {
      const std::string upper = UpperCp866(line);
      for (const char* word : {"@PREV", "@CHANGE", "@TREND", "#TREND", "#NOTES"})
        if (upper.find(word) != std::string::npos) return true;
    }
  }
  return false;
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
  // The exports hold the history as well.
  const bool withHistory = !run.exports.empty() || TemplatesUseHistory(env, run);
  if (!LoadPeriod(env, log, run, tables, CurrentDateTime(env),
                  withHistory ? &history : nullptr))
    return false;
  if (loaded) loaded(tables, history);

  ReportContext ctx{env, log, run, settings, tables, nullptr, {},
                    withHistory ? &history : nullptr};
  for (const TemplateEntry& entry : run.templates) {
    const std::string& result =
        entry.result.empty() ? run.resultFile : entry.result;
    log.LogLine(Cp866("Генерируем результирующий файл ") + result);
    // A result named like its own template would wipe the template out
    // before it is read; such a result is not created.
    // The result is created for writing only: a file the run may write but
    // not read is still overwritten.
    int err = 0;
    const bool overTemplate = result == entry.templateFile;
    std::unique_ptr<File> file =
        overTemplate ? nullptr
                     : env.Open(result, OpenMode::kCreateWriteOnly, &err);
    if (!file) {
      log.LogFailure(Cp866("Ошибка создания файла ") + result);
      if (overTemplate)
        log.LogLine("   " + result + ": the template file itself");
      else
        log.LogReason(result, err);
      continue;
    }
    ResultWriter writer(*file);
    std::vector<std::string> screen;
    ctx.write = [&](const std::string& line) {
      writer.Line(run.resultUtf8 ? Cp866ToUtf8(line) : line);
      if (run.statisticsOnScreen) screen.push_back(line);
    };
    ProcessTemplate(ctx, entry);
    writer.Flush();
    for (const std::string& line : screen) env.ConsoleWrite(line + "\n");
    file.reset();
    if (run.makeAnnounce && post) post(entry.announce, result);
  }
  return true;
}

}  // namespace vex
