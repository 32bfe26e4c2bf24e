// The repair at open of a Squish base: what a write that a crash, a power
// cut or a failure cut short left behind is made whole again.  It is
// planned first (reading only) and then written, under the lock: the index
// first (a record past the count goes), then the links, then the header
// that counts.
//
// What a post, a deletion or a failed write can leave: an index record past
// the message count or cut short, a link from the last frame past the
// count, a torn header, an index that lost a record the header and chain
// still hold.  The index records whose frames are there are the messages;
// the header and the chain are made to agree with them.  Other damage is
// left for the reads to report.
#include <algorithm>
#include <unordered_set>

#include "msgbase/squish/store.h"
#include "util/coding.h"

namespace vex::squish {

namespace {

struct Planner {
  FrameEdit& edit;
  uint64_t dataSize;
  RepairPlan& p;

  bool IsMessage(uint32_t off) {
    FrameHeader f;
    return edit.LoadTyped(off, kFrameMessage, f);
  }

  // An index longer than the header's count: a record whose frame is not a
  // message frame is no message, wherever it stands; only then is what is
  // still past the count cut off.
  void DropRecordsOfNoFrame() {
    auto& r = p.records;
    if (r.size() <= p.header.numMessages) return;
    const size_t before = r.size();
    r.erase(std::remove_if(r.begin(), r.end(), [&](const IndexRecord& x) { return !IsMessage(x.frameOffset); }),
            r.end());
    if (r.size() != before) p.indexChanged = true;
  }

  // How many records count, and whether the header agrees with the index:
  // its first and last frames are the first and last counted records'.
  size_t Count(bool* agrees) {
    const BaseHeader& h = p.header;
    auto& r = p.records;
    *agrees = h.numMessages <= r.size() &&
              (h.numMessages == 0 ? h.firstFrame == 0 && h.lastFrame == 0
                                  : h.firstFrame == r[0].frameOffset &&
                                        h.lastFrame == r[h.numMessages - 1].frameOffset && IsMessage(h.lastFrame));
    if (*agrees) return h.numMessages;
    char msg[kMsgHeaderSize];
    if (h.numMessages == r.size() + 1 && IsMessage(h.lastFrame) &&
        std::none_of(r.begin(), r.end(), [&](const IndexRecord& x) { return x.frameOffset == h.lastFrame; }) &&
        h.lastFrame + uint64_t{kFrameHeaderSize + kMsgHeaderSize} <= dataSize &&
        ReadExact(edit.Data(), h.lastFrame + uint64_t{kFrameHeaderSize}, msg, sizeof msg)) {
      // A writer that lost its index record: the last frame is indexed again.
      r.push_back({.frameOffset = h.lastFrame,
                   .unique = GetU32(msg + kMsgUnique),
                   .hash = NameHash(GetZString(msg + kMsgTo, kNameWidth))});
      p.indexChanged = true;
      *agrees = h.firstFrame == r[0].frameOffset;
      return r.size();
    }
    // The record of a frame that a failed write's put-back cut off: it
    // begins where the data ends.  (A frame that begins inside the data
    // and runs past its end is a message whose bytes were lost: it stays,
    // to read as damaged.)
    if (!r.empty() && r.back().frameOffset >= dataSize) return r.size() - 1;
    return r.size();
  }

  // The chain is made from the index, in index order: only its end when
  // the header agreed, else all of it.  Not when a counted frame is not
  // there or is counted twice: damage that no write of ours leaves.
  size_t RelinkFrom(size_t count, bool agrees) const { return agrees && count >= 2 ? count - 2 : 0; }
  bool CanRelink(size_t count, bool agrees) {
    std::unordered_set<uint32_t> linked;
    for (size_t i = RelinkFrom(count, agrees); i < count; ++i)
      if (!IsMessage(p.records[i].frameOffset) || !linked.insert(p.records[i].frameOffset).second) return false;
    return true;
  }

  void Relink(size_t count, bool agrees) {
    auto& r = p.records;
    const size_t from = RelinkFrom(count, agrees);
    for (size_t i = from; i < count; ++i) {
      FrameHeader f;
      edit.LoadTyped(r[i].frameOffset, kFrameMessage, f);
      uint32_t prev = i > 0 ? r[i - 1].frameOffset : 0;
      const uint32_t next = i + 1 < count ? r[i + 1].frameOffset : 0;
      if (i == from && agrees && count >= 2) prev = f.prev;
      if (f.prev != prev || f.next != next) {
        f.prev = prev;
        f.next = next;
        edit.Store(r[i].frameOffset, f);
      }
    }
    BaseHeader& h = p.header;
    h.numMessages = static_cast<uint32_t>(count);
    if (!agrees) h.highMessage = h.numMessages;
    h.highMessage = std::min(h.highMessage, h.numMessages);
    h.firstFrame = count > 0 ? r[0].frameOffset : 0;
    h.lastFrame = count > 0 ? r[count - 1].frameOffset : 0;
    for (const IndexRecord& x : r)
      if (x.unique != 0xFFFFFFFFu && x.unique >= h.nextUnique) h.nextUnique = x.unique + 1;
    FixEndOfData(h.lastFrame);
  }

  // An index that does not describe the chain (damage of another kind) is
  // left as it is, cut to the header's count; the header counts no more
  // than the index holds, and its end of the chain is a message frame (its
  // own, else the end of the chain followed from the first frame, else the
  // last indexed one), so that the next message is linked after it.
  void MendChainEnd() {
    BaseHeader& h = p.header;
    FrameHeader f;
    auto isMessage = [&](uint32_t off) { return off != 0 && edit.LoadTyped(off, kFrameMessage, f); };
    uint32_t last = isMessage(h.lastFrame) ? h.lastFrame : 0;
    std::unordered_set<uint32_t> seen;
    const bool walk = last == 0;
    for (uint32_t cur = h.firstFrame; walk && isMessage(cur) && seen.insert(cur).second; cur = f.next) last = cur;
    for (size_t i = p.records.size(); last == 0 && i-- > 0;)
      if (isMessage(p.records[i].frameOffset)) last = p.records[i].frameOffset;
    if (isMessage(last)) {
      FrameHeader end = f;
      if (end.next != 0 && !isMessage(end.next)) {
        end.next = 0;
        edit.Store(last, end);
      }
    }
    h.lastFrame = last;
    if (last == 0) h.firstFrame = 0;
    h.numMessages = std::min<uint32_t>(h.numMessages, static_cast<uint32_t>(p.records.size()));
    h.highMessage = std::min(h.highMessage, h.numMessages);
    FixEndOfData(last);
  }

  // An end of data past the file, or before the end of the last message
  // (at lastFrame; 0 for none), is the file's size.
  void FixEndOfData(uint32_t lastFrame) {
    BaseHeader& h = p.header;
    FrameHeader f;
    uint64_t lastEnd = kBaseHeaderSize;
    if (lastFrame != 0 && edit.LoadTyped(lastFrame, kFrameMessage, f))
      lastEnd = lastFrame + uint64_t{kFrameHeaderSize} + f.messageLength;
    if (h.endOfData > dataSize || h.endOfData < std::min(lastEnd, dataSize))
      h.endOfData = static_cast<uint32_t>(std::min(dataSize, kMaxOffset));
  }

  // A free chain whose ends are not free frames is forgotten (its frames
  // are never written over anyway); the index is cut to the count.
  void Finish() {
    BaseHeader& h = p.header;
    FrameHeader ff;
    if ((h.firstFree == 0) != (h.lastFree == 0) ||
        (h.firstFree != 0 &&
         (!edit.LoadTyped(h.firstFree, kFrameFree, ff) || !edit.LoadTyped(h.lastFree, kFrameFree, ff)))) {
      h.firstFree = 0;
      h.lastFree = 0;
    }
    if (p.records.size() > h.numMessages) {
      p.records.resize(h.numMessages);
      p.indexChanged = true;
    }
  }
};

}  // namespace

RepairPlan PlanRepair(const BaseHeader& h, std::vector<IndexRecord> records, uint64_t indexSize,
                      FrameEdit& edit, uint64_t dataSize) {
  RepairPlan p;
  p.header = h;
  p.records = std::move(records);
  p.indexChanged = indexSize % kIndexRecordSize != 0;
  Planner planner{edit, dataSize, p};
  planner.DropRecordsOfNoFrame();
  const size_t listed = p.records.size();
  bool agrees = false;
  const size_t count = planner.Count(&agrees);
  const bool relink = planner.CanRelink(count, agrees);
  if (!relink && !agrees) {
    p.records.resize(listed);  // a lost record put back is not kept
    planner.MendChainEnd();
  } else {
    if (count < p.records.size()) {
      p.records.resize(count);
      p.indexChanged = true;
    }
    if (!relink) return p;
    planner.Relink(count, agrees);
  }
  planner.Finish();
  return p;
}

bool Store::RemoveLeftovers() {
  // Under the lock of the data file, a hidden file is left from a deletion
  // or a creation that was stopped (a creation running now gives up its
  // file once it finds the data file there).
  bool removed = false;
  for (const std::string& temp : {HiddenPath("sqi"), HiddenPath("sqd")}) {
    if (!env_.Stat(temp).exists) continue;
    int err = 0;
    if (!env_.Remove(temp, &err)) return Fail(Status::FileError(temp, err, "remove"));
    removed = true;
  }
  return !removed || SyncDir();
}

bool Store::LoadAndRepair() {
  std::vector<IndexRecord> records;
  uint64_t indexSize = 0;
  if (Status st = ReadIndex(*index_, &records, &indexSize); !st.ok()) return Fail(st);
  uint64_t dataSize = 0;
  if (!Checked(*data_, data_->Size(&dataSize), "read the size of")) return false;
  FrameEdit edit(*data_, dataSize);
  const RepairPlan plan = PlanRepair(base_, std::move(records), indexSize, edit, dataSize);
  return WriteRepair(edit, plan);
}

bool Store::WriteRepair(FrameEdit& edit, const RepairPlan& plan) {
  records_.Assign(plan.records);
  if (plan.indexChanged) {
    const std::string bytes = records_.Encode();
    if (!Checked(*index_, bytes.empty() || index_->WriteAt(0, bytes.data(), bytes.size()), "write") ||
        !Checked(*index_, index_->Truncate(bytes.size()), "truncate") || !Checked(*index_, index_->Sync(), "sync"))
      return false;
  }
  if (!edit.Empty() && (!Checked(*data_, edit.Commit(), "write") || !Checked(*data_, data_->Sync(), "sync")))
    return false;
  return WriteHeader(plan.header);
}

bool Store::WriteHeader(const BaseHeader& h) {
  const RawBaseHeader before = rawBase_;
  base_ = h;
  EncodeBaseHeader(base_, rawBase_);
  return before == rawBase_ || WriteSynced(*data_, 0, rawBase_.data(), rawBase_.size());
}

void Store::RepairNow() {
  if (ReadExact(*data_, 0, rawBase_.data(), rawBase_.size())) {
    base_ = DecodeBaseHeader(rawBase_);
    if (LoadAndRepair()) return;
  }
  Close();  // left to the next open: nothing more is written here
}

}  // namespace vex::squish
