#include "intake/maintenance.h"

#include "intake/dupe_store.h"
#include "core/stat_store.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "util/dates.h"
#include "util/number.h"
#include "util/replace_file.h"

namespace vex {

MaintenanceResult ResetDupeStore(Env& env, LogContext& log) {
  int err = 0;
  bool exists = env.Open(kDupeStoreName, OpenMode::kRead, &err) != nullptr;
  if (exists) {
    log.LogLine(Cp866("Удаляем файл с дупами..."));
    if (!env.Remove(kDupeStoreName, &err)) FailIo("delete", kDupeStoreName, err);
  } else {
    log.LogLine(Cp866("Файл с дупами не найден.."));
  }
  log.EndLog();
  return exists ? MaintenanceResult::kDone : MaintenanceResult::kNoStore;
}

namespace {

// Buffered appends to the purge's temporary file.
class RecordWriter {
 public:
  explicit RecordWriter(File& file) : file_(file) {}
  void Append(const StatRecord& r) {
    buf_ += EncodeStatRecord(r);
    if (buf_.size() >= 64 * kStatRecordSize) Flush();
  }
  void Flush() {
    if (buf_.empty()) return;
    if (!file_.WriteAt(offset_, buf_.data(), buf_.size()))
      FailIo("write", file_.Path(), file_.LastError());
    offset_ += buf_.size();
    buf_.clear();
  }

 private:
  File& file_;
  uint64_t offset_ = 0;
  std::string buf_;
};

}  // namespace

MaintenanceResult PurgeStatistics(Env& env, LogContext& log,
                                  const std::string& parameter) {
  int32_t keepDays = 0;
  std::string text = parameter.size() > 2 ? parameter.substr(2) : std::string();
  if (!ParseNumber(text, &keepDays)) {
    log.LogLine(Cp866("Ошибка в параметре для пуржинга статистики.."));
    return MaintenanceResult::kBadParameter;
  }
  log.LogLine(Cp866("Пуржим статистику за ") + NumberText(keepDays) +
              Cp866(" дней.."));
  CalendarDate today = Today(env);

  // The kept records go to the copy, which replaces the store whole (and
  // durably) once they are on the disk: there is always a whole stat.vx.
  // Until then, a failure leaves stat.vx untouched and the copy goes.
  int err = 0;
  FileReplacement copy(env, kStatStoreName, kPurgeTempName);
  if (!copy.Begin(&err)) FailIo(copy.failedStep(), copy.failedPath(), err);

  StatStoreReader reader;
  if (!reader.Open(env, kStatStoreName)) {
    log.LogLine(Cp866("Файл со статистикой stat.vx пуст.."));
    if (!copy.Cancel(&err)) FailIo("delete", kPurgeTempName, err);
    log.EndLog();
    return MaintenanceResult::kNoStore;
  }

  RecordWriter writer(copy.file());
  StatRecord record;
  while (reader.Next(record)) {
    CalendarDate date{record.year, record.month, record.day};
    if (DaysBetween(date, today) <= keepDays) writer.Append(record);
  }
  writer.Flush();
  reader = StatStoreReader();  // closes stat.vx
  if (!copy.Commit(&err)) FailIo(copy.failedStep(), copy.failedPath(), err);

  log.EndLog();
  return MaintenanceResult::kDone;
}

}  // namespace vex
