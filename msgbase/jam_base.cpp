// JAM message bases.  A base is four files that share one name: the header
// file (.jhr: a 1024-byte base header, then each message's header and
// subfields), the index (.jdx: 8 bytes per message number), the text file
// (.jdt: the message bodies) and the last-read file (.jlr).
//
// Numbers follow the index: message number base + i lives in index record
// i, a deleted message keeps its record (marked 0xFFFFFFFF twice) and
// nothing is ever renumbered.  The header file's first byte is locked from
// open to close so that another program cannot interleave its writes.
//
// Sync points.  Data is synced before a name or a count publishes it, and
// the directory is synced after every name made or removed.  "Next open"
// is what the next open does, under the lock, when the power goes right
// after the step (unsynced writes lost, torn or reordered; names not yet
// synced lost).
//
// Creating a base (CreateBase)
//  step                          | file            | durable after it             | next open
//  1 make missing directories    | parents         | each, after its parent sync  | nothing there: creates
//  2 create .area.jhr-new, write | temp            | the whole base header        | no .jhr: removes the
//    the base header, sync       |                 |                              | temp, creates again
//  3 create .jdx .jdt .jlr, sync | directory       | the three empty files        | the same; empty files
//    the directory               |                 |                              | are taken over
//  4 link the temp as .jhr (or   | directory       | the .jhr name: the base      | opens the base; removes
//    rename it), remove the      |                 | exists, empty, and is whole  | a temp left beside it
//    temp, sync the directory    |                 |                              |
// A .jhr shorter than the base header beside an empty (or missing) index
// and text file is a creation that did not finish: the open writes the
// base header.  Beside an index or text that holds data it is damage: the
// open refuses the base and writes nothing.
//
// Appending a message (WriteMessage)
//  step                          | file            | durable after it             | next open
//  1 body past the end of .jdt,  | .jdt, .jhr      | body, header and subfields   | bytes past the last
//    header and subfields past   |                 | (no record points at them)   | record are never read;
//    the end of .jhr, sync both  |                 |                              | the next post appends
//  2 index record at the end of  | .jdx            | the message: every reader    | a torn record (partial,
//    .jdx, sync                  |                 | finds it                     | or pointing at no whole
//                                |                 |                              | header) is cut off
//  3 base header (active count,  | .jhr            | the count                    | a count behind the
//    modification counter), sync |                 |                              | index is counted again
// A write that fails puts every file back as it was (sizes, the record it
// overwrote, the base header) and syncs them.
//
// Deleting a message (DeleteMessage): the record becomes 0xFFFFFFFF twice,
// the header is marked deleted, the base header counts one less, all synced
// together; a count left behind is counted again at the next open.
#include "msgbase/jam_base.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>

#include "msgbase/base_dirs.h"
#include "msgbase/jam_base_impl.h"
#include "util/address.h"
#include "util/coding.h"

namespace vex {

namespace {

using namespace jam;

constexpr size_t kMaxField = 255;
// How often and how long an open looks again at a base another program is
// creating without holding its lock (a creator that holds the lock is
// waited for by the lock).
constexpr int kCreationPollMs = 50;
constexpr int kCreationWaitMs = 250;
constexpr int kCreationSettleMs = 100;
// How many records at the end of the index the open checks for a message
// that never reached the disk whole.
constexpr int kTailRecordsChecked = 64;
const char* const kExtensions[] = {"jhr", "jdx", "jdt", "jlr"};
// Why a creation failed, by file (in the order of kExtensions).
constexpr int kCreateCodes[] = {kErrCreateJhr, kErrCreateJdx, kErrCreateJdt,
                                kErrJlr};
// A step of a creation found another program's base: it is opened instead.
constexpr int kOpenInstead = -1;

std::string WithDot(const std::string& path) {
  if (!path.empty() && path.back() == '.') return path;
  return path + ".";
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// ext written letter by letter in the case of model's letters.
std::string InCaseOf(const std::string& ext, const std::string& model) {
  std::string out = ext;
  for (size_t i = 0; i < out.size() && i < model.size(); ++i) {
    unsigned char m = static_cast<unsigned char>(model[i]);
    unsigned char c = static_cast<unsigned char>(out[i]);
    out[i] = static_cast<char>(std::isupper(m) ? std::toupper(c) : std::tolower(c));
  }
  return out;
}

// The existing file base + ext, whatever the case of its extension: lower
// case first, then upper case, then any mix.  Empty when there is none.
std::string FindBaseFile(Env& env, const std::string& base, const std::string& ext) {
  for (const std::string& candidate : {base + ext, base + Upper(ext)}) {
    FileInfo info = env.Stat(candidate);
    if (info.exists && !info.isDirectory) return candidate;
  }
  size_t slash = base.rfind('/');
  std::string dir = slash == std::string::npos ? "" : base.substr(0, slash + 1);
  std::string name = base.substr(dir.size());
  for (const DirEntry& e : env.Search(dir + name + std::string(ext.size(), '?'))) {
    if (e.name.size() == name.size() + ext.size() &&
        e.name.compare(0, name.size(), name) == 0 &&
        EqualsIgnoreCase(e.name.substr(name.size()), ext))
      return dir + e.name;
  }
  return "";
}

// Reads exactly n bytes at offset; false on failure or a short file.
bool ReadFully(File& f, uint64_t offset, size_t n, std::string& out) {
  out.assign(n, '\0');
  size_t got = 0;
  while (got < n) {
    long long r = f.ReadAt(offset + got, out.data() + got, n - got);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

// The directory part of a path ("" for the current directory).
bool StartsWith(const std::string& s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Splits a message text into lines the way the text-line reader does: a
// line ends at CR or NUL, and an LF right after a CR belongs to the ending.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\0') ++end;
    lines.emplace_back(bytes, pos, end - pos);
    if (end < bytes.size()) {
      bool cr = bytes[end] == '\r';
      ++end;
      if (cr && end < bytes.size() && bytes[end] == '\n') ++end;
    }
    pos = end;
  }
  return lines;
}

// Adds prefix, value and a carriage return to text.
void AddLine(std::string& text, std::string_view prefix,
             const std::string& value) {
  text.append(prefix.data(), prefix.size());
  text += value;
  text += '\r';
}

}  // namespace

JamBase::JamBase(Env& env) : MessageBase(env) {}

JamBase::~JamBase() {
  FreeMessageText();
  CloseBase();
}

void JamBase::DropFiles() {
  for (int i = 0; i < kFileCount; ++i) {
    files_[i].reset();
    paths_[i].clear();
  }
  snapshot_ = Snapshot{};
}

bool JamBase::FileSize(int file, uint64_t* size) {
  if (snapshot_.held) {
    *size = snapshot_.sizes[file];
    return files_[file] != nullptr;
  }
  return files_[file] && files_[file]->Size(size);
}

bool JamBase::Put(int file, uint64_t offset, const std::string& bytes) {
  if (files_[file] && files_[file]->WriteAt(offset, bytes.data(), bytes.size()))
    return true;
  errorCode_ = kErrWrite;
  return FileFailed(paths_[file], files_[file] ? files_[file]->LastError() : 0, "write");
}

bool JamBase::IndexCount(uint32_t* count) {
  uint64_t size = 0;
  if (!FileSize(kJdx, &size)) return false;
  uint64_t n = size / kIndexRecordSize;
  *count = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
  return true;
}

bool JamBase::ReadIndexRecord(uint32_t slot, IndexRecord* rec) {
  std::string bytes;
  if (!ReadIndexBytes(slot, 1, bytes)) return false;
  *rec = IndexRecord::Decode(bytes.data());
  return true;
}

bool JamBase::WriteBaseHeader() {
  if (!Put(kJhr, 0, baseHeader_.Encode())) return false;
  baseHeaderDirty_ = false;
  return true;
}

bool JamBase::Sync(int file) {
  if (files_[file] && files_[file]->Sync()) return true;
  errorCode_ = kErrWrite;
  return FileFailed(paths_[file], files_[file] ? files_[file]->LastError() : 0, "sync");
}

bool JamBase::SyncAll() {
  for (int i = 0; i < kFileCount; ++i)
    if (files_[i] && !Sync(i)) return false;
  return true;
}

void JamBase::ClearMessage() {
  header_ = MsgHeader{};
  subfields_.clear();
  indexRecord_ = IndexRecord{};
  indexPos_ = 0;
  headerPos_ = 0;
  haveMessage_ = false;
  isNewMessage_ = false;
  headerOnlyText_ = nullptr;
  fromName_.clear();
  toName_.clear();
  subject_.clear();
  origAddr_ = FtnAddress{};
  destAddr_ = FtnAddress{};
}

// Opening ---------------------------------------------------------------------

bool JamBase::BaseExists(const std::string& path) {
  return !FindBaseFile(env_, WithDot(path), "jhr").empty();
}

bool JamBase::OpenBase(const std::string& path) {
  CloseBase();
  const std::string base = WithDot(path);
  basePath_ = base;
  damage_.clear();
  RemoveLeftCreationTemp(base);
  std::string jhr;
  uint64_t jhrSize = 0;
  namesMade_ = false;
  int code = OpenLockedHeader(base, jhr, &jhrSize);
  if (code == 0 && jhrSize < kBaseHeaderSize) code = RefuseDataBesideNoHeader(base);
  if (code == 0) code = OpenIndexAndText(base, jhr, jhrSize);
  // A header file shorter than the base header holds no message: it is a
  // creation that never finished, finished here under the lock.
  if (code == 0 && jhrSize < kBaseHeaderSize) code = FinishCreation();
  // The base header is read only once the lock is held.
  std::string bytes;
  if (code == 0 && (!ReadFully(*files_[kJhr], 0, kBaseHeaderSize, bytes) ||
                    !baseHeader_.Decode(bytes)))
    code = kErrBadBaseHeader;
  if (code == 0) code = OpenLastReadFile(base, jhr);
  int err = 0;
  if (code == 0 && namesMade_ && !env_.SyncDirectory(ParentDirectory(base), &err)) {
    FileFailed(ParentDirectory(base), err, "sync the folder");
    code = kErrWrite;
  }
  if (code == 0 && !Repair()) code = kErrWrite;
  return FinishOpen(code);
}

bool JamBase::FinishOpen(int code) {
  if (code != 0) {
    DropFiles();
    basePath_.clear();
    errorCode_ = code;
    return false;
  }
  baseHeaderDirty_ = false;
  currentNumber_ = 0;
  ClearMessage();
  isOpen_ = true;
  return true;
}

std::string JamBase::CreationTempName(const std::string& base) {
  const size_t slash = base.rfind('/') + 1;  // 0 when there is none
  return base.substr(0, slash) + "." + base.substr(slash) + "jhr-new";
}

void JamBase::RemoveLeftCreationTemp(const std::string& base) {
  // The hidden header file of a creation that was stopped after naming the
  // base (or before): nobody holds its lock, so nobody is creating now.
  const std::string temp = CreationTempName(base);
  if (!env_.Stat(temp).exists) return;
  int err = 0;
  auto file = env_.Open(temp, OpenMode::kReadWrite, &err);
  if (!file || !file->LockFirstByte(0)) return;
  if (env_.Remove(temp, &err)) env_.SyncDirectory(ParentDirectory(base), &err);
}

int JamBase::OpenLockedHeader(const std::string& base, std::string& jhr,
                              uint64_t* jhrSize) {
  jhr = FindBaseFile(env_, base, "jhr");
  if (jhr.empty()) return kErrNoJhr;
  // A base another program is creating at this moment: wait (without the
  // lock, which the creator may want) until its header and files are there.
  for (int waited = 0;
       waited < std::min(lockTimeoutMs_, kCreationWaitMs) &&
       (env_.Stat(jhr).size < kBaseHeaderSize ||
        FindBaseFile(env_, base, "jdx").empty() ||
        FindBaseFile(env_, base, "jdt").empty());
       waited += kCreationPollMs) {
    env_.SleepMs(kCreationPollMs);
  }
  int err = 0;
  files_[kJhr] = env_.Open(jhr, OpenMode::kReadWrite, &err);
  if (!files_[kJhr]) {
    FileFailed(jhr, err, "open");
    return kErrOpenJhr;
  }
  if (!files_[kJhr]->LockFirstByte(lockTimeoutMs_)) {
    LockFailed(*files_[kJhr], jhr);
    return kErrOpenJhr;
  }
  paths_[kJhr] = jhr;
  if (!FileSize(kJhr, jhrSize)) {
    FileFailed(jhr, files_[kJhr]->LastError(), "read the size of");
    return kErrOpenJhr;
  }
  return 0;
}

int JamBase::OpenIndexAndText(const std::string& base, const std::string& jhr,
                              uint64_t jhrSize) {
  const int missing[] = {0, kErrNoJdx, kErrNoJdt};
  const int unopened[] = {0, kErrOpenJdx, kErrOpenJdt};
  int err = 0;
  for (int i = kJdx; i <= kJdt; ++i) {
    std::string p = FindBaseFile(env_, base, kExtensions[i]);
    // A header file that holds no message header yet: the index and text
    // file another creation did not get to are made empty.
    if (p.empty() && jhrSize <= kBaseHeaderSize) {
      p = base + InCaseOf(kExtensions[i], jhr.substr(base.size()));
      files_[i] = env_.Open(p, OpenMode::kCreateExclusive, &err);
      namesMade_ = namesMade_ || files_[i] != nullptr;
    }
    if (p.empty()) {
      Failed(Status::Damaged(base + kExtensions[i], "the base lacks this file"));
      return missing[i];
    }
    if (!files_[i]) files_[i] = env_.Open(p, OpenMode::kReadWrite, &err);
    if (!files_[i]) {
      FileFailed(p, err, "open");
      return unopened[i];
    }
    paths_[i] = p;
  }
  return 0;
}

int JamBase::RefuseDataBesideNoHeader(const std::string& base) {
  // Before anything is made or written: a header file without its base
  // header is a creation that did not finish only when no other file of
  // the base holds data.
  for (int i = kJdx; i < kFileCount; ++i) {
    const std::string p = FindBaseFile(env_, base, kExtensions[i]);
    if (p.empty() || env_.Stat(p).size == 0) continue;
    damage_ = paths_[kJhr] + " is damaged: it lacks the base header while " + p + " holds data";
    Failed(Status::Damaged(paths_[kJhr], damage_));
    return kErrBadBaseHeader;
  }
  return 0;
}

int JamBase::FinishCreation() {
  // Index or text with data beside a header file that lost its base header
  // is damage, not a creation: nothing is written to it.
  uint64_t jdxSize = 0, jdtSize = 0;
  if (!FileSize(kJdx, &jdxSize) || !FileSize(kJdt, &jdtSize)) return kErrOpenJhr;
  if (jdxSize != 0 || jdtSize != 0) {
    damage_ = paths_[kJhr] + " is damaged: it lacks the base header while " +
              paths_[jdxSize != 0 ? kJdx : kJdt] + " holds messages";
    Failed(Status::Damaged(paths_[kJhr], damage_));
    return kErrBadBaseHeader;
  }
  baseHeader_ = BaseHeader{};
  baseHeader_.dateCreated = UnixTime(Now());
  return WriteBaseHeader() && Sync(kJhr) ? 0 : kErrWrite;
}

int JamBase::OpenLastReadFile(const std::string& base, const std::string& jhr) {
  // A base without its last-read file gets a new empty one, named in the
  // case of its header file.
  int err = 0;
  std::string jlr = FindBaseFile(env_, base, "jlr");
  if (jlr.empty()) {
    jlr = base + InCaseOf("jlr", jhr.substr(base.size()));
    files_[kJlr] = env_.Open(jlr, OpenMode::kCreateExclusive, &err);
    namesMade_ = namesMade_ || files_[kJlr] != nullptr;
  }
  if (!files_[kJlr]) files_[kJlr] = env_.Open(jlr, OpenMode::kReadWrite, &err);
  if (!files_[kJlr]) {
    FileFailed(jlr, err, "open");
    return kErrJlr;
  }
  paths_[kJlr] = jlr;
  return 0;
}

bool JamBase::RecordComplete(const IndexRecord& rec) {
  // The header and subfields it points at are whole, and so is the text.
  uint64_t jhrSize = 0, jdtSize = 0;
  std::string bytes;
  MsgHeader hdr;
  return rec.headerOffset >= kBaseHeaderSize && FileSize(kJhr, &jhrSize) &&
         FileSize(kJdt, &jdtSize) &&
         uint64_t{rec.headerOffset} + kMsgHeaderSize <= jhrSize &&
         ReadFully(*files_[kJhr], rec.headerOffset, kMsgHeaderSize, bytes) &&
         hdr.Decode(bytes) &&
         uint64_t{rec.headerOffset} + kMsgHeaderSize + hdr.subfieldLen <= jhrSize &&
         uint64_t{hdr.textOffset} + hdr.textLength <= jdtSize;
}

// What a post stopped by a kill or a power cut leaves: a partial index
// record at the end, records at the end whose header or text never reached
// the disk, and an active count behind the index.
bool JamBase::Repair() {
  uint64_t size = 0;
  if (!FileSize(kJdx, &size)) return false;
  uint64_t whole = size - size % kIndexRecordSize;
  // Records are written one after another, each after its message and
  // synced before the next: only the last ones can be unfinished.
  for (int k = 0; k < kTailRecordsChecked && whole > 0; ++k) {
    const uint32_t slot = static_cast<uint32_t>(whole / kIndexRecordSize - 1);
    IndexRecord rec;
    if (!ReadIndexRecord(slot, &rec)) return false;
    if (rec.Deleted() || RecordComplete(rec)) break;
    whole -= kIndexRecordSize;
  }
  if (whole != size && (!files_[kJdx]->Truncate(whole) || !Sync(kJdx))) return false;
  size = whole;
  uint32_t active = 0;
  std::string bytes;
  for (uint64_t at = 0; at < size; at += bytes.size()) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(size - at, 8192 * kIndexRecordSize));
    if (!ReadFully(*files_[kJdx], at, n, bytes)) return false;
    for (size_t pos = 0; pos < n; pos += kIndexRecordSize) {
      if (!IndexRecord::Decode(bytes.data() + pos).Deleted()) ++active;
    }
  }
  if (active == baseHeader_.activeMsgs) return true;
  baseHeader_.activeMsgs = active;
  ++baseHeader_.modCounter;
  return WriteBaseHeader() && files_[kJhr]->Sync();
}

bool JamBase::CreateBase(const std::string& path) {
  CloseBase();
  const std::string base = WithDot(path);
  basePath_ = base;
  // The header file is made whole and locked under a hidden name and given
  // its name last, after the other three files: a program that finds the
  // header file finds a complete base, locked until this one is done.
  const std::string temp = CreationTempName(base);
  const std::string dir = ParentDirectory(base);

  // Nothing is ever created over a file that exists; a base another
  // program is creating at this moment is opened when it is made.
  if (!FindBaseFile(env_, base, "jhr").empty()) return OpenBase(path);
  if (env_.Stat(temp).exists) {
    int err = 0;
    // Another creation running now (it holds the lock), or one that was
    // killed, whose empty files are taken over.
    auto other = env_.Open(temp, OpenMode::kReadWrite, &err);
    if (other && !other->LockFirstByte(0)) return WaitAndOpen(path, base, temp);
    other.reset();
    if (env_.Remove(temp, &err)) env_.SyncDirectory(dir, &err);
  }
  int code = FindFileInTheWay(base);
  if (code == kOpenInstead) return WaitAndOpen(path, base, temp);
  if (code != 0) return FailCreate(temp, code, false);
  int err = 0;
  std::string folder;
  if (!MakeDirectories(env_, ParentDirectory(base), &folder, &err)) {
    FileFailed(folder, err, "make the folder");
    return FailCreate(temp, kErrCreateJhr, false);
  }
  files_[kJhr] = env_.Open(temp, OpenMode::kCreateExclusive, &err);
  // Another program began the same creation a moment ago (its hidden
  // header file is there, or it holds the lock of this one while it looks
  // for a stopped creation's): its base is opened once it is named.
  if (!files_[kJhr] && err == EEXIST) return WaitAndOpen(path, base, temp);
  if (!files_[kJhr])
    return FileFailed(base + kExtensions[kJhr], err, "create") || FailCreate(temp, kErrCreateJhr, false);
  if (!files_[kJhr]->LockFirstByte(0)) {
    if (files_[kJhr]->LastError() == EAGAIN) return WaitAndOpen(path, base, temp);
    return LockFailed(*files_[kJhr], temp) || FailCreate(temp, kErrCreateJhr, false);
  }
  paths_[kJhr] = temp;
  baseHeader_ = BaseHeader{};
  baseHeader_.dateCreated = UnixTime(Now());
  if (!Put(kJhr, 0, baseHeader_.Encode()) || !Sync(kJhr)) return FailCreate(temp, kErrCreateJhr, true);
  code = CreateOtherFiles(base, err);
  // The three files are there for good before the header file names the
  // base.
  if (code == 0 && !env_.SyncDirectory(dir, &err)) {
    FileFailed(dir, err, "sync the folder");
    code = kErrCreateJhr;
  }
  if (code == 0) code = NameHeaderFile(temp, base + kExtensions[kJhr], err);
  if (code == kOpenInstead) return OpenInstead(path, base, temp);
  if (code != 0) return FailCreate(temp, code, true);
  // Until this sync the base may vanish with the power: it is not reported
  // made before.  When the sync fails the whole base is left for the next
  // open.
  if (!env_.SyncDirectory(dir, &err)) {
    FileFailed(dir, err, "sync the folder");
    DropFiles();
    basePath_.clear();
    errorCode_ = kErrCreateJhr;
    return false;
  }
  // A program that looked for the base a moment before it was named may
  // still create it over this one (without heeding the lock): it is given
  // the time to, before anything is written, and the base is then opened
  // as it stands.
  DropFiles();
  env_.SleepMs(kCreationSettleMs);
  return OpenBase(path);
}

bool JamBase::FailCreate(const std::string& temp, int code, bool removeCreated) {
  int err = 0;
  for (int i = 0; i < kFileCount; ++i) {
    files_[i].reset();
    if (removeCreated && i != kJhr && !paths_[i].empty()) env_.Remove(paths_[i], &err);
  }
  if (removeCreated) env_.Remove(temp, &err);
  DropFiles();
  basePath_.clear();
  errorCode_ = code;
  return false;
}

bool JamBase::WaitAndOpen(const std::string& path, const std::string& base,
                          const std::string& temp) {
  // Another program is making the base (files it may share are kept): it
  // is opened once its header file is there.
  FailCreate(temp, 0, false);
  for (int w = 0; w < lockTimeoutMs_ && FindBaseFile(env_, base, "jhr").empty();
       w += kCreationPollMs)
    env_.SleepMs(kCreationPollMs);
  return OpenBase(path);
}

bool JamBase::OpenInstead(const std::string& path, const std::string& base,
                          const std::string& temp) {
  int e = 0;
  env_.Remove(temp, &e);
  return WaitAndOpen(path, base, temp);
}

int JamBase::FindFileInTheWay(const std::string& base) {
  for (int i = 0; i < kFileCount; ++i) {
    std::string p = FindBaseFile(env_, base, kExtensions[i]);
    if (p.empty() || (p == base + kExtensions[i] && env_.Stat(p).size == 0)) continue;
    // A header file another program made since the last look: its base is
    // opened.
    if (i == kJhr || !FindBaseFile(env_, base, "jhr").empty()) return kOpenInstead;
    Failed(Status::Damaged(p, "this file holds data while the base has no header file"));
    return kCreateCodes[i];
  }
  return 0;
}

int JamBase::CreateOtherFiles(const std::string& base, int& err) {
  for (int i = kJdx; i < kFileCount; ++i) {
    std::string p = base + kExtensions[i];
    files_[i] = env_.Open(p, OpenMode::kCreateExclusive, &err);
    uint64_t size = 0;
    if (!files_[i] && err == EEXIST) {
      // An empty file left by a creation that did not finish.
      files_[i] = env_.Open(p, OpenMode::kReadWrite, &err);
      if (!files_[i] || !files_[i]->Size(&size) || size != 0) return kOpenInstead;
    }
    if (!files_[i]) {
      FileFailed(p, err, "create");
      return kCreateCodes[i];
    }
    paths_[i] = p;
  }
  return 0;
}

int JamBase::NameHeaderFile(const std::string& temp, const std::string& jhr,
                            int& err) {
  bool named = env_.Link(temp, jhr, &err);
  if (!named && err == EEXIST) return kOpenInstead;
  // A file system without hard links: a rename, when the name is still free.
  if (!named) named = !env_.Stat(jhr).exists && env_.Rename(temp, jhr, &err);
  if (!named) {
    FileFailed(jhr, err, "name");
    return kErrCreateJhr;
  }
  env_.Remove(temp, &err);
  return 0;
}

void JamBase::CloseBase() {
  bool any = false;
  for (auto& f : files_) any = any || f != nullptr;
  if (!any) {
    isOpen_ = false;
    return;
  }
  FreeMessageText();
  // Every stored change already wrote the base header and pushed it to the
  // disk; it is written here only when that write failed.  A base opened
  // for reading only is never written.
  if (!readOnly_ && baseHeaderDirty_ && WriteBaseHeader()) SyncAll();
  DropFiles();
  ClearMessage();
  isOpen_ = false;
}

// Numbers and navigation -----------------------------------------------------

bool JamBase::MessageExists(int32_t n) {
  if (!isOpen_) return false;
  uint32_t count = 0;
  if (!IndexCount(&count)) return false;
  int64_t slot = int64_t{n} - baseHeader_.baseMsgNum;
  if (slot < 0 || slot >= count) return false;
  IndexRecord rec;
  return ReadIndexRecord(static_cast<uint32_t>(slot), &rec) && !rec.Deleted();
}

int32_t JamBase::HighMessage() {
  if (!isOpen_) return 0;
  uint32_t count = 0;
  if (!IndexCount(&count) || count == 0) return 0;
  // Numbers past the largest one the interface holds are never reached.
  return static_cast<int32_t>(std::min<int64_t>(
      INT32_MAX, int64_t{baseHeader_.baseMsgNum} + count - 1));
}

int32_t JamBase::MessageCount() {
  return isOpen_ ? static_cast<int32_t>(baseHeader_.activeMsgs) : 0;
}

int32_t JamBase::IndexPosition() {
  return static_cast<int32_t>(int64_t{currentNumber_} - baseHeader_.baseMsgNum);
}

void JamBase::SeekIndexPosition(int32_t i) {
  uint32_t count = 0;
  if (!isOpen_ || !IndexCount(&count) || i < 0 || static_cast<uint32_t>(i) >= count) {
    currentNumber_ = 0;
    return;
  }
  currentNumber_ = static_cast<int32_t>(baseHeader_.baseMsgNum + static_cast<uint32_t>(i));
}

// Header fields --------------------------------------------------------------

void JamBase::SetFromName(const std::string& s) { fromName_ = s.substr(0, kMaxField); }
void JamBase::SetToName(const std::string& s) { toName_ = s.substr(0, kMaxField); }
void JamBase::SetSubject(const std::string& s) { subject_ = s.substr(0, kMaxField); }

bool JamBase::TestAttribute(uint32_t mask) {
  return (header_.attributes & StoredAttributes(mask)) != 0;
}

void JamBase::SetAttribute(uint32_t mask, bool on) {
  uint32_t bits = StoredAttributes(mask);
  if (on) {
    header_.attributes |= bits;
  } else {
    header_.attributes &= ~bits;
  }
}

void JamBase::GetDateWritten(MsgDateTime& dt) { dt = FromUnixTime(header_.dateWritten); }
void JamBase::GetDateArrived(MsgDateTime& dt) { dt = FromUnixTime(header_.dateProcessed); }
void JamBase::SetDateWritten(const MsgDateTime& dt) { header_.dateWritten = UnixTime(dt); }
void JamBase::SetDateArrived(const MsgDateTime& dt) { header_.dateProcessed = UnixTime(dt); }

// Messages -------------------------------------------------------------------

bool JamBase::StartNewMessage() {
  if (!isOpen_) return false;
  uint32_t count = 0;
  if (!IndexCount(&count)) {
    errorCode_ = kErrReadHeader;
    return false;
  }
  // Message numbers are 31-bit and never 0: a base numbered so high that
  // the next number would leave that range takes no more messages.
  const uint64_t next = uint64_t{baseHeader_.baseMsgNum} + count;
  if (next == 0 || next > 0x7FFFFFFF) {
    errorCode_ = kErrWrite;
    return false;
  }
  ClearMessage();
  header_.messageNumber = static_cast<uint32_t>(next);
  indexPos_ = uint64_t{count} * kIndexRecordSize;
  currentNumber_ = static_cast<int32_t>(header_.messageNumber);
  MsgDateTime now = Now();
  header_.dateWritten = UnixTime(now);
  header_.dateProcessed = UnixTime(now);
  SetTextBuffer(std::make_unique<MessageText>());
  haveMessage_ = true;
  isNewMessage_ = true;
  return true;
}

bool JamBase::WriteMessage() {
  if (!isOpen_ || !haveMessage_ || !text_) return false;
  // A text loaded by ReadHeader lacks the body; storing it would lose it.
  if (text_.get() == headerOnlyText_) {
    errorCode_ = kErrWrite;
    return false;
  }

  std::string area, body;
  AppendAddressSubfields(area);
  SplitControlLines(area, body);
  SetTypeAttributes();

  uint64_t jhrSize = 0, jdtSize = 0;
  if (!PrepareForAppend(&jhrSize, &jdtSize)) return false;
  // Offsets are stored in 32 bits.
  if (jhrSize + kMsgHeaderSize + area.size() > 0xFFFFFFFFu ||
      jdtSize + body.size() > 0xFFFFFFFFu) {
    errorCode_ = kErrWrite;
    return false;
  }
  header_.subfieldLen = static_cast<uint32_t>(area.size());
  header_.textOffset = static_cast<uint32_t>(jdtSize);
  header_.textLength = static_cast<uint32_t>(body.size());
  const uint64_t oldHeaderPos = headerPos_;
  const uint64_t headerPos = jhrSize;

  // The body and the header go past the ends of their files and are pushed
  // to the disk before the index record that makes the message count for
  // every reader; the base header follows (a crash before it leaves the
  // active count behind, which the next open recounts).  A failed write
  // puts back every file as it was.
  WriteUndo undo;
  undo.jhrSize = jhrSize;
  undo.jdtSize = jdtSize;
  if (!SaveForUndo(undo)) {
    errorCode_ = kErrWrite;
    return false;
  }
  IndexRecord rec;
  rec.toCrc = NameCrc(toName_);
  rec.headerOffset = static_cast<uint32_t>(headerPos);
  undo.reached = WriteUndo::kText;
  if (!Put(kJdt, header_.textOffset, body)) return PutBack(undo);
  undo.reached = WriteUndo::kHeader;
  if (!Put(kJhr, headerPos, header_.Encode() + area) || !Sync(kJdt) || !Sync(kJhr))
    return PutBack(undo);
  undo.reached = WriteUndo::kIndex;
  if (!Put(kJdx, indexPos_, rec.Encode()) || !Sync(kJdx)) return PutBack(undo);
  if (!isNewMessage_ && oldHeaderPos >= kBaseHeaderSize)
    MarkHeaderDeleted(oldHeaderPos);

  if (isNewMessage_) ++baseHeader_.activeMsgs;
  ++baseHeader_.modCounter;
  baseHeaderDirty_ = true;
  undo.reached = WriteUndo::kBaseHeader;
  if (!WriteBaseHeader() || !Sync(kJhr)) return PutBack(undo);

  indexRecord_ = rec;
  headerPos_ = headerPos;
  isNewMessage_ = false;
  currentNumber_ = static_cast<int32_t>(header_.messageNumber);
  ParseSubfields(area, subfields_);
  return true;
}

void JamBase::AppendAddressSubfields(std::string& area) {
  FtnAddress orig, dest;
  GetAddresses(orig, dest);
  AppendSubfield(area, kSfSender, fromName_);
  AppendSubfield(area, kSfOrigAddress, AddressToText4D(orig));
  AppendSubfield(area, kSfReceiver, toName_);
  AppendSubfield(area, kSfDestAddress, AddressToText4D(dest.IsZero() ? orig : dest));
  if (!subject_.empty()) AppendSubfield(area, kSfSubject, subject_);
  if (TestAttribute(AttrFileAttached)) AppendSubfield(area, kSfAttachedFile, subject_);
  if (TestAttribute(AttrFileRequest)) AppendSubfield(area, kSfRequestedFile, subject_);
}

void JamBase::SplitControlLines(std::string& area, std::string& body) {
  // Control lines become subfields wherever they stand; the rest is the body.
  header_.msgIdCrc = kNone;
  header_.replyCrc = kNone;
  for (const std::string& line : SplitLines(text_->Bytes())) {
    if (StartsWith(line, "\x01MSGID: ")) {
      std::string value = line.substr(8);
      AppendSubfield(area, kSfMsgId, value);
      header_.msgIdCrc = NameCrc(value);
    } else if (StartsWith(line, "\x01REPLY: ")) {
      std::string value = line.substr(8);
      AppendSubfield(area, kSfReply, value);
      header_.replyCrc = NameCrc(value);
    } else if (StartsWith(line, "\x01PID: ")) {
      AppendSubfield(area, kSfPid, line.substr(6));
    } else if (StartsWith(line, "\x01" "FLAGS: ")) {
      AppendSubfield(area, kSfFlags, line.substr(8));
    } else if (StartsWith(line, "\x01Via ")) {
      AppendSubfield(area, kSfVia, line.substr(5));
    } else if (StartsWith(line, "SEEN-BY: ")) {
      AppendSubfield(area, kSfSeenBy, line.substr(9));
    } else if (StartsWith(line, "\x01PATH: ")) {
      AppendSubfield(area, kSfPath, line.substr(7));
    } else if (StartsWith(line, "\x01INTL") || StartsWith(line, "\x01" "FMPT") ||
               StartsWith(line, "\x01TOPT")) {
      // The addresses live in the address subfields.
    } else if (StartsWith(line, "\x01")) {
      AppendSubfield(area, kSfKludge, line.substr(1));
    } else {
      body += line;
      body += '\r';
    }
  }
}

void JamBase::SetTypeAttributes() {
  const uint32_t typeBits = AttrTypeLocal | AttrTypeEcho | AttrTypeNet;
  header_.attributes &= ~typeBits;
  if (TestMailTypeFlag(kMailEcho)) header_.attributes |= AttrTypeEcho;
  if (TestMailTypeFlag(kMailNet)) header_.attributes |= AttrTypeNet;
  if (TestMailTypeFlag(kMailLocal)) header_.attributes |= AttrTypeLocal;
}

bool JamBase::PrepareForAppend(uint64_t* jhrSize, uint64_t* jdtSize) {
  if (!FileSize(kJhr, jhrSize) || !FileSize(kJdt, jdtSize)) {
    errorCode_ = kErrWrite;
    return false;
  }
  // A program that created the base over this one while it was open (not
  // heeding the lock) left it empty: it is made a base again.
  if (*jhrSize < kBaseHeaderSize) {
    uint64_t jdxNow = 0;
    if (*jhrSize != 0 || !FileSize(kJdx, &jdxNow) || jdxNow != 0) {
      errorCode_ = kErrWrite;
      return false;
    }
    baseHeader_ = BaseHeader{};
    baseHeader_.dateCreated = UnixTime(Now());
    if (!WriteBaseHeader()) return false;
    *jhrSize = kBaseHeaderSize;
  }
  if (isNewMessage_) {
    // Numbers follow the index as it is now.
    uint32_t count = 0;
    if (!IndexCount(&count)) return false;
    indexPos_ = uint64_t{count} * kIndexRecordSize;
    header_.messageNumber = baseHeader_.baseMsgNum + count;
  }
  return true;
}

bool JamBase::SaveForUndo(WriteUndo& undo) {
  if (!FileSize(kJdx, &undo.jdxSize)) return false;
  undo.oldBase = baseHeader_.Encode();
  // A partial record at the end (another program's unfinished write) is
  // overwritten; only its bytes are kept.
  if (indexPos_ < undo.jdxSize &&
      !ReadFully(*files_[kJdx], indexPos_,
                 static_cast<size_t>(std::min<uint64_t>(kIndexRecordSize, undo.jdxSize - indexPos_)),
                 undo.oldRecord))
    return false;
  undo.before = baseHeader_;
  return true;
}

bool JamBase::PutBack(const WriteUndo& undo) {
  // An index record that stays names the header and text written before
  // it, and the base header that stays counts that record: what a step
  // that stays points at is never cut away.
  bool ok = true;
  if (undo.reached >= WriteUndo::kBaseHeader)
    ok = files_[kJhr]->WriteAt(0, undo.oldBase.data(), undo.oldBase.size());
  if (ok && undo.reached >= WriteUndo::kIndex) {
    if (!undo.oldRecord.empty())
      ok = files_[kJdx]->WriteAt(indexPos_, undo.oldRecord.data(), undo.oldRecord.size());
    ok = ok && files_[kJdx]->Truncate(undo.jdxSize);
  }
  if (ok && undo.reached >= WriteUndo::kHeader) ok = files_[kJhr]->Truncate(undo.jhrSize);
  if (ok && undo.reached >= WriteUndo::kText) files_[kJdt]->Truncate(undo.jdtSize);
  baseHeader_ = undo.before;
  baseHeaderDirty_ = false;
  SyncAll();
  errorCode_ = kErrWrite;
  return false;
}

void JamBase::MarkHeaderDeleted(uint64_t headerPos) {
  // A rewritten message leaves its old header behind, marked deleted.
  std::string attr;
  if (ReadFully(*files_[kJhr], headerPos + 52, 4, attr)) {
    PutU32(attr.data(), GetU32(attr.data()) | kAttrDeleted);
    Put(kJhr, headerPos + 52, attr);
  }
}

bool JamBase::RewriteHeader() {
  if (!isOpen_ || !haveMessage_ || isNewMessage_) return false;
  if (!Put(kJhr, headerPos_, header_.Encode())) return false;
  ++baseHeader_.modCounter;
  baseHeaderDirty_ = true;
  return WriteBaseHeader() && SyncAll();
}

bool JamBase::ReadMessage() { return Load(true); }

bool JamBase::ReadHeader() { return Load(false); }

bool JamBase::Load(bool wholeText) {
  if (!isOpen_) return false;
  StoredMessage m;
  int code = 0;
  if (!ReadStored(wholeText, m, &code)) {
    errorCode_ = code;
    return false;
  }

  ClearMessage();
  header_ = m.hdr;
  subfields_ = std::move(m.subfields);
  indexRecord_ = m.rec;
  indexPos_ = static_cast<uint64_t>(m.slot) * kIndexRecordSize;
  headerPos_ = m.rec.headerOffset;
  haveMessage_ = true;
  TakeSubfieldValues();
  TakeTypeBits();

  auto buffer = std::make_unique<MessageText>();
  buffer->Write(TextFromSubfields(wholeText, m.body));
  buffer->SetPos(0);
  headerOnlyText_ = wholeText ? nullptr : buffer.get();
  SetTextBuffer(std::move(buffer));

  FtnAddress orig = origAddr_, dest = destAddr_;
  if (orig.zone != 0) SetOrigAddress(orig, false);
  if (dest.zone != 0) SetDestAddress(dest);
  SetTextPos(0);
  return true;
}

bool JamBase::ReadStored(bool wholeText, StoredMessage& m, int* code) {
  auto fail = [code](int c) {
    *code = c;
    return false;
  };
  uint32_t count = 0;
  if (!IndexCount(&count)) return fail(kErrReadHeader);
  m.slot = int64_t{currentNumber_} - baseHeader_.baseMsgNum;
  if (m.slot < 0 || m.slot >= count) return fail(kErrReadHeader);
  if (!ReadIndexRecord(static_cast<uint32_t>(m.slot), &m.rec)) return fail(kErrReadHeader);

  uint64_t jhrSize = 0;
  if (!FileSize(kJhr, &jhrSize)) return fail(kErrReadHeader);
  if (m.rec.Deleted() || m.rec.headerOffset < kBaseHeaderSize ||
      uint64_t{m.rec.headerOffset} + kMsgHeaderSize > jhrSize)
    return fail(kErrHeaderOffset);
  std::string bytes;
  if (!ReadFully(*files_[kJhr], m.rec.headerOffset, kMsgHeaderSize, bytes) ||
      !m.hdr.Decode(bytes))
    return fail(kErrReadHeader);
  uint64_t areaStart = uint64_t{m.rec.headerOffset} + kMsgHeaderSize;
  if (areaStart + m.hdr.subfieldLen > jhrSize) return fail(kErrReadHeader);
  std::string area;
  if (!ReadFully(*files_[kJhr], areaStart, m.hdr.subfieldLen, area) ||
      !ParseSubfields(area, m.subfields))
    return fail(kErrReadHeader);

  if (wholeText) {
    uint64_t jdtSize = 0;
    if (!FileSize(kJdt, &jdtSize)) return fail(kErrReadHeader);
    if (uint64_t{m.hdr.textOffset} + m.hdr.textLength > jdtSize) return fail(kErrTextOffset);
    if (!ReadFully(*files_[kJdt], m.hdr.textOffset, m.hdr.textLength, m.body))
      return fail(kErrReadHeader);
  }
  return true;
}

void JamBase::TakeSubfieldValues() {
  for (const Subfield& sf : subfields_) {
    std::string value = sf.data.substr(0, kMaxField);
    switch (sf.id) {
      case kSfOrigAddress: ParseAddress(value, origAddr_); break;
      case kSfDestAddress: ParseAddress(value, destAddr_); break;
      case kSfSender: fromName_ = value; break;
      case kSfReceiver: toName_ = value; break;
      case kSfSubject: subject_ = value; break;
      case kSfAttachedFile:
        if (TestAttribute(AttrFileAttached)) subject_ = value;
        break;
      case kSfRequestedFile:
        if (TestAttribute(AttrFileRequest)) subject_ = value;
        break;
      default: break;
    }
  }
}

void JamBase::TakeTypeBits() {
  // The message's type bits say which kind of mail it is.
  const uint32_t typeBits = AttrTypeLocal | AttrTypeEcho | AttrTypeNet;
  if (header_.attributes & typeBits) {
    SetMailTypeFlag(kMailNet, (header_.attributes & AttrTypeNet) != 0);
    SetMailTypeFlag(kMailEcho, (header_.attributes & AttrTypeEcho) != 0);
    SetMailTypeFlag(kMailLocal, (header_.attributes & AttrTypeLocal) != 0);
  }
}

std::string JamBase::TextFromSubfields(bool wholeText, const std::string& body) {
  // The text: kludges, then the body, then the trailing control lines.
  std::string text;
  for (const Subfield& sf : subfields_) {
    switch (sf.id) {
      case kSfMsgId: AddLine(text, "\x01MSGID: ", sf.data); break;
      case kSfReply: AddLine(text, "\x01REPLY: ", sf.data); break;
      case kSfPid: AddLine(text, "\x01PID: ", sf.data); break;
      case kSfKludge: AddLine(text, "\x01", sf.data); break;
      case kSfFlags: AddLine(text, "\x01" "FLAGS: ", sf.data); break;
      default: break;
    }
  }
  if (wholeText) {
    text += body;
    bool trailing = false;
    for (uint16_t id : {kSfVia, kSfSeenBy, kSfPath}) {
      for (const Subfield& sf : subfields_) {
        if (sf.id != id) continue;
        if (!trailing && !body.empty() && body.back() != '\r') text += '\r';
        trailing = true;
        if (id == kSfVia) AddLine(text, "\x01Via ", sf.data);
        if (id == kSfSeenBy) AddLine(text, "SEEN-BY: ", sf.data);
        if (id == kSfPath) AddLine(text, "\x01PATH: ", sf.data);
      }
    }
  }
  return text;
}

bool JamBase::FreeMessageText() {
  headerOnlyText_ = nullptr;
  if (!text_) return false;
  SetTextBuffer(nullptr);
  return true;
}

bool JamBase::DeleteMessage() {
  if (!isOpen_) return false;
  uint32_t count = 0;
  if (!IndexCount(&count)) return false;
  int64_t slot = int64_t{currentNumber_} - baseHeader_.baseMsgNum;
  if (slot < 0 || slot >= count) {
    errorCode_ = kErrReadHeader;
    return false;
  }
  IndexRecord rec;
  if (!ReadIndexRecord(static_cast<uint32_t>(slot), &rec)) {
    errorCode_ = kErrReadHeader;
    return false;
  }
  if (rec.Deleted()) {
    errorCode_ = kErrHeaderOffset;
    return false;
  }
  IndexRecord gone;  // 0xFFFFFFFF twice
  if (!Put(kJdx, static_cast<uint64_t>(slot) * kIndexRecordSize, gone.Encode()))
    return false;
  uint64_t jhrSize = 0;
  std::string attr;
  if (rec.headerOffset >= kBaseHeaderSize && FileSize(kJhr, &jhrSize) &&
      uint64_t{rec.headerOffset} + kMsgHeaderSize <= jhrSize &&
      ReadFully(*files_[kJhr], uint64_t{rec.headerOffset} + 52, 4, attr)) {
    PutU32(attr.data(), GetU32(attr.data()) | kAttrDeleted);
    if (!Put(kJhr, uint64_t{rec.headerOffset} + 52, attr)) return false;
  }
  if (baseHeader_.activeMsgs > 0) --baseHeader_.activeMsgs;
  ++baseHeader_.modCounter;
  baseHeaderDirty_ = true;
  if (!WriteBaseHeader() || !SyncAll()) return false;
  // The number stays current: nothing is renumbered, the next message is
  // the one after it, and a second deletion finds it deleted.
  haveMessage_ = false;
  return true;
}

// Last-read pointers ---------------------------------------------------------

int32_t JamBase::ReadLastRead(int32_t user) {
  uint64_t size = 0;
  if (!isOpen_ || !FileSize(kJlr, &size)) return 0;
  std::string bytes;
  size_t whole = static_cast<size_t>(size / kLastReadSize * kLastReadSize);
  if (!ReadFully(*files_[kJlr], 0, whole, bytes)) return 0;
  for (size_t pos = 0; pos < whole; pos += kLastReadSize) {
    LastReadRecord r = LastReadRecord::Decode(bytes.data() + pos);
    if (r.userId == static_cast<uint32_t>(user)) return static_cast<int32_t>(r.highRead);
  }
  return 0;
}

void JamBase::WriteLastRead(int32_t user, int32_t n) {
  uint64_t size = 0;
  if (!isOpen_ || !FileSize(kJlr, &size)) return;
  std::string bytes;
  size_t whole = static_cast<size_t>(size / kLastReadSize * kLastReadSize);
  if (!ReadFully(*files_[kJlr], 0, whole, bytes)) {
    errorCode_ = kErrJlr;
    return;
  }
  uint64_t at = whole;
  LastReadRecord r;
  r.userCrc = static_cast<uint32_t>(user);
  r.userId = static_cast<uint32_t>(user);
  for (size_t pos = 0; pos < whole; pos += kLastReadSize) {
    LastReadRecord old = LastReadRecord::Decode(bytes.data() + pos);
    if (old.userId == static_cast<uint32_t>(user)) {
      r = old;
      at = pos;
      break;
    }
  }
  r.lastRead = static_cast<uint32_t>(n);
  r.highRead = static_cast<uint32_t>(n);
  if (!files_[kJlr]->WriteAt(at, r.Encode().data(), kLastReadSize) ||
      !files_[kJlr]->Sync())
    errorCode_ = kErrJlr;
}

std::string FindJamFile(Env& env, const std::string& base, const std::string& ext) {
  return FindBaseFile(env, base, ext);
}

std::unique_ptr<MessageBase> MakeJamBase(Env& env) {
  return std::make_unique<JamBase>(env);
}

}  // namespace vex
