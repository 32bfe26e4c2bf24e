#include "testenv/mem_env.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/path.h"
#include "platform/wildcard.h"

namespace vex {

FileTime ToFileTime(const ClockTime& t) {
  FileTime ft;
  if (t.year < 1980) return ft;
  ft.year = t.year;
  ft.month = t.month;
  ft.day = t.day;
  ft.hour = t.hour;
  ft.minute = t.minute;
  ft.second = t.second & ~1;
  if (ft.second > 58) ft.second = 58;
  return ft;
}

class MemFile : public File {
 public:
  MemFile(MemEnv* env, std::shared_ptr<MemEnv::Node> node, std::string path,
          bool readable, bool writable, bool append)
      : env_(env),
        node_(std::move(node)),
        path_(std::move(path)),
        readable_(readable),
        writable_(writable),
        append_(append) {
    ++env_->openFiles_;
  }
  ~MemFile() override {
    if (node_->lockHolder == this) node_->lockHolder = nullptr;
    --env_->openFiles_;
  }

  long long ReadAt(uint64_t offset, void* buf, size_t n) override {
    if (!readable_) {
      Fail(EBADF);
      return -1;
    }
    const std::string& d = node_->data;
    if (offset >= d.size()) return 0;
    size_t count = std::min<uint64_t>(n, d.size() - offset);
    std::memcpy(buf, d.data() + offset, count);
    return static_cast<long long>(count);
  }

  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (!writable_) return Fail(EBADF);
    std::string& d = node_->data;
    if (append_) offset = d.size();
    if (offset + n > d.size()) d.resize(offset + n, '\0');
    if (n > 0) std::memcpy(d.data() + offset, buf, n);
    node_->mtime = ToFileTime(env_->Now());
    node_->unsynced = true;
    return true;
  }

  bool Append(const void* buf, size_t n) override {
    return WriteAt(node_->data.size(), buf, n);
  }

  bool Size(uint64_t* size) override {
    *size = node_->data.size();
    return true;
  }

  bool Truncate(uint64_t size) override {
    if (!writable_) return Fail(EINVAL);
    node_->data.resize(size, '\0');
    node_->mtime = ToFileTime(env_->Now());
    node_->unsynced = true;
    return true;
  }

  bool Sync() override {
    ++node_->syncs;
    node_->unsynced = false;
    return true;
  }

  bool SetMode(uint32_t mode) override {
    if (!writable_) return Fail(EBADF);
    node_->mode = mode & 07777;
    return true;
  }

  bool ModTime(FileTime* t) override {
    *t = node_->mtime;
    return true;
  }

  bool LockFirstByte(int /*timeoutMs*/) override {
    if (node_->lockHolder != nullptr && node_->lockHolder != this)
      return Fail(EAGAIN);
    node_->lockHolder = this;
    return true;
  }

  int LastError() const override { return lastError_; }
  const std::string& Path() const override { return path_; }

 private:
  bool Fail(int err) {
    lastError_ = err;
    return false;
  }

  MemEnv* env_;
  std::shared_ptr<MemEnv::Node> node_;
  std::string path_;
  bool readable_, writable_, append_;
  int lastError_ = 0;
};

MemEnv::MemEnv() {
  now_.year = 2024;
  now_.month = 3;
  now_.day = 15;
  now_.hour = 12;
  now_.weekday = 5;
}

MemEnv::~MemEnv() = default;

std::string MemEnv::Normalize(const std::string& path) {
  bool absolute = !path.empty() && path[0] == '/';
  std::string out = absolute ? "/" : "";
  size_t i = 0;
  while (i < path.size()) {
    size_t slash = path.find('/', i);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(i, slash - i);
    i = slash + 1;
    if (part.empty() || part == ".") continue;
    if (!out.empty() && out.back() != '/') out += '/';
    out += part;
  }
  return out;
}

std::string MemEnv::Parent(const std::string& norm) {
  return norm == "/" ? "" : Normalize(FolderOf(norm));
}

bool MemEnv::IsDir(const std::string& norm) const {
  return norm.empty() || norm == "/" || dirs_.count(norm) > 0;
}

int MemEnv::CheckParents(const std::string& norm) const {
  std::vector<std::string> chain;
  for (std::string p = Parent(norm); !p.empty() && p != "/"; p = Parent(p))
    chain.push_back(p);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (files_.count(*it)) return ENOTDIR;
    if (!dirs_.count(*it)) return ENOENT;
  }
  return 0;
}

void MemEnv::AddDirectory(const std::string& path) {
  std::string norm = Normalize(path);
  for (std::string p = norm; !p.empty() && p != "/"; p = Parent(p))
    dirs_.insert(p);
}

void MemEnv::SetFile(const std::string& path, std::string contents) {
  std::string norm = Normalize(path);
  AddDirectory(Parent(norm));
  auto node = std::make_shared<Node>();
  node->data = std::move(contents);
  node->mtime = ToFileTime(now_);
  files_[norm] = std::move(node);
}

std::string MemEnv::GetFile(const std::string& path) const {
  auto it = files_.find(Normalize(path));
  return it == files_.end() ? std::string() : it->second->data;
}

bool MemEnv::HasFile(const std::string& path) const {
  return files_.count(Normalize(path)) > 0;
}

bool MemEnv::HasDirectory(const std::string& path) const {
  return IsDir(Normalize(path));
}

void MemEnv::SetModTime(const std::string& path, const FileTime& t) {
  auto it = files_.find(Normalize(path));
  if (it != files_.end()) it->second->mtime = t;
}

std::vector<std::string> MemEnv::Files() const {
  std::vector<std::string> names;
  for (const auto& [name, node] : files_) names.push_back(name);
  return names;
}

int MemEnv::SyncCount(const std::string& path) const {
  auto it = files_.find(Normalize(path));
  return it == files_.end() ? 0 : it->second->syncs;
}

std::unique_ptr<File> MemEnv::Open(const std::string& path, OpenMode mode,
                                   int* err) {
  int dummy = 0;
  if (err == nullptr) err = &dummy;
  *err = 0;
  std::string norm = Normalize(path);
  if (path.empty()) {
    *err = ENOENT;
    return nullptr;
  }
  if (int e = CheckParents(norm)) {
    *err = e;
    return nullptr;
  }
  if (IsDir(norm)) {
    *err = EISDIR;
    return nullptr;
  }
  auto it = files_.find(norm);
  bool readable = mode != OpenMode::kWrite && mode != OpenMode::kAppend &&
                  mode != OpenMode::kCreateWriteOnly;
  bool writable = mode != OpenMode::kRead;
  switch (mode) {
    case OpenMode::kRead:
    case OpenMode::kReadWrite:
    case OpenMode::kWrite:
      if (it == files_.end()) {
        *err = ENOENT;
        return nullptr;
      }
      break;
    case OpenMode::kCreateExclusive:
      if (it != files_.end()) {
        *err = EEXIST;
        return nullptr;
      }
      [[fallthrough]];
    case OpenMode::kCreate:
    case OpenMode::kCreateWriteOnly:
      if (it == files_.end()) {
        it = files_.emplace(norm, std::make_shared<Node>()).first;
      } else {
        it->second->data.clear();
      }
      it->second->mtime = ToFileTime(now_);
      break;
    case OpenMode::kAppend:
      if (it == files_.end()) {
        it = files_.emplace(norm, std::make_shared<Node>()).first;
        it->second->mtime = ToFileTime(now_);
      }
      break;
  }
  return std::make_unique<MemFile>(this, it->second, path, readable, writable,
                                   mode == OpenMode::kAppend);
}

FileInfo MemEnv::Stat(const std::string& path) {
  FileInfo info;
  if (path.empty()) return info;
  std::string norm = Normalize(path);
  if (CheckParents(norm) != 0) return info;
  if (IsDir(norm)) {
    info.exists = true;
    info.isDirectory = true;
    return info;
  }
  auto it = files_.find(norm);
  if (it == files_.end()) return info;
  info.exists = true;
  info.size = it->second->data.size();
  info.mtime = it->second->mtime;
  info.mode = it->second->mode;
  info.owner = kUserId;
  return info;
}

bool MemEnv::ReadLink(const std::string& path, std::string* /*target*/,
                      int* err) {
  if (err) *err = Stat(path).exists ? EINVAL : ENOENT;
  return false;
}

uint32_t MemEnv::Mode(const std::string& path) const {
  auto it = files_.find(Normalize(path));
  return it == files_.end() ? 0 : it->second->mode;
}

void MemEnv::SetMode(const std::string& path, uint32_t mode) {
  auto it = files_.find(Normalize(path));
  if (it != files_.end()) it->second->mode = mode & 07777;
}

bool MemEnv::Remove(const std::string& path, int* err) {
  int dummy = 0;
  if (err == nullptr) err = &dummy;
  std::string norm = Normalize(path);
  int e = path.empty() ? ENOENT : CheckParents(norm);
  if (e == 0 && IsDir(norm)) e = EISDIR;
  if (e == 0 && files_.erase(norm) == 0) e = ENOENT;
  if (e != 0) {
    *err = e;
    return false;
  }
  return true;
}

bool MemEnv::Rename(const std::string& from, const std::string& to,
                    int* err) {
  int dummy = 0;
  if (err == nullptr) err = &dummy;
  std::string src = Normalize(from), dst = Normalize(to);
  int e = 0;
  if (from.empty() || to.empty()) e = ENOENT;
  if (e == 0) e = CheckParents(src);
  if (e == 0) e = CheckParents(dst);
  if (e != 0) {
    *err = e;
    return false;
  }
  if (src == dst && (files_.count(src) || IsDir(src))) return true;
  auto it = files_.find(src);
  if (it != files_.end()) {
    if (IsDir(dst)) {
      *err = EISDIR;
      return false;
    }
    std::shared_ptr<Node> node = it->second;
    if (node->unsynced) unsyncedRenames_.push_back(dst);
    files_.erase(it);
    files_[dst] = std::move(node);
    return true;
  }
  if (!dirs_.count(src)) {
    *err = ENOENT;
    return false;
  }
  // A directory: the target must not exist (or be an empty directory), and
  // it cannot move into itself.
  if (files_.count(dst)) {
    *err = ENOTDIR;
    return false;
  }
  std::string srcPrefix = src + "/";
  if (dst.compare(0, srcPrefix.size(), srcPrefix) == 0) {
    *err = EINVAL;
    return false;
  }
  std::string dstPrefix = dst + "/";
  for (const auto& [name, node] : files_) {
    if (name.compare(0, dstPrefix.size(), dstPrefix) == 0) {
      *err = ENOTEMPTY;
      return false;
    }
  }
  for (const auto& name : dirs_) {
    if (name.compare(0, dstPrefix.size(), dstPrefix) == 0) {
      *err = ENOTEMPTY;
      return false;
    }
  }
  std::map<std::string, std::shared_ptr<Node>> files;
  for (auto& [name, node] : files_) {
    if (name.compare(0, srcPrefix.size(), srcPrefix) == 0) {
      files[dstPrefix + name.substr(srcPrefix.size())] = node;
    } else {
      files[name] = node;
    }
  }
  std::set<std::string> dirs;
  for (const auto& name : dirs_) {
    if (name == src) {
      dirs.insert(dst);
    } else if (name.compare(0, srcPrefix.size(), srcPrefix) == 0) {
      dirs.insert(dstPrefix + name.substr(srcPrefix.size()));
    } else {
      dirs.insert(name);
    }
  }
  files_ = std::move(files);
  dirs_ = std::move(dirs);
  return true;
}

bool MemEnv::MakeDirectory(const std::string& path, int* err) {
  int dummy = 0;
  if (err == nullptr) err = &dummy;
  std::string norm = Normalize(path);
  if (path.empty()) {
    *err = ENOENT;
    return false;
  }
  if (int e = CheckParents(norm)) {
    *err = e;
    return false;
  }
  if (IsDir(norm)) return true;
  if (files_.count(norm)) {
    *err = EEXIST;
    return false;
  }
  dirs_.insert(norm);
  return true;
}

bool MemEnv::SyncDirectory(const std::string& path, int* err) {
  std::string norm = Normalize(path);
  int e = CheckParents(norm);
  if (e == 0 && !IsDir(norm)) e = files_.count(norm) ? ENOTDIR : ENOENT;
  if (e != 0) {
    if (err) *err = e;
    return false;
  }
  ++dirSyncs_[norm];
  return true;
}

int MemEnv::DirectorySyncCount(const std::string& path) const {
  auto it = dirSyncs_.find(Normalize(path));
  return it == dirSyncs_.end() ? 0 : it->second;
}

std::vector<DirEntry> MemEnv::Search(const std::string& pattern) {
  std::vector<DirEntry> found;
  std::string mask = NameOf(pattern);
  std::string dir = Normalize(FolderOf(pattern));
  if (CheckParents(dir) != 0 || !IsDir(dir)) return found;
  for (const auto& [name, node] : files_) {
    if (Parent(name) != dir) continue;
    std::string base = dir.empty() ? name
                       : dir == "/" ? name.substr(1)
                                    : name.substr(dir.size() + 1);
    if (base.empty() || base[0] == '.') continue;
    if (!WildcardMatch(mask, base)) continue;
    DirEntry entry;
    entry.name = base;
    entry.mtime = node->mtime;
    entry.size = node->data.size();
    found.push_back(std::move(entry));
  }
  std::sort(found.begin(), found.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return found;
}

void MemEnv::SaveTitle() {
  ++saveTitleCount_;
  savedTitles_.push_back(title_);
}

void MemEnv::SetTitle(const std::string& text) {
  titles_.push_back(text);
  title_ = text;
}

void MemEnv::RestoreTitle() {
  ++restoreTitleCount_;
  if (!savedTitles_.empty()) {
    title_ = savedTitles_.back();
    savedTitles_.pop_back();
  }
}

}  // namespace vex

namespace vex {

// Publishing whole files ------------------------------------------------------

bool MemEnv::Link(const std::string& from, const std::string& to, int* err) {
  int dummy = 0;
  if (err == nullptr) err = &dummy;
  std::string src = Normalize(from), dst = Normalize(to);
  int e = from.empty() || to.empty() ? ENOENT : CheckParents(src);
  if (e == 0) e = CheckParents(dst);
  if (e == 0 && !files_.count(src)) e = IsDir(src) ? EPERM : ENOENT;
  if (e == 0 && (files_.count(dst) || IsDir(dst))) e = EEXIST;
  if (e != 0) {
    *err = e;
    return false;
  }
  files_[dst] = files_[src];
  return true;
}

std::vector<std::string> MemEnv::HiddenNames(const std::string& dirPath) {
  std::vector<std::string> names;
  std::string dir = Normalize(dirPath);
  for (const auto& [name, node] : files_) {
    if (Parent(name) != dir) continue;
    std::string base = dir.empty() ? name
                       : dir == "/" ? name.substr(1)
                                    : name.substr(dir.size() + 1);
    if (base.size() > 1 && base[0] == '.' && base != "..") names.push_back(base);
  }
  return names;
}

}  // namespace vex
