// The intake journal vexstat.jnl makes a batch of TIC files enter the
// stores in one step, whatever way the run stops.
//
// A batch writes, in this order: the journal's begin record (the sizes the
// stat and dupe stores had before the batch), synced with its directory
// entry; the records and names, appended to the stores and synced; the
// commit record (the TIC files to delete), synced.  Then the TIC files are
// deleted and the journal is removed.  A journal left behind is finished by
// the next run before it changes anything: without a whole commit record
// the stores are cut back to the sizes of the begin record (the batch never
// happened); with one, the deletions are completed (the batch stands).
//
// Both records end with a checksum, so a record cut short by a kill or a
// full disk is recognised as absent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace vex {

inline constexpr const char* kIntakeJournalName = "vexstat.jnl";

// A TIC file that a committed batch deletes, with the size and time it had
// when it was analysed: a later file of the same name is not deleted.
struct JournalDeletion {
  std::string path;
  uint64_t size = 0;
  FileTime mtime;
};

// True while the file at d.path is still the one analysed: a regular file
// of the size and modification time noted.
bool StillTheFileRead(Env& env, const JournalDeletion& d);

struct JournalContents {
  bool begun = false;      // a whole begin record
  bool committed = false;  // and a whole commit record after it
  uint64_t statSize = 0, dupeSize = 0;
  std::vector<JournalDeletion> deletions;
};

std::string EncodeJournalBegin(uint64_t statSize, uint64_t dupeSize);
std::string EncodeJournalCommit(const std::vector<JournalDeletion>& deletions);
// Reads what a journal file holds; anything incomplete counts as absent.
JournalContents DecodeJournal(const std::string& bytes);

// The journal of one batch.  Every failure throws RunTimeError.
class IntakeJournal {
 public:
  explicit IntakeJournal(Env& env, std::string path = kIntakeJournalName);
  ~IntakeJournal();

  // Creates the journal with the begin record and makes it durable.
  void Begin(uint64_t statSize, uint64_t dupeSize);
  // Appends the commit record and makes it durable: the batch stands.
  void Commit(const std::vector<JournalDeletion>& deletions);
  // Takes a commit record back (the journal keeps only its begin record);
  // false when that failed and the batch must be treated as committed.
  bool Uncommit();
  // Removes the journal; false (and the errno value in *err) when that
  // failed.
  bool Remove(int* err = nullptr);

 private:
  Env& env_;
  std::string path_;
  std::unique_ptr<File> file_;
  uint64_t beginSize_ = 0;
};

// Finishes a batch that a stopped run left behind (see above).  Runs once
// at the start of every run that may change a store, under the run lock.
// A deletion that fails is reported (RunTimeError) after the journal is
// removed, so the next run does not stop at it again.
void RecoverIntake(Env& env, const std::string& statPath,
                   const std::string& dupePath,
                   const std::string& journalPath = kIntakeJournalName);
void RecoverIntake(Env& env);

// How much of each store a reader that does not hold the run lock may read:
// while a batch is being written (a journal with a begin record and no
// commit record) its records and names lie past the sizes the begin record
// gives, and the next run may cut them away, so they are not read.  The
// journal is read before and after the sizes are taken, until both readings
// agree.  No limit is UINT64_MAX.
struct StoreLimits {
  uint64_t statSize = UINT64_MAX;
  uint64_t dupeSize = UINT64_MAX;
};
StoreLimits CommittedStoreLimits(Env& env, const std::string& statPath,
                                 const std::string& dupePath,
                                 const std::string& journalPath = kIntakeJournalName);

}  // namespace vex
