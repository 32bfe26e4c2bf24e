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
                     std::string path, uint64_t limit)
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
  uint64_t end = WholeRecords(size < limit ? size : limit);
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

std::string KnownTicLine(const std::string& name) {
  return Cp866("Файл ") + name + Cp866(" уже обрабатывался...");
}

bool DupeStore::Knows(const std::string& name) const {
  return dupeCheck_ && known_.find(UpperCp866(name)) != known_.end();
}

void DupeStore::Note(const std::string& name) {
  if (dupeCheck_)
    known_.insert(UpperCp866(GetShortString(EncodeDupeRecord(name).data(),
                                            kDupeNameLength)));
}

bool DupeStore::IsKnownTic(const std::string& name) {
  if (!Knows(name)) return false;
  log_.LogLine(KnownTicLine(name));
  return true;
}

void DupeStore::RememberTic(const std::string& name) {
  int err = 0;
  // Created when missing, never emptied; every write goes to the end.
  std::unique_ptr<File> file = env_.Open(path_, OpenMode::kAppend, &err);
  if (!file) FailIo("open", path_, err);
  uint64_t size = 0;
  if (!file->Size(&size)) FailIo("size", path_, file->LastError());
  // A record cut short by a failed write is replaced by the new one.
  if (size % kDupeRecordSize != 0 && !file->Truncate(WholeRecords(size)))
    FailIo("truncate", path_, file->LastError());
  std::string record = EncodeDupeRecord(name);
  if (!file->Append(record.data(), record.size()))
    FailIo("write", path_, file->LastError());
  Note(name);
}

}  // namespace vex
