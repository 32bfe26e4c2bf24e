// What a post stopped by a kill or a power cut leaves in a JAM base: a
// partial index record at the end, records at the end whose header or text
// never reached the disk, and an active count behind the index.  The open
// for writing takes them back under the lock.
#include <algorithm>

#include "msgbase/jam/store.h"

namespace vex::jam {

namespace {

// How many records at the end of the index the open checks for a message
// that never reached the disk whole.
constexpr int kTailRecordsChecked = 64;
// Index records counted at once.
constexpr size_t kCountChunk = 8192 * kIndexRecordSize;

// Whether the header, subfields and text the record points at are all in
// the files; a read the system refuses is an error, never a reason to cut.
Status Complete(const Files& files, const IndexRecord& record, uint64_t jhrSize, uint64_t jdtSize,
                bool* complete) {
  const uint64_t at = record.headerOffset;
  *complete = false;
  if (at < kBaseHeaderSize || at + kMsgHeaderSize > jhrSize) return Status::Ok();
  std::string bytes;
  MsgHeader header;
  const Status st = ReadFully(files, kJhr, at, kMsgHeaderSize, "a message header", &bytes);
  if (st.IsIoError()) return st;
  *complete = st.ok() && header.Decode(bytes) && at + kMsgHeaderSize + header.subfieldLen <= jhrSize &&
              uint64_t{header.textOffset} + header.textLength <= jdtSize;
  return Status::Ok();
}

}  // namespace

Status Repair(Files& files, BaseHeader* header) {
  uint64_t size = 0, jhrSize = 0, jdtSize = 0;
  Status st = FileSize(files, kJdx, &size);
  if (st.ok()) st = FileSize(files, kJhr, &jhrSize);
  if (st.ok()) st = FileSize(files, kJdt, &jdtSize);
  if (!st.ok()) return st;
  // Records are written one after another, each after its message and
  // synced before the next: only the last ones can be unfinished.
  uint64_t whole = size - size % kIndexRecordSize;
  std::string bytes;
  for (int k = 0; k < kTailRecordsChecked && whole > 0; ++k) {
    st = ReadFully(files, kJdx, whole - kIndexRecordSize, kIndexRecordSize, "the index", &bytes);
    if (!st.ok()) return st;
    const IndexRecord record = IndexRecord::Decode(bytes.data());
    bool complete = record.Deleted();
    if (!complete && !(st = Complete(files, record, jhrSize, jdtSize, &complete)).ok()) return st;
    if (complete) break;
    whole -= kIndexRecordSize;
  }
  if (whole != size) {
    if (!files.file[kJdx]->Truncate(whole))
      return Status::FileError(files.path[kJdx], files.file[kJdx]->LastError(), "cut the unfinished records from");
    if (!files.file[kJdx]->Sync()) return Status::FileError(files.path[kJdx], files.file[kJdx]->LastError(), "sync");
  }
  uint32_t active = 0;
  for (uint64_t at = 0; at < whole; at += bytes.size()) {
    st = ReadFully(files, kJdx, at, static_cast<size_t>(std::min<uint64_t>(whole - at, kCountChunk)), "the index",
                   &bytes);
    if (!st.ok()) return st;
    for (size_t pos = 0; pos < bytes.size(); pos += kIndexRecordSize)
      if (!IndexRecord::Decode(bytes.data() + pos).Deleted()) ++active;
  }
  if (active == header->activeMsgs) return Status::Ok();
  header->activeMsgs = active;
  ++header->modCounter;
  const std::string encoded = header->Encode();
  File& jhr = *files.file[kJhr];
  if (!jhr.WriteAt(0, encoded.data(), encoded.size()))
    return Status::FileError(files.path[kJhr], jhr.LastError(), "write the base header to");
  if (!jhr.Sync()) return Status::FileError(files.path[kJhr], jhr.LastError(), "sync");
  return Status::Ok();
}

}  // namespace vex::jam
