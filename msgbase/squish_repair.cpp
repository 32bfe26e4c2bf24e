// The repair at open of a Squish base, under the lock: what a write that a
// crash, a power cut or a failure cut short left behind is made whole
// again, and a creation that never finished is completed.  The states and
// what is done with each are listed with the sync points in squish_base.cpp.
#include <algorithm>
#include <unordered_set>

#include "msgbase/squish_base_impl.h"
#include "msgbase/squish/frame_edit.h"
#include "util/coding.h"

namespace vex {

using namespace squish;

std::string SquishBase::Unfinished(uint64_t dataSize) {
  for (const char* ext : {"sqi", "sql"}) {
    std::string other = FindFile(basePath_, ext);
    uint64_t size = other.empty() ? 0 : env_.Stat(other).size;
    if (size == 0) continue;
    return dataPath_ + " is damaged: " +
           (dataSize == 0 ? std::string("empty")
                          : std::to_string(dataSize) +
                                " bytes, shorter than the " +
                                std::to_string(kBaseHeaderSize) +
                                "-byte base header") +
           ", while " + other + " holds " + std::to_string(size) + " bytes";
  }
  return "";
}

std::string SquishBase::HiddenPath(const char* ext) const {
  size_t slash = basePath_.rfind('/');
  size_t at = slash == std::string::npos ? 0 : slash + 1;
  return basePath_.substr(0, at) + "." + basePath_.substr(at) + ext + "-new";
}

std::string SquishBase::LeftoverIndexPath() const { return HiddenPath("sqi"); }

std::string SquishBase::CreationDataPath() const { return HiddenPath("sqd"); }

bool SquishBase::SyncDir() {
  size_t slash = basePath_.rfind('/');
  std::string dir = slash == std::string::npos ? "."
                    : slash == 0               ? "/"
                                               : basePath_.substr(0, slash);
  int err = 0;
  return env_.SyncDirectory(dir, &err) || FileFailed(dir, err, "sync the folder");
}

// Under the lock of the data file, a hidden file is left from a deletion
// or a creation that was stopped (a creation running now gives up its file
// once it finds the data file there).
bool SquishBase::RemoveLeftovers() {
  bool removed = false;
  for (const std::string& temp : {LeftoverIndexPath(), CreationDataPath()}) {
    if (!env_.Stat(temp).exists) continue;
    int err = 0;
    if (!env_.Remove(temp, &err)) return false;
    removed = true;
  }
  return !removed || SyncDir();
}

bool SquishBase::LoadAndRepair() {
  uint64_t indexSize = 0;
  if (!index_->Size(&indexSize)) return false;
  // An incomplete record at the end (a write cut short) is not a message.
  std::string bytes(indexSize - indexSize % kIndexRecordSize, '\0');
  if (!bytes.empty() && !ReadExact(*index_, 0, bytes.data(), bytes.size()))
    return false;
  indexRecords_.clear();
  for (size_t p = 0; p < bytes.size(); p += kIndexRecordSize) {
    indexRecords_.push_back(DecodeIndexRecord(bytes.data() + p));
  }
  return Repair(indexSize);
}

void SquishBase::RepairNow() {
  bool repaired = ReadExact(*data_, 0, rawBase_.data(), rawBase_.size());
  if (repaired) base_ = DecodeBaseHeader(rawBase_);
  if (!repaired || !LoadAndRepair()) {
    // Left to the next open: nothing more is written through this object.
    baseChanged_ = false;
    CloseBase();
  }
}

// What an append, a deletion or a failed write can leave: an index record
// past the message count or cut short, a link from the last frame past the
// count, a torn header, a header that counts a frame the put-back cut off,
// an index that lost a record the header and chain still hold.  The index
// records whose frames are there are the messages; the header and the
// chain are made to agree with them.  Other damage is left for the reads to
// report.
bool SquishBase::Repair(uint64_t indexSize) {
  bool indexChanged = indexSize % kIndexRecordSize != 0;
  uint64_t dataSize = 0;
  if (!data_->Size(&dataSize)) return false;
  FrameEdit edit(*data_, dataSize);
  BaseHeader h = base_;
  auto isMessage = [&](uint32_t off) {
    FrameHeader f;
    return edit.LoadTyped(off, kFrameMessage, f);
  };
  const size_t records = RecordCount();
  // The header agrees with the index when the first and last frames it
  // names are the first and last counted records' frames.
  bool agrees = h.numMessages <= records &&
                (h.numMessages == 0
                     ? h.firstFrame == 0 && h.lastFrame == 0
                     : h.firstFrame == indexRecords_[0].frameOffset &&
                           h.lastFrame ==
                               indexRecords_[h.numMessages - 1].frameOffset &&
                           isMessage(h.lastFrame));
  size_t count = records;
  if (agrees) {
    count = h.numMessages;
  } else if (char msg[kMsgHeaderSize];
             h.numMessages == records + 1 && isMessage(h.lastFrame) &&
             std::none_of(indexRecords_.begin(), indexRecords_.end(),
                          [&](const IndexRecord& r) {
                            return r.frameOffset == h.lastFrame;
                          }) &&
             h.lastFrame + uint64_t{kFrameHeaderSize + kMsgHeaderSize} <=
                 dataSize &&
             ReadExact(*data_, h.lastFrame + uint64_t{kFrameHeaderSize}, msg,
                       sizeof msg)) {
    // A writer that lost its index record: the last frame is indexed again.
    IndexRecord rec;
    rec.frameOffset = h.lastFrame;
    rec.unique = GetU32(msg + kMsgUnique);
    rec.hash = NameHash(GetZString(msg + kMsgTo, kNameWidth));
    indexRecords_.push_back(rec);
    indexChanged = true;
    count = RecordCount();
    agrees = h.firstFrame == indexRecords_[0].frameOffset;
  } else if (count > 0 && !isMessage(indexRecords_[count - 1].frameOffset)) {
    // The record of a frame that a failed write's put-back cut off.
    --count;
  }
  // The chain: only its end when the header agreed, else all of it, in
  // index order.  A counted frame that is not there is damage that no
  // write of ours leaves: the header and the chain stay as they are.
  const size_t from = agrees && count >= 2 ? count - 2 : 0;
  bool relink = true;
  std::unordered_set<uint32_t> linked;
  for (size_t i = from; i < count && relink; ++i) {
    relink = isMessage(indexRecords_[i].frameOffset) &&
             linked.insert(indexRecords_[i].frameOffset).second;
  }
  if (!relink && !agrees) {
    indexRecords_.resize(records);
    return RepairChainEnd(edit, dataSize, indexChanged);
  }
  if (count < RecordCount()) {
    indexRecords_.resize(count);
    indexChanged = true;
  }
  if (!relink) {
    return !indexChanged ||
           (WriteIndexFrom(0) &&
            index_->Truncate(RecordCount() * kIndexRecordSize) &&
            index_->Sync());
  }
  for (size_t i = from; i < count && relink; ++i) {
    FrameHeader f;
    edit.LoadTyped(indexRecords_[i].frameOffset, kFrameMessage, f);
    uint32_t prev = i > 0 ? indexRecords_[i - 1].frameOffset : 0;
    uint32_t next = i + 1 < count ? indexRecords_[i + 1].frameOffset : 0;
    if (i == from && agrees && count >= 2) prev = f.prev;
    if (f.prev != prev || f.next != next) {
      f.prev = prev;
      f.next = next;
      edit.Store(indexRecords_[i].frameOffset, f);
    }
  }
  h.numMessages = static_cast<uint32_t>(count);
  if (!agrees) h.highMessage = h.numMessages;
  h.highMessage = std::min(h.highMessage, h.numMessages);
  h.firstFrame = count > 0 ? indexRecords_[0].frameOffset : 0;
  h.lastFrame = count > 0 ? indexRecords_[count - 1].frameOffset : 0;
  for (const IndexRecord& r : indexRecords_) {
    if (r.unique != 0xFFFFFFFFu && r.unique >= h.nextUnique)
      h.nextUnique = r.unique + 1;
  }
  uint64_t lastEnd = kBaseHeaderSize;
  if (count > 0) {
    FrameHeader last;
    edit.LoadTyped(h.lastFrame, kFrameMessage, last);
    lastEnd = h.lastFrame + uint64_t{kFrameHeaderSize} + last.messageLength;
  }
  if (h.endOfData > dataSize || h.endOfData < std::min(lastEnd, dataSize))
    h.endOfData = static_cast<uint32_t>(std::min(dataSize, kMaxOffset));
  return WriteRepair(edit, h, indexChanged);
}

// The index first (a record past the count goes), then the links, then the
// header that counts.  A free chain whose ends are not free frames is
// forgotten (its frames are never written over anyway).
bool SquishBase::WriteRepair(FrameEdit& edit, BaseHeader& h,
                             bool indexChanged) {
  FrameHeader ff;
  if ((h.firstFree == 0) != (h.lastFree == 0) ||
      (h.firstFree != 0 && (!edit.LoadTyped(h.firstFree, kFrameFree, ff) ||
                            !edit.LoadTyped(h.lastFree, kFrameFree, ff)))) {
    h.firstFree = 0;
    h.lastFree = 0;
  }
  if (RecordCount() > h.numMessages) {
    indexRecords_.resize(h.numMessages);
    indexChanged = true;
  }
  if (indexChanged) {
    if (!WriteIndexFrom(0) ||
        !index_->Truncate(RecordCount() * kIndexRecordSize) || !index_->Sync())
      return false;
  }
  if (!edit.Empty() && (!edit.Commit() || !data_->Sync())) return false;
  return WriteRepairedHeader(h);
}

// An index that does not describe the chain (damage of another kind) is
// left as it is, cut to the header's count; the header counts no more than
// the index holds, and its end of the chain is a message frame (its own,
// else the end of the chain followed from the first frame, else the last
// indexed one), so that the next message is linked after it and kept.
bool SquishBase::RepairChainEnd(FrameEdit& edit, uint64_t dataSize,
                                bool indexChanged) {
  BaseHeader h = base_;
  FrameHeader f;
  auto isMessage = [&](uint32_t off) {
    return off != 0 && edit.LoadTyped(off, kFrameMessage, f);
  };
  uint32_t last = isMessage(h.lastFrame) ? h.lastFrame : 0;
  std::unordered_set<uint32_t> seen;
  const bool walk = last == 0;
  for (uint32_t cur = h.firstFrame;
       walk && isMessage(cur) && seen.insert(cur).second; cur = f.next) {
    last = cur;
  }
  for (size_t i = RecordCount(); last == 0 && i-- > 0;) {
    if (isMessage(indexRecords_[i].frameOffset))
      last = indexRecords_[i].frameOffset;
  }
  uint64_t lastEnd = kBaseHeaderSize;
  if (isMessage(last)) {
    FrameHeader end = f;
    lastEnd = last + uint64_t{kFrameHeaderSize} + end.messageLength;
    if (end.next != 0 && !isMessage(end.next)) {
      end.next = 0;
      edit.Store(last, end);
    }
  }
  h.lastFrame = last;
  if (last == 0) h.firstFrame = 0;
  h.numMessages = std::min<uint32_t>(h.numMessages,
                                     static_cast<uint32_t>(RecordCount()));
  h.highMessage = std::min(h.highMessage, h.numMessages);
  if (h.endOfData > dataSize || h.endOfData < std::min(lastEnd, dataSize))
    h.endOfData = static_cast<uint32_t>(std::min(dataSize, kMaxOffset));
  return WriteRepair(edit, h, indexChanged);
}

bool SquishBase::WriteRepairedHeader(const BaseHeader& h) {
  RawBaseHeader before = rawBase_;
  base_ = h;
  EncodeBaseHeader(base_, rawBase_);
  if (before == rawBase_) return true;
  return WriteBaseHeader() && data_->Sync();
}

}  // namespace vex
