// JAM bases as a reader sees them.  Numbers follow the index: message
// number base + i lives in index record i, a deleted message keeps its
// record (0xFFFFFFFF twice) and nothing is ever renumbered.
#include <algorithm>

#include "msgbase/jam/codec.h"
#include "msgbase/jam/jam.h"
#include "msgbase/jam/store.h"

namespace vex::jam {

namespace {

// Index records read at once while listing.
constexpr uint32_t kListChunk = 8192;
// A read-only base's index up to this size is read once and held.
constexpr uint64_t kLargestHeldIndex = 64u << 20;
// How many later index records a read compares its text with.
constexpr uint32_t kNeighboursChecked = 16;
// Their headers are read in one piece when they lie this close together.
constexpr uint64_t kLargestHeaderSpan = 64 * 1024;

std::string MessageName(uint32_t number) { return "message " + std::to_string(number); }

}  // namespace

Store::Store(Env& env, Files files, const BaseHeader& header, bool readOnly)
    : env_(env), files_(std::move(files)), header_(header), readOnly_(readOnly) {}

Status Store::TakeSnapshot() {
  for (int id = kJhr; id <= kJdt; ++id) {
    if (!files_.file[id]) continue;
    const Status st = FileSize(files_, id, &sizes_[id]);
    if (!st.ok()) return st;
  }
  const uint64_t whole = sizes_[kJdx] - sizes_[kJdx] % kIndexRecordSize;
  if (files_.file[kJdx] && whole <= kLargestHeldIndex) {
    const Status st = ReadFully(files_, kJdx, 0, static_cast<size_t>(whole), "the index", &index_);
    if (!st.ok()) return st;
    indexHeld_ = true;
  }
  snapshot_ = true;
  return Status::Ok();
}

Status Store::Size(int id, uint64_t* size) {
  if (snapshot_) {
    *size = sizes_[id];
    return Status::Ok();
  }
  return FileSize(files_, id, size);
}

Status Store::Count(uint32_t* count) {
  *count = 0;
  // A base being created has no index yet.
  if (!files_.file[kJdx]) return Status::Ok();
  uint64_t size = 0;
  const Status st = Size(kJdx, &size);
  if (!st.ok()) return st;
  // Numbers are positive 31-bit values: slots past the highest hold none.
  const uint64_t slots = uint64_t{INT32_MAX} - First() + 1;
  *count = static_cast<uint32_t>(std::min(size / kIndexRecordSize, slots));
  return Status::Ok();
}

Status Store::IndexBytes(uint32_t slot, uint32_t n, std::string* bytes) {
  const uint64_t at = uint64_t{slot} * kIndexRecordSize;
  const size_t length = size_t{n} * kIndexRecordSize;
  if (!indexHeld_) return ReadFully(files_, kJdx, at, length, "the index", bytes);
  bytes->assign(index_, static_cast<size_t>(at), length);
  return Status::Ok();
}

Status Store::Find(uint32_t number, Slot* s) {
  uint32_t count = 0;
  Status st = Count(&count);
  if (!st.ok()) return st;
  const Status none = Status::NotFound(files_.path[kJdx], "no " + MessageName(number));
  if (number < First() || number - First() >= count) return none;
  s->slot = number - First();
  std::string bytes;
  st = IndexBytes(s->slot, 1, &bytes);
  if (!st.ok()) return st;
  s->record = IndexRecord::Decode(bytes.data());
  return s->record.Deleted() ? none : Status::Ok();
}

Status Store::LoadHeader(uint32_t number, const Slot& s, Stored* stored) {
  const std::string& jhr = files_.path[kJhr];
  uint64_t jhrSize = 0;
  Status st = Size(kJhr, &jhrSize);
  if (!st.ok()) return st;
  const uint64_t at = s.record.headerOffset;
  if (at < kBaseHeaderSize || at + kMsgHeaderSize > jhrSize)
    return Damage(files_.path[kJdx], "the index record of " + MessageName(number) + " at offset " +
                                         std::to_string(uint64_t{s.slot} * kIndexRecordSize) + " points at " +
                                         std::to_string(at) + ", outside the message headers of " + jhr +
                                         " (1024.." + std::to_string(jhrSize) + ")");
  const std::string what = "the header of " + MessageName(number);
  std::string bytes;
  st = ReadFully(files_, kJhr, at, kMsgHeaderSize, what, &bytes);
  if (!st.ok()) return st;
  const std::string where = what + " at offset " + std::to_string(at);
  if (!stored->header.Decode(bytes)) return Damage(jhr, where + " lacks the JAM signature");
  if (at + kMsgHeaderSize + stored->header.subfieldLen > jhrSize)
    return Damage(jhr, where + " has subfields that run past the end of the file");
  st = ReadFully(files_, kJhr, at + kMsgHeaderSize, stored->header.subfieldLen, what, &bytes);
  if (!st.ok()) return st;
  if (!ParseSubfields(bytes, stored->subfields))
    return Status::Damaged(jhr, where + " has a subfield that runs past its subfields");
  return Status::Ok();
}

Status Store::CheckTextAlone(uint32_t number, const Slot& s, const MsgHeader& header) {
  // The text of a message whose text was lost with the end of the text file
  // is where later messages' texts went: it is not the message's.
  uint32_t count = 0;
  Status st = Count(&count);
  if (!st.ok() || header.textLength == 0) return st;
  const uint32_t n = std::min(count - s.slot - 1, kNeighboursChecked);
  std::string records;
  uint64_t jhrSize = 0;
  if (n == 0 || !(st = IndexBytes(s.slot + 1, n, &records)).ok() || !(st = Size(kJhr, &jhrSize)).ok()) return st;
  // The later headers usually follow one another: they are read at once.
  uint64_t lo = UINT64_MAX, hi = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint64_t at = IndexRecord::Decode(records.data() + i * kIndexRecordSize).headerOffset;
    if (at < kBaseHeaderSize || at + kMsgHeaderSize > jhrSize) continue;
    lo = std::min(lo, at);
    hi = std::max(hi, at + kMsgHeaderSize);
  }
  std::string span;
  if (hi > lo && hi - lo <= kLargestHeaderSpan &&
      !(st = ReadFully(files_, kJhr, lo, static_cast<size_t>(hi - lo), "the message headers", &span)).ok())
    return st;
  const uint64_t start = header.textOffset, end = start + header.textLength;
  for (uint32_t i = 0; i < n; ++i) {
    const uint64_t at = IndexRecord::Decode(records.data() + i * kIndexRecordSize).headerOffset;
    std::string bytes;
    MsgHeader h;
    // A later message that does not read says nothing about this one.
    if (at < kBaseHeaderSize || at + kMsgHeaderSize > jhrSize) continue;
    if (!span.empty()) {
      bytes = span.substr(static_cast<size_t>(at - lo), kMsgHeaderSize);
    } else if (!ReadFully(files_, kJhr, at, kMsgHeaderSize, "a message header", &bytes).ok()) {
      continue;
    }
    if (!h.Decode(bytes) || h.textLength == 0 || h.textOffset >= end ||
        uint64_t{h.textOffset} + h.textLength <= start)
      continue;
    return Damage(files_.path[kJdt], "the text of " + MessageName(number) + " (offset " + std::to_string(start) +
                                         ", " + std::to_string(header.textLength) + " bytes) holds the text of " +
                                         MessageName(number + 1 + i));
  }
  return Status::Ok();
}

Status Store::List(std::vector<uint32_t>* numbers) {
  numbers->clear();
  if (!open_) return Status::Refused(files_.path[kJhr], "the base is closed");
  uint32_t count = 0;
  Status st = Count(&count);
  std::string bytes;
  for (uint32_t slot = 0; st.ok() && slot < count; slot += kListChunk) {
    const uint32_t n = std::min(kListChunk, count - slot);
    st = IndexBytes(slot, n, &bytes);
    for (uint32_t i = 0; st.ok() && i < n; ++i)
      if (!IndexRecord::Decode(bytes.data() + i * kIndexRecordSize).Deleted())
        numbers->push_back(First() + slot + i);
  }
  return st;
}

Status Store::Read(uint32_t number, Message* m) {
  *m = Message{};
  if (!open_) return Status::Refused(files_.path[kJhr], "the base is closed");
  Slot s;
  Stored stored;
  Status st = Find(number, &s);
  if (st.ok()) st = LoadHeader(number, s, &stored);
  if (!st.ok()) return st;
  const MsgHeader& h = stored.header;
  uint64_t jdtSize = 0;
  st = Size(kJdt, &jdtSize);
  if (!st.ok()) return st;
  const std::string& jdt = files_.path[kJdt];
  if (uint64_t{h.textOffset} + h.textLength > jdtSize)
    return Damage(jdt, "the text of " + MessageName(number) + " (offset " + std::to_string(h.textOffset) + ", " +
                           std::to_string(h.textLength) + " bytes) runs past its end at " + std::to_string(jdtSize));
  st = CheckTextAlone(number, s, h);
  std::string text;
  if (st.ok()) st = ReadFully(files_, kJdt, h.textOffset, h.textLength, "the text of " + MessageName(number), &text);
  if (!st.ok()) return st;
  *m = DecodeMessage(h, stored.subfields, text);
  return Status::Ok();
}

Status Store::Close() {
  // Every stored change already wrote the base header and pushed it to the
  // disk: closing releases the files and the lock.
  open_ = false;
  files_ = Files{};
  return Status::Ok();
}

}  // namespace vex::jam

namespace vex {

using namespace jam;

Status OpenJam(Env& env, const std::string& path, BaseMode mode, const OpenOptions& options,
               std::unique_ptr<Base>* base) {
  base->reset();
  Files files;
  BaseHeader header;
  if (mode == BaseMode::kReadOnly) {
    const Status st = OpenReadOnly(env, path, &files, &header);
    if (!st.ok()) return st;
    auto store = std::make_unique<Store>(env, std::move(files), header, true);
    const Status taken = store->TakeSnapshot();
    if (taken.ok()) *base = std::move(store);
    return taken;
  }
  const std::string dotted = WithDot(path);
  Status st = OpenLocked(env, dotted, options.lockTimeoutMs, &files, &header);
  // A base without its header file is created; the creation opens a base
  // another program made since the look.
  if (st.IsNotFound()) {
    st = CreateBase(env, dotted, options.lockTimeoutMs);
    if (st.ok()) st = OpenLocked(env, dotted, options.lockTimeoutMs, &files, &header);
  }
  if (st.IsDamaged()) {
    // Damage, in the words of a reader when it finds it too.
    Files look;
    BaseHeader ignored;
    const Status seen = OpenReadOnly(env, path, &look, &ignored);
    return seen.IsDamaged() ? seen : st;
  }
  if (!st.ok()) return st;
  *base = std::make_unique<Store>(env, std::move(files), header, false);
  return Status::Ok();
}

}  // namespace vex
