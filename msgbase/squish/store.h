// The Squish base behind OpenSquish.  Its members are defined by topic:
// files.cpp (finding, opening, locking, creating), reader.cpp, writer.cpp
// and repair.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/base.h"
#include "msgbase/base_dirs.h"
#include "msgbase/squish/format.h"
#include "msgbase/squish/frame_edit.h"
#include "msgbase/squish/index.h"

namespace vex::squish {

// What the repair of an open decides from the header, the index and the
// frames: the records that stand, the header that counts them, and the
// frame links to change (held in the FrameEdit it was given).
struct RepairPlan {
  std::vector<IndexRecord> records;
  BaseHeader header;
  bool indexChanged = false;
};

// Plans the repair; reads frames through edit, writes nothing.  The
// writing open carries the plan out; the read-only open lists what it
// keeps, so both agree on which records stand.
RepairPlan PlanRepair(const BaseHeader& h, std::vector<IndexRecord> records, uint64_t indexSize,
                      FrameEdit& edit, uint64_t dataSize);

class Store final : public Base {
 public:
  Store(Env& env, std::string path, bool readOnly, int lockTimeoutMs);
  ~Store() override { Close(); }

  Status Open();
  Status List(std::vector<uint32_t>* numbers) override;
  Status Read(uint32_t number, Message* message) override;
  Status Append(const Message& message, uint32_t* number) override;
  Status Delete(uint32_t number) override;
  Status Close() override;

 private:
  // Keeps the first failure of a call; what fails after it (putting things
  // back) does not replace it.  Returns false, for `return Fail(...)`.
  bool Fail(Status st) {
    if (failure_.ok()) failure_ = std::move(st);
    return false;
  }
  bool Checked(const File& f, bool ok, const std::string& what) {
    return ok || Fail(Status::FileError(f.Path(), f.LastError(), what));
  }
  // Writes n bytes at off, then syncs the file.
  bool WriteSynced(File& f, uint64_t off, const void* bytes, size_t n) {
    return Checked(f, n == 0 || f.WriteAt(off, bytes, n), "write") && Checked(f, f.Sync(), "sync");
  }
  Status Closed() const { return Status::Refused(path_, "the base is closed"); }
  Status TakeFailure();

  // files.cpp
  std::string FindFile(const std::string& ext) { return FindBaseFile(env_, basePath_, ext); }
  // ".<name>.<ext>-new" beside the base.
  std::string HiddenPath(const char* ext) const;
  bool SyncDir();
  // Empty when a data file shorter than its header belongs to a creation
  // that did not finish; else the sentence that says why it is damage.
  std::string Unfinished(uint64_t dataSize);
  bool OpenExisting();
  bool OpenIndexOfExisting(uint64_t dataSize);
  bool Create();
  bool PublishCreation(const std::string& leftIndex, const std::string& temp);
  bool WaitForCreation();
  bool WriteNewHeader();
  Status OpenReadOnly();
  Status ReadIndex(File& f, std::vector<IndexRecord>* records, uint64_t* size);

  // repair.cpp
  bool RemoveLeftovers();
  bool LoadAndRepair();
  bool WriteRepair(FrameEdit& edit, const RepairPlan& plan);
  bool WriteHeader(const BaseHeader& h);
  // After a deletion that could not finish: the repair of an open, at once;
  // the base closes when it fails.
  void RepairNow();

  // writer.cpp
  uint64_t NewFrameOffset(uint64_t dataSize);
  bool WriteIndexRecord(const IndexRecord& rec);
  bool WriteCountingHeader(UndoLog& undo, BaseHeader h);
  bool ReplaceIndex(const Index& kept);

  Env& env_;
  std::string path_;      // as the area names it
  std::string basePath_;  // with its closing dot
  bool readOnly_;
  int lockTimeoutMs_;
  bool open_ = false;
  // A write failed: nothing more is appended until the base is reopened.
  bool writeFailed_ = false;
  Status failure_;
  std::unique_ptr<File> data_, index_;
  std::string dataPath_, indexPath_;
  RawBaseHeader rawBase_{};
  BaseHeader base_;
  Index records_;
  uint64_t readOnlyDataSize_ = 0;  // the data file's size at a read-only open
};

}  // namespace vex::squish
