#include "intake/intake_journal.h"

#include <algorithm>

#include <cerrno>
#include <set>
#include <utility>

#include "intake/dupe_store.h"
#include "core/stat_store.h"
#include "platform/exit.h"
#include "platform/path.h"
#include "util/coding.h"

namespace vex {

namespace {

constexpr char kBeginTag[] = "VXJB";
constexpr char kCommitTag[] = "VXJC";
constexpr size_t kTagSize = 4;
constexpr size_t kBeginSize = kTagSize + 8 + 8 + 4;
constexpr size_t kTimeFields = 6;

uint32_t Checksum(const char* p, size_t n) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (size_t i = 0; i < n; ++i) {
    h ^= static_cast<uint8_t>(p[i]);
    h *= 16777619u;
  }
  return h;
}

void AppendU64(std::string& s, uint64_t v) {
  AppendU32(s, static_cast<uint32_t>(v & 0xFFFFFFFFu));
  AppendU32(s, static_cast<uint32_t>(v >> 32));
}

uint64_t GetU64(const char* p) {
  return GetU32(p) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}

void AppendChecksum(std::string& s, size_t from) {
  AppendU32(s, Checksum(s.data() + from, s.size() - from));
}

// Reads fields from a byte string without ever passing its end.
class Cursor {
 public:
  Cursor(const std::string& s, size_t pos) : s_(s), pos_(pos) {}
  bool Has(size_t n) const { return n <= s_.size() - pos_; }
  const char* Take(size_t n) {
    const char* p = s_.data() + pos_;
    pos_ += n;
    return p;
  }
  size_t pos() const { return pos_; }

 private:
  const std::string& s_;
  size_t pos_;
};

bool ChecksumFollows(const std::string& s, size_t from, Cursor& c) {
  if (!c.Has(4)) return false;
  uint32_t want = Checksum(s.data() + from, c.pos() - from);
  return GetU32(c.Take(4)) == want;
}

bool SameTime(const FileTime& a, const FileTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day &&
         a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

std::string ReadWhole(File& file) {
  uint64_t size = 0;
  if (!file.Size(&size)) FailIo("size", file.Path(), file.LastError());
  std::string bytes(static_cast<size_t>(size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    long long n = file.ReadAt(got, bytes.data() + got, bytes.size() - got);
    if (n < 0) FailIo("read", file.Path(), file.LastError());
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// Cuts a store back to the size it had before an unfinished batch.
void CutBack(Env& env, const std::string& path, uint64_t size) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(path, OpenMode::kWrite, &err);
  if (!file) {
    if (err == ENOENT) return;
    FailIo("open", path, err);
  }
  uint64_t now = 0;
  if (!file->Size(&now)) FailIo("size", path, file->LastError());
  if (now <= size) return;
  if (!file->Truncate(size)) FailIo("truncate", path, file->LastError());
  if (!file->Sync()) FailIo("sync", path, file->LastError());
}

}  // namespace

bool StillTheFileRead(Env& env, const JournalDeletion& d) {
  FileInfo info = env.Stat(d.path);
  return info.exists && !info.isDirectory && info.size == d.size &&
         SameTime(info.mtime, d.mtime);
}

std::string EncodeJournalBegin(uint64_t statSize, uint64_t dupeSize) {
  std::string s(kBeginTag, kTagSize);
  AppendU64(s, statSize);
  AppendU64(s, dupeSize);
  AppendChecksum(s, 0);
  return s;
}

std::string EncodeJournalCommit(const std::vector<JournalDeletion>& deletions) {
  std::string s(kCommitTag, kTagSize);
  AppendU32(s, static_cast<uint32_t>(deletions.size()));
  for (const JournalDeletion& d : deletions) {
    std::string path = d.path.substr(0, 0xFFFF);
    AppendU16(s, static_cast<uint16_t>(path.size()));
    s += path;
    AppendU64(s, d.size);
    const int32_t t[kTimeFields] = {d.mtime.year, d.mtime.month,  d.mtime.day,
                                    d.mtime.hour, d.mtime.minute, d.mtime.second};
    for (int32_t v : t) AppendU16(s, static_cast<uint16_t>(v));
  }
  AppendChecksum(s, 0);
  return s;
}

JournalContents DecodeJournal(const std::string& bytes) {
  JournalContents j;
  Cursor c(bytes, 0);
  if (!c.Has(kBeginSize) || bytes.compare(0, kTagSize, kBeginTag) != 0)
    return j;
  c.Take(kTagSize);
  j.statSize = GetU64(c.Take(8));
  j.dupeSize = GetU64(c.Take(8));
  if (!ChecksumFollows(bytes, 0, c)) return JournalContents();
  j.begun = true;

  size_t start = c.pos();
  if (!c.Has(kTagSize + 4) || bytes.compare(start, kTagSize, kCommitTag) != 0)
    return j;
  c.Take(kTagSize);
  uint32_t count = GetU32(c.Take(4));
  std::vector<JournalDeletion> deletions;
  for (uint32_t i = 0; i < count; ++i) {
    if (!c.Has(2)) return j;
    size_t length = GetU16(c.Take(2));
    if (!c.Has(length + 8 + 2 * kTimeFields)) return j;
    JournalDeletion d;
    d.path.assign(c.Take(length), length);
    d.size = GetU64(c.Take(8));
    int32_t* t[kTimeFields] = {&d.mtime.year, &d.mtime.month,  &d.mtime.day,
                               &d.mtime.hour, &d.mtime.minute, &d.mtime.second};
    for (int32_t* v : t) *v = GetU16(c.Take(2));
    deletions.push_back(std::move(d));
  }
  if (!ChecksumFollows(bytes, start, c)) return j;
  j.committed = true;
  j.deletions = std::move(deletions);
  return j;
}

IntakeJournal::IntakeJournal(Env& env, std::string path)
    : env_(env), path_(std::move(path)) {}

IntakeJournal::~IntakeJournal() = default;

void IntakeJournal::Begin(uint64_t statSize, uint64_t dupeSize) {
  int err = 0;
  file_ = env_.Open(path_, OpenMode::kCreate, &err);
  if (!file_) FailIo("create", path_, err);
  std::string record = EncodeJournalBegin(statSize, dupeSize);
  if (!file_->WriteAt(0, record.data(), record.size()))
    FailIo("write", path_, file_->LastError());
  if (!file_->Sync()) FailIo("sync", path_, file_->LastError());
  // The journal must be found after a power cut before any store grows.
  std::string dir = FolderOf(path_);
  if (!env_.SyncDirectory(dir, &err))
    FailIo("sync", dir, err);
  beginSize_ = record.size();
}

void IntakeJournal::Commit(const std::vector<JournalDeletion>& deletions) {
  if (!file_) FailIo("write", path_, EBADF);
  std::string record = EncodeJournalCommit(deletions);
  if (!file_->WriteAt(beginSize_, record.data(), record.size()))
    FailIo("write", path_, file_->LastError());
  if (!file_->Sync()) FailIo("sync", path_, file_->LastError());
}

bool IntakeJournal::Uncommit() {
  return file_ && file_->Truncate(beginSize_) && file_->Sync();
}

bool IntakeJournal::Remove(int* err) {
  file_.reset();
  int e = 0;
  if (env_.Remove(path_, &e) || e == ENOENT) return true;
  if (err) *err = e;
  return false;
}

void RecoverIntake(Env& env, const std::string& statPath,
                   const std::string& dupePath,
                   const std::string& journalPath) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(journalPath, OpenMode::kRead, &err);
  if (!file) {
    if (err == ENOENT) return;  // the last run finished its batches
    FailIo("open", journalPath, err);
  }
  JournalContents j = DecodeJournal(ReadWhole(*file));
  file.reset();

  // Not committed: undo whatever the batch appended.  (Without a whole
  // begin record no store was touched yet.)
  if (j.begun && !j.committed) {
    CutBack(env, statPath, j.statSize);
    CutBack(env, dupePath, j.dupeSize);
  }

  // Committed: the records and names are durable; finish the deletions.
  int deleteErr = 0;
  std::string failedPath;
  std::set<std::string> dirs;
  for (const JournalDeletion& d : j.deletions) {
    if (!StillTheFileRead(env, d))
      continue;  // deleted already, or another file by now
    if (env.Remove(d.path, &err)) {
      dirs.insert(FolderOf(d.path));
    } else if (err != ENOENT && deleteErr == 0) {
      deleteErr = err;
      failedPath = d.path;
    }
  }
  for (const std::string& dir : dirs) {
    if (!env.SyncDirectory(dir, &err))
      FailIo("sync", dir, err);
  }

  if (!env.Remove(journalPath, &err) && err != ENOENT)
    FailIo("delete", journalPath, err);
  if (deleteErr != 0) FailIo("delete", failedPath, deleteErr);
}

namespace {

// The journal's bytes; "" when there is none.
std::string JournalBytes(Env& env, const std::string& path) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(path, OpenMode::kRead, &err);
  if (!file) {
    if (err == ENOENT) return "";
    FailIo("open", path, err);
  }
  return ReadWhole(*file);
}

}  // namespace

StoreLimits CommittedStoreLimits(Env& env, const std::string& statPath,
                                 const std::string& dupePath,
                                 const std::string& journalPath) {
  constexpr int kAttempts = 100;
  StoreLimits limits;
  std::string before = JournalBytes(env, journalPath);
  for (int attempt = 0;; ++attempt) {
    const uint64_t statSize = env.Stat(statPath).size;
    const uint64_t dupeSize = env.Stat(dupePath).size;
    const std::string after = JournalBytes(env, journalPath);
    const JournalContents j = DecodeJournal(after);
    if (j.begun && !j.committed) {
      // The sizes before the batch hold whatever happens next.
      limits.statSize = std::min(statSize, j.statSize);
      limits.dupeSize = std::min(dupeSize, j.dupeSize);
      return limits;
    }
    if (after == before || attempt == kAttempts) {
      limits.statSize = statSize;
      limits.dupeSize = dupeSize;
      return limits;
    }
    before = after;
    env.SleepMs(10);
  }
}

void RecoverIntake(Env& env) {
  RecoverIntake(env, kStatStoreName, kDupeStoreName, kIntakeJournalName);
}

}  // namespace vex
