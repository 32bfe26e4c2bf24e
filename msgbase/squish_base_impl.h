// The Squish base object.  The program reaches it only through MakeSquishBase
// and the MessageBase interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/message_base.h"
#include "msgbase/squish/format.h"

namespace vex {

namespace squish {
class FrameEdit;
class UndoLog;
}  // namespace squish

class SquishBase : public MessageBase {
 public:
  SquishBase(Env& env, int lockTimeoutMs);
  ~SquishBase() override;

  bool OpenBase(const std::string& path) override;
  bool OpenBaseReadOnly(const std::string& path, std::string* problem) override;
  std::string ReadErrorText() override;
  bool CreateBase(const std::string& path) override;
  bool BaseExists(const std::string& path) override;
  void CloseBase() override;
  bool MessageExists(int32_t n) override;
  void SeekMessage(int32_t n) override;
  void SeekNext() override;
  void SeekPrior() override;
  bool SeekFound() override;
  int32_t IndexPosition() override;
  void SeekIndexPosition(int32_t i) override;
  bool ReadMessage() override;
  bool ReadHeader() override;
  bool FreeMessageText() override;
  int32_t HighMessage() override;
  int32_t MessageCount() override;
  std::string GetFromName() override;
  std::string GetToName() override;
  std::string GetSubject() override;
  void SetFromName(const std::string& s) override;
  void SetToName(const std::string& s) override;
  void SetSubject(const std::string& s) override;
  bool TestAttribute(uint32_t mask) override;
  void SetAttribute(uint32_t mask, bool on) override;
  void GetDateWritten(MsgDateTime& dt) override;
  void GetDateArrived(MsgDateTime& dt) override;
  // The text form is kept beside the stamp; made from the full clock
  // reading, it keeps the odd second the stamp drops.
  void SetDateWritten(const MsgDateTime& dt) override;
  void SetDateArrived(const MsgDateTime& dt) override;
  bool WriteMessage() override;
  bool RewriteHeader() override;
  bool StartNewMessage() override;
  bool DeleteMessage() override;
  int32_t ReadLastRead(int32_t user) override;
  void WriteLastRead(int32_t user, int32_t n) override;

 private:
  static std::string WithDot(const std::string& path);
  // The existing file base + ext, whatever the case of its extension (lower
  // case first); empty when there is none.
  std::string FindFile(const std::string& base, const std::string& ext);
  // A new file's name for a base that exists: the extension in the case of
  // the data file's extension.
  std::string NameLikeDataFile(const std::string& ext) const;
  bool Fail(int code);
  bool FailOpen(int code);
  void ForgetMessage();
  bool WriteBaseHeader();
  // Writes the header of an empty base into the (empty) data file.
  bool InitHeader();
  // Empty when a data file shorter than its header belongs to a creation
  // that did not finish; else the sentence that says why it is damage.
  std::string Unfinished(uint64_t dataSize);
  // ".<name>.<ext>-new" beside the base.
  std::string HiddenPath(const char* ext) const;
  // The hidden file a deletion writes the new index into.
  std::string LeftoverIndexPath() const;
  // The hidden file a creation writes the data file into before naming it.
  std::string CreationDataPath() const;
  bool SyncDir();
  // Removes the hidden files that a stopped deletion or creation left.
  bool RemoveLeftovers();
  // Another program is creating the base: it is opened once it is named.
  bool WaitForCreation(const std::string& path);
  // True when path still names an empty file: the creation's own, just
  // made and locked (another creation's would have its header by now).
  bool StillNamesNewFile(const std::string& path);
  // Reads the index and repairs what a write cut short left behind.
  bool LoadAndRepair();
  // After a write that failed and could not put everything back: the
  // repair of an open, under the lock held; the base closes when it fails.
  void RepairNow();
  bool Repair(uint64_t indexSize);
  bool RepairChainEnd(squish::FrameEdit& edit, uint64_t dataSize,
                      bool indexChanged);
  bool WriteRepair(squish::FrameEdit& edit, squish::BaseHeader& h,
                   bool indexChanged);
  bool WriteRepairedHeader(const squish::BaseHeader& h);
  // The end of every successful open or create.
  void FinishOpen();
  // The index slot of the current number.
  bool CurrentSlot(size_t& slot);
  // Writes the index through a hidden file renamed over it.
  bool ReplaceIndex(const std::vector<squish::IndexRecord>& records);
  bool WriteIndexFrom(size_t first);
  bool Read(bool withBody);
  // Index slot of the loaded message, found by its frame offset.
  bool FindLoadedSlot(size_t& slot) const;
  size_t RecordCount() const;

  // Where a message's frame goes: the base header and the frame header as
  // they will be, the frame's offset, its index slot, and whether it goes
  // to the end of the data file.
  struct FramePlan {
    squish::BaseHeader base;
    squish::FrameHeader frame;
    uint32_t off = 0;
    size_t slot = 0;
    bool appended = false;
  };
  // The steps of WriteMessage.  Planning reads frames but writes nothing;
  // a false return from a write step leaves its undo to the caller.
  bool PlanFrame(squish::FrameEdit& edit, uint64_t dataSize,
                 uint64_t messageLength, FramePlan& p);
  // Keeps the loaded message's frame when the message still fits, else
  // moves that frame to the free chain.
  bool KeepOrFreeOwnFrame(squish::FrameEdit& edit, uint64_t dataSize,
                          uint64_t messageLength, FramePlan& p, bool& inPlace);
  // Header fields filled from the text.
  void FillAddressFields();
  bool WriteFrame(squish::UndoLog& undo, const std::string& bytes,
                  uint64_t dataSize, const FramePlan& p);
  bool WriteIndexRecord(squish::UndoLog& undo, const squish::IndexRecord& rec,
                        uint64_t indexSize, size_t slot);
  // The header that makes the message count; put back in memory on failure.
  bool WriteNewBaseHeader(const squish::IndexRecord& rec, size_t frameBytes,
                          FramePlan& p);
  // The stored message becomes the loaded and current one.
  void NoteStored(const squish::IndexRecord& rec, FramePlan& p);

  int lockTimeoutMs_;
  std::unique_ptr<File> data_, index_;
  std::string dataPath_, indexPath_;
  squish::RawBaseHeader rawBase_{};
  squish::BaseHeader base_;
  bool baseChanged_ = false;
  std::vector<squish::IndexRecord> indexRecords_;

  // Navigation: the current index record's byte position.  After a
  // deletion nothing is current and gapPos_ is where the deleted record
  // was, so SeekNext and SeekPrior continue from there.
  uint64_t indexPos_ = 0;
  int64_t gapPos_ = -1;

  // The message being read or written.
  squish::RawMsgHeader msg_{};
  squish::FrameHeader frame_;
  uint32_t frameOffset_ = 0;
  size_t loadedSlot_ = 0;
  // msg_ came from (or went to) the frame at frameOffset_.
  bool loaded_ = false;
  bool isNew_ = false;
  const MessageText* headerOnlyText_ = nullptr;  // text made by ReadHeader
  uint64_t readOnlyDataSize_ = 0;  // the data file's size at a read-only open
  std::string problem_;  // why the last open failed, when it is damage
};

}  // namespace vex
