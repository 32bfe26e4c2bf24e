#include "core/stat_store.h"

#include <cerrno>

#include "platform/exit.h"

namespace vex {

namespace {

// Records read from the disk at a time: a little over 1 MiB.
constexpr size_t kRecordsPerRead = 1900;

uint64_t WholeRecords(uint64_t size) {
  return size - size % kStatRecordSize;
}

}  // namespace

bool StatStoreReader::Open(Env& env, const std::string& path, uint64_t limit) {
  int err = 0;
  file_ = env.Open(path, OpenMode::kRead, &err);
  if (!file_) return false;
  path_ = path;
  uint64_t size = 0;
  if (!file_->Size(&size)) FailIo("size", path_, file_->LastError());
  // An incomplete last record (a write cut short) is not read.
  end_ = WholeRecords(size < limit ? size : limit);
  offset_ = 0;
  buf_.clear();
  pos_ = 0;
  return true;
}

bool StatStoreReader::Next(StatRecord& record) {
  const char* p = NextEncoded();
  if (!p) return false;
  record = DecodeStatRecord(p);
  return true;
}

const char* StatStoreReader::NextEncoded() {
  if (!file_) return nullptr;
  if (pos_ + kStatRecordSize > buf_.size()) {
    if (offset_ >= end_) return nullptr;
    uint64_t want = end_ - offset_;
    if (want > kRecordsPerRead * kStatRecordSize)
      want = kRecordsPerRead * kStatRecordSize;
    buf_.resize(static_cast<size_t>(want));
    size_t got = 0;
    while (got < buf_.size()) {
      long long n = file_->ReadAt(offset_ + got, buf_.data() + got,
                                  buf_.size() - got);
      if (n < 0) FailIo("read", path_, file_->LastError());
      if (n == 0) break;  // the file shrank meanwhile
      got += static_cast<size_t>(n);
    }
    got -= got % kStatRecordSize;
    buf_.resize(got);
    offset_ += got;
    pos_ = 0;
    if (got == 0) {
      end_ = offset_;
      return nullptr;
    }
  }
  const char* p = buf_.data() + pos_;
  pos_ += kStatRecordSize;
  return p;
}

void StatStoreAppender::Open(Env& env, const std::string& path) {
  path_ = path;
  int err = 0;
  // Created when missing, never emptied; every write goes to the end, so
  // nothing another writer added is overwritten.
  file_ = env.Open(path, OpenMode::kAppend, &err);
  if (!file_) FailIo("open", path, err);
  uint64_t size = 0;
  if (!file_->Size(&size)) FailIo("size", path, file_->LastError());
  // Cut an incomplete last record away so that new records stay aligned.
  if (WholeRecords(size) != size && !file_->Truncate(WholeRecords(size)))
    FailIo("truncate", path, file_->LastError());
}

void StatStoreAppender::Append(const StatRecord& record) {
  if (!file_) FailIo("write", path_, EBADF);
  std::string bytes = EncodeStatRecord(record);
  if (!file_->Append(bytes.data(), bytes.size()))
    FailIo("write", path_, file_->LastError());
}

void StatStoreAppender::Close() { file_.reset(); }

}  // namespace vex
