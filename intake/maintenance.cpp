#include "intake/maintenance.h"

#include "intake/dupe_store.h"
#include "core/stat_store.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "util/dates.h"
#include "util/number.h"

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

  int err = 0;
  std::unique_ptr<File> temp = env.Open(kPurgeTempName, OpenMode::kCreate, &err);
  if (!temp) FailIo("create", kPurgeTempName, err);

  StatStoreReader reader;
  if (!reader.Open(env, kStatStoreName)) {
    log.LogLine(Cp866("Файл со статистикой stat.vx пуст.."));
    temp.reset();
    if (!env.Remove(kPurgeTempName, &err)) FailIo("delete", kPurgeTempName, err);
    log.EndLog();
    return MaintenanceResult::kNoStore;
  }

  try {
    RecordWriter writer(*temp);
    StatRecord record;
    while (reader.Next(record)) {
      CalendarDate date{record.year, record.month, record.day};
      if (DaysBetween(date, today) <= keepDays) writer.Append(record);
    }
    writer.Flush();
    reader = StatStoreReader();  // closes stat.vx

    // The kept records reach the disk before they replace the store, and
    // the store is replaced in one step: there is always a whole stat.vx.
    if (!temp->Sync()) FailIo("sync", kPurgeTempName, temp->LastError());
    temp.reset();
    if (!env.Rename(kPurgeTempName, kStatStoreName, &err))
      FailIo("rename", kPurgeTempName, err);
  } catch (const RunTimeError&) {
    // stat.vx is untouched; the unfinished copy goes.
    temp.reset();
    env.Remove(kPurgeTempName, &err);
    throw;
  }
  // The new store survives a power cut, not only a kill.
  if (!env.SyncDirectory("", &err)) FailIo("sync", ".", err);

  log.EndLog();
  return MaintenanceResult::kDone;
}

}  // namespace vex
