// An Env that records what a run does to the disk, so that a test can ask
// what the disk may hold if the power had gone at any moment of the run.
//
// A test builds the starting file system in a MemEnv (all of it counts as
// durable), runs the program through a PowerCutEnv over that MemEnv, and
// then visits the crash states: for each one a fresh MemEnv holds what
// survived, the test runs the next run on it and checks what must hold.
//
// The disk model.  Every mutating operation is recorded in order: writes
// (appends are writes at the offset they landed at), truncations, file
// creations, links, renames, removals, directory creations, file syncs and
// directory syncs.  If the power goes after the first `cut` operations:
//   - a write or truncation of a file is durable once a later Sync of that
//     file has run; a create, link, rename, remove or mkdir is durable once
//     a later SyncDirectory of its directory has run (a rename: of both);
//   - any other of the `cut` operations may or may not have reached the
//     disk, in any combination (subsets);
//   - the last operation, when it is a write, may have landed in part: torn
//     after any byte of what it appends, at sector boundaries of what it
//     overwrites, and at 4 KiB boundaries of the file;
//   - ext4-like order (data=ordered): the name changes reach the disk in
//     the order they were made, each sync of any file commits every name
//     change before it, and a rename carries the data written to the
//     renamed file before it.
// Operations that never reached the disk are replayed as absent; one whose
// name or file is missing in the state (a rename of a name never created)
// does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/env_wrapper.h"
#include "testenv/mem_env.h"

namespace vex {

struct PowerCutOp {
  enum Kind {
    kWrite,      // inode, offset, data
    kTruncate,   // inode, offset = the new size
    kCreate,     // path names the new inode
    kLink,       // path becomes a second name of inode
    kRename,     // path -> path2
    kRemove,     // path (which named inode)
    kMakeDir,    // path
    kSync,       // inode
    kSyncDir,    // path = the directory
  };
  Kind kind = kWrite;
  int inode = -1;
  std::string path, path2;  // normalised
  uint64_t offset = 0;
  std::string data;
  uint64_t sizeBefore = 0;   // write: the file's size before it
  FileTime mtime;
  size_t consoleBefore = 0;  // console bytes written before this operation
};

// One way the disk may look after the power went.
struct CrashState {
  size_t cut = 0;          // operations [0, cut) were issued
  std::vector<char> keep;  // for each of them: did it reach the disk
  int torn = -1;           // a write of which only [tornBegin, tornEnd) landed
  uint64_t tornBegin = 0, tornEnd = 0;
  std::string model;       // how the state was chosen
};

struct PowerCutOptions {
  // At each sync point and at the end: every subset of the unsynced
  // operations when there are at most subsetBound of them, else `samples`
  // random subsets drawn from `seed` (the same seed gives the same states).
  int subsetBound = 8;
  int samples = 32;
  uint64_t seed = 1;
  bool tornWrites = true;
  // Where the last write may tear.  The part that extends the file tears
  // after any byte when the write is at most tearEveryByteUpTo bytes long,
  // else after its first byte, its half and all but its last byte.  The
  // part over bytes the file held tears only at multiples of `sector`
  // bytes of the file (a disk writes a sector whole; 1 tears it anywhere).
  // Every write also tears at 4 KiB boundaries, and then may also lose
  // the bytes before the first boundary (blocks landing out of order).
  int tearEveryByteUpTo = 512;
  int sector = 512;
  bool ext4Order = true;
};

class PowerCutEnv : public EnvWrapper {
 public:
  // Records from now on; what `live` holds now is the durable start.
  explicit PowerCutEnv(MemEnv& live);
  ~PowerCutEnv() override;

  const std::vector<PowerCutOp>& ops() const { return ops_; }
  // What the run wrote to the console before operation `cut` was issued.
  std::string ConsoleBefore(size_t cut) const;
  // An operation the model cannot replay (a directory renamed); empty when
  // none was met.
  const std::string& unsupported() const { return unsupported_; }

  // Every crash state the options ask for, in a fixed order; the same
  // state may come more than once.
  std::vector<CrashState> CrashStates(const PowerCutOptions& options) const;
  // Builds the file system of a state into `into` (which should be empty),
  // with the live clock.
  void Materialise(const CrashState& state, MemEnv& into) const;
  // "cut after 12 of 30 (subset): kept #9 write b/x.sqd@0+256; dropped
  // #10 link ..." naming the operations that were not yet durable.
  std::string Describe(const CrashState& state) const;
  // Materialises every distinct state (file system and console text) in a
  // fresh MemEnv and calls check on it; returns the number visited.
  size_t ForEachCrashState(
      const PowerCutOptions& options,
      const std::function<void(const CrashState&, MemEnv&)>& check) const;

  // Env.
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override;
  bool Remove(const std::string& path, int* err) override;
  bool Rename(const std::string& from, const std::string& to,
              int* err) override;
  bool MakeDirectory(const std::string& path, int* err) override;
  bool SyncDirectory(const std::string& path, int* err) override;
  bool Link(const std::string& from, const std::string& to,
            int* err) override;
  void ConsoleWrite(const std::string& text) override;

  // Called by the files opened through this Env.
  void Record(PowerCutOp op);

 private:
  std::string DescribeOp(size_t i) const;
  // For each operation, the index of the first later sync that makes it
  // durable (ops_.size() when none does).
  std::vector<size_t> DurableAt() const;

  MemEnv& live_;
  // The durable start: directories, inode contents and names.
  std::set<std::string> startDirs_;
  std::map<int, MemEnv::Node> startInodes_;
  std::map<std::string, int> startNames_;
  // The live names, kept in step with live_.
  std::map<std::string, int> names_;
  int nextInode_ = 0;
  std::vector<PowerCutOp> ops_;
  std::string console_;
  std::string unsupported_;
};

}  // namespace vex
