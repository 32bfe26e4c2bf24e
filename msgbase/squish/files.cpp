// Finding, opening, locking and creating the files of a Squish base.
//
// The data file's first byte is locked from open (or creation) to close,
// so another program cannot interleave its writes.  A new base is made
// whole under hidden names and published last:
//
// step                             file      durable after it   next open
// -------------------------------  --------  -----------------  ---------------------------------
// base header into the hidden      .sqd-new  the header         no base: the hidden file is
//   data file (synced)                                          removed, the base created again
// index file, empty (synced)       sqi       its size, 0        as above; an empty index alone
//                                                               is taken over
// data file named by a link (a     sqd, dir  the base, whole    the hidden name left: removed;
//   rename without links), hidden                               an index missing beside a
//   name removed, directory synced                              header that counts nothing:
//                                                               made
//
// A data file shorter than its header is never named by this program; one
// that another program made that way, beside empty or missing files, is
// the creation it did not finish: initialised.
#include <algorithm>
#include <cerrno>

#include "msgbase/base_dirs.h"
#include "msgbase/squish/squish.h"
#include "msgbase/squish/store.h"
#include "platform/path.h"

namespace vex::squish {

namespace {

// How often and how long an open looks again at a base another program is
// creating without holding its lock (a creator that holds the lock is
// waited for by the lock).
constexpr int kCreationPollMs = 50;
constexpr int kCreationWaitMs = 250;

}  // namespace

Store::Store(Env& env, std::string path, bool readOnly, int lockTimeoutMs)
    : env_(env), path_(std::move(path)), readOnly_(readOnly), lockTimeoutMs_(lockTimeoutMs) {
  basePath_ = !path_.empty() && path_.back() == '.' ? path_ : path_ + ".";
}

Status Store::TakeFailure() {
  Status st = failure_.ok() ? Status::IoError(path_, 0, "the base cannot be opened") : failure_;
  failure_ = Status::Ok();
  return st;
}

Status Store::Open() {
  if (readOnly_) return OpenReadOnly();
  failure_ = Status::Ok();
  bool ok = OpenExisting();
  if (!ok && failure_.IsNotFound()) {
    // No data file: the base is created; the creation opens a base
    // another program made since the look.
    failure_ = Status::Ok();
    ok = Create();
    if (!ok && failure_.IsNotFound())
      failure_ = Status::IoError(failure_.file(), ENOENT, "the base another program was creating did not appear");
  }
  if (!ok) {
    Close();
    return TakeFailure();
  }
  failure_ = Status::Ok();
  open_ = true;
  return Status::Ok();
}

Status Store::Close() {
  open_ = false;
  index_.reset();
  data_.reset();  // releases the lock
  return Status::Ok();
}

std::string Store::HiddenPath(const char* ext) const {
  const std::string name = NameOf(basePath_);
  return basePath_.substr(0, basePath_.size() - name.size()) + "." + name + ext + "-new";
}

bool Store::SyncDir() {
  const std::string dir = FolderOf(basePath_);
  int err = 0;
  return env_.SyncDirectory(dir, &err) || Fail(Status::FileError(dir, err, "sync the folder"));
}

std::string Store::Unfinished(uint64_t dataSize) {
  for (const char* ext : {"sqi", "sql"}) {
    std::string other = FindFile(ext);
    uint64_t size = other.empty() ? 0 : env_.Stat(other).size;
    if (size == 0) continue;
    return dataPath_ + " is damaged: " +
           (dataSize == 0 ? std::string("empty")
                          : std::to_string(dataSize) + " bytes, shorter than the " +
                                std::to_string(kBaseHeaderSize) + "-byte base header") +
           ", while " + other + " holds " + std::to_string(size) + " bytes";
  }
  return "";
}

bool Store::WriteNewHeader() {
  rawBase_ = NewBaseHeader(basePath_.substr(0, basePath_.size() - 1));
  base_ = DecodeBaseHeader(rawBase_);
  records_ = Index();
  return WriteSynced(*data_, 0, rawBase_.data(), rawBase_.size());
}

bool Store::OpenExisting() {
  Close();
  dataPath_ = FindFile("sqd");
  if (dataPath_.empty()) return Fail(Status::NotFound(basePath_ + "sqd", "no message base at " + path_));
  // A base another program is creating at this moment: wait (without the
  // lock, which the creator may want) until its header and index are there.
  indexPath_ = FindFile("sqi");
  for (int waited = 0; waited < std::min(lockTimeoutMs_, kCreationWaitMs) &&
                       (indexPath_.empty() || env_.Stat(dataPath_).size < kBaseHeaderSize);
       waited += kCreationPollMs) {
    env_.SleepMs(kCreationPollMs);
    indexPath_ = FindFile("sqi");
  }
  int err = 0;
  data_ = env_.Open(dataPath_, OpenMode::kReadWrite, &err);
  if (!data_) return Fail(Status::FileError(dataPath_, err, "open"));
  if (!data_->LockFirstByte(lockTimeoutMs_)) {
    if (data_->LastError() == EAGAIN)
      return Fail(Status::Busy(dataPath_, "the base is locked by another program"));
    return Fail(Status::FileError(dataPath_, data_->LastError(), "lock"));
  }
  // Read under the lock, so the files are as the last writer left them.
  uint64_t dataSize = 0;
  if (!Checked(*data_, data_->Size(&dataSize), "read the size of")) return false;
  if (indexPath_.empty()) indexPath_ = FindFile("sqi");
  return OpenIndexOfExisting(dataSize) && RemoveLeftovers() && LoadAndRepair();
}

bool Store::OpenIndexOfExisting(uint64_t dataSize) {
  int err = 0;
  if (dataSize < kBaseHeaderSize) {
    const std::string problem = Unfinished(dataSize);
    if (!problem.empty()) return Fail(Status::Damaged(dataPath_, problem));
    bool madeIndex = false;
    if (indexPath_.empty()) {
      indexPath_ = basePath_ + InCaseOf("sqi", dataPath_.substr(std::min(basePath_.size(), dataPath_.size())));
      index_ = env_.Open(indexPath_, OpenMode::kCreateExclusive, &err);
      madeIndex = index_ != nullptr;
    }
    if (!index_) index_ = env_.Open(indexPath_, OpenMode::kReadWrite, &err);
    if (!index_) return Fail(Status::FileError(indexPath_, err, "open"));
    return Checked(*index_, index_->Truncate(0), "truncate") && WriteNewHeader() &&
           (!madeIndex || SyncDir());
  }
  if (!Checked(*data_, ReadExact(*data_, 0, rawBase_.data(), rawBase_.size()), "read")) return false;
  base_ = DecodeBaseHeader(rawBase_);
  if (indexPath_.empty()) {
    // The index of a base that holds no message may have lost its name in
    // a power cut during the creation: it is made again.
    if (base_.numMessages != 0 || base_.firstFrame != 0 || base_.lastFrame != 0)
      return Fail(Status::Damaged(basePath_ + InCaseOf("sqi", dataPath_.substr(std::min(basePath_.size(), dataPath_.size()))), "the base lacks its index file"));
    indexPath_ = basePath_ + InCaseOf("sqi", dataPath_.substr(std::min(basePath_.size(), dataPath_.size())));
    index_ = env_.Open(indexPath_, OpenMode::kCreateExclusive, &err);
    if (!index_) return Fail(Status::FileError(indexPath_, err, "create"));
    return SyncDir();
  }
  index_ = env_.Open(indexPath_, OpenMode::kReadWrite, &err);
  return index_ || Fail(Status::FileError(indexPath_, err, "open"));
}

// The data file is locked under its hidden name, so a program that finds
// the data file finds a complete base, locked until this one is done.  A
// base another program is creating at this moment is opened when it is
// made.  An index left beside no data file is written over only when empty.
bool Store::Create() {
  std::string folder;
  int err = 0;
  if (!MakeDirectories(env_, ParentDirectory(basePath_), &folder, &err))
    return Fail(Status::FileError(folder, err, "make the folder"));
  if (!FindFile("sqd").empty()) return OpenExisting();
  const std::string leftIndex = FindFile("sqi");
  if (!leftIndex.empty() && env_.Stat(leftIndex).size != 0) {
    // An index with data: another program's base, named since the look
    // above, is opened; an index alone is never written over.
    if (!FindFile("sqd").empty()) return OpenExisting();
    return Fail(Status::Damaged(leftIndex, "this file holds data while the base has no data file"));
  }
  const std::string temp = HiddenPath("sqd");
  if (env_.Stat(temp).exists) {
    // Another creation running now (it holds the lock), or one that was
    // stopped, whose file is removed.
    auto other = env_.Open(temp, OpenMode::kReadWrite, &err);
    if (other && !other->LockFirstByte(0)) return WaitForCreation();
    other.reset();
    env_.Remove(temp, &err);
  }
  dataPath_ = basePath_ + "sqd";
  indexPath_ = leftIndex.empty() ? basePath_ + "sqi" : leftIndex;
  data_ = env_.Open(temp, OpenMode::kCreateExclusive, &err);
  if (!data_ && err == EEXIST) return WaitForCreation();
  if (!data_) return Fail(Status::FileError(dataPath_, err, "create"));
  // (Another creation that looks at the new file holds its lock for a
  // moment.)
  if (!data_->LockFirstByte(kCreationPollMs)) {
    Fail(data_->LastError() == EAGAIN ? Status::Busy(temp, "the base is locked by another program")
                                      : Status::FileError(temp, data_->LastError(), "lock"));
    return PublishCreation(leftIndex, "");
  }
  // Another creation's look for a stopped creation may have removed the
  // file between its making and its locking: then the name is gone, or is
  // that creation's own file, which it soon fills.  The name is left to
  // its maker and its base opened.
  const FileInfo info = env_.Stat(temp);
  if (!info.exists || info.size != 0) {
    data_.reset();
    return WaitForCreation();
  }
  return PublishCreation(leftIndex, temp);
}

// With temp empty, the creation failed before the header: what was made
// goes again (or, when another program made the base first, its base is
// opened).  Nothing is named yet but the index.
bool Store::PublishCreation(const std::string& leftIndex, const std::string& temp) {
  const std::string hidden = HiddenPath("sqd");
  bool madeIndex = false;
  auto undo = [&] {
    Close();
    int e = 0;
    env_.Remove(hidden, &e);
    const bool theirs = !FindFile("sqd").empty();
    if (madeIndex && !theirs) env_.Remove(indexPath_, &e);
    SyncDir();
    if (!theirs) return false;
    failure_ = Status::Ok();
    return OpenExisting();
  };
  if (temp.empty() || !WriteNewHeader()) return undo();
  int err = 0;
  index_ = env_.Open(indexPath_, leftIndex.empty() ? OpenMode::kCreateExclusive : OpenMode::kReadWrite, &err);
  madeIndex = index_ && leftIndex.empty();
  if (!index_) Fail(Status::FileError(indexPath_, err, "create"));
  if (!index_ || !Checked(*index_, index_->Truncate(0), "truncate") ||
      !Checked(*index_, index_->Sync(), "sync"))
    return undo();
  // Published by a link, which fails when the name exists; a file system
  // without hard links renames, when the name is still free.
  if (!FindFile("sqd").empty()) return undo();
  const bool linked = env_.Link(temp, dataPath_, &err);
  const bool named =
      linked || (err != EEXIST && !env_.Stat(dataPath_).exists && env_.Rename(temp, dataPath_, &err));
  if (!named) {
    Fail(Status::FileError(dataPath_, err, "name"));
    return undo();
  }
  // One sync of the directory makes the index, the data file and the
  // removal of the hidden name durable together.
  if (linked) env_.Remove(temp, &err);
  if (SyncDir()) return true;
  // The base is whole on the disk and stays; nothing is reported made.
  data_.reset();
  return false;
}

bool Store::WaitForCreation() {
  Close();
  for (int w = 0; w < lockTimeoutMs_ && FindFile("sqd").empty(); w += kCreationPollMs)
    env_.SleepMs(kCreationPollMs);
  return OpenExisting();
}

}  // namespace vex::squish

namespace vex {

Status OpenSquish(Env& env, const std::string& path, BaseMode mode, const OpenOptions& options,
                  std::unique_ptr<Base>* base) {
  base->reset();
  auto made = std::make_unique<squish::Store>(env, path, mode == BaseMode::kReadOnly,
                                              options.lockTimeoutMs);
  Status st = made->Open();
  if (st.ok()) *base = std::move(made);
  return st;
}

}  // namespace vex
