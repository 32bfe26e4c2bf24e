// What the Squish write paths and the repair at open share: exact reads,
// the undo log of a write and the planned edits of frame headers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/squish/format.h"
#include "platform/env.h"

namespace vex::squish {

// Largest file offset a frame may reach: offsets are stored as dwords.
inline constexpr uint64_t kMaxOffset = 0xFFFFFFFFu;

// Reads exactly n bytes at offset.
inline bool ReadExact(File& f, uint64_t offset, void* buf, size_t n) {
  char* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    long long got = f.ReadAt(offset + done, p + done, n - done);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// What a write changed, in the order of the writes, so that a failed write
// can be put back: bytes overwritten in place and the sizes of files that
// were appended to.
class UndoLog {
 public:
  bool Save(File& f, uint64_t off, size_t n) {
    std::string old(n, '\0');
    if (!ReadExact(f, off, old.data(), n)) return false;
    steps_.push_back({&f, off, std::move(old), false});
    return true;
  }
  void SaveSize(File& f, uint64_t size) { steps_.push_back({&f, size, {}, true}); }
  // Puts the changes back, newest first, and stops at the first one that
  // cannot be put back: what an older change wrote (a frame, an index
  // record) may be what a newer one that stays on the disk points at, so it
  // is never cut away.  The files are then synced.  False when anything
  // stayed as written.
  bool Run() {
    bool ok = true;
    for (auto it = steps_.rbegin(); ok && it != steps_.rend(); ++it)
      ok = it->isSize ? it->file->Truncate(it->off)
                      : it->file->WriteAt(it->off, it->old.data(), it->old.size());
    std::vector<File*> synced;
    for (const Step& s : steps_) {
      if (std::find(synced.begin(), synced.end(), s.file) != synced.end()) continue;
      synced.push_back(s.file);
      ok = s.file->Sync() && ok;
    }
    return ok;
  }

 private:
  struct Step {
    File* file;
    uint64_t off;  // the offset of the bytes, or the size to cut back to
    std::string old;
    bool isSize;
  };
  std::vector<Step> steps_;
};

// Copies of the frame headers an operation changes.  Reads go through the
// copies, so every step sees the changes of the steps before it; nothing
// reaches the file until Commit.
class FrameEdit {
 public:
  FrameEdit(File& data, uint64_t dataSize) : data_(data), dataSize_(dataSize) {}

  // A frame header at off: inside the file and with the frame id.
  bool Load(uint32_t off, FrameHeader& f) {
    auto it = changed_.find(off);
    if (it != changed_.end()) {
      f = it->second;
      return true;
    }
    if (off < kBaseHeaderSize || off + uint64_t{kFrameHeaderSize} > dataSize_)
      return false;
    char buf[kFrameHeaderSize];
    if (!ReadExact(data_, off, buf, sizeof buf)) return false;
    f = DecodeFrameHeader(buf);
    return f.id == kFrameId;
  }
  bool LoadTyped(uint32_t off, uint16_t type, FrameHeader& f) {
    return Load(off, f) && f.type == type;
  }
  void Store(uint32_t off, const FrameHeader& f) { changed_[off] = f; }
  bool Empty() const { return changed_.empty(); }
  File& Data() { return data_; }

  // Takes the frame at off (header h) out of a chain of frames of the given
  // type.  Both neighbours are checked before either is changed.
  bool Unlink(uint32_t& first, uint32_t& last, uint32_t off,
              const FrameHeader& h, uint16_t type) {
    FrameHeader prev, next;
    if (h.prev != 0 ? !LoadTyped(h.prev, type, prev) || prev.next != off
                    : first != off)
      return false;
    if (h.next != 0 ? !LoadTyped(h.next, type, next) || next.prev != off
                    : last != off)
      return false;
    Point(h.prev, prev, &FrameHeader::next, first, h.next);
    Point(h.next, next, &FrameHeader::prev, last, h.prev);
    return true;
  }

  // Puts the frame at off between h.prev and h.next of a chain (0 = the
  // chain's start or end).
  bool Link(uint32_t& first, uint32_t& last, uint32_t off,
            const FrameHeader& h, uint16_t type) {
    FrameHeader prev, next;
    if (h.prev != 0 && !LoadTyped(h.prev, type, prev)) return false;
    if (h.next != 0 && !LoadTyped(h.next, type, next)) return false;
    Point(h.next, next, &FrameHeader::prev, last, off);
    Point(h.prev, prev, &FrameHeader::next, first, off);
    return true;
  }

  // Writes the changed headers; the bytes they replace go to undo first.
  bool Commit(UndoLog* undo = nullptr) {
    char buf[kFrameHeaderSize];
    for (const auto& [off, f] : changed_) {
      if (undo && !undo->Save(data_, off, kFrameHeaderSize)) return false;
      EncodeFrameHeader(f, buf);
      if (!data_.WriteAt(off, buf, sizeof buf)) return false;
    }
    return true;
  }

 private:
  // Points the link of the neighbour at `at` (header nb) to `to`; with no
  // neighbour (at 0), the chain's end instead.
  void Point(uint32_t at, FrameHeader& nb, uint32_t FrameHeader::*link, uint32_t& end, uint32_t to) {
    if (at == 0) {
      end = to;
      return;
    }
    nb.*link = to;
    Store(at, nb);
  }

  File& data_;
  uint64_t dataSize_;
  std::map<uint32_t, FrameHeader> changed_;
};

}  // namespace vex::squish
