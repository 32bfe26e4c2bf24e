#include "intake/intake_batch.h"

#include <set>
#include <utility>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "platform/path.h"

namespace vex {

namespace {

// Opens a store for appending (creating it when missing) and returns its
// size after cutting away a record that an earlier failed write left
// incomplete, so that new records stay aligned.
std::unique_ptr<File> OpenStore(Env& env, const std::string& path,
                                size_t recordSize, uint64_t* size) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(path, OpenMode::kAppend, &err);
  if (!file) FailIo("open", path, err);
  if (!file->Size(size)) FailIo("size", path, file->LastError());
  uint64_t whole = *size - *size % recordSize;
  if (whole != *size && !file->Truncate(whole))
    FailIo("truncate", path, file->LastError());
  *size = whole;
  return file;
}

void AppendAndSync(File& file, const std::string& path,
                   const std::string& bytes) {
  if (!file.Append(bytes.data(), bytes.size()))
    FailIo("write", path, file.LastError());
  if (!file.Sync()) FailIo("sync", path, file.LastError());
}

}  // namespace

IntakeBatch::IntakeBatch(Env& env, LogContext& log, bool killTic,
                         std::string statPath, std::string dupePath,
                         std::string journalPath)
    : env_(env),
      log_(log),
      killTic_(killTic),
      statPath_(std::move(statPath)),
      dupePath_(std::move(dupePath)),
      journalPath_(std::move(journalPath)) {}

void IntakeBatch::Log(const std::string& text) {
  events_.push_back(Event{text, -1});
}

void IntakeBatch::Add(const StatRecord& record, const std::string& name,
                      const JournalDeletion& file) {
  records_ += EncodeStatRecord(record);
  names_ += EncodeDupeRecord(name);
  ++count_;
  if (killTic_) {
    events_.push_back(Event{std::string(), static_cast<int>(deletions_.size())});
    deletions_.push_back(file);
  }
}

void IntakeBatch::Commit() {
  if (count_ == 0) {
    for (const Event& e : events_) log_.LogLine(e.logText);
    Clear();
    return;
  }
  uint64_t statSize = 0, dupeSize = 0;
  std::unique_ptr<File> stat =
      OpenStore(env_, statPath_, kStatRecordSize, &statSize);
  std::unique_ptr<File> dupes =
      OpenStore(env_, dupePath_, kDupeRecordSize, &dupeSize);
  IntakeJournal journal(env_, journalPath_);
  bool commitStarted = false;
  try {
    journal.Begin(statSize, dupeSize);
    AppendAndSync(*stat, statPath_, records_);
    AppendAndSync(*dupes, dupePath_, names_);
    commitStarted = true;
    journal.Commit(deletions_);
  } catch (const RunTimeError&) {
    RollBack(journal, commitStarted, *stat, statSize, *dupes, dupeSize);
    throw;
  }
  stat.reset();
  dupes.reset();
  FinishCommitted(journal);
}

void IntakeBatch::RollBack(IntakeJournal& journal, bool commitStarted,
                           File& stat, uint64_t statSize, File& dupes,
                           uint64_t dupeSize) {
  // A commit record that may have reached the disk is taken back first;
  // if that fails the batch stands, and the next run finishes it.
  if (commitStarted && !journal.Uncommit()) return;
  bool restored = stat.Truncate(statSize) && stat.Sync() &&
                  dupes.Truncate(dupeSize) && dupes.Sync();
  // Otherwise the journal stays, and the next run cuts the stores back.
  if (restored) journal.Remove();
}

void IntakeBatch::FinishCommitted(IntakeJournal& journal) {
  int deleteErr = 0;
  std::string failedPath;
  std::set<std::string> dirs;
  for (const Event& e : events_) {
    if (e.deletion < 0) {
      log_.LogLine(e.logText);
      continue;
    }
    const JournalDeletion& d = deletions_[static_cast<size_t>(e.deletion)];
    const std::string& path = d.path;
    int err = 0;
    // A file put there under the same name since it was read is another
    // file: it was not counted, and it stays.
    if (!StillTheFileRead(env_, d)) {
      log_.LogLine("   " + path + ": changed since it was read, not deleted");
    } else if (env_.Remove(path, &err)) {
      dirs.insert(FolderOf(path));
      log_.LogLine(Cp866(" ... файл удален.."));
    } else if (deleteErr == 0) {
      deleteErr = err;
      failedPath = path;
    }
  }
  // The deletions are durable before the journal that repeats them goes.
  for (const std::string& dir : dirs) {
    int err = 0;
    if (!env_.SyncDirectory(dir, &err))
      FailIo("sync", dir, err);
  }
  int err = 0;
  if (!journal.Remove(&err)) FailIo("delete", journalPath_, err);
  Clear();
  if (deleteErr != 0) FailIo("delete", failedPath, deleteErr);
}

void IntakeBatch::Clear() {
  records_.clear();
  names_.clear();
  deletions_.clear();
  events_.clear();
  count_ = 0;
}

}  // namespace vex
