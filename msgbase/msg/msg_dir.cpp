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
//  step                          | file            | durable after it             | next post
//  1 make missing directories    | parents         | each, after its parent sync  | nothing there: made
//  2 create .vexstat-K.tmp,      | temp            | the whole message, under a   | removes the temp (its
//    write the message, sync     |                 | hidden name                  | lock is free) when it
//                                |                 |                              | is in the way
//  3 link the temp as N.msg      | directory       | nothing more until step 4:   | N.msg whole or absent;
//    (first free N), remove the  |                 | N.msg may still be lost, the | a temp left is removed
//    temp, sync the directory    |                 | temp may still be there      | when it is in the way
//  4 (after the sync)            |                 | N.msg: reported posted       | N.msg is there
// Without hard links, N.msg is created exclusively, written and synced,
// then the directory is synced: until that sync N.msg may be lost, or be
// there short; the reader takes a file shorter than its header as damage.
// Deleting a message removes its file and syncs the directory.
#include "msgbase/msg/msg_dir.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <map>

#include "msgbase/base_dirs.h"
#include "msgbase/msg/format.h"
#include "msgbase/msg/temp_files.h"
#include "util/number.h"

namespace vex {

namespace {

// A new message looks at most this many numbers further when other programs
// take numbers at the same time.
constexpr int kCreateAttempts = 1000;

// Number 1 is kept by other programs as the high-water mark.
constexpr int32_t kFirstNewNumber = 2;

// Reads the file to its end.  sizeHint, the size the directory listing
// gave (0 when it gave none), is read in one step when the file has not
// grown since; no size is asked of the file.
bool ReadAll(File& file, uint64_t sizeHint, std::string& out) {
  out.clear();
  size_t chunk = sizeHint == 0 ? size_t{65536}
                               : static_cast<size_t>(std::min<uint64_t>(sizeHint, 1u << 30)) + 1;
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

class MsgDir final : public Base {
 public:
  MsgDir(Env& env, std::string path, bool readOnly)
      : env_(env), path_(std::move(path)), readOnly_(readOnly) {
    dir_ = !path_.empty() && path_.back() == '/' ? path_ : path_ + "/";
    folder_ = dir_.substr(0, dir_.size() - 1);
  }

  Status Open();
  Status List(std::vector<uint32_t>* numbers) override;
  Status Read(uint32_t number, Message* message) override;
  Status Append(const Message& message, uint32_t* number) override;
  Status Delete(uint32_t number) override;
  Status Close() override {
    open_ = false;
    return Status::Ok();
  }

 private:
  Status Closed() const { return Status::Refused(path_, "the base is closed"); }
  // The file of message `number`, or NotFound.
  Status Find(uint32_t number, std::map<int32_t, std::string>::iterator* at);
  // Keeps the first failure of a call; what fails after it (putting things
  // back) does not replace it.  Returns false, for `return Fail(...)`.
  bool Fail(Status st) {
    if (failure_.ok()) failure_ = std::move(st);
    return false;
  }
  bool Checked(const File& f, bool ok, const std::string& what) {
    return ok || Fail(Status::FileError(f.Path(), f.LastError(), what));
  }

  // Finds every message file: the part of the name before the first "."
  // is its number.  Where two files give the same number, the one with a
  // lower-case extension wins.
  void Scan();
  void Take(const DirEntry& e);
  // The names of a base open for writing, listed the first time they are
  // needed.
  void ListNames();
  // Writes a new message under a temporary name and links it to the first
  // free number from next_ on; *number is the one it got.
  bool Publish(const std::string& bytes, uint32_t* number);
  // False when the file named path is not the writer's own file `own`
  // (which holds bytes) but another one.
  bool NameHoldsOwnBytes(const std::string& path, const std::string& bytes, File& own);
  // Without hard links: the number claimed by an exclusive create.
  bool CopyTo(const std::string& name, const std::string& bytes, std::unique_ptr<File>& file);

  Env& env_;
  std::string path_;    // as the area names it
  std::string dir_;     // with a closing slash
  std::string folder_;  // without it
  bool readOnly_;
  bool open_ = false;
  // A write failed: nothing more is appended until the base is reopened.
  bool writeFailed_ = false;
  Status failure_;
  bool listed_ = false;                      // present_ holds every name
  std::map<int32_t, std::string> present_;  // number -> file name
  std::map<int32_t, uint64_t> sizes_;        // number -> size when listed
  int32_t highest_ = 0;
  int32_t next_ = 0;  // the number a new message tries first
  int copyErr_ = 0;   // why the last CopyTo failed
};

Status MsgDir::Open() {
  if (!env_.Stat(dir_).isDirectory) {
    if (readOnly_) {
      // A file of that name is looked at without the closing slash.
      const FileInfo info = env_.Stat(folder_);
      return Status::NotFound(path_, info.exists ? path_ + " is not a directory"
                                                 : "no message base at " + path_ +
                                                       ": the directory does not exist");
    }
    // Every missing parent first, from the top down, each made durable in
    // its parent.
    std::string failed;
    int err = 0;
    if (!MakeDirectories(env_, folder_, &failed, &err))
      Fail(Status::FileError(failed, err, "make the folder"));
    if (!env_.Stat(dir_).isDirectory) {
      Fail(Status::FileError(folder_, ENOTDIR, "use as a folder"));
      return failure_;
    }
    failure_ = Status::Ok();
  }
  Scan();
  open_ = true;
  return Status::Ok();
}

void MsgDir::Scan() {
  present_.clear();
  sizes_.clear();
  highest_ = 0;
  // A reader reads every message and takes the sizes the listing gives; a
  // post needs only the highest number, which the folder's listing holds
  // without a look at each file.  The names of a base open for writing are
  // kept only once a caller asks for them.
  listed_ = readOnly_;
  if (!readOnly_) {
    for (const std::string& name : env_.SearchNames(dir_ + "*.msg")) {
      int32_t n = 0;
      if (ParseNumber(name.substr(0, name.find('.')), &n)) highest_ = std::max(highest_, n);
    }
    return;
  }
  for (const DirEntry& e : env_.Search(dir_ + "*.msg")) Take(e);
}

void MsgDir::Take(const DirEntry& e) {
  int32_t n = 0;
  if (!ParseNumber(e.name.substr(0, e.name.find('.')), &n) || n <= 0) return;
  auto it = present_.find(n);
  if (it == present_.end()) {
    present_[n] = e.name;
    if (e.size != 0) sizes_[n] = e.size;
  } else if (!it->second.ends_with(".msg") && e.name.ends_with(".msg")) {
    it->second = e.name;
    if (e.size != 0) sizes_[n] = e.size;
  }
  highest_ = std::max(highest_, n);
}

void MsgDir::ListNames() {
  if (listed_) return;
  listed_ = true;
  for (std::string& name : env_.SearchNames(dir_ + "*.msg")) Take(DirEntry{std::move(name), FileTime{}, 0});
}

Status MsgDir::List(std::vector<uint32_t>* numbers) {
  numbers->clear();
  if (!open_) return Closed();
  ListNames();
  for (const auto& [n, name] : present_) numbers->push_back(static_cast<uint32_t>(n));
  return Status::Ok();
}

Status MsgDir::Find(uint32_t number, std::map<int32_t, std::string>::iterator* at) {
  ListNames();
  *at = number > INT32_MAX ? present_.end() : present_.find(static_cast<int32_t>(number));
  if (*at == present_.end()) return Status::NotFound(path_, "no message " + std::to_string(number));
  return Status::Ok();
}

Status MsgDir::Read(uint32_t number, Message* message) {
  *message = Message{};
  if (!open_) return Closed();
  std::map<int32_t, std::string>::iterator at;
  if (Status st = Find(number, &at); !st.ok()) return st;
  const std::string file = dir_ + at->second;
  int err = 0;
  std::unique_ptr<File> f = env_.Open(file, OpenMode::kRead, &err);
  if (!f) return Status::Damaged(path_, file + " cannot be opened: " + SystemErrorText(err));
  const auto size = sizes_.find(at->first);
  std::string bytes;
  if (!ReadAll(*f, size == sizes_.end() ? 0 : size->second, bytes))
    return Status::Damaged(path_, file + " cannot be read");
  if (bytes.size() < msg::kHeaderSize)
    return Status::Damaged(path_, file + " is damaged: " + std::to_string(bytes.size()) +
                                      " bytes, shorter than the " +
                                      std::to_string(msg::kHeaderSize) + "-byte message header");
  *message = msg::DecodeMessage(bytes);
  return Status::Ok();
}

Status MsgDir::Append(const Message& message, uint32_t* number) {
  *number = 0;
  if (!open_) return Closed();
  if (readOnly_) return Status::Refused(path_, "the base is open for reading only");
  // A write that failed may have left files that only the next open sorts
  // out: nothing more is written until then.
  if (writeFailed_)
    return Status::Refused(path_, "a write failed; the base takes no message until it is opened again");
  if (highest_ == INT32_MAX) return Status::Refused(path_, "the base takes no new message");
  next_ = std::max(highest_ + 1, kFirstNewNumber);
  highest_ = next_;
  failure_ = Status::Ok();
  if (Publish(msg::EncodeMessage(message), number)) return Status::Ok();
  writeFailed_ = true;
  return failure_;
}

Status MsgDir::Delete(uint32_t number) {
  if (!open_) return Closed();
  if (readOnly_) return Status::Refused(path_, "the base is open for reading only");
  std::map<int32_t, std::string>::iterator at;
  if (Status st = Find(number, &at); !st.ok()) return st;
  const std::string file = dir_ + at->second;
  int err = 0;
  if (!env_.Remove(file, &err)) return Status::FileError(file, err, "remove");
  present_.erase(at);
  if (!env_.SyncDirectory(dir_, &err)) return Status::FileError(folder_, err, "sync the folder");
  return Status::Ok();
}

bool MsgDir::Publish(const std::string& bytes, uint32_t* number) {
  for (int round = 0; round < 3; ++round) {
    std::string temp;
    int err = 0;
    std::unique_ptr<File> file = msg::CreateTemp(env_, dir_, &temp, &err);
    if (!file) return Fail(Status::FileError(folder_, err, "create a message in"));
    if (!Checked(*file, file->WriteAt(0, bytes.data(), bytes.size()), "write") ||
        !Checked(*file, file->Sync(), "sync")) {
      file.reset();
      env_.Remove(temp, &err);
      return false;
    }
    int64_t n = next_;
    bool vanished = false, overwritten = false, swapped = false;
    for (int attempt = 0; attempt < kCreateAttempts && n <= INT32_MAX; ++attempt, ++n) {
      // Another program may hold the same number in upper case.
      if (env_.Stat(dir_ + std::to_string(n) + ".MSG").exists) continue;
      const std::string name = std::to_string(n) + ".msg";
      err = 0;
      bool linked = env_.Link(temp, dir_ + name, &err);
      if (!linked && err == EEXIST) continue;
      vanished = !linked && err == ENOENT;
      const bool byLink = linked;
      if (!linked && !vanished) {
        // A file system without hard links: the number is claimed by an
        // exclusive create and filled the old way.
        linked = CopyTo(name, bytes, file);
        if (!linked && copyErr_ == EEXIST) continue;
      }
      if (!linked) {
        if (!vanished) Fail(Status::FileError(dir_ + name, copyErr_, "create"));
        break;
      }
      // The temporary's name may no longer be this writer's file: another
      // program's look for stale temporaries removed it before it was
      // locked, and that program made its own under the same name.  The
      // number then holds the other program's message, which that program
      // publishes itself: the number is given back (the temporary's name
      // is left to its owner) and the message written again.
      if (byLink && !NameHoldsOwnBytes(dir_ + name, bytes, *file)) {
        env_.Remove(dir_ + name, &err);
        env_.SyncDirectory(dir_, &err);
        swapped = true;
        break;
      }
      env_.Remove(temp, &err);
      // Until this sync the new name may vanish with the power: the
      // message is not reported stored before it.
      if (!env_.SyncDirectory(dir_, &err))
        return Fail(Status::FileError(dir_ + name, err, "sync the folder of"));
      next_ = static_cast<int32_t>(n);
      highest_ = std::max(highest_, next_);
      present_[next_] = name;
      sizes_[next_] = bytes.size();
      // A program that chose the same number before the link and writes
      // without exclusive creation empties the file and fills it with its
      // own message: the message is written again under the next number.
      // (Only the names, subject, date and text are compared: a program
      // that marks the message read or sent changes the header words.)
      std::string back;
      if (!ReadAll(*file, bytes.size(), back)) return Checked(*file, false, "read");
      if (back.size() != bytes.size() || back.compare(0, msg::kTimesRead, bytes, 0, msg::kTimesRead) != 0 ||
          back.compare(msg::kHeaderSize, std::string::npos, bytes, msg::kHeaderSize) != 0) {
        overwritten = true;
        ++next_;
        break;
      }
      *number = static_cast<uint32_t>(next_);
      return true;
    }
    file.reset();
    if (!overwritten && !swapped) env_.Remove(temp, &err);
    // A temporary removed under us (taken for a stale one) is written again.
    if (!vanished && !overwritten && !swapped) {
      return Fail(Status::IoError(folder_, EEXIST, "no free message number among the next " +
                                                       std::to_string(kCreateAttempts)));
    }
  }
  return Fail(Status::IoError(folder_, 0, "other programs took the new message's file three times"));
}

bool MsgDir::NameHoldsOwnBytes(const std::string& path, const std::string& bytes, File& own) {
  int err = 0;
  std::unique_ptr<File> named = env_.Open(path, OpenMode::kRead, &err);
  std::string there;
  if (!named || !ReadAll(*named, bytes.size(), there) || there == bytes) return true;
  // A name that differs from the writer's own file shows another file;
  // one that agrees with it was written over (and is dealt with as such).
  std::string mine;
  return !ReadAll(own, bytes.size(), mine) || mine != bytes;
}

bool MsgDir::CopyTo(const std::string& name, const std::string& bytes, std::unique_ptr<File>& file) {
  copyErr_ = 0;
  auto out = env_.Open(dir_ + name, OpenMode::kCreateExclusive, &copyErr_);
  if (!out) return false;
  if (out->WriteAt(0, bytes.data(), bytes.size()) && out->Sync()) {
    file = std::move(out);
    return true;
  }
  const int why = out->LastError();
  out.reset();
  int err = 0;
  env_.Remove(dir_ + name, &err);
  copyErr_ = why != 0 && why != EEXIST ? why : EIO;
  return false;
}

}  // namespace

Status OpenMsgDir(Env& env, const std::string& path, BaseMode mode, std::unique_ptr<Base>* base) {
  base->reset();
  auto made = std::make_unique<MsgDir>(env, path, mode == BaseMode::kReadOnly);
  Status st = made->Open();
  if (st.ok()) *base = std::move(made);
  return st;
}

}  // namespace vex
