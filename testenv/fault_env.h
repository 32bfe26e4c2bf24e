// An Env that passes everything to another Env but can be told to fail:
// writes after a number of bytes, opens of a path, renames, removes, syncs,
// truncations and reads.  Tests use it to prove that a failure is reported
// and that no data already stored is lost.
#pragma once

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/env_wrapper.h"

namespace vex {

class FaultEnv : public EnvWrapper {
 public:
  explicit FaultEnv(Env& base);
  ~FaultEnv() override;

  // Writes through files opened from now on or before: `bytes` more bytes
  // are written, then writing fails with err.  A write that crosses the
  // limit stores the bytes that fit (as a full disk would) and fails.
  void FailWritesAfter(uint64_t bytes, int err = ENOSPC);
  // Counting the writes from now on (0 is the next one), write number n and
  // every later one fail with err, as on a disk that has become full; with
  // cutShort, write n first stores half of its bytes.
  void FailWritesFrom(int n, bool cutShort, int err = ENOSPC);
  // The same for one write only: the writes after it work again, as
  // writes over bytes a full disk already holds do.
  void FailOneWriteAfter(uint64_t bytes, int err = ENOSPC);
  // Every open of this path (as passed to Open) fails with err.
  void FailOpen(const std::string& path, int err = EACCES);
  // Only opens that create (kCreate, kCreateExclusive, kAppend of a missing
  // file) of this path fail.
  void FailCreate(const std::string& path, int err = ENOSPC);
  void FailRenames(int err = EIO);
  void FailRemoves(int err = EACCES);
  void FailSyncs(int err = EIO);  // files and directories
  void FailTruncates(int err = EIO);
  // Reads return `bytes` more bytes, then fail with err.
  void FailReadsAfter(uint64_t bytes, int err = EIO);
  // Ends every injected failure.
  void Reset();
  // The n-th file operation from now (1 = the next one) ends the process
  // with SIGKILL before it runs, as a crash would.  Operations: open,
  // write, truncate, sync, remove, rename, link.
  void CrashBeforeOperation(int n);

  // Bytes written through this Env so far.
  uint64_t bytesWritten() const { return state_->bytesWritten; }
  // Number of calls that failed because of an injected fault.
  int injectedFailures() const { return state_->injected; }
  // Writes counted since FailWritesFrom.
  int writesCounted() const { return state_->writesCounted; }

  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override;
  bool Remove(const std::string& path, int* err) override;
  bool Rename(const std::string& from, const std::string& to,
              int* err) override;
  bool SyncDirectory(const std::string& path, int* err) override;

  // Publishing whole files (a link fails like a rename).
  bool Link(const std::string& from, const std::string& to,
            int* err) override;
  std::vector<std::string> HiddenNames(const std::string& dir) override;

  // The fault settings, shared with the files opened through this Env.
  struct State {
    bool limitWrites = false;
    uint64_t writeBudget = 0;
    int writeErr = 0;
    int failFromWrite = -1;  // FailWritesFrom
    bool cutShort = false;
    int writesCounted = 0;
    bool limitReads = false;
    uint64_t readBudget = 0;
    int readErr = 0;
    int renameErr = 0, removeErr = 0, syncErr = 0, truncateErr = 0;
    std::map<std::string, int> openErrs, createErrs;
    uint64_t bytesWritten = 0;
    int injected = 0;
    int crashCountdown = 0;  // 0 = never
    bool oneWrite = false;
    // Counts one file operation; kills the process when its turn comes.
    void Tick();
  };

 private:
  std::shared_ptr<State> state_;
};

}  // namespace vex
