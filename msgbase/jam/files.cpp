// Finding, opening, locking and creating the four files of a JAM base.
//
// Sync points of a creation.  Data is synced before a name publishes it,
// and the folder is synced after every name made or removed.  "Next open"
// is what the next open does, under the lock, when the power goes right
// after the step (unsynced writes lost, torn or reordered; names not yet
// synced lost).
//  step                          | file            | durable after it             | next open
//  1 make missing directories    | parents         | each, after its parent sync  | nothing there: creates
//  2 create .area.jhr-new, write | temp            | the whole base header        | no .jhr: removes the
//    the base header, sync       |                 |                              | temp, creates again
//  3 create .jdx .jdt .jlr, sync | directory       | the three empty files        | the same; empty files
//    the directory               |                 |                              | are taken over
//  4 link the temp as .jhr (or   | directory       | the .jhr name: the base      | opens the base; removes
//    rename it), remove the      |                 | exists, empty, and is whole  | a temp left beside it
//    temp, sync the directory    |                 |                              |
// The header file is made whole and locked under a hidden name and named
// last: a program that finds it finds a complete base, locked until the
// creator is done.
#include <algorithm>
#include <cctype>
#include <cerrno>

#include "msgbase/base_dirs.h"
#include "msgbase/jam/store.h"
#include "platform/path.h"

namespace vex::jam {

namespace {

// How often and how long an open looks again at a base another program is
// creating without holding its lock (a creator that holds the lock is
// waited for by the lock).
constexpr int kCreationPollMs = 50;
constexpr int kCreationWaitMs = 250;
constexpr int kCreationSettleMs = 100;
const char* const kExtensions[] = {"jhr", "jdx", "jdt", "jlr"};


std::string CreationTempName(const std::string& base) {
  return JoinPath(FolderOf(base), "." + NameOf(base) + "jhr-new");
}

Status Locked(const File& file, const std::string& path) {
  if (file.LastError() == EAGAIN) return Status::Busy(path, "the base is locked by another program");
  return Status::FileError(path, file.LastError(), "lock");
}

void RemoveLeftCreationTemp(Env& env, const std::string& base) {
  // The hidden header file of a creation that was stopped after naming the
  // base (or before): nobody holds its lock, so nobody is creating now.
  const std::string temp = CreationTempName(base);
  if (!env.Stat(temp).exists) return;
  int err = 0;
  auto file = env.Open(temp, OpenMode::kReadWrite, &err);
  if (!file || !file->LockFirstByte(0)) return;
  if (env.Remove(temp, &err)) env.SyncDirectory(ParentDirectory(base), &err);
}

// The header file, found, waited for while another program creates it, and
// locked.
Status OpenHeaderFile(Env& env, const std::string& base, int lockTimeoutMs, Files* f) {
  const std::string jhr = FindBaseFile(env, base, "jhr");
  if (jhr.empty()) return Status::NotFound(base + "jhr", "the base has no header file");
  for (int waited = 0; waited < std::min(lockTimeoutMs, kCreationWaitMs) &&
                       (env.Stat(jhr).size < kBaseHeaderSize || FindBaseFile(env, base, "jdx").empty() ||
                        FindBaseFile(env, base, "jdt").empty());
       waited += kCreationPollMs)
    env.SleepMs(kCreationPollMs);
  int err = 0;
  f->file[kJhr] = env.Open(jhr, OpenMode::kReadWrite, &err);
  if (!f->file[kJhr]) return Status::FileError(jhr, err, "open");
  if (!f->file[kJhr]->LockFirstByte(lockTimeoutMs)) return Locked(*f->file[kJhr], jhr);
  f->path[kJhr] = jhr;
  return Status::Ok();
}

// Opens file `id`, creating it empty when `create` allows and it is missing.
Status OpenOther(Env& env, const std::string& base, int id, bool create, Files* f) {
  std::string p = FindBaseFile(env, base, kExtensions[id]);
  int err = 0;
  if (p.empty() && create) {
    p = base + InCaseOf(kExtensions[id], f->path[kJhr].substr(base.size()));
    f->file[id] = env.Open(p, OpenMode::kCreateExclusive, &err);
    f->namesMade = f->namesMade || f->file[id] != nullptr;
  }
  if (p.empty()) return Status::Damaged(base + kExtensions[id], "the base lacks this file");
  if (!f->file[id]) f->file[id] = env.Open(p, OpenMode::kReadWrite, &err);
  if (!f->file[id]) return Status::FileError(p, err, "open");
  f->path[id] = p;
  return Status::Ok();
}

// A header file shorter than the base header is a creation that never
// finished, finished here under the lock, unless another file of the base
// holds data: that is damage, and nothing is written.
Status FinishCreation(Env& env, const std::string& base, Files* f) {
  for (int id = kJdx; id < kFileCount; ++id) {
    const std::string p = FindBaseFile(env, base, kExtensions[id]);
    if (p.empty() || env.Stat(p).size == 0) continue;
    return Damage(f->path[kJhr], "it lacks the base header while " + p + " holds data");
  }
  for (int id = kJdx; id <= kJdt; ++id) {
    const Status st = OpenOther(env, base, id, true, f);
    if (!st.ok()) return st;
  }
  BaseHeader header;
  header.dateCreated = UnixTime(ToMsgDateTime(env.Now()));
  const std::string bytes = header.Encode();
  if (!f->file[kJhr]->WriteAt(0, bytes.data(), bytes.size()))
    return Status::FileError(f->path[kJhr], f->file[kJhr]->LastError(), "write the base header to");
  if (!f->file[kJhr]->Sync()) return Status::FileError(f->path[kJhr], f->file[kJhr]->LastError(), "sync");
  return Status::Ok();
}

// Another program is making the base: it is opened once its header file is
// there.
Status WaitForOther(Env& env, const std::string& base, int lockTimeoutMs) {
  for (int w = 0; w < lockTimeoutMs && FindBaseFile(env, base, "jhr").empty(); w += kCreationPollMs)
    env.SleepMs(kCreationPollMs);
  return Status::Ok();
}

// Status::Ok when nothing is in the way, NotFound when another program's
// header file appeared (its base is opened), Damaged for a file that holds
// data while the base has no header file.
Status FindFileInTheWay(Env& env, const std::string& base) {
  for (int id = kJhr; id < kFileCount; ++id) {
    const std::string p = FindBaseFile(env, base, kExtensions[id]);
    if (p.empty() || (p == base + kExtensions[id] && env.Stat(p).size == 0)) continue;
    if (id == kJhr || !FindBaseFile(env, base, "jhr").empty())
      return Status::NotFound(p, "another program made the base");
    return Status::Damaged(p, "this file holds data while the base has no header file");
  }
  return Status::Ok();
}

// Steps 2 to 4 of a creation, with the temp made and locked in f.
Status MakeFiles(Env& env, const std::string& base, const std::string& temp, Files* f) {
  const std::string dir = ParentDirectory(base);
  BaseHeader header;
  header.dateCreated = UnixTime(ToMsgDateTime(env.Now()));
  const std::string bytes = header.Encode();
  File& jhr = *f->file[kJhr];
  if (!jhr.WriteAt(0, bytes.data(), bytes.size())) return Status::FileError(temp, jhr.LastError(), "write");
  if (!jhr.Sync()) return Status::FileError(temp, jhr.LastError(), "sync");
  int err = 0;
  for (int id = kJdx; id < kFileCount; ++id) {
    const std::string p = base + kExtensions[id];
    f->file[id] = env.Open(p, OpenMode::kCreateExclusive, &err);
    uint64_t size = 0;
    if (!f->file[id] && err == EEXIST) {
      // An empty file left by a creation that did not finish.
      f->file[id] = env.Open(p, OpenMode::kReadWrite, &err);
      if (!f->file[id] || !f->file[id]->Size(&size) || size != 0)
        return Status::NotFound(p, "another program made the base");
    }
    if (!f->file[id]) return Status::FileError(p, err, "create");
    f->path[id] = p;
  }
  // The three files are there for good before the header file names the base.
  if (!env.SyncDirectory(dir, &err)) return Status::FileError(dir, err, "sync the folder");
  const std::string name = base + kExtensions[kJhr];
  bool named = env.Link(temp, name, &err);
  if (!named && err == EEXIST) return Status::NotFound(name, "another program made the base");
  // A file system without hard links: a rename, when the name is still free.
  if (!named) named = !env.Stat(name).exists && env.Rename(temp, name, &err);
  if (!named) return Status::FileError(name, err, "name");
  env.Remove(temp, &err);
  // Until this sync the base may vanish with the power: it is not reported
  // made before.  When the sync fails the whole base is left for the next open.
  if (!env.SyncDirectory(dir, &err)) return Status::FileError(dir, err, "sync the folder");
  return Status::Ok();
}

}  // namespace

std::string WithDot(const std::string& path) {
  return !path.empty() && path.back() == '.' ? path : path + ".";
}


Status ReadFully(const Files& files, int id, uint64_t offset, size_t n, const std::string& what,
                 std::string* out) {
  File& f = *files.file[id];
  out->assign(n, '\0');
  for (size_t got = 0; got < n;) {
    const long long r = f.ReadAt(offset + got, out->data() + got, n - got);
    if (r < 0) return Status::FileError(files.path[id], f.LastError(), "read " + what + " from");
    if (r == 0)
      return Damage(files.path[id], "it ends at offset " + std::to_string(offset + got) + ", inside " + what);
    got += static_cast<size_t>(r);
  }
  return Status::Ok();
}

Status FileSize(const Files& files, int id, uint64_t* size) {
  if (files.file[id]->Size(size)) return Status::Ok();
  return Status::FileError(files.path[id], files.file[id]->LastError(), "read the size of");
}

Status OpenLocked(Env& env, const std::string& base, int lockTimeoutMs, Files* f, BaseHeader* header) {
  RemoveLeftCreationTemp(env, base);
  Status st = OpenHeaderFile(env, base, lockTimeoutMs, f);
  uint64_t jhrSize = 0;
  if (st.ok()) st = FileSize(*f, kJhr, &jhrSize);
  if (st.ok() && jhrSize < kBaseHeaderSize) st = FinishCreation(env, base, f);
  // A header file that holds no message header yet: an index and text file
  // another creation did not get to are made empty.
  for (int id = kJdx; id <= kJdt && st.ok(); ++id)
    if (!f->file[id]) st = OpenOther(env, base, id, jhrSize <= kBaseHeaderSize, f);
  // The base header is read only once the lock is held.
  std::string bytes;
  if (st.ok()) st = ReadFully(*f, kJhr, 0, kBaseHeaderSize, "the base header", &bytes);
  if (st.ok() && !header->Decode(bytes))
    st = Damage(f->path[kJhr], "it does not begin with the JAM signature");
  // A base without its last-read file gets a new empty one, named in the
  // case of its header file.
  if (st.ok()) st = OpenOther(env, base, kJlr, true, f);
  int err = 0;
  const std::string dir = ParentDirectory(base);
  if (st.ok() && f->namesMade && !env.SyncDirectory(dir, &err)) st = Status::FileError(dir, err, "sync the folder");
  if (st.ok()) st = Repair(*f, header);
  if (!st.ok()) *f = Files{};
  return st;
}

Status CreateBase(Env& env, const std::string& base, int lockTimeoutMs) {
  const std::string temp = CreationTempName(base);
  const std::string dir = ParentDirectory(base);
  // Nothing is ever created over a file that exists; a base another program
  // is creating at this moment is opened when it is made.
  if (!FindBaseFile(env, base, "jhr").empty()) return Status::Ok();
  int err = 0;
  if (env.Stat(temp).exists) {
    // Another creation running now (it holds the lock), or one that was
    // killed, whose empty files are taken over.
    auto other = env.Open(temp, OpenMode::kReadWrite, &err);
    if (other && !other->LockFirstByte(0)) return WaitForOther(env, base, lockTimeoutMs);
    other.reset();
    if (env.Remove(temp, &err)) env.SyncDirectory(dir, &err);
  }
  Status st = FindFileInTheWay(env, base);
  if (st.IsNotFound()) return WaitForOther(env, base, lockTimeoutMs);
  if (!st.ok()) return st;
  std::string folder;
  if (!MakeDirectories(env, dir, &folder, &err)) return Status::FileError(folder, err, "make the folder");
  Files f;
  f.file[kJhr] = env.Open(temp, OpenMode::kCreateExclusive, &err);
  // Another program began the same creation a moment ago (its hidden header
  // file is there, or it holds the lock of this one while it looks for a
  // stopped creation's): its base is opened once it is named.
  if (!f.file[kJhr] && err == EEXIST) return WaitForOther(env, base, lockTimeoutMs);
  if (!f.file[kJhr]) return Status::FileError(base + kExtensions[kJhr], err, "create");
  if (!f.file[kJhr]->LockFirstByte(0)) {
    if (f.file[kJhr]->LastError() == EAGAIN) return WaitForOther(env, base, lockTimeoutMs);
    return Locked(*f.file[kJhr], temp);
  }
  st = MakeFiles(env, base, temp, &f);
  if (st.IsNotFound()) {
    env.Remove(temp, &err);
    f = Files{};
    return WaitForOther(env, base, lockTimeoutMs);
  }
  if (!st.ok() && FindBaseFile(env, base, "jhr").empty()) {
    // Nothing named the base: what this creation made goes.
    for (int id = kJdx; id < kFileCount; ++id)
      if (!f.path[id].empty()) env.Remove(f.path[id], &err);
    env.Remove(temp, &err);
    return st;
  }
  if (!st.ok()) return st;
  // A program that looked for the base a moment before it was named may
  // still create it over this one (without heeding the lock): it is given
  // the time to, before anything is written, and the base is then opened as
  // it stands.
  f = Files{};
  env.SleepMs(kCreationSettleMs);
  return Status::Ok();
}

Status OpenReadOnly(Env& env, const std::string& path, Files* f, BaseHeader* header) {
  const std::string base = WithDot(path);
  const std::string jhr = FindBaseFile(env, base, "jhr");
  if (jhr.empty())
    return Status::NotFound(base + "jhr", "no message base at " + path + ": " + base + "jhr does not exist");
  int err = 0;
  f->file[kJhr] = env.Open(jhr, OpenMode::kRead, &err);
  if (!f->file[kJhr]) return Status::FileError(jhr, err, "open");
  f->path[kJhr] = jhr;
  uint64_t size = 0;
  Status st = FileSize(*f, kJhr, &size);
  if (!st.ok()) return st;
  if (size == 0) {
    // A header file still empty belongs to a base being created: it holds no
    // message yet, unless its index or text does (then it is damaged).
    for (const char* ext : {"jdx", "jdt"}) {
      const std::string p = FindBaseFile(env, base, ext);
      if (!p.empty() && env.Stat(p).size != 0)
        return Damage(jhr, "it is empty while " + p + " holds messages");
    }
    return Status::Ok();
  }
  if (size < kBaseHeaderSize)
    return Damage(jhr, std::to_string(size) + " bytes, shorter than the " + std::to_string(kBaseHeaderSize) +
                           "-byte base header");
  std::string bytes;
  st = ReadFully(*f, kJhr, 0, kBaseHeaderSize, "the base header", &bytes);
  if (!st.ok()) return st;
  if (!header->Decode(bytes)) return Damage(jhr, "it does not begin with the JAM signature");
  if (header->baseMsgNum > uint32_t{INT32_MAX})
    return Damage(jhr, "its first message number " + std::to_string(header->baseMsgNum) + " is beyond 2147483647");
  for (int id = kJdx; id <= kJdt; ++id) {
    const std::string p = FindBaseFile(env, base, kExtensions[id]);
    if (p.empty())
      return Status::Damaged(base + kExtensions[id], "the JAM base " + path + " is damaged: " + base +
                                                         kExtensions[id] + " does not exist");
    f->file[id] = env.Open(p, OpenMode::kRead, &err);
    if (!f->file[id]) return Status::FileError(p, err, "open");
    f->path[id] = p;
  }
  return Status::Ok();
}

}  // namespace vex::jam
