// Reading a Squish base: the read-only open (nothing is created, changed,
// repaired or locked; the base is read as it was at open), List and Read.
#include "msgbase/squish/codec.h"
#include "msgbase/squish/store.h"

namespace vex::squish {

Status Store::ReadIndex(File& f, std::vector<IndexRecord>* records, uint64_t* size) {
  if (!f.Size(size)) return Status::FileError(f.Path(), f.LastError(), "read the size of");
  std::string bytes(*size - *size % kIndexRecordSize, '\0');
  if (!bytes.empty() && !ReadExact(f, 0, bytes.data(), bytes.size()))
    return Status::FileError(f.Path(), f.LastError(), "read");
  *records = Index::Decode(bytes).Records();
  return Status::Ok();
}

Status Store::OpenReadOnly() {
  dataPath_ = FindFile("sqd");
  if (dataPath_.empty())
    return Status::NotFound(path_, "no message base at " + path_ + ": " + basePath_ + "sqd does not exist");
  int err = 0;
  data_ = env_.Open(dataPath_, OpenMode::kRead, &err);
  if (!data_) return Status::FileError(dataPath_, err, "open");
  uint64_t& dataSize = readOnlyDataSize_;
  if (!data_->Size(&dataSize)) return Status::FileError(dataPath_, data_->LastError(), "read the size of");
  records_ = Index();
  if (dataSize < kBaseHeaderSize) {
    // A header that never reached the disk whole belongs to a base being
    // created: it holds no message yet, unless another file holds data.
    const std::string damage = Unfinished(dataSize);
    if (!damage.empty()) return Status::Damaged(dataPath_, damage);
    rawBase_ = NewBaseHeader(basePath_.substr(0, basePath_.size() - 1));
    base_ = DecodeBaseHeader(rawBase_);
    open_ = true;
    return Status::Ok();
  }
  if (!ReadExact(*data_, 0, rawBase_.data(), rawBase_.size()))
    return Status::FileError(dataPath_, data_->LastError(), "read");
  base_ = DecodeBaseHeader(rawBase_);
  indexPath_ = FindFile("sqi");
  if (indexPath_.empty() && base_.numMessages != 0)
    return Status::Damaged(basePath_ + "sqi", "the base lacks its index file");
  if (!indexPath_.empty()) {
    index_ = env_.Open(indexPath_, OpenMode::kRead, &err);
    if (!index_) return Status::FileError(indexPath_, err, "open");
    std::vector<IndexRecord> records;
    uint64_t indexSize = 0;
    if (Status st = ReadIndex(*index_, &records, &indexSize); !st.ok()) return st;
    // The records that stand are the ones the repair of a writing open
    // would keep.
    FrameEdit look(*data_, dataSize);
    records_.Assign(PlanRepair(base_, std::move(records), indexSize, look, dataSize).records);
  }
  open_ = true;
  return Status::Ok();
}

Status Store::List(std::vector<uint32_t>* numbers) {
  numbers->clear();
  if (!open_) return Closed();
  *numbers = records_.Numbers();
  return Status::Ok();
}

Status Store::Read(uint32_t number, Message* message) {
  *message = Message{};
  if (!open_) return Closed();
  const size_t slot = records_.Find(number);
  if (slot == Index::kNone) return Status::NotFound(path_, "no message " + std::to_string(number));
  const uint32_t off = records_[slot].frameOffset;
  uint64_t size = readOnlyDataSize_;
  if (!readOnly_ && !data_->Size(&size))
    return Status::FileError(dataPath_, data_->LastError(), "read the size of");
  const std::string which = "message " + std::to_string(number) + ": its frame at offset " + std::to_string(off);
  if (off < kBaseHeaderSize || off + uint64_t{kFrameHeaderSize} > size)
    return Status::Damaged(dataPath_, which + " lies outside the data (" +
                                          std::to_string(kBaseHeaderSize) + ".." + std::to_string(size) + ")");
  char fbuf[kFrameHeaderSize];
  if (!ReadExact(*data_, off, fbuf, sizeof fbuf)) return Status::FileError(dataPath_, data_->LastError(), "read");
  const FrameHeader f = DecodeFrameHeader(fbuf);
  if (f.id != kFrameId || f.type != kFrameMessage)
    return Status::Damaged(dataPath_, which + " is not a message frame");
  if (uint64_t{f.controlLength} + 1 >= kControlLimit || f.messageLength < kMsgHeaderSize + uint64_t{f.controlLength})
    return Status::Damaged(dataPath_, which + " gives a control length of " + std::to_string(f.controlLength) +
                                          " in a message of " + std::to_string(f.messageLength) + " bytes");
  // A message longer than its frame would show the frames after it.
  if (f.messageLength > f.frameLength)
    return Status::Damaged(dataPath_, which + " holds a message of " + std::to_string(f.messageLength) +
                                          " bytes in a frame of " + std::to_string(f.frameLength));
  // The text excludes the closing NUL; a frame written without it has none.
  const size_t bodyStart = kMsgHeaderSize + f.controlLength;
  const size_t need = f.messageLength > bodyStart ? f.messageLength - 1 : bodyStart;
  const uint64_t start = off + uint64_t{kFrameHeaderSize};
  if (start + need > size)
    return Status::Damaged(dataPath_, which + " runs past the end of the data (" + std::to_string(size) + ")");
  std::string bytes(need, '\0');
  if (!ReadExact(*data_, start, bytes.data(), bytes.size()))
    return Status::FileError(dataPath_, data_->LastError(), "read");
  StoredMessage s;
  std::copy(bytes.begin(), bytes.begin() + kMsgHeaderSize, s.header.begin());
  s.control = bytes.substr(kMsgHeaderSize, f.controlLength);
  s.body = bytes.substr(bodyStart);
  *message = DecodeMessage(s);
  return Status::Ok();
}

}  // namespace vex::squish
