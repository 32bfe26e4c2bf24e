// Writing a Squish base: Append and Delete.
//
// Changes to the chains are planned on copies of the frame headers first
// and written only when every frame they touch has been read and checked,
// so a damaged base makes an operation fail before anything is written.
// Free frames are kept in their chain but never written over: a new
// message always goes past the end of the data and of every frame the
// index names (see NewFrameOffset).
//
// Sync points: each step, the file it writes, what is durable after it, and
// what the next open does (under the lock) when the power goes right there,
// the step's unsynced writes lost, reordered or torn:
//
// step                             file      durable after it   next open
// -------------------------------  --------  -----------------  ---------------------------------
// post: frame at the end (synced)  sqd       the frame          bytes past the header's end of
//                                                               data: no chain leads there
// post: index record (synced)      sqi       the record         a record past the count, or one
//                                                               cut short: cut off
// post: old last frame's link to   sqd       the link           a link from the counted last
//   the new frame (synced)                                      frame: cleared
// post: base header counts the     sqd       the message        a torn header (count, chain ends
//   message (synced)                                            or end of data disagreeing with
//                                                               the index): made from the index
// delete: new index into a hidden  .sqi-new  nothing            the hidden file: removed
//   file (synced)
// delete: renamed over the index,  sqi, dir  the deletion       the header counts one more than
//   directory synced                                            the index: chain relinked from
//                                                               the index, header made from it
// delete: frame unlinked, joins    sqd       the chains         as above
//   the free chain (synced)
// delete: base header (synced)     sqd       the count          nothing to do
//
// A write that fails puts back what it wrote (see UndoLog); the base then
// takes no more messages until the repair of its next open decides what
// stands.
#include <algorithm>

#include "msgbase/squish/codec.h"
#include "msgbase/squish/store.h"

namespace vex::squish {

Status Store::Append(const Message& message, uint32_t* number) {
  *number = 0;
  if (!open_) return Closed();
  if (readOnly_) return Status::Refused(path_, "the base is open for reading only");
  if (writeFailed_)
    return Status::Refused(path_, "a write failed; the base takes no message until it is opened again");
  // A damaged header may name a number the index already uses, or 0: the
  // new message takes one above every number in the index.
  const uint32_t unique = records_.NextNumber(base_.nextUnique);
  if (unique == 0) return Status::Refused(dataPath_, "the base has used its highest message number");
  const StoredMessage stored = EncodeMessage(message, unique);
  const uint64_t controlLength = stored.control.size() + 1;
  // Readers refuse control information this large.
  if (controlLength + 1 >= kControlLimit)
    return Status::Refused(dataPath_, "the message's control lines take " + std::to_string(controlLength) +
                                          " bytes; a frame holds fewer than " + std::to_string(kControlLimit - 1));
  const uint64_t messageLength = kMsgHeaderSize + controlLength + stored.body.size() + 1;

  failure_ = Status::Ok();
  uint64_t dataSize = 0, indexSize = 0;
  if (!Checked(*data_, data_->Size(&dataSize), "read the size of") ||
      !Checked(*index_, index_->Size(&indexSize), "read the size of"))
    return TakeFailure();
  const uint64_t off = NewFrameOffset(dataSize);
  if (off + kFrameHeaderSize + messageLength > kMaxOffset)
    return Status::Refused(dataPath_, "the data file cannot grow past 4 GiB");
  BaseHeader h = base_;
  FrameEdit edit(*data_, dataSize);
  FrameHeader frame;
  frame.prev = h.lastFrame;
  frame.frameLength = static_cast<uint32_t>(messageLength);
  frame.messageLength = static_cast<uint32_t>(messageLength);
  frame.controlLength = static_cast<uint32_t>(controlLength);
  if (!edit.Link(h.firstFrame, h.lastFrame, static_cast<uint32_t>(off), frame, kFrameMessage))
    return Status::Damaged(dataPath_, "the last frame of the message chain (offset " +
                                          std::to_string(frame.prev) + ") is not a message frame");
  const std::string bytes = FrameBytes(frame, stored);
  h.numMessages++;
  h.highMessage++;
  if (unique >= h.nextUnique) h.nextUnique = unique + 1;
  h.endOfData = static_cast<uint32_t>(off + bytes.size());

  const IndexRecord rec{.frameOffset = static_cast<uint32_t>(off), .unique = unique, .hash = NameHash(message.to)};
  UndoLog undo;
  undo.SaveSize(*data_, dataSize);
  undo.SaveSize(*index_, indexSize);
  if (!WriteSynced(*data_, rec.frameOffset, bytes.data(), bytes.size()) || !WriteIndexRecord(rec) ||
      !Checked(*data_, edit.Commit(&undo), "write") ||
      (!edit.Empty() && !Checked(*data_, data_->Sync(), "sync")) || !WriteCountingHeader(undo, h)) {
    undo.Run();
    writeFailed_ = true;
    return TakeFailure();
  }
  records_.Push(rec);
  *number = unique;
  return Status::Ok();
}

// Past the end of the data, and past the end of a frame that begins inside
// the data and runs past its end (a data file that lost its tail): as far
// as its frame header tells, and at least its header's room when that is
// cut too.  A frame that would need more room than a message ever takes
// is not made room for: its bytes are no message.
uint64_t Store::NewFrameOffset(uint64_t dataSize) {
  constexpr uint64_t kMostRoom = uint64_t{1} << 24;
  uint64_t off = std::max<uint64_t>(dataSize, kBaseHeaderSize);
  auto reserve = [&](uint32_t at) {
    if (at < kBaseHeaderSize || at >= dataSize) return;
    char buf[kFrameHeaderSize] = {};
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kFrameHeaderSize, dataSize - at));
    if (!ReadExact(*data_, at, buf, n)) return;
    const FrameHeader f = DecodeFrameHeader(buf);
    uint64_t end = at + uint64_t{kFrameHeaderSize};
    if (f.id == kFrameId) end += std::max(f.frameLength, f.messageLength);
    if (end > dataSize && end - dataSize <= kMostRoom) off = std::max(off, end);
  };
  uint32_t last = base_.lastFrame;
  for (const IndexRecord& r : records_.Records()) {
    if (r.frameOffset + uint64_t{kFrameHeaderSize} > dataSize) reserve(r.frameOffset);
    if (r.frameOffset < dataSize) last = std::max(last, r.frameOffset);
  }
  reserve(last);
  if (last != base_.lastFrame) reserve(base_.lastFrame);
  return off;
}

bool Store::WriteIndexRecord(const IndexRecord& rec) {
  char buf[kIndexRecordSize];
  EncodeIndexRecord(rec, buf);
  return WriteSynced(*index_, records_.Size() * kIndexRecordSize, buf, sizeof buf);
}

bool Store::WriteCountingHeader(UndoLog& undo, BaseHeader h) {
  if (!Checked(*data_, undo.Save(*data_, 0, kBaseHeaderSize), "read")) return false;
  const BaseHeader before = base_;
  if (WriteHeader(h)) return true;
  base_ = before;
  EncodeBaseHeader(base_, rawBase_);
  return false;
}

Status Store::Delete(uint32_t number) {
  if (!open_) return Closed();
  if (readOnly_) return Status::Refused(path_, "the base is open for reading only");
  const size_t slot = records_.Find(number);
  if (slot == Index::kNone) return Status::NotFound(path_, "no message " + std::to_string(number));
  failure_ = Status::Ok();
  const uint32_t off = records_[slot].frameOffset;
  uint64_t size = 0;
  if (!Checked(*data_, data_->Size(&size), "read the size of")) return TakeFailure();
  FrameEdit edit(*data_, size);
  BaseHeader h = base_;
  FrameHeader f;
  if (!edit.LoadTyped(off, kFrameMessage, f) || !edit.Unlink(h.firstFrame, h.lastFrame, off, f, kFrameMessage))
    return Status::Damaged(dataPath_, "message " + std::to_string(number) + ": its frame at offset " +
                                          std::to_string(off) + " or a neighbour's link is damaged");
  // The frame joins the free chain; a free chain whose end is damaged is
  // left alone and the frame stays out of it.
  f.type = kFrameFree;
  f.next = 0;
  f.prev = h.lastFree;
  if (!edit.Link(h.firstFree, h.lastFree, off, f, kFrameFree)) f.prev = 0;
  edit.Store(off, f);
  Index kept = records_;
  kept.Erase(slot);
  if (!ReplaceIndex(kept)) return TakeFailure();
  records_ = std::move(kept);
  if (h.numMessages > 0) --h.numMessages;
  if (h.highMessage > 0) --h.highMessage;
  if (!Checked(*data_, edit.Commit(), "write") || !Checked(*data_, data_->Sync(), "sync") || !WriteHeader(h)) {
    // The index no longer holds the message: the repair of the next open
    // finishes the deletion, and is run at once.
    Status st = TakeFailure();
    RepairNow();
    return st;
  }
  return Status::Ok();
}

bool Store::ReplaceIndex(const Index& kept) {
  const std::string bytes = kept.Encode();
  const std::string temp = HiddenPath("sqi");
  int err = 0;
  env_.Remove(temp, &err);
  auto f = env_.Open(temp, OpenMode::kCreateExclusive, &err);
  if (!f) return Fail(Status::FileError(temp, err, "create"));
  const bool ok = WriteSynced(*f, 0, bytes.data(), bytes.size());
  f.reset();
  if (!ok || !env_.Rename(temp, indexPath_, &err)) {
    if (ok) Fail(Status::FileError(indexPath_, err, "replace"));
    env_.Remove(temp, &err);
    return false;
  }
  // The index file open here is the old one: it is opened again.
  index_ = env_.Open(indexPath_, OpenMode::kReadWrite, &err);
  if (!index_) {
    Fail(Status::FileError(indexPath_, err, "open"));
    Close();  // the next open finishes the deletion
    return false;
  }
  return SyncDir();
}

}  // namespace vex::squish
