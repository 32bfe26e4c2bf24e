// A *.MSG base: a directory with one file per message, named after its
// number ("12.msg"), each a 190-byte header followed by the text and a NUL.
//
// A new message is written whole under a hidden temporary name, pushed to
// the disk, and only then given its number with a hard link that never
// replaces a file: a tosser scanning the directory sees a message complete
// or not at all, and a number another program took meanwhile means the
// next one.  The temporary file stays locked while it is written, so
// temporaries left by a writer that was killed are recognised and removed.
//
// Sync points.  Data is synced before a name publishes it, and the
// directory is synced after every name made or removed.  "Next open" is
// what the next open does when the power goes right after the step
// (unsynced writes lost or torn; names not yet synced lost).
//
//  step                          | file            | durable after it             | next open
//  1 make missing directories    | parents         | each, after its parent sync  | nothing there: made
//  2 create .vexstat-K.tmp,      | temp            | the whole message, under a   | removes the temp (its
//    write the message, sync     |                 | hidden name                  | lock is free)
//  3 link the temp as N.msg      | directory       | nothing more until step 4:   | N.msg whole or absent;
//    (first free N), remove the  |                 | N.msg may still be lost, the | a temp left is removed
//    temp, sync the directory    |                 | temp may still be there      |
//  4 (after the sync)            |                 | N.msg: reported posted       | N.msg is there
// Without hard links, N.msg is created exclusively, written and synced,
// then the directory is synced: until that sync N.msg may be lost, or be
// there short; the reader takes a file shorter than its header as damage.
// Deleting a message removes its file and syncs the directory.
#include "msgbase/msg_dir_base.h"
#include "msgbase/msg_dir_base_impl.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <algorithm>
#include <map>

#include "msgbase/base_dirs.h"
#include "msgbase/fido_date.h"
#include "util/address.h"
#include "util/coding.h"
#include "util/number.h"

namespace vex {

namespace {

// Header layout.
constexpr size_t kFromName = 0;
constexpr size_t kToName = 36;
constexpr size_t kSubject = 72;
constexpr size_t kDateText = 144;
constexpr size_t kTimesRead = 164;
constexpr size_t kDestNode = 166;
constexpr size_t kOrigNode = 168;
constexpr size_t kOrigNet = 172;
constexpr size_t kDestNet = 174;
constexpr size_t kDateWritten = 176;
constexpr size_t kDateArrived = 180;
constexpr size_t kAttributes = 186;

// Error codes of this format.
constexpr int kErrNoDirectory = 0x1000;
constexpr int kErrNoMessage = 0x1001;
constexpr int kErrCannotOpen = 0x1002;
constexpr int kErrNoMessageFile = 0x1003;

// A new message looks at most this many numbers further when other programs
// take numbers at the same time.
constexpr int kCreateAttempts = 1000;

// Longest line looked at when the leading kludges are copied.
constexpr size_t kMaxLine = 16384;

// Number 1 is kept by other programs as the high-water mark.
constexpr int32_t kFirstNewNumber = 2;

// Temporary files of new messages: kTempPrefix, a number, kTempSuffix.
const char kTempPrefix[] = ".vexstat-";
const char kTempSuffix[] = ".tmp";
constexpr int kTempSlots = 1000;

bool IsOurTemp(const std::string& name) {
  const size_t p = sizeof kTempPrefix - 1, q = sizeof kTempSuffix - 1;
  return name.size() > p + q && name.compare(0, p, kTempPrefix) == 0 &&
         name.compare(name.size() - q, q, kTempSuffix) == 0;
}

// Generic attribute mask -> bits of the attribute word.
uint16_t MapAttributes(uint32_t mask) {
  uint32_t word = mask & 0x03FF;
  if (mask & AttrFileRequest) word |= 0x0800;
  if (mask & AttrReceiptRequest) word |= 0x1000;
  if (mask & AttrIsReceipt) word |= 0x2000;
  if (mask & AttrAuditRequest) word |= 0x4000;
  if (mask & AttrUpdateRequest) word |= 0x8000;
  return static_cast<uint16_t>(word);
}

std::string WithSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + "/";
}

// Reads the file to its end.  sizeHint, the size the directory listing
// gave, is read in one step when the file has not grown since; no size is
// asked of the file.
bool ReadAll(File& file, uint64_t sizeHint, std::string& out) {
  out.clear();
  size_t chunk = static_cast<size_t>(std::min<uint64_t>(sizeHint, 1u << 30)) + 1;
  for (;;) {
    const size_t done = out.size();
    out.resize(done + chunk);
    long long n = file.ReadAt(done, out.data() + done, chunk);
    if (n < 0) return false;
    out.resize(done + static_cast<size_t>(n));
    if (static_cast<size_t>(n) < chunk) return true;  // the end of the file
    chunk = std::max<size_t>(chunk * 2, 4096);
  }
}

bool EndsWithLowerMsg(const std::string& name) {
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".msg") == 0;
}

}  // namespace

MsgDirBase::MsgDirBase(Env& env) : MessageBase(env) {
  std::memset(header_, 0, sizeof header_);
}

MsgDirBase::~MsgDirBase() {
  if (messageFile_ || text_) FreeMessageText();
  CloseBase();
}

bool MsgDirBase::OpenBase(const std::string& path) {
  isOpen_ = false;
  basePath_ = WithSlash(path);
  if (!env_.Stat(basePath_).isDirectory) {
    errorCode_ = kErrNoDirectory;
    return false;
  }
  RemoveStaleTemps();
  Scan();
  isOpen_ = true;
  return true;
}

bool MsgDirBase::OpenBaseReadOnly(const std::string& path,
                                  std::string* problem) {
  // Only the directory listing is read; the files are opened one by one
  // as their messages are read.
  readOnly_ = true;
  isOpen_ = false;
  basePath_ = WithSlash(path);
  FileInfo info = env_.Stat(basePath_);
  if (!info.isDirectory) {
    errorCode_ = kErrNoDirectory;
    // A file of that name is looked at without the closing slash.
    info = env_.Stat(basePath_.substr(0, basePath_.size() - 1));
    *problem = info.exists ? path + " is not a directory"
                           : "no message base at " + path +
                                 ": the directory does not exist";
    return false;
  }
  Scan();
  isOpen_ = true;
  return true;
}

std::string MsgDirBase::ReadErrorText() {
  if (errorCode_ != kErrCannotOpen) return MessageBase::ReadErrorText();
  return failedFile_ + " " + failedWhy_;
}

bool MsgDirBase::CreateBase(const std::string& path) {
  isOpen_ = false;
  basePath_ = WithSlash(path);
  // Every missing parent first, from the top down, each made durable in
  // its parent.
  MakeDirectories(env_, basePath_.substr(0, basePath_.size() - 1));
  if (!env_.Stat(basePath_).isDirectory) {
    errorCode_ = kErrNoDirectory;
    return false;
  }
  RemoveStaleTemps();
  Scan();
  isOpen_ = true;
  return true;
}

bool MsgDirBase::BaseExists(const std::string& path) {
  return env_.Stat(WithSlash(path)).isDirectory;
}

void MsgDirBase::CloseBase() {
  basePath_.clear();
  isOpen_ = false;
}

bool MsgDirBase::MessageExists(int32_t n) { return present_.count(n) != 0; }

void MsgDirBase::SeekNext() {
  auto it = present_.upper_bound(currentNumber_);
  currentNumber_ = it == present_.end() ? 0 : it->first;
}

void MsgDirBase::SeekPrior() {
  auto it = present_.lower_bound(currentNumber_);
  if (it == present_.begin()) {
    currentNumber_ = 0;
    return;
  }
  --it;
  currentNumber_ = it->first > 0 ? it->first : 0;
}

int32_t MsgDirBase::IndexPosition() { return currentNumber_; }

void MsgDirBase::SeekIndexPosition(int32_t i) { currentNumber_ = i; }

bool MsgDirBase::ReadMessage() { return Load(false); }

bool MsgDirBase::ReadHeader() { return Load(true); }

bool MsgDirBase::FreeMessageText() {
  bool hadFile = messageFile_ != nullptr || pendingNew_;
  messageFile_.reset();
  pendingNew_ = false;
  text_.reset();
  headerOnlyText_ = nullptr;
  if (!hadFile) {
    errorCode_ = kErrNoMessageFile;
    return false;
  }
  return true;
}

int32_t MsgDirBase::HighMessage() { return highestNumber_; }

int32_t MsgDirBase::MessageCount() {
  return static_cast<int32_t>(present_.size());
}

std::string MsgDirBase::GetFromName() {
  return GetZString(header_ + kFromName, 36);
}

std::string MsgDirBase::GetToName() {
  return GetZString(header_ + kToName, 36);
}

std::string MsgDirBase::GetSubject() {
  return GetZString(header_ + kSubject, 72);
}

void MsgDirBase::SetFromName(const std::string& s) {
  PutZString(header_ + kFromName, 36, s);
}

void MsgDirBase::SetToName(const std::string& s) {
  PutZString(header_ + kToName, 36, s);
}

void MsgDirBase::SetSubject(const std::string& s) {
  PutZString(header_ + kSubject, 72, s);
}

void MsgDirBase::GetAddresses(FtnAddress& orig, FtnAddress& dest) {
  orig = FtnAddress{};
  dest = FtnAddress{};
  orig.net = static_cast<int16_t>(GetU16(header_ + kOrigNet));
  orig.node = static_cast<int16_t>(GetU16(header_ + kOrigNode));
  dest.net = static_cast<int16_t>(GetU16(header_ + kDestNet));
  dest.node = static_cast<int16_t>(GetU16(header_ + kDestNode));
  if (text_) {
    text_->SetPos(0);
    std::string line;
    bool first = true;
    while (ReadTextLine(255, line)) {
      if (first || (!line.empty() && line[0] == '\x01')) {
        ParseOrigKludge(orig, line);
        ParseDestKludge(dest, line);
      }
      first = false;
    }
  }
  if (orig.zone == 0) orig.zone = 2;
  if (dest.zone == 0) dest.zone = 2;
}

void MsgDirBase::SetOrigAddress(const FtnAddress& addr, bool newMsgId) {
  MessageBase::SetOrigAddress(addr, newMsgId);
  PutU16(header_ + kOrigNet, static_cast<uint16_t>(addr.net));
  PutU16(header_ + kOrigNode, static_cast<uint16_t>(addr.node));
}

void MsgDirBase::SetDestAddress(const FtnAddress& addr) {
  MessageBase::SetDestAddress(addr);
  PutU16(header_ + kDestNet, static_cast<uint16_t>(addr.net));
  PutU16(header_ + kDestNode, static_cast<uint16_t>(addr.node));
}

bool MsgDirBase::TestAttribute(uint32_t mask) {
  uint16_t bits = MapAttributes(mask);
  return bits != 0 && (GetU16(header_ + kAttributes) & bits) == bits;
}

void MsgDirBase::SetAttribute(uint32_t mask, bool on) {
  uint16_t bits = MapAttributes(mask);
  uint16_t word = GetU16(header_ + kAttributes);
  word = on ? static_cast<uint16_t>(word | bits)
            : static_cast<uint16_t>(word & ~bits);
  PutU16(header_ + kAttributes, word);
}

void MsgDirBase::GetDateWritten(MsgDateTime& dt) {
  dt = ParseTextDate(GetZString(header_ + kDateText, 20));
}

void MsgDirBase::GetDateArrived(MsgDateTime& dt) {
  dt = GetStamp(header_ + kDateArrived);
}

void MsgDirBase::SetDateWritten(const MsgDateTime& dt) {
  PutZString(header_ + kDateText, 20, TextDate(dt));
  PutStamp(header_ + kDateWritten, dt);
}

void MsgDirBase::SetDateArrived(const MsgDateTime& dt) {
  PutStamp(header_ + kDateArrived, dt);
}

bool MsgDirBase::StartNewMessage() {
  if (!isOpen_ || readOnly_) return false;
  if (messageFile_ || text_) FreeMessageText();
  if (highestNumber_ == INT32_MAX) return false;
  currentNumber_ = std::max(highestNumber_ + 1, kFirstNewNumber);
  highestNumber_ = currentNumber_;
  pendingNew_ = true;
  SetTextBuffer(std::make_unique<MessageText>());
  std::memset(header_, 0, sizeof header_);
  MsgDateTime now = Now();
  SetDateWritten(now);
  SetDateArrived(now);
  return true;
}

bool MsgDirBase::WriteMessage() {
  if ((!messageFile_ && !pendingNew_) || !text_) return false;
  // A text loaded by ReadHeader lacks the body; storing it would lose it.
  if (text_.get() == headerOnlyText_) return false;
  std::string bytes(header_, kHeaderSize);
  bytes += text_->Bytes();
  bytes.push_back('\0');
  if (pendingNew_) return PublishNew(bytes);
  return messageFile_->WriteAt(0, bytes.data(), bytes.size()) &&
         messageFile_->Truncate(bytes.size()) && messageFile_->Sync();
}

bool MsgDirBase::RewriteHeader() {
  return messageFile_ && messageFile_->WriteAt(0, header_, kHeaderSize);
}

bool MsgDirBase::DeleteMessage() {
  auto it = present_.find(currentNumber_);
  if (it == present_.end() || readOnly_) return false;
  int err = 0;
  if (!env_.Remove(basePath_ + it->second, &err)) return false;
  present_.erase(it);
  return env_.SyncDirectory(basePath_, &err);
}

int32_t MsgDirBase::ReadLastRead(int32_t user) {
  if (user < 0) return 0;
  int err = 0;
  std::unique_ptr<File> file = env_.Open(LastReadPath(), OpenMode::kRead, &err);
  if (!file) return 0;
  uint64_t size = 0;
  uint64_t offset = 2ull * static_cast<uint64_t>(user);
  if (!file->Size(&size) || size < offset + 2) return 0;
  char buf[2];
  if (file->ReadAt(offset, buf, 2) != 2) return 0;
  return GetU16(buf);
}

void MsgDirBase::WriteLastRead(int32_t user, int32_t n) {
  if (user < 0 || readOnly_) return;
  std::string path = LastReadPath();
  int err = 0;
  std::unique_ptr<File> file = env_.Open(path, OpenMode::kWrite, &err);
  if (!file) file = env_.Open(path, OpenMode::kCreate, &err);
  if (!file) return;
  char buf[2];
  PutU16(buf, static_cast<uint16_t>(n));
  file->WriteAt(2ull * static_cast<uint64_t>(user), buf, 2);
}

bool MsgDirBase::PublishNew(const std::string& bytes) {
  for (int round = 0; round < 3; ++round) {
    std::string temp;
    std::unique_ptr<File> file = CreateTemp(temp);
    if (!file) return false;
    int err = 0;
    if (!file->WriteAt(0, bytes.data(), bytes.size()) || !file->Sync()) {
      file.reset();
      env_.Remove(temp, &err);
      return false;
    }
    int64_t n = currentNumber_;
    bool vanished = false, overwritten = false;
    for (int attempt = 0; attempt < kCreateAttempts && n <= INT32_MAX;
         ++attempt, ++n) {
      // Another program may hold the same number in upper case.
      if (env_.Stat(basePath_ + std::to_string(n) + ".MSG").exists) continue;
      std::string name = std::to_string(n) + ".msg";
      err = 0;
      bool linked = env_.Link(temp, basePath_ + name, &err);
      if (!linked && err == EEXIST) continue;
      vanished = !linked && err == ENOENT;
      if (!linked && !vanished) {
        // A file system without hard links: the number is claimed by an
        // exclusive create and filled the old way.
        linked = CopyTo(name, bytes, file);
        if (!linked && copyErr_ == EEXIST) continue;
      }
      if (!linked) break;
      env_.Remove(temp, &err);
      // Until this sync the new name may vanish with the power: the
      // message is not reported stored before it.
      if (!env_.SyncDirectory(basePath_, &err)) {
        file.reset();
        return false;
      }
      currentNumber_ = static_cast<int32_t>(n);
      highestNumber_ = std::max(highestNumber_, currentNumber_);
      present_[currentNumber_] = name;
      sizes_[currentNumber_] = bytes.size();
      // A program that chose the same number before the link and writes
      // without exclusive creation empties the file and fills it with its
      // own message: the message is written again under the next number.
      std::string back;
      if (!ReadAll(*file, bytes.size(), back)) return false;
      // (Only the names, subject, date and text are compared: a program
      // that marks the message read or sent changes the header words.)
      if (back.size() != bytes.size() || back.compare(0, kTimesRead, bytes, 0, kTimesRead) != 0 ||
          back.compare(kHeaderSize, std::string::npos, bytes, kHeaderSize) != 0) {
        overwritten = true;
        ++currentNumber_;
        break;
      }
      messageFile_ = std::move(file);
      pendingNew_ = false;
      return true;
    }
    file.reset();
    if (!overwritten) env_.Remove(temp, &err);
    // A temporary removed under us (taken for a stale one) is written again.
    if (!vanished && !overwritten) return false;
  }
  return false;
}

bool MsgDirBase::CopyTo(const std::string& name, const std::string& bytes,
                        std::unique_ptr<File>& file) {
  copyErr_ = 0;
  auto out = env_.Open(basePath_ + name, OpenMode::kCreateExclusive, &copyErr_);
  if (!out) return false;
  if (out->WriteAt(0, bytes.data(), bytes.size()) && out->Sync()) {
    file = std::move(out);
    return true;
  }
  out.reset();
  int err = 0;
  env_.Remove(basePath_ + name, &err);
  copyErr_ = EIO;
  return false;
}

std::unique_ptr<File> MsgDirBase::CreateTemp(std::string& path) {
  for (int k = 0; k < kTempSlots; ++k) {
    path = basePath_ + kTempPrefix + std::to_string(k) + kTempSuffix;
    int err = 0;
    auto file = env_.Open(path, OpenMode::kCreateExclusive, &err);
    if (file && file->LockFirstByte(0)) return file;
    if (!file && err != EEXIST) return nullptr;
  }
  return nullptr;
}

void MsgDirBase::RemoveStaleTemps() {
  bool removed = false;
  int err = 0;
  for (const std::string& name : env_.HiddenNames(basePath_)) {
    if (!IsOurTemp(name)) continue;
    auto file = env_.Open(basePath_ + name, OpenMode::kReadWrite, &err);
    if (file && file->LockFirstByte(0) && env_.Remove(basePath_ + name, &err)) removed = true;
  }
  if (removed) env_.SyncDirectory(basePath_, &err);
}

void MsgDirBase::Scan() {
  present_.clear();
  sizes_.clear();
  highestNumber_ = 0;
  for (const DirEntry& e : env_.Search(basePath_ + "*.msg")) {
    int32_t n = 0;
    if (!ParseNumber(e.name.substr(0, e.name.find('.')), &n) || n <= 0)
      continue;
    auto it = present_.find(n);
    if (it == present_.end()) {
      present_[n] = e.name;
      sizes_[n] = e.size;
    } else if (!EndsWithLowerMsg(it->second) && EndsWithLowerMsg(e.name)) {
      it->second = e.name;
      sizes_[n] = e.size;
    }
    if (n > highestNumber_) highestNumber_ = n;
  }
}

bool MsgDirBase::Load(bool kludgesOnly) {
  auto it = present_.find(currentNumber_);
  if (it == present_.end()) {
    errorCode_ = kErrNoMessage;
    return false;
  }
  if (messageFile_ || text_) FreeMessageText();
  std::string path = basePath_ + it->second;
  int err = 0;
  std::unique_ptr<File> file;
  if (!readOnly_) file = env_.Open(path, OpenMode::kReadWrite, &err);
  if (!file) file = env_.Open(path, OpenMode::kRead, &err);
  std::string bytes;
  bool readOk = file && ReadAll(*file, sizes_[currentNumber_], bytes);
  if (!readOk || bytes.size() < kHeaderSize) {
    errorCode_ = kErrCannotOpen;
    failedFile_ = path;
    if (!file) {
      failedWhy_ = "cannot be opened: " + SystemErrorText(err);
    } else if (readOk) {
      failedWhy_ = "is damaged: " + std::to_string(bytes.size()) +
                   " bytes, shorter than the " + std::to_string(kHeaderSize) +
                   "-byte message header";
    } else {
      failedWhy_ = "cannot be read";
    }
    return false;
  }
  std::memcpy(header_, bytes.data(), kHeaderSize);
  bytes.erase(0, kHeaderSize);
  // The text ends with a NUL; a file from a program that left it out
  // keeps its last byte.
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  auto text = std::make_unique<MessageText>();
  text->Write(bytes);
  SetTextBuffer(std::move(text));
  if (kludgesOnly) {
    text_->SetPos(0);
    std::string line;
    size_t end = 0;
    while (ReadTextLine(kMaxLine, line) && !line.empty() && line[0] == '\x01') {
      end = text_->Pos();
    }
    text_->SetPos(end);
    text_->Truncate();
  }
  text_->SetPos(0);
  headerOnlyText_ = kludgesOnly ? text_.get() : nullptr;
  messageFile_ = std::move(file);
  return true;
}

std::string MsgDirBase::LastReadPath() {
  std::vector<DirEntry> found = env_.Search(basePath_ + "lastread");
  for (const DirEntry& e : found) {
    if (e.name == "lastread") return basePath_ + e.name;
  }
  if (!found.empty()) return basePath_ + found.front().name;
  return basePath_ + "lastread";
}

std::unique_ptr<MessageBase> MakeMsgDirBase(Env& env) {
  return std::make_unique<MsgDirBase>(env);
}

}  // namespace vex
