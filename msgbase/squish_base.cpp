// Squish message bases.  The data file holds the base header and a chain of
// message frames plus a chain of free frames; the index holds one record per
// message in message order.  The data file's first byte is locked from open
// (or create) to close, so another program cannot interleave its writes.
//
// Changes to the chains are planned on copies of the frame headers first and
// written only when every frame they touch has been read and checked, so a
// damaged base makes an operation fail before anything is written.  Free
// frames are kept in their chain but never written over: a new message
// always goes at the end of the data file.
//
// Sync points: each step, the file it writes, what is durable after it, and
// what the next open does (under the lock) when the power goes right there,
// the step's unsynced writes lost, reordered or torn:
//
// step                             file      durable after it   next open
// -------------------------------  --------  -----------------  ---------------------------------
// create: base header into the     .sqd-new  the header         no base: the hidden file is
//   hidden data file (synced)                                   removed, the base created again
// create: index file, empty        sqi       its size, 0        as above; an empty index alone
//   (synced)                                                    is taken over
// create: data file named by a     sqd, dir  the base, whole    the hidden name left: removed;
//   link (a rename without                                      an index missing beside a
//   links), hidden name removed,                                header that counts nothing:
//   directory synced                                            made
// post: frame at the end (synced)  sqd       the frame          bytes past the header's end of
//                                                               data: no chain leads there
// post: index record (synced)      sqi       the record         a record past the count, or one
//                                                               cut short: cut off
// post: old last frame's link to   sqd       the link           a link from the counted last
//   the new frame (synced)                                      frame: cleared
// post: base header counts the     sqd       the message        a torn header (count, chain ends
//   message (synced)                                            or end of data disagreeing with
//                                                               the index): made from the index
// delete: new index into a hidden  .sqi-new  nothing            the hidden file: removed
//   file (synced)
// delete: renamed over the index,  sqi, dir  the deletion       the header counts one more than
//   directory synced                                            the index: chain relinked from
//                                                               the index, header made from it
// delete: frame unlinked, joins    sqd       the chains         as above
//   the free chain (synced)
// delete: base header (synced)     sqd       the count          nothing to do
//
// A data file shorter than its header is never named by this program; one
// that another program made that way, beside empty or missing files, is
// the creation it did not finish: initialised.
//
// A write that fails puts back what it wrote; when putting back fails too,
// the state is one of the above and the next open (or this one, at once)
// repairs it the same way.
#include "msgbase/squish_base.h"
#include "msgbase/squish_base_impl.h"
#include "msgbase/squish/frame_edit.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "msgbase/base_dirs.h"
#include "msgbase/fido_date.h"
#include "msgbase/squish/format.h"
#include "util/coding.h"

namespace vex {

namespace {

using namespace squish;

constexpr int kDefaultLockTimeoutMs = 10000;
// How often and how long an open looks again at a base another program is
// creating without holding its lock (a creator that holds the lock is
// waited for by the lock).
constexpr int kCreationPollMs = 50;
constexpr int kCreationWaitMs = 250;

enum : int {
  kErrNoData = 0x3000,       // data file missing
  kErrNoIndex = 0x3001,      // index file missing
  kErrOpenData = 0x3002,     // data file cannot be opened, locked or read
  kErrOpenIndex = 0x3003,    // index file cannot be opened or read
  kErrBadFrame = 0x3007,     // not a message frame, or its sizes are wrong
  kErrFrameIo = 0x3008,      // a frame cannot be read or written
  kErrCreateData = 0x3009,   // data file cannot be created
  kErrCreateIndex = 0x300A,  // index file cannot be created
};

bool IsUpperAscii(char c) { return c >= 'A' && c <= 'Z'; }
char LowerAscii(char c) {
  return IsUpperAscii(c) ? static_cast<char>(c - 'A' + 'a') : c;
}
bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace


namespace {

// Splits the leading kludge lines off a message text: they become the
// control information; the rest of the text, from the position returned,
// is the body, stored as it stands.
size_t SplitControl(const std::string& t, std::string& control) {
  size_t pos = 0;
  while (pos < t.size() && t[pos] == '\x01') {
    size_t end = pos;
    while (end < t.size() && t[end] != '\r' && t[end] != '\0') ++end;
    control.append(t, pos, end - pos);
    pos = end;
    if (pos < t.size()) {
      bool cr = t[pos] == '\r';
      ++pos;
      if (cr && pos < t.size() && t[pos] == '\n') ++pos;
    }
  }
  return pos;
}

// A message frame as stored: frame header, message header, control
// information and body, each of the last two closed by a NUL.
std::string FrameBytes(const FrameHeader& f, const RawMsgHeader& msg,
                       const std::string& control, const std::string& t,
                       size_t bodyStart) {
  std::string bytes(kFrameHeaderSize, '\0');
  EncodeFrameHeader(f, bytes.data());
  bytes.append(msg.data(), msg.size());
  bytes.append(control);
  bytes.push_back('\0');
  bytes.append(t, bodyStart, std::string::npos);
  bytes.push_back('\0');
  return bytes;
}

}  // namespace

SquishBase::SquishBase(Env& env, int lockTimeoutMs)
    : MessageBase(env), lockTimeoutMs_(lockTimeoutMs) {}

SquishBase::~SquishBase() {
  FreeMessageText();
  CloseBase();
}

bool SquishBase::BaseExists(const std::string& path) {
  return !FindFile(WithDot(path), "sqd").empty();
}

bool SquishBase::SeekFound() { return currentNumber_ != 0; }

int32_t SquishBase::IndexPosition() { return static_cast<int32_t>(indexPos_); }

bool SquishBase::ReadMessage() { return Read(true); }

bool SquishBase::ReadHeader() { return Read(false); }

bool SquishBase::FreeMessageText() {
  bool had = text_ != nullptr;
  text_.reset();
  headerOnlyText_ = nullptr;
  return had;
}

int32_t SquishBase::HighMessage() {
  return static_cast<int32_t>(base_.nextUnique - 1);
}

int32_t SquishBase::MessageCount() {
  return static_cast<int32_t>(base_.numMessages);
}

std::string SquishBase::GetFromName() {
  return GetZString(msg_.data() + kMsgFrom, kNameWidth);
}

std::string SquishBase::GetToName() {
  return GetZString(msg_.data() + kMsgTo, kNameWidth);
}

std::string SquishBase::GetSubject() {
  return GetZString(msg_.data() + kMsgSubject, kSubjectWidth);
}

void SquishBase::SetFromName(const std::string& s) {
  PutZString(msg_.data() + kMsgFrom, kNameWidth, s);
}

void SquishBase::SetToName(const std::string& s) {
  PutZString(msg_.data() + kMsgTo, kNameWidth, s);
}

void SquishBase::SetSubject(const std::string& s) {
  PutZString(msg_.data() + kMsgSubject, kSubjectWidth, s);
}

bool SquishBase::TestAttribute(uint32_t mask) {
  return (GetU32(msg_.data() + kMsgAttr) & MapAttributes(mask)) != 0;
}

void SquishBase::SetAttribute(uint32_t mask, bool on) {
  uint32_t attr = GetU32(msg_.data() + kMsgAttr);
  uint32_t bits = MapAttributes(mask);
  PutU32(msg_.data() + kMsgAttr, on ? attr | bits : attr & ~bits);
}

void SquishBase::GetDateWritten(MsgDateTime& dt) {
  dt = GetStamp(msg_.data() + kMsgDateWritten);
}

void SquishBase::GetDateArrived(MsgDateTime& dt) {
  dt = GetStamp(msg_.data() + kMsgDateArrived);
}

void SquishBase::SetDateWritten(const MsgDateTime& dt) {
  PutStamp(msg_.data() + kMsgDateWritten, dt);
  PutZString(msg_.data() + kMsgTextDate, kTextDateWidth, TextDate(dt));
}

void SquishBase::SetDateArrived(const MsgDateTime& dt) {
  PutStamp(msg_.data() + kMsgDateArrived, dt);
}

std::string SquishBase::WithDot(const std::string& path) {
  return !path.empty() && path.back() == '.' ? path : path + ".";
}

bool SquishBase::Fail(int code) {
  errorCode_ = code;
  return false;
}

bool SquishBase::FailOpen(int code) {
  data_.reset();
  index_.reset();
  indexRecords_.clear();
  basePath_.clear();
  return Fail(code);
}

void SquishBase::ForgetMessage() {
  loaded_ = false;
  isNew_ = false;
  frameOffset_ = 0;
}

size_t SquishBase::RecordCount() const { return indexRecords_.size(); }

std::string SquishBase::FindFile(const std::string& base,
                                 const std::string& ext) {
  std::string upper = ext;
  for (char& c : upper) c = static_cast<char>(c - 'a' + 'A');
  for (const std::string& e : {ext, upper}) {
    FileInfo info = env_.Stat(base + e);
    if (info.exists && !info.isDirectory) return base + e;
  }
  size_t slash = base.rfind('/');
  std::string dir = slash == std::string::npos ? "" : base.substr(0, slash + 1);
  std::string stem = base.substr(dir.size());
  for (const DirEntry& entry : env_.Search(dir + stem + "???")) {
    if (entry.name.size() == stem.size() + ext.size() &&
        entry.name.compare(0, stem.size(), stem) == 0 &&
        SameIgnoringCase(entry.name.substr(stem.size()), ext)) {
      return dir + entry.name;
    }
  }
  return "";
}

std::string SquishBase::NameLikeDataFile(const std::string& ext) const {
  std::string out = ext;
  size_t n = out.size();
  if (dataPath_.size() >= n) {
    std::string dataExt = dataPath_.substr(dataPath_.size() - n);
    for (size_t i = 0; i < n; ++i) {
      if (IsUpperAscii(dataExt[i]))
        out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
  }
  return basePath_ + out;
}

bool SquishBase::OpenBase(const std::string& path) {
  CloseBase();
  basePath_ = WithDot(path);
  problem_.clear();
  dataPath_ = FindFile(basePath_, "sqd");
  if (dataPath_.empty()) return FailOpen(kErrNoData);
  // A base another program is creating at this moment: wait (without the
  // lock, which the creator may want) until its header and index are there.
  indexPath_ = FindFile(basePath_, "sqi");
  for (int waited = 0;
       waited < std::min(lockTimeoutMs_, kCreationWaitMs) &&
       (indexPath_.empty() || env_.Stat(dataPath_).size < kBaseHeaderSize);
       waited += kCreationPollMs) {
    env_.SleepMs(kCreationPollMs);
    indexPath_ = FindFile(basePath_, "sqi");
  }
  int err = 0;
  data_ = env_.Open(dataPath_, OpenMode::kReadWrite, &err);
  if (!data_) return FileFailed(dataPath_, err, "open") || FailOpen(kErrOpenData);
  if (!data_->LockFirstByte(lockTimeoutMs_))
    return LockFailed(*data_, dataPath_) || FailOpen(kErrOpenData);
  // Read under the lock, so the files are as the last writer left them.
  uint64_t dataSize = 0;
  if (!Checked(*data_, data_->Size(&dataSize), "read the size of")) return FailOpen(kErrOpenData);
  if (indexPath_.empty()) indexPath_ = FindFile(basePath_, "sqi");
  bool madeIndex = false;
  if (dataSize < kBaseHeaderSize) {
    // A header that never reached the disk whole belongs to a creation that
    // did not finish, unless another file holds data: that is damage.
    problem_ = Unfinished(dataSize);
    if (!problem_.empty()) {
      Failed(Status::Damaged(dataPath_, problem_));
      return FailOpen(kErrOpenData);
    }
    if (indexPath_.empty()) {
      indexPath_ = NameLikeDataFile("sqi");
      index_ = env_.Open(indexPath_, OpenMode::kCreateExclusive, &err);
      madeIndex = index_ != nullptr;
    }
    if (!index_) index_ = env_.Open(indexPath_, OpenMode::kReadWrite, &err);
    if (!index_) FileFailed(indexPath_, err, "open");
    if (!index_ || !Checked(*index_, index_->Truncate(0), "truncate") || !InitHeader() ||
        (madeIndex && !SyncDir()))
      return FailOpen(kErrOpenData);
  } else {
    if (!Checked(*data_, ReadExact(*data_, 0, rawBase_.data(), rawBase_.size()), "read"))
      return FailOpen(kErrOpenData);
    base_ = DecodeBaseHeader(rawBase_);
    // The index of a base that holds no message may have lost its name in
    // a power cut during the creation: it is made again.
    if (indexPath_.empty()) {
      if (base_.numMessages != 0 || base_.firstFrame != 0 ||
          base_.lastFrame != 0) {
        Failed(Status::Damaged(NameLikeDataFile("sqi"), "the base lacks its index file"));
        return FailOpen(kErrNoIndex);
      }
      indexPath_ = NameLikeDataFile("sqi");
      index_ = env_.Open(indexPath_, OpenMode::kCreateExclusive, &err);
      if (!index_) FileFailed(indexPath_, err, "create");
      if (!index_ || !SyncDir()) return FailOpen(kErrOpenIndex);
    }
    if (!index_) index_ = env_.Open(indexPath_, OpenMode::kReadWrite, &err);
    if (!index_) {
      FileFailed(indexPath_, err, "open");
      return FailOpen(kErrOpenIndex);
    }
  }
  if (!RemoveLeftovers() || !LoadAndRepair()) return FailOpen(kErrOpenData);
  FinishOpen();
  return true;
}

void SquishBase::FinishOpen() {
  baseChanged_ = false;
  indexPos_ = 0;
  gapPos_ = -1;
  currentNumber_ = 0;
  ForgetMessage();
  isOpen_ = true;
}

bool SquishBase::InitHeader() {
  rawBase_ = NewBaseHeader(basePath_.substr(0, basePath_.size() - 1));
  base_ = DecodeBaseHeader(rawBase_);
  return Checked(*data_, data_->WriteAt(0, rawBase_.data(), rawBase_.size()), "write") &&
         Checked(*data_, data_->Sync(), "sync");
}

bool SquishBase::CreateBase(const std::string& path) {
  CloseBase();
  isOpen_ = false;
  problem_.clear();
  basePath_ = WithDot(path);
  {
    std::string folder;
    int err = 0;
    if (!MakeDirectories(env_, ParentDirectory(basePath_), &folder, &err)) {
      FileFailed(folder, err, "make the folder");
      return FailOpen(kErrCreateData);
    }
  }
  // The data file is made whole and locked under a hidden name and given
  // its name last, after the index: a program that finds the data file
  // finds a complete base, locked until this one is done.  A base another
  // program is creating at this moment is opened when it is made.  Files
  // left from a base whose data file is gone are never written over, but
  // an empty index left by a creation that a power cut stopped is taken
  // over.
  if (!FindFile(basePath_, "sqd").empty()) return OpenBase(path);
  std::string leftIndex = FindFile(basePath_, "sqi");
  if (!leftIndex.empty() && env_.Stat(leftIndex).size != 0) {
    // An index with data: another program's base, named since the look
    // above, is opened; an index alone is never written over.
    if (!FindFile(basePath_, "sqd").empty()) return OpenBase(path);
    Failed(Status::Damaged(leftIndex, "this file holds data while the base has no data file"));
    return Fail(kErrCreateIndex);
  }
  const std::string temp = CreationDataPath();
  int err = 0;
  if (env_.Stat(temp).exists) {
    // Another creation running now (it holds the lock), or one that was
    // stopped, whose file is removed.
    auto other = env_.Open(temp, OpenMode::kReadWrite, &err);
    if (other && !other->LockFirstByte(0)) return WaitForCreation(path);
    other.reset();
    env_.Remove(temp, &err);
  }
  dataPath_ = basePath_ + "sqd";
  indexPath_ = leftIndex.empty() ? basePath_ + "sqi" : leftIndex;
  data_ = env_.Open(temp, OpenMode::kCreateExclusive, &err);
  if (!data_ && err == EEXIST) return WaitForCreation(path);
  if (!data_) {
    FileFailed(dataPath_, err, "create");
    return FailOpen(kErrCreateData);
  }
  bool madeIndex = false;
  // Nothing is named yet but the index: what was made goes again, or,
  // when another program made the base first, its base is opened.
  auto undo = [&](int code) {
    data_.reset();
    index_.reset();
    int e = 0;
    env_.Remove(temp, &e);
    bool theirs = !FindFile(basePath_, "sqd").empty();
    if (madeIndex && !theirs) env_.Remove(indexPath_, &e);
    SyncDir();
    return theirs ? OpenBase(path) : FailOpen(code);
  };
  // (Another creation that looks at the new file holds its lock for a
  // moment.)
  if (!data_->LockFirstByte(kCreationPollMs)) return LockFailed(*data_, temp) || undo(kErrCreateData);
  // Another creation's look for a stopped creation may have removed the
  // file between its making and its locking: then the name is gone, or is
  // that creation's own file, which it soon fills.  The name is left to
  // its maker and its base opened.
  if (!StillNamesNewFile(temp)) {
    data_.reset();
    return WaitForCreation(path);
  }
  if (!InitHeader()) return undo(kErrCreateData);
  index_ = env_.Open(indexPath_,
                     leftIndex.empty() ? OpenMode::kCreateExclusive
                                       : OpenMode::kReadWrite,
                     &err);
  madeIndex = index_ && leftIndex.empty();
  if (!index_) FileFailed(indexPath_, err, "create");
  if (!index_ || !Checked(*index_, index_->Truncate(0), "truncate") ||
      !Checked(*index_, index_->Sync(), "sync"))
    return undo(kErrCreateIndex);
  // Published by a link, which fails when the name exists; a file system
  // without hard links renames, when the name is still free.
  if (!FindFile(basePath_, "sqd").empty()) return undo(kErrCreateData);
  bool linked = env_.Link(temp, dataPath_, &err);
  bool named = linked || (err != EEXIST && !env_.Stat(dataPath_).exists &&
                          env_.Rename(temp, dataPath_, &err));
  if (!named) {
    FileFailed(dataPath_, err, "name");
    return undo(kErrCreateData);
  }
  // One sync of the directory makes the index, the data file and the
  // removal of the hidden name durable together.
  if (linked) env_.Remove(temp, &err);
  if (!SyncDir()) {
    // The base is whole on the disk and stays; nothing is reported made.
    data_.reset();
    return FailOpen(kErrCreateData);
  }
  indexRecords_.clear();
  FinishOpen();
  return true;
}

bool SquishBase::StillNamesNewFile(const std::string& path) {
  const FileInfo info = env_.Stat(path);
  return info.exists && info.size == 0;
}

bool SquishBase::WaitForCreation(const std::string& path) {
  data_.reset();
  index_.reset();
  for (int w = 0; w < lockTimeoutMs_ && FindFile(basePath_, "sqd").empty();
       w += kCreationPollMs)
    env_.SleepMs(kCreationPollMs);
  return OpenBase(path);
}

void SquishBase::CloseBase() {
  if (!isOpen_) return;
  isOpen_ = false;
  // The header was written after every change; this only repeats it when
  // that write failed.
  if (baseChanged_) WriteBaseHeader();
  index_.reset();
  data_.reset();  // releases the lock
  indexRecords_.clear();
  ForgetMessage();
}

bool SquishBase::WriteBaseHeader() {
  EncodeBaseHeader(base_, rawBase_);
  if (!Checked(*data_, data_->WriteAt(0, rawBase_.data(), rawBase_.size()), "write"))
    return Fail(kErrFrameIo);
  baseChanged_ = false;
  return true;
}

bool SquishBase::WriteIndexFrom(size_t first) {
  std::string bytes((RecordCount() - first) * kIndexRecordSize, '\0');
  for (size_t i = first; i < RecordCount(); ++i) {
    EncodeIndexRecord(indexRecords_[i],
                      bytes.data() + (i - first) * kIndexRecordSize);
  }
  return bytes.empty() ||
         index_->WriteAt(first * kIndexRecordSize, bytes.data(), bytes.size());
}

bool SquishBase::MessageExists(int32_t n) {
  for (const IndexRecord& r : indexRecords_) {
    if (r.unique == static_cast<uint32_t>(n)) return true;
  }
  return false;
}

void SquishBase::SeekMessage(int32_t n) {
  gapPos_ = -1;
  // Numbers are the unsigned message identifiers, as CurrentNumber() and
  // MessageExists() take them.
  // The message with that number, else the first one above it (a damaged
  // index need not be in order).
  uint32_t wanted = static_cast<uint32_t>(n);
  size_t found = RecordCount();
  for (size_t i = 0; i < RecordCount(); ++i) {
    uint32_t unique = indexRecords_[i].unique;
    if (unique == wanted) {
      found = i;
      break;
    }
    if (unique > wanted && found == RecordCount()) found = i;
  }
  if (found < RecordCount()) {
    SeekIndexPosition(static_cast<int32_t>(found * kIndexRecordSize));
    return;
  }
  indexPos_ = 0;
  currentNumber_ = 0;
}

void SquishBase::SeekNext() {
  int64_t next;
  if (currentNumber_ != 0) {
    next = static_cast<int64_t>(indexPos_ + kIndexRecordSize);
  } else {
    next = gapPos_ >= 0 ? gapPos_ : 0;  // from nothing: the first record
  }
  SeekIndexPosition(static_cast<int32_t>(
      std::min<int64_t>(next, static_cast<int64_t>(0x7FFFFFFF))));
}

void SquishBase::SeekPrior() {
  int64_t prev = -1;
  if (currentNumber_ != 0) {
    prev = static_cast<int64_t>(indexPos_) -
           static_cast<int64_t>(kIndexRecordSize);
  } else if (gapPos_ >= 0) {
    prev = gapPos_ - static_cast<int64_t>(kIndexRecordSize);
  }
  SeekIndexPosition(static_cast<int32_t>(prev));
}

void SquishBase::SeekIndexPosition(int32_t p) {
  gapPos_ = -1;
  if (p < 0 || p % kIndexRecordSize != 0 ||
      static_cast<size_t>(p) / kIndexRecordSize >= RecordCount()) {
    indexPos_ = 0;
    currentNumber_ = 0;
    return;
  }
  indexPos_ = static_cast<uint64_t>(p);
  currentNumber_ =
      static_cast<int32_t>(indexRecords_[indexPos_ / kIndexRecordSize].unique);
}

bool SquishBase::Read(bool withBody) {
  FreeMessageText();
  if (!isOpen_) return Fail(kErrFrameIo);
  size_t slot = 0;
  if (!CurrentSlot(slot)) return Fail(kErrFrameIo);
  uint32_t off = indexRecords_[slot].frameOffset;
  uint64_t size = 0;
  // A base opened read-only is read as it was at open.
  if (readOnly_) {
    size = readOnlyDataSize_;
  } else if (!data_->Size(&size)) {
    return Fail(kErrFrameIo);
  }
  if (off < kBaseHeaderSize || off + uint64_t{kFrameHeaderSize} > size)
    return Fail(kErrFrameIo);
  char fbuf[kFrameHeaderSize];
  if (!ReadExact(*data_, off, fbuf, sizeof fbuf)) return Fail(kErrFrameIo);
  FrameHeader f = DecodeFrameHeader(fbuf);
  if (f.id != kFrameId || f.type != kFrameMessage ||
      uint64_t{f.controlLength} + 1 >= kControlLimit ||
      f.messageLength < kMsgHeaderSize + uint64_t{f.controlLength})
    return Fail(kErrBadFrame);
  // The body excludes the closing NUL; a frame written without it has none.
  uint64_t bodyLen = 0;
  if (f.messageLength > kMsgHeaderSize + uint64_t{f.controlLength})
    bodyLen = f.messageLength - kMsgHeaderSize - f.controlLength - 1;
  uint64_t start = off + uint64_t{kFrameHeaderSize};
  uint64_t need = kMsgHeaderSize + uint64_t{f.controlLength};
  if (start + need + bodyLen > size) return Fail(kErrBadFrame);
  if (withBody) need += bodyLen;
  std::string bytes(need, '\0');
  if (!ReadExact(*data_, start, bytes.data(), bytes.size()))
    return Fail(kErrFrameIo);
  std::copy(bytes.begin(), bytes.begin() + kMsgHeaderSize, msg_.begin());

  // Control information: the kludges, each beginning with 0x01, up to a NUL.
  std::string control = bytes.substr(kMsgHeaderSize, f.controlLength);
  control.resize(std::min(control.find('\0'), control.size()));
  auto text = std::make_unique<MessageText>();
  size_t start1 = 0;
  for (size_t i = 1; i <= control.size(); ++i) {
    if (i == control.size() || control[i] == '\x01') {
      text->Write(control.data() + start1, i - start1);
      text->Write("\r", 1);
      start1 = i;
    }
  }
  if (withBody) {
    text->Write(bytes.data() + kMsgHeaderSize + f.controlLength, bodyLen);
  }
  text->SetPos(0);
  headerOnlyText_ = withBody ? nullptr : text.get();
  SetTextBuffer(std::move(text));
  frame_ = f;
  frameOffset_ = off;
  loadedSlot_ = slot;
  loaded_ = true;
  isNew_ = false;
  return true;
}

bool SquishBase::CurrentSlot(size_t& slot) {
  if (currentNumber_ == 0) return false;
  const uint32_t wanted = static_cast<uint32_t>(currentNumber_);
  slot = indexPos_ / kIndexRecordSize;
  if (slot < RecordCount() && indexRecords_[slot].unique == wanted) return true;
  // A number set without a seek: its record is looked up.
  for (slot = 0; slot < RecordCount(); ++slot) {
    if (indexRecords_[slot].unique == wanted) {
      indexPos_ = slot * kIndexRecordSize;
      gapPos_ = -1;
      return true;
    }
  }
  return false;
}

bool SquishBase::FindLoadedSlot(size_t& slot) const {
  if (loadedSlot_ < RecordCount() &&
      indexRecords_[loadedSlot_].frameOffset == frameOffset_) {
    slot = loadedSlot_;
    return true;
  }
  for (size_t i = 0; i < RecordCount(); ++i) {
    if (indexRecords_[i].frameOffset == frameOffset_) {
      slot = i;
      return true;
    }
  }
  return false;
}

bool SquishBase::StartNewMessage() {
  if (!isOpen_ || readOnly_) return Fail(kErrFrameIo);
  // A damaged header may name a number the index already uses, or 0: the
  // new message takes one above every number in the index; a base that
  // has used the highest number takes no more.
  uint64_t unique = base_.nextUnique == 0 ? 1 : base_.nextUnique;
  for (const IndexRecord& r : indexRecords_) {
    unique = std::max<uint64_t>(unique, uint64_t{r.unique} + 1);
  }
  if (unique > 0xFFFFFFFF) return Fail(kErrFrameIo);
  msg_.fill('\0');
  frame_ = FrameHeader{};
  // The counters of the base move when the message is written, so a message
  // that is never written leaves no trace.
  currentNumber_ = static_cast<int32_t>(unique);
  PutU32(msg_.data() + kMsgUnique, static_cast<uint32_t>(unique));
  PutU32(msg_.data() + kMsgAttr, kAttrBase);
  frameOffset_ = 0;
  loaded_ = false;
  isNew_ = true;
  headerOnlyText_ = nullptr;
  gapPos_ = -1;
  indexPos_ = RecordCount() * kIndexRecordSize;
  SetTextBuffer(std::make_unique<MessageText>());
  MsgDateTime now = Now();
  SetDateWritten(now);
  SetDateArrived(now);
  return true;
}

bool SquishBase::WriteMessage() {
  if (!isOpen_ || !text_ || (!isNew_ && !loaded_)) return Fail(kErrFrameIo);
  // A text loaded by ReadHeader lacks the body; storing it would lose it.
  if (text_.get() == headerOnlyText_) return Fail(kErrFrameIo);

  const std::string& t = text_->Bytes();
  std::string control;
  size_t bodyStart = SplitControl(t, control);
  uint64_t controlLength = control.size() + 1;
  // Readers refuse control information this large.
  if (controlLength + 1 >= kControlLimit) return Fail(kErrBadFrame);
  uint64_t bodyLength = t.size() - bodyStart;
  uint64_t messageLength = kMsgHeaderSize + controlLength + bodyLength + 1;

  uint64_t dataSize = 0;
  if (!Checked(*data_, data_->Size(&dataSize), "read the size of")) return Fail(kErrFrameIo);
  FrameEdit edit(*data_, dataSize);
  FramePlan plan;
  if (!PlanFrame(edit, dataSize, messageLength, plan)) return Fail(kErrFrameIo);
  plan.frame.controlLength = static_cast<uint32_t>(controlLength);
  FillAddressFields();

  IndexRecord rec;
  rec.frameOffset = plan.off;
  rec.unique = GetU32(msg_.data() + kMsgUnique);
  rec.hash = NameHash(GetToName());

  // The order makes the base header the moment a new message counts: the
  // frame first (beyond the end the header knows), pushed to the disk; then
  // its index record; then the old last frame's link to it; then the
  // header, each synced before the next.  A crash before the header leaves
  // an index record past the message count and perhaps a link from the
  // last frame, which the next open takes back.  A failed write puts back
  // everything written before it; when that fails too, the repair of the
  // next open is run at once.
  std::string bytes = FrameBytes(plan.frame, msg_, control, t, bodyStart);
  uint64_t indexSize = 0;
  if (!Checked(*index_, index_->Size(&indexSize), "read the size of")) return Fail(kErrFrameIo);
  UndoLog undo;
  if (!WriteFrame(undo, bytes, dataSize, plan) ||
      !WriteIndexRecord(undo, rec, indexSize, plan.slot) ||
      !Checked(*data_, edit.Commit(&undo), "write") ||
      (!edit.Empty() && !Checked(*data_, data_->Sync(), "sync")) ||
      !Checked(*data_, undo.Save(*data_, 0, kBaseHeaderSize), "read") ||
      !WriteNewBaseHeader(rec, bytes.size(), plan)) {
    // What could not be put back stays for the repair of the next open.
    if (!undo.Run()) ForgetMessage();
    return Fail(kErrFrameIo);
  }
  NoteStored(rec, plan);
  return true;
}

bool SquishBase::PlanFrame(FrameEdit& edit, uint64_t dataSize,
                           uint64_t messageLength, FramePlan& p) {
  p.base = base_;
  p.slot = RecordCount();
  // Where the message goes: its own frame when it still fits, else the end
  // of the file.  Free frames are not written over: a damaged free chain
  // could name bytes that a live frame holds.
  bool placed = false;
  bool inPlace = false;
  if (!isNew_) {
    if (!KeepOrFreeOwnFrame(edit, dataSize, messageLength, p, inPlace))
      return false;
    placed = inPlace;
  } else {
    p.frame.prev = p.base.lastFrame;
    p.frame.next = 0;
  }
  if (!placed) {
    if (dataSize + kFrameHeaderSize + messageLength > kMaxOffset) return false;
    p.off = static_cast<uint32_t>(std::max<uint64_t>(dataSize, kBaseHeaderSize));
    p.frame.frameLength = static_cast<uint32_t>(messageLength);
    p.appended = true;
  }
  // A message that stays in its own frame changes no chain.
  if (!inPlace && !edit.Link(p.base.firstFrame, p.base.lastFrame, p.off,
                             p.frame, kFrameMessage))
    return false;
  p.frame.id = kFrameId;
  p.frame.messageLength = static_cast<uint32_t>(messageLength);
  p.frame.type = kFrameMessage;
  p.frame.reserved = 0;
  edit.Forget(p.off);
  return true;
}

bool SquishBase::KeepOrFreeOwnFrame(FrameEdit& edit, uint64_t dataSize,
                                    uint64_t messageLength, FramePlan& p,
                                    bool& inPlace) {
  FrameHeader old;
  if (!FindLoadedSlot(p.slot)) return false;
  if (!edit.LoadTyped(frameOffset_, kFrameMessage, old)) return false;
  if (old.frameLength >= messageLength &&
      frameOffset_ + uint64_t{kFrameHeaderSize} + old.frameLength <=
          dataSize) {
    p.off = frameOffset_;
    p.frame = old;
    inPlace = true;
    return true;
  }
  // Moves: the old frame joins the free chain.
  if (!edit.Unlink(p.base.firstFrame, p.base.lastFrame, frameOffset_, old,
                   kFrameMessage))
    return false;
  FrameHeader freed = old;
  freed.type = kFrameFree;
  freed.next = 0;
  freed.prev = p.base.lastFree;
  if (!edit.Link(p.base.firstFree, p.base.lastFree, frameOffset_, freed,
                 kFrameFree))
    return false;
  edit.Store(frameOffset_, freed);
  p.frame.prev = old.prev;
  p.frame.next = old.next;
  return true;
}

void SquishBase::FillAddressFields() {
  FtnAddress orig, dest;
  size_t textPos = text_->Pos();
  GetAddresses(orig, dest);
  text_->SetPos(textPos);
  PutAddress(msg_.data() + kMsgOrig, orig);
  PutAddress(msg_.data() + kMsgDest, dest);
  PutU16(msg_.data() + kMsgUtcOffset, 0);
}

bool SquishBase::WriteFrame(UndoLog& undo, const std::string& bytes,
                            uint64_t dataSize, const FramePlan& p) {
  if (p.appended) {
    undo.SaveSize(*data_, dataSize);
  } else if (!undo.Save(*data_, p.off, bytes.size())) {
    return Checked(*data_, false, "read");
  }
  return Checked(*data_, data_->WriteAt(p.off, bytes.data(), bytes.size()), "write") &&
         Checked(*data_, data_->Sync(), "sync");
}

bool SquishBase::WriteIndexRecord(UndoLog& undo, const IndexRecord& rec,
                                  uint64_t indexSize, size_t slot) {
  char rbuf[kIndexRecordSize];
  EncodeIndexRecord(rec, rbuf);
  if (isNew_) {
    undo.SaveSize(*index_, indexSize);
  } else if (!undo.Save(*index_, slot * kIndexRecordSize, kIndexRecordSize)) {
    return Checked(*index_, false, "read");
  }
  return Checked(*index_, index_->WriteAt(slot * kIndexRecordSize, rbuf, sizeof rbuf), "write") &&
         Checked(*index_, index_->Sync(), "sync");
}

bool SquishBase::WriteNewBaseHeader(const IndexRecord& rec, size_t frameBytes,
                                    FramePlan& p) {
  BaseHeader before = base_;
  if (isNew_) {
    if (rec.unique >= p.base.nextUnique) p.base.nextUnique = rec.unique + 1;
    ++p.base.numMessages;
    ++p.base.highMessage;
  }
  if (p.appended) p.base.endOfData = static_cast<uint32_t>(p.off + frameBytes);
  base_ = p.base;
  if (!WriteBaseHeader() || !Checked(*data_, data_->Sync(), "sync")) {
    base_ = before;
    EncodeBaseHeader(base_, rawBase_);
    baseChanged_ = false;
    return false;
  }
  return true;
}

void SquishBase::NoteStored(const IndexRecord& rec, FramePlan& p) {
  if (isNew_) {
    indexRecords_.push_back(rec);
    p.slot = RecordCount() - 1;
  } else {
    indexRecords_[p.slot] = rec;
  }
  frame_ = p.frame;
  frameOffset_ = p.off;
  loadedSlot_ = p.slot;
  loaded_ = true;
  isNew_ = false;
  indexPos_ = p.slot * kIndexRecordSize;
  gapPos_ = -1;
  currentNumber_ = static_cast<int32_t>(rec.unique);
}

bool SquishBase::RewriteHeader() {
  if (!isOpen_ || !loaded_) return Fail(kErrFrameIo);
  uint64_t size = 0;
  if (!data_->Size(&size)) return Fail(kErrFrameIo);
  FrameEdit edit(*data_, size);
  FrameHeader f;
  if (!edit.LoadTyped(frameOffset_, kFrameMessage, f) ||
      frameOffset_ + uint64_t{kFrameHeaderSize} + kMsgHeaderSize > size)
    return Fail(kErrFrameIo);
  if (!data_->WriteAt(frameOffset_ + uint64_t{kFrameHeaderSize}, msg_.data(),
                      msg_.size()))
    return Fail(kErrFrameIo);
  return true;
}

// The deletion counts once the index without its record has replaced the
// old one (a hidden file renamed over it, the directory synced); the chains
// and the header follow, each synced.  An open after a crash in between
// finds the header counting one more than the index and relinks the chain
// from the index.
bool SquishBase::DeleteMessage() {
  if (!isOpen_ || readOnly_) return Fail(kErrFrameIo);
  size_t slot = 0;
  if (!CurrentSlot(slot)) return Fail(kErrFrameIo);
  uint32_t off = indexRecords_[slot].frameOffset;
  uint64_t size = 0;
  if (!data_->Size(&size)) return Fail(kErrFrameIo);
  FrameEdit edit(*data_, size);
  BaseHeader h = base_;
  FrameHeader f;
  if (!edit.LoadTyped(off, kFrameMessage, f)) return Fail(kErrFrameIo);
  if (!edit.Unlink(h.firstFrame, h.lastFrame, off, f, kFrameMessage))
    return Fail(kErrFrameIo);
  // The frame joins the free chain; a free chain whose end is damaged is
  // left alone and the frame stays out of it.
  f.type = kFrameFree;
  f.next = 0;
  f.prev = h.lastFree;
  if (!edit.Link(h.firstFree, h.lastFree, off, f, kFrameFree)) f.prev = 0;
  edit.Store(off, f);

  std::vector<IndexRecord> kept = indexRecords_;
  kept.erase(kept.begin() + static_cast<ptrdiff_t>(slot));
  if (!ReplaceIndex(kept)) return Fail(kErrFrameIo);
  indexRecords_ = std::move(kept);
  if (h.numMessages > 0) --h.numMessages;
  if (h.highMessage > 0) --h.highMessage;
  if (!edit.Commit() || !data_->Sync() || !WriteRepairedHeader(h)) {
    // The index no longer holds the message: the repair of the next open
    // finishes the deletion, and is run at once.
    ForgetMessage();
    RepairNow();
    return Fail(kErrFrameIo);
  }

  if (loaded_ && frameOffset_ == off) ForgetMessage();
  currentNumber_ = 0;
  gapPos_ = static_cast<int64_t>(slot * kIndexRecordSize);
  indexPos_ = 0;
  return true;
}

bool SquishBase::ReplaceIndex(const std::vector<IndexRecord>& records) {
  std::string bytes(records.size() * kIndexRecordSize, '\0');
  for (size_t i = 0; i < records.size(); ++i)
    EncodeIndexRecord(records[i], bytes.data() + i * kIndexRecordSize);
  const std::string temp = LeftoverIndexPath();
  int err = 0;
  env_.Remove(temp, &err);
  auto f = env_.Open(temp, OpenMode::kCreateExclusive, &err);
  bool ok = f && (bytes.empty() || f->WriteAt(0, bytes.data(), bytes.size())) &&
            f->Sync();
  f.reset();
  if (!ok || !env_.Rename(temp, indexPath_, &err)) {
    env_.Remove(temp, &err);
    return false;
  }
  // The index file open here is the old one: it is opened again.
  index_ = env_.Open(indexPath_, OpenMode::kReadWrite, &err);
  if (!index_) {
    baseChanged_ = false;
    CloseBase();  // the next open finishes the deletion
    return false;
  }
  return SyncDir();
}

int32_t SquishBase::ReadLastRead(int32_t user) {
  if (user < 0 || basePath_.empty()) return 0;
  std::string path = FindFile(basePath_, "sql");
  if (path.empty()) return 0;
  int err = 0;
  auto f = env_.Open(path, OpenMode::kRead, &err);
  if (!f) return 0;
  uint64_t at = uint64_t{4} * static_cast<uint64_t>(user);
  uint64_t size = 0;
  char buf[4];
  if (!f->Size(&size) || size < at + 4 || !ReadExact(*f, at, buf, 4)) return 0;
  return static_cast<int32_t>(GetU32(buf));
}

void SquishBase::WriteLastRead(int32_t user, int32_t n) {
  if (user < 0 || basePath_.empty() || readOnly_) return;
  int err = 0;
  std::string path = FindFile(basePath_, "sql");
  std::unique_ptr<File> f;
  if (!path.empty()) {
    f = env_.Open(path, OpenMode::kWrite, &err);
  } else {
    std::string name =
        dataPath_.empty() ? basePath_ + "sql" : NameLikeDataFile("sql");
    f = env_.Open(name, OpenMode::kCreateExclusive, &err);
  }
  if (!f) return;
  uint64_t at = uint64_t{4} * static_cast<uint64_t>(user);
  uint64_t size = 0;
  if (!f->Size(&size)) return;
  // Users below this one that have no pointer yet get 0.
  std::string bytes(size < at ? at - size : 0, '\0');
  char buf[4];
  PutU32(buf, static_cast<uint32_t>(n));
  bytes.append(buf, 4);
  f->WriteAt(std::min(size, at), bytes.data(), bytes.size());
}

// Reading only ---------------------------------------------------------------

bool SquishBase::OpenBaseReadOnly(const std::string& path,
                                  std::string* problem) {
  CloseBase();
  readOnly_ = true;
  basePath_ = WithDot(path);
  auto fail = [&](int code, const std::string& text) {
    *problem = text;
    return FailOpen(code);
  };
  auto cannotOpen = [](const std::string& p, int err) {
    return p + " cannot be opened: " + SystemErrorText(err);
  };
  dataPath_ = FindFile(basePath_, "sqd");
  if (dataPath_.empty()) {
    return fail(kErrNoData, "no message base at " + path + ": " + basePath_ +
                                "sqd does not exist");
  }
  int err = 0;
  data_ = env_.Open(dataPath_, OpenMode::kRead, &err);
  if (!data_) return fail(kErrOpenData, cannotOpen(dataPath_, err));
  uint64_t& dataSize = readOnlyDataSize_;
  if (!data_->Size(&dataSize))
    return fail(kErrOpenData, dataPath_ + " cannot be read");
  indexRecords_.clear();
  if (dataSize < kBaseHeaderSize) {
    // A header that never reached the disk whole belongs to a base being
    // created: it holds no message yet, unless another file holds data.
    std::string damage = Unfinished(dataSize);
    if (!damage.empty()) return fail(kErrOpenData, damage);
    rawBase_ = NewBaseHeader(basePath_.substr(0, basePath_.size() - 1));
  } else {
    if (!ReadExact(*data_, 0, rawBase_.data(), rawBase_.size()))
      return fail(kErrOpenData, dataPath_ + " cannot be read");
    indexPath_ = FindFile(basePath_, "sqi");
    if (indexPath_.empty() && DecodeBaseHeader(rawBase_).numMessages != 0) {
      return fail(kErrNoIndex, "the Squish base " + path + " is damaged: " +
                                   basePath_ + "sqi does not exist");
    }
    if (!indexPath_.empty()) {
      index_ = env_.Open(indexPath_, OpenMode::kRead, &err);
      if (!index_) return fail(kErrOpenIndex, cannotOpen(indexPath_, err));
      uint64_t indexSize = 0;
      if (!index_->Size(&indexSize))
        return fail(kErrOpenIndex, indexPath_ + " cannot be read");
      // An incomplete record at the end (a write cut short) is not a
      // message.
      std::string bytes(indexSize - indexSize % kIndexRecordSize, '\0');
      if (!bytes.empty() && !ReadExact(*index_, 0, bytes.data(), bytes.size()))
        return fail(kErrOpenIndex, indexPath_ + " cannot be read");
      for (size_t p = 0; p < bytes.size(); p += kIndexRecordSize) {
        indexRecords_.push_back(DecodeIndexRecord(bytes.data() + p));
      }
    }
  }
  base_ = DecodeBaseHeader(rawBase_);
  FinishOpen();
  return true;
}

std::string SquishBase::ReadErrorText() {
  switch (errorCode_) {
    case kErrOpenData:
      return problem_.empty() ? MessageBase::ReadErrorText() : problem_;
    case kErrBadFrame:
      return "its frame in " + dataPath_ +
             " is damaged: not a message frame, or its sizes are wrong";
    case kErrFrameIo:
      return "its frame lies outside " + dataPath_ + " or cannot be read";
    default:
      return MessageBase::ReadErrorText();
  }
}

std::unique_ptr<MessageBase> MakeSquishBase(Env& env) {
  return std::make_unique<SquishBase>(env, kDefaultLockTimeoutMs);
}

std::unique_ptr<MessageBase> MakeSquishBase(Env& env, int lockTimeoutMs) {
  return std::make_unique<SquishBase>(env, lockTimeoutMs);
}

}  // namespace vex
