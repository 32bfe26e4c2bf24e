// JAM bases as a reader sees them: moving through the index, opening a base
// read-only, and sentences for what is wrong with a base or a message.
#include <algorithm>
#include <cstdint>

#include "msgbase/jam_base_impl.h"

namespace vex {

namespace {

using namespace jam;

// Index records read at once while looking for a live one; it grows from
// the first size, so that a step to the neighbour reads little and a long
// run of deleted records is crossed in few reads.
constexpr uint32_t kFirstChunk = 16;
constexpr uint32_t kLargestChunk = 8192;
// A read-only base's index up to this size is read once and held.
constexpr uint64_t kLargestHeldIndex = 64u << 20;

bool ReadBytes(File& f, uint64_t offset, size_t n, std::string& out) {
  out.assign(n, '\0');
  size_t got = 0;
  while (got < n) {
    long long r = f.ReadAt(offset + got, out.data() + got, n - got);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

std::string CannotOpen(const std::string& path, int err) {
  return path + " cannot be opened: " + SystemErrorText(err);
}

}  // namespace

bool JamBase::ReadIndexBytes(uint32_t slot, uint32_t n, std::string& bytes) {
  const uint64_t at = uint64_t{slot} * kIndexRecordSize;
  const uint64_t length = uint64_t{n} * kIndexRecordSize;
  if (!snapshot_.indexHeld) {
    return files_[kJdx] && ReadBytes(*files_[kJdx], at, length, bytes);
  }
  if (at + length > snapshot_.index.size()) return false;
  bytes.assign(snapshot_.index, at, length);
  return true;
}

bool JamBase::FindLiveSlot(int64_t from, int step, uint32_t count,
                           uint32_t* slot) {
  // Message numbers are positive 32-bit values: slots outside them are
  // never messages.
  const int64_t first = std::max<int64_t>(0, 1 - int64_t{baseHeader_.baseMsgNum});
  const int64_t last = std::min<int64_t>(
      int64_t{count} - 1, int64_t{INT32_MAX} - baseHeader_.baseMsgNum);
  if (step > 0) {
    from = std::max(from, first);
  } else {
    from = std::min(from, last);
  }
  uint32_t chunk = kFirstChunk;
  std::string bytes;
  while (from >= first && from <= last) {
    // The records [lo, lo + n) hold the next ones in the direction of travel.
    int64_t n = std::min<int64_t>(chunk, step > 0 ? last - from + 1 : from - first + 1);
    int64_t lo = step > 0 ? from : from - n + 1;
    if (!ReadIndexBytes(static_cast<uint32_t>(lo), static_cast<uint32_t>(n), bytes))
      return false;
    for (int64_t i = 0; i < n; ++i) {
      int64_t k = step > 0 ? i : n - 1 - i;
      if (!IndexRecord::Decode(bytes.data() + k * kIndexRecordSize).Deleted()) {
        *slot = static_cast<uint32_t>(lo + k);
        return true;
      }
    }
    from = step > 0 ? lo + n : lo - 1;
    chunk = std::min(chunk * 2, kLargestChunk);
  }
  return false;
}

void JamBase::SeekNext() {
  uint32_t count = 0, slot = 0;
  int64_t from = std::max<int64_t>(currentNumber_, 0) + 1 - baseHeader_.baseMsgNum;
  currentNumber_ = 0;
  if (!isOpen_ || !files_[kJdx] || !IndexCount(&count)) return;
  if (FindLiveSlot(from, 1, count, &slot))
    currentNumber_ = static_cast<int32_t>(baseHeader_.baseMsgNum + slot);
}

void JamBase::SeekPrior() {
  uint32_t count = 0, slot = 0;
  int64_t from = int64_t{currentNumber_} - 1 - baseHeader_.baseMsgNum;
  // Nothing current: nothing before it either.
  bool none = currentNumber_ <= 0;
  currentNumber_ = 0;
  if (none || !isOpen_ || !files_[kJdx] || !IndexCount(&count)) return;
  if (FindLiveSlot(from, -1, count, &slot))
    currentNumber_ = static_cast<int32_t>(baseHeader_.baseMsgNum + slot);
}

bool JamBase::OpenBaseReadOnly(const std::string& path, std::string* problem) {
  CloseBase();
  readOnly_ = true;
  const std::string base = !path.empty() && path.back() == '.' ? path : path + ".";
  basePath_ = base;
  std::string why;
  uint64_t size = 0;
  int code = OpenHeaderFileReadOnly(path, base, &size, why);
  // A header file still empty belongs to a base being created: it holds no
  // message yet, unless its index or text does (then it is damaged).
  if (code == 0 && size == 0) code = CheckNothingStored(base, why);
  if (code == 0 && size > 0) code = CheckBaseHeader(why);
  if (code == 0 && size > 0) code = OpenDataFilesReadOnly(path, base, why);
  if (code == 0) code = TakeSnapshot(why);
  if (code != 0) *problem = why;
  return FinishOpen(code);
}

int JamBase::CheckNothingStored(const std::string& base, std::string& why) {
  for (const char* ext : {"jdx", "jdt"}) {
    std::string p = FindJamFile(env_, base, ext);
    if (!p.empty() && env_.Stat(p).size != 0) {
      why = paths_[kJhr] + " is damaged: it is empty while " + p + " holds messages";
      return kErrBadBaseHeader;
    }
  }
  return 0;
}

int JamBase::OpenHeaderFileReadOnly(const std::string& path,
                                    const std::string& base, uint64_t* size,
                                    std::string& why) {
  std::string jhr = FindJamFile(env_, base, "jhr");
  if (jhr.empty()) {
    why = "no message base at " + path + ": " + base + "jhr does not exist";
    return kErrNoJhr;
  }
  int err = 0;
  files_[kJhr] = env_.Open(jhr, OpenMode::kRead, &err);
  if (!files_[kJhr]) {
    why = CannotOpen(jhr, err);
    return kErrOpenJhr;
  }
  paths_[kJhr] = jhr;
  if (!files_[kJhr]->Size(size)) {
    why = jhr + " cannot be read";
    return kErrOpenJhr;
  }
  baseHeader_ = BaseHeader{};
  if (*size > 0 && *size < kBaseHeaderSize) {
    why = jhr + " is damaged: " + std::to_string(*size) +
          " bytes, shorter than the " + std::to_string(kBaseHeaderSize) +
          "-byte base header";
    return kErrBadBaseHeader;
  }
  return 0;
}

int JamBase::CheckBaseHeader(std::string& why) {
  const std::string& jhr = paths_[kJhr];
  std::string bytes;
  if (!ReadBytes(*files_[kJhr], 0, kBaseHeaderSize, bytes)) {
    why = jhr + " cannot be read";
    return kErrBadBaseHeader;
  }
  if (!baseHeader_.Decode(bytes)) {
    why = jhr + " is damaged: it does not begin with the JAM signature";
    return kErrBadBaseHeader;
  }
  if (baseHeader_.baseMsgNum > uint32_t{INT32_MAX}) {
    why = jhr + " is damaged: its first message number " +
          std::to_string(baseHeader_.baseMsgNum) + " is beyond 2147483647";
    return kErrBadBaseHeader;
  }
  return 0;
}

int JamBase::OpenDataFilesReadOnly(const std::string& path,
                                   const std::string& base, std::string& why) {
  const char* const extensions[] = {nullptr, "jdx", "jdt"};
  const int missing[] = {0, kErrNoJdx, kErrNoJdt};
  const int unopened[] = {0, kErrOpenJdx, kErrOpenJdt};
  int err = 0;
  for (int i = kJdx; i <= kJdt; ++i) {
    std::string p = FindJamFile(env_, base, extensions[i]);
    if (p.empty()) {
      why = "the JAM base " + path + " is damaged: " + base + extensions[i] +
            " does not exist";
      return missing[i];
    }
    files_[i] = env_.Open(p, OpenMode::kRead, &err);
    if (!files_[i]) {
      why = CannotOpen(p, err);
      return unopened[i];
    }
    paths_[i] = p;
  }
  return 0;
}

int JamBase::TakeSnapshot(std::string& why) {
  for (int i = kJhr; i <= kJdt; ++i) {
    if (files_[i] && !files_[i]->Size(&snapshot_.sizes[i])) {
      why = paths_[i] + " cannot be read";
      return kErrReadHeader;
    }
  }
  const uint64_t wholeIndex =
      snapshot_.sizes[kJdx] - snapshot_.sizes[kJdx] % kIndexRecordSize;
  if (files_[kJdx] && wholeIndex <= kLargestHeldIndex) {
    if (!ReadBytes(*files_[kJdx], 0, wholeIndex, snapshot_.index)) {
      why = paths_[kJdx] + " cannot be read";
      return kErrReadHeader;
    }
    snapshot_.indexHeld = true;
  }
  snapshot_.held = true;
  return 0;
}

std::string JamBase::ReadErrorText() {
  const std::string& jhr = paths_[kJhr];
  switch (errorCode_) {
    case kErrHeaderOffset:
      return "its index record in " + paths_[kJdx] +
             " points outside the header file " + jhr;
    case kErrReadHeader:
      return "its header in " + jhr + " is damaged or cut short";
    case kErrTextOffset:
      return "its text lies beyond the end of " + paths_[kJdt];
    case kErrBadBaseHeader:
      if (!damage_.empty()) return damage_;
      return MessageBase::ReadErrorText();
    default:
      return MessageBase::ReadErrorText();
  }
}

}  // namespace vex
