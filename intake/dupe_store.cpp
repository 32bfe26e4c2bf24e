#include "intake/dupe_store.h"

#include <cerrno>
#include <utility>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "util/coding.h"
#include "util/text.h"

namespace vex {

namespace {

uint64_t WholeRecords(uint64_t size) { return size - size % kDupeRecordSize; }

}  // namespace

std::string EncodeDupeRecord(const std::string& name) {
  std::string out(kDupeRecordSize, '\0');
  PutShortString(out.data(), kDupeNameLength, name);
  return out;
}

DupeStore::DupeStore(Env& env, LogContext& log, bool dupeCheck,
                     std::string path)
    : env_(env), log_(log), dupeCheck_(dupeCheck), path_(std::move(path)) {
  if (!dupeCheck_) return;
  int err = 0;
  std::unique_ptr<File> file = env_.Open(path_, OpenMode::kRead, &err);
  if (!file) {
    if (err == ENOENT) return;  // nothing remembered yet
    FailIo("open", path_, err);
  }
  uint64_t size = 0;
  if (!file->Size(&size)) FailIo("size", path_, file->LastError());
  // An incomplete last record is not a name.
  uint64_t end = WholeRecords(size);
  std::string buf;
  constexpr size_t kChunk = kDupeRecordSize * 4096;
  for (uint64_t offset = 0; offset < end;) {
    size_t want = end - offset < kChunk ? static_cast<size_t>(end - offset)
                                        : kChunk;
    buf.resize(want);
    long long n = file->ReadAt(offset, buf.data(), want);
    if (n < 0) FailIo("read", path_, file->LastError());
    if (n == 0) break;
    size_t got = static_cast<size_t>(n) - static_cast<size_t>(n) % kDupeRecordSize;
    if (got == 0) break;
    for (size_t p = 0; p < got; p += kDupeRecordSize)
      known_.insert(UpperCp866(GetShortString(buf.data() + p, kDupeNameLength)));
    offset += got;
  }
}

bool DupeStore::IsKnownTic(const std::string& name) {
  if (!dupeCheck_) return false;
  if (known_.find(UpperCp866(name)) == known_.end()) return false;
  log_.LogLine(Cp866("Файл ") + name + Cp866(" уже обрабатывался..."));
  return true;
}

void DupeStore::RememberTic(const std::string& name) {
  int err = 0;
  std::unique_ptr<File> file = env_.Open(path_, OpenMode::kReadWrite, &err);
  // Only a missing store is created; an existing one is never emptied.
  if (!file && err == ENOENT) file = env_.Open(path_, OpenMode::kCreate, &err);
  if (!file) FailIo("open", path_, err);
  uint64_t size = 0;
  if (!file->Size(&size)) FailIo("size", path_, file->LastError());
  // A record cut short by a failed write is overwritten by the new one.
  uint64_t end = WholeRecords(size);
  std::string record = EncodeDupeRecord(name);
  if (!file->WriteAt(end, record.data(), record.size()))
    FailIo("write", path_, file->LastError());
  if (dupeCheck_)
    known_.insert(UpperCp866(GetShortString(record.data(), kDupeNameLength)));
}

}  // namespace vex
