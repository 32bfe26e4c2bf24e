#include "intake/tic_scan.h"

#include "intake/dupe_store.h"
#include "core/stat_store.h"
#include "intake/intake_batch.h"
#include "intake/tic_line.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "platform/path.h"
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

// Reads one TIC file into its record and notes its size and time; false
// when it cannot be opened (the console has the reason).
bool ReadTic(Env& env, IntakeBatch& batch, const std::string& name,
             StatRecord& record, JournalDeletion& file) {
  std::unique_ptr<File> tic = OpenTextForRead(env, file.path);
  if (!tic) return false;
  batch.Log(Cp866("Анализирую ") + name);

  LineReader reader(*tic);
  std::string line;
  while (reader.Next(line)) ApplyTicLine(line, record);

  if (!tic->ModTime(&file.mtime) || !tic->Size(&file.size))
    FailIo("stat", file.path, tic->LastError());
  SetRecordTime(record, file.mtime);
  return true;
}

}  // namespace

void ScanTicDirectory(Env& env, LogContext& log, const RunSettings& run,
                      const std::string& directory, const std::string& mask) {
  // The statistics store exists after every scan, even one that finds
  // nothing.
  StatStoreAppender store;
  store.Open(env);
  store.Close();
  DupeStore dupes(env, log, run.dupeCheck);
  IntakeBatch batch(env, log, run.killTic);

  // The files found lie in the directory part of the search pattern (up to
  // its last "/"); a TICPATH without a final "/" still opens the very file
  // that the search found.
  std::string pattern = directory + mask;
  std::string folder = FolderOf(pattern);

  for (const DirEntry& entry : env.Search(pattern)) {
    const std::string& name = entry.name;
    if (dupes.Knows(name)) {
      batch.Log(KnownTicLine(name));
      continue;
    }

    StatRecord record;
    JournalDeletion file;
    file.path = JoinPath(folder, name);
    try {
      if (!ReadTic(env, batch, name, record, file)) continue;
    } catch (const RunTimeError&) {
      batch.Commit();  // the files read before this one still count
      throw;
    }
    batch.Add(record, name, file);
    dupes.Note(name);
    if (batch.count() >= run.ticBatchSize) batch.Commit();
  }
  batch.Commit();
}

}  // namespace vex
