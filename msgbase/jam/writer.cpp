// Appending and deleting JAM messages.
//
// Sync points.  Data is synced before an index record or a count
// publishes it.  "Next open" is what the next open does, under the lock,
// when the power goes right after the step (unsynced writes lost, torn or
// reordered).
//
// Appending a message
//  step                          | file            | durable after it             | next open
//  1 text past the end of .jdt,  | .jdt, .jhr      | text, header and subfields   | bytes past the last
//    header and subfields past   |                 | (no record points at them)   | record are never read;
//    the end of .jhr, sync both  |                 |                              | the next post appends
//  2 index record at the end of  | .jdx            | the message: every reader    | a torn record (partial,
//    .jdx, sync                  |                 | finds it                     | or pointing at no whole
//                                |                 |                              | header) is cut off
//  3 base header (active count,  | .jhr            | the count                    | a count behind the
//    modification counter), sync |                 |                              | index is counted again
// A write that fails puts back what the steps wrote, newest first (the base
// header, the index record, then the ends of the header and text files),
// and stops at the first step it cannot put back: what a record or count
// that stays points at is never cut away.  The base then takes no message
// until it is opened again, and the open's repair decides what stands.
//
// Deleting a message: the record becomes 0xFFFFFFFF twice, the header is
// marked deleted, the base header counts one less, all synced together; a
// count left behind is counted again at the next open.
#include "msgbase/jam/codec.h"
#include "msgbase/jam/store.h"
#include "util/coding.h"

namespace vex::jam {

Status Store::Writable() const {
  if (!open_) return Status::Refused(files_.path[kJhr], "the base is closed");
  if (readOnly_) return Status::Refused(files_.path[kJhr], "the base is open for reading only");
  if (writeFailed_)
    return Status::Refused(files_.path[kJhr],
                           "a write failed; the base takes no message until it is opened again");
  return Status::Ok();
}

Status Store::Put(int id, uint64_t offset, const std::string& bytes, const std::string& what) {
  if (files_.file[id]->WriteAt(offset, bytes.data(), bytes.size())) return Status::Ok();
  return Status::FileError(files_.path[id], files_.file[id]->LastError(), "write " + what + " to");
}

Status Store::Sync(int id) {
  if (files_.file[id]->Sync()) return Status::Ok();
  return Status::FileError(files_.path[id], files_.file[id]->LastError(), "sync");
}

Status Store::Append(const Message& message, uint32_t* number) {
  *number = 0;
  Status st = Writable();
  if (!st.ok()) return st;
  const std::string& jhr = files_.path[kJhr];
  Encoded e = EncodeMessage(message);
  Undo undo;
  if (!(st = Size(kJhr, &undo.jhrSize)).ok() || !(st = Size(kJdt, &undo.jdtSize)).ok() ||
      !(st = Size(kJdx, &undo.jdxSize)).ok())
    return WriteFailed(st);
  undo.header = header_;
  // A program that created the base over this one while it was open (not
  // heeding the lock) left it empty: it is made a base again.
  if (undo.jhrSize < kBaseHeaderSize) {
    if (undo.jhrSize != 0 || undo.jdxSize != 0)
      return WriteFailed(Damage(jhr, "it lost its base header while open"));
    header_ = BaseHeader{};
    header_.dateCreated = UnixTime(ToMsgDateTime(env_.Now()));
    undo.header = header_;
    if (!(st = Put(kJhr, 0, header_.Encode(), "the base header")).ok()) return WriteFailed(st);
    undo.jhrSize = kBaseHeaderSize;
  }
  // Numbers follow the index as it is now; they are 31-bit and never 0.
  const uint64_t count = undo.jdxSize / kIndexRecordSize;
  const uint64_t next = uint64_t{First()} + count;
  if (next > 0x7FFFFFFF)
    return Status::Refused(files_.path[kJdx], "the base takes no more messages: numbers end at 2147483647");
  // Offsets are stored in 32 bits.
  if (undo.jhrSize + kMsgHeaderSize + e.subfields.size() > 0xFFFFFFFFu)
    return Status::Refused(jhr, "the header file would pass 4 GiB");
  if (undo.jdtSize + e.text.size() > 0xFFFFFFFFu)
    return Status::Refused(files_.path[kJdt], "the text file would pass 4 GiB");
  e.header.messageNumber = static_cast<uint32_t>(next);
  e.header.textOffset = static_cast<uint32_t>(undo.jdtSize);
  undo.indexPos = count * kIndexRecordSize;
  // A partial record at the end (another program's unfinished write) is
  // overwritten; only its bytes are kept.
  if (undo.indexPos < undo.jdxSize &&
      !(st = ReadFully(files_, kJdx, undo.indexPos, static_cast<size_t>(undo.jdxSize - undo.indexPos),
                       "the index", &undo.oldRecord)).ok())
    return WriteFailed(st);
  IndexRecord record;
  record.toCrc = e.toCrc;
  record.headerOffset = static_cast<uint32_t>(undo.jhrSize);

  const std::string what = "message " + std::to_string(next);
  undo.reached = Undo::kText;
  st = Put(kJdt, undo.jdtSize, e.text, "the text of " + what);
  if (!st.ok()) return PutBack(undo, st);
  undo.reached = Undo::kHeader;
  st = Put(kJhr, undo.jhrSize, e.header.Encode() + e.subfields, "the header of " + what);
  if (st.ok()) st = Sync(kJdt);
  if (st.ok()) st = Sync(kJhr);
  if (!st.ok()) return PutBack(undo, st);
  undo.reached = Undo::kIndex;
  st = Put(kJdx, undo.indexPos, record.Encode(), "the index record of " + what);
  if (st.ok()) st = Sync(kJdx);
  if (!st.ok()) return PutBack(undo, st);
  undo.reached = Undo::kBaseHeader;
  ++header_.activeMsgs;
  ++header_.modCounter;
  st = Put(kJhr, 0, header_.Encode(), "the base header");
  if (st.ok()) st = Sync(kJhr);
  if (!st.ok()) return PutBack(undo, st);
  *number = static_cast<uint32_t>(next);
  return Status::Ok();
}

Status Store::PutBack(const Undo& undo, Status why) {
  bool ok = true;
  if (undo.reached >= Undo::kBaseHeader) {
    const std::string bytes = undo.header.Encode();
    ok = files_.file[kJhr]->WriteAt(0, bytes.data(), bytes.size());
  }
  if (ok && undo.reached >= Undo::kIndex) {
    if (!undo.oldRecord.empty())
      ok = files_.file[kJdx]->WriteAt(undo.indexPos, undo.oldRecord.data(), undo.oldRecord.size());
    ok = ok && files_.file[kJdx]->Truncate(undo.jdxSize);
  }
  if (ok && undo.reached >= Undo::kHeader) ok = files_.file[kJhr]->Truncate(undo.jhrSize);
  if (ok && undo.reached >= Undo::kText) files_.file[kJdt]->Truncate(undo.jdtSize);
  header_ = undo.header;
  for (int id = kJhr; id < kFileCount; ++id) files_.file[id]->Sync();
  return WriteFailed(why);
}

Status Store::Delete(uint32_t number) {
  Status st = Writable();
  if (!st.ok()) return st;
  Slot s;
  if (!(st = Find(number, &s)).ok()) return st;
  const std::string what = "message " + std::to_string(number);
  IndexRecord gone;  // 0xFFFFFFFF twice
  st = Put(kJdx, uint64_t{s.slot} * kIndexRecordSize, gone.Encode(), "the index record of " + what);
  if (!st.ok()) return WriteFailed(st);
  uint64_t jhrSize = 0;
  const uint64_t at = uint64_t{s.record.headerOffset} + kHeaderAttributes;
  std::string attr;
  if (s.record.headerOffset >= kBaseHeaderSize && Size(kJhr, &jhrSize).ok() &&
      uint64_t{s.record.headerOffset} + kMsgHeaderSize <= jhrSize &&
      ReadFully(files_, kJhr, at, 4, "the header of " + what, &attr).ok()) {
    PutU32(attr.data(), GetU32(attr.data()) | kAttrDeleted);
    if (!(st = Put(kJhr, at, attr, "the header of " + what)).ok()) return WriteFailed(st);
  }
  if (header_.activeMsgs > 0) --header_.activeMsgs;
  ++header_.modCounter;
  st = Put(kJhr, 0, header_.Encode(), "the base header");
  for (int id = kJhr; id < kFileCount && st.ok(); ++id) st = Sync(id);
  return st.ok() ? st : WriteFailed(st);
}

}  // namespace vex::jam
