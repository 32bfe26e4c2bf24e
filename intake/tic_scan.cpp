#include "intake/tic_scan.h"

#include "intake/dupe_store.h"
#include "intake/stat_store.h"
#include "intake/tic_line.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "util/text_file.h"

namespace vex {

namespace {

void SetRecordTime(StatRecord& record, const FileTime& t) {
  record.year = static_cast<uint16_t>(t.year);
  record.month = static_cast<uint16_t>(t.month);
  record.day = static_cast<uint16_t>(t.day);
  record.hour = static_cast<uint16_t>(t.hour);
  record.minute = static_cast<uint16_t>(t.minute);
  record.second = static_cast<uint16_t>(t.second);
}

}  // namespace

void ScanTicDirectory(Env& env, LogContext& log, const RunSettings& run,
                      const std::string& directory, const std::string& mask) {
  StatStoreAppender store;
  store.Open(env);
  DupeStore dupes(env, log, run.dupeCheck);

  // The files found lie in the directory part of the search pattern (up to
  // its last "/"); a TICPATH without a final "/" still opens the very file
  // that the search found.
  std::string pattern = directory + mask;
  size_t slash = pattern.rfind('/');
  std::string folder =
      slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);

  for (const DirEntry& entry : env.Search(pattern)) {
    const std::string& name = entry.name;
    if (dupes.IsKnownTic(name)) continue;

    StatRecord record;
    std::string path = folder + name;
    std::unique_ptr<File> tic = OpenTextForRead(env, path);
    if (!tic) continue;  // the console has the reason
    log.LogLine(Cp866("Анализирую ") + name);

    LineReader reader(*tic);
    std::string line;
    while (reader.Next(line)) ApplyTicLine(line, record);

    FileTime mtime;
    if (!tic->ModTime(&mtime)) FailIo("stat", path, tic->LastError());
    SetRecordTime(record, mtime);

    store.Append(record);
    dupes.RememberTic(name);
    tic.reset();

    if (run.killTic) {
      int err = 0;
      if (!env.Remove(path, &err)) FailIo("delete", path, err);
      log.LogLine(Cp866(" ... файл удален.."));
    }
  }
  store.Close();
}

}  // namespace vex
