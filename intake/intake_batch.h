// A batch of analysed TIC files that enters the stores in one step (the
// order of writes is described in intake_journal.h).  Records and names
// wait in memory, and so do the log lines of the batch, so that the log
// never tells of a file the stores do not hold.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/log.h"
#include "intake/dupe_store.h"
#include "intake/intake_journal.h"
#include "core/stat_record.h"
#include "core/stat_store.h"
#include "platform/env.h"

namespace vex {

class IntakeBatch {
 public:
  IntakeBatch(Env& env, LogContext& log, bool killTic,
              std::string statPath = kStatStoreName,
              std::string dupePath = kDupeStoreName,
              std::string journalPath = kIntakeJournalName);

  // A log line, written when the batch is committed.
  void Log(const std::string& text);
  // An analysed TIC file: its record and its name; with killTic the file
  // is deleted once both are durable.
  void Add(const StatRecord& record, const std::string& name,
           const JournalDeletion& file);
  size_t count() const { return count_; }

  // Writes the batch and empties it.  When a write fails, the stores are
  // cut back to where they were and RunTimeError is thrown.
  void Commit();

 private:
  struct Event {
    std::string logText;
    int deletion = -1;  // index into deletions_, or a plain log line
  };
  void RollBack(IntakeJournal& journal, bool commitStarted, File& stat,
                uint64_t statSize, File& dupes, uint64_t dupeSize);
  void FinishCommitted(IntakeJournal& journal);
  void Clear();

  Env& env_;
  LogContext& log_;
  bool killTic_;
  std::string statPath_, dupePath_, journalPath_;
  std::string records_, names_;
  std::vector<JournalDeletion> deletions_;
  std::vector<Event> events_;
  size_t count_ = 0;
};

}  // namespace vex
