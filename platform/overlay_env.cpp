#include "platform/overlay_env.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/path.h"
#include "platform/wildcard.h"

namespace vex {

namespace {

constexpr uint64_t kPage = 4096;

std::string Normalize(const std::string& path) {
  std::string out;
  if (!path.empty() && path[0] == '/') out.push_back('/');
  size_t i = out.size();
  while (i <= path.size()) {
    size_t slash = path.find('/', i);
    if (slash == std::string::npos) slash = path.size();
    const std::string_view part = std::string_view(path).substr(i, slash - i);
    if (!part.empty() && part != ".") {
      if (!out.empty() && out.back() != '/') out.push_back('/');
      out.append(part);
    }
    i = slash + 1;
  }
  return out;
}

// The folder of a normalised path, normalised ("" for the current one).
std::string ParentOf(const std::string& path) { return Normalize(FolderOf(path)); }

FileTime FileTimeOf(const ClockTime& t) {
  FileTime f;
  f.year = t.year, f.month = t.month, f.day = t.day;
  f.hour = t.hour, f.minute = t.minute, f.second = t.second - t.second % 2;
  return f;
}

bool Writes(OpenMode mode) { return mode != OpenMode::kRead; }
bool Creates(OpenMode mode) {
  return mode == OpenMode::kCreate || mode == OpenMode::kCreateExclusive ||
         mode == OpenMode::kAppend || mode == OpenMode::kCreateWriteOnly;
}
bool Empties(OpenMode mode) {
  return mode == OpenMode::kCreate || mode == OpenMode::kCreateWriteOnly;
}

}  // namespace

// The contents of one file: the visible part of the target's file, and the
// pages written since, which hide it.  Shared by the names of the file
// (hard links) and its open handles.
struct OverlayEnv::Data {
  std::unique_ptr<File> base;  // the target's file, read-only; may be null
  uint64_t baseLimit = 0;      // bytes of base still visible
  uint64_t size = 0;
  std::map<uint64_t, std::string> pages;
  FileTime mtime;

  // Reads from base at `offset`, zeros where base ends; false on failure.
  bool FromBase(uint64_t offset, char* out, size_t n, int* err) {
    std::memset(out, 0, n);
    if (offset >= baseLimit || !base) return true;
    size_t want = static_cast<size_t>(std::min<uint64_t>(n, baseLimit - offset));
    size_t got = 0;
    while (got < want) {
      long long r = base->ReadAt(offset + got, out + got, want - got);
      if (r < 0) {
        *err = base->LastError();
        return false;
      }
      if (r == 0) break;
      got += static_cast<size_t>(r);
    }
    return true;
  }

  long long Read(uint64_t offset, char* out, size_t n, int* err) {
    if (offset >= size) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size - offset));
    size_t done = 0;
    while (done < n) {
      const uint64_t at = offset + done;
      const uint64_t page = at / kPage, in = at % kPage;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(kPage - in, n - done));
      auto it = pages.find(page);
      if (it != pages.end()) {
        std::memcpy(out + done, it->second.data() + in, take);
      } else if (!FromBase(at, out + done, take, err)) {
        return -1;
      }
      done += take;
    }
    return static_cast<long long>(n);
  }

  bool Write(uint64_t offset, const char* in, size_t n, int* err) {
    size_t done = 0;
    while (done < n) {
      const uint64_t at = offset + done;
      const uint64_t page = at / kPage, pos = at % kPage;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(kPage - pos, n - done));
      auto it = pages.find(page);
      if (it == pages.end()) {
        std::string fresh(kPage, '\0');
        if (!FromBase(page * kPage, fresh.data(), kPage, err)) return false;
        it = pages.emplace(page, std::move(fresh)).first;
      }
      std::memcpy(it->second.data() + pos, in + done, take);
      done += take;
    }
    size = std::max<uint64_t>(size, offset + n);
    return true;
  }

  void Truncate(uint64_t to) {
    baseLimit = std::min(baseLimit, to);
    pages.erase(pages.lower_bound((to + kPage - 1) / kPage), pages.end());
    auto it = pages.find(to / kPage);
    if (it != pages.end() && to % kPage != 0)
      std::memset(it->second.data() + to % kPage, 0, kPage - to % kPage);
    size = to;
  }
};

namespace {

class OverlayFile : public File {
 public:
  OverlayFile(std::shared_ptr<OverlayEnv::Data> data, std::string path,
              OpenMode mode, Env& clock)
      : data_(std::move(data)), path_(std::move(path)), mode_(mode), clock_(clock) {}

  long long ReadAt(uint64_t offset, void* buf, size_t n) override {
    if (mode_ == OpenMode::kAppend || mode_ == OpenMode::kWrite ||
        mode_ == OpenMode::kCreateWriteOnly)
      return Fail(EBADF), -1;
    int err = 0;
    long long r = data_->Read(offset, static_cast<char*>(buf), n, &err);
    if (r < 0) Fail(err);
    return r;
  }
  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (mode_ == OpenMode::kRead) return Fail(EBADF);
    if (mode_ == OpenMode::kAppend) offset = data_->size;
    int err = 0;
    if (!data_->Write(offset, static_cast<const char*>(buf), n, &err))
      return Fail(err);
    data_->mtime = FileTimeOf(clock_.Now());
    return true;
  }
  bool Append(const void* buf, size_t n) override {
    return WriteAt(data_->size, buf, n);
  }
  bool Size(uint64_t* size) override {
    *size = data_->size;
    return true;
  }
  bool Truncate(uint64_t size) override {
    if (mode_ == OpenMode::kRead) return Fail(EBADF);
    data_->Truncate(size);
    return true;
  }
  bool Sync() override { return true; }
  bool SetMode(uint32_t) override { return true; }
  bool ModTime(FileTime* t) override {
    *t = data_->mtime;
    return true;
  }
  bool LockFirstByte(int) override { return true; }
  int LastError() const override { return lastError_; }
  const std::string& Path() const override { return path_; }

 private:
  bool Fail(int err) {
    lastError_ = err;
    return false;
  }
  std::shared_ptr<OverlayEnv::Data> data_;
  std::string path_;
  OpenMode mode_;
  Env& clock_;
  int lastError_ = 0;
};

}  // namespace

OverlayEnv::OverlayEnv(Env& target) : EnvWrapper(target) {}
OverlayEnv::~OverlayEnv() = default;

OverlayEnv::Node* OverlayEnv::Find(const std::string& path) {
  auto it = nodes_.find(path);
  return it == nodes_.end() ? nullptr : &it->second;
}

bool OverlayEnv::DirectoryExists(const std::string& path) {
  if (path.empty() || path == "/") return true;
  if (Node* n = Find(path)) return n->kind == Kind::kDirectory;
  return target().Stat(path).isDirectory;
}

std::shared_ptr<OverlayEnv::Data> OverlayEnv::NewData() {
  auto data = std::make_shared<Data>();
  data->mtime = FileTimeOf(target().Now());
  return data;
}

std::shared_ptr<OverlayEnv::Data> OverlayEnv::FileData(const std::string& path,
                                                       int* err) {
  if (Node* n = Find(path)) {
    if (n->kind == Kind::kFile) return n->data;
    *err = n->kind == Kind::kDirectory ? EISDIR : ENOENT;
    return nullptr;
  }
  const FileInfo info = target().Stat(path);
  if (!info.exists) {
    *err = ENOENT;
    return nullptr;
  }
  if (info.isDirectory) {
    *err = EISDIR;
    return nullptr;
  }
  auto data = std::make_shared<Data>();
  data->base = target().Open(path, OpenMode::kRead, err);
  if (!data->base) return nullptr;
  if (!data->base->Size(&data->size)) {
    *err = data->base->LastError();
    return nullptr;
  }
  data->baseLimit = data->size;
  data->mtime = info.mtime;
  nodes_[path] = Node{Kind::kFile, data};
  return data;
}

std::unique_ptr<File> OverlayEnv::Open(const std::string& name, OpenMode mode,
                                       int* err) {
  const std::string path = Normalize(name);
  Node* node = Find(path);
  if (!node && !Writes(mode)) return target().Open(name, mode, err);
  const bool exists = node ? node->kind != Kind::kGone : target().Stat(path).exists;
  if (exists && mode == OpenMode::kCreateExclusive) {
    *err = EEXIST;
    return nullptr;
  }
  std::shared_ptr<Data> data;
  if (exists && !Empties(mode)) {
    data = FileData(path, err);
    if (!data) return nullptr;
  } else if (!exists && !Creates(mode)) {
    *err = ENOENT;
    return nullptr;
  } else {
    if ((node && node->kind == Kind::kDirectory) ||
        (!node && target().Stat(path).isDirectory)) {
      *err = EISDIR;
      return nullptr;
    }
    if (!DirectoryExists(ParentOf(path))) {
      *err = ENOENT;
      return nullptr;
    }
    // A file emptied by the open keeps its other names' contents only when
    // it is the overlay's own (the target's file stays as it is).
    if (node && node->kind == Kind::kFile) {
      data = node->data;
      data->Truncate(0);
    } else {
      data = NewData();
      nodes_[path] = Node{Kind::kFile, data};
    }
  }
  return std::make_unique<OverlayFile>(data, name, mode, target());
}

FileInfo OverlayEnv::Stat(const std::string& name) {
  const std::string path = Normalize(name);
  Node* n = Find(path);
  if (!n) return target().Stat(name);
  FileInfo info;
  info.exists = n->kind != Kind::kGone;
  info.isDirectory = n->kind == Kind::kDirectory;
  if (n->kind == Kind::kFile) {
    info.size = n->data->size;
    info.mtime = n->data->mtime;
  }
  return info;
}

FileInfo OverlayEnv::LinkInfo(const std::string& name) {
  return Find(Normalize(name)) ? Stat(name) : target().LinkInfo(name);
}

bool OverlayEnv::ReadLink(const std::string& name, std::string* to, int* err) {
  if (Node* n = Find(Normalize(name))) {
    *err = n->kind == Kind::kGone ? ENOENT : EINVAL;
    return false;
  }
  return target().ReadLink(name, to, err);
}

bool OverlayEnv::CanWrite(const std::string& name) {
  Node* n = Find(Normalize(name));
  if (n && n->kind != Kind::kGone) return true;
  return target().CanWrite(name);
}

bool OverlayEnv::Remove(const std::string& name, int* err) {
  const std::string path = Normalize(name);
  if (!Stat(path).exists) {
    *err = ENOENT;
    return false;
  }
  nodes_[path] = Node{};
  return true;
}

bool OverlayEnv::Rename(const std::string& from, const std::string& to,
                        int* err) {
  const std::string source = Normalize(from), dest = Normalize(to);
  std::shared_ptr<Data> data = FileData(source, err);
  if (!data) return false;
  if (!DirectoryExists(ParentOf(dest))) {
    *err = ENOENT;
    return false;
  }
  if (source == dest) return true;
  nodes_[dest] = Node{Kind::kFile, data};
  nodes_[source] = Node{};
  return true;
}

bool OverlayEnv::Link(const std::string& from, const std::string& to,
                      int* err) {
  const std::string source = Normalize(from), dest = Normalize(to);
  if (Stat(dest).exists) {
    *err = EEXIST;
    return false;
  }
  if (!DirectoryExists(ParentOf(dest))) {
    *err = ENOENT;
    return false;
  }
  std::shared_ptr<Data> data = FileData(source, err);
  if (!data) return false;
  nodes_[dest] = Node{Kind::kFile, data};
  return true;
}

bool OverlayEnv::MakeDirectory(const std::string& name, int* err) {
  const std::string path = Normalize(name);
  const FileInfo info = Stat(path);
  if (info.isDirectory) return true;
  if (info.exists) {
    *err = EEXIST;
    return false;
  }
  if (!DirectoryExists(ParentOf(path))) {
    *err = ENOENT;
    return false;
  }
  nodes_[path] = Node{Kind::kDirectory, nullptr};
  return true;
}

std::vector<DirEntry> OverlayEnv::Search(const std::string& pattern) {
  const std::string mask = NameOf(pattern);
  const std::string dir = Normalize(FolderOf(pattern));
  std::map<std::string, DirEntry> found;
  for (DirEntry& e : target().Search(pattern)) found[e.name] = e;
  for (const auto& [path, node] : nodes_) {
    if (ParentOf(path) != dir) continue;
    const std::string name = path.substr(dir.empty() ? 0 : dir.size() + (dir == "/" ? 0 : 1));
    if (node.kind != Kind::kFile) {
      found.erase(name);
    } else if (!name.empty() && name[0] != '.' && WildcardMatch(mask, name)) {
      found[name] = DirEntry{name, node.data->mtime, node.data->size};
    }
  }
  std::vector<DirEntry> out;
  for (auto& [name, e] : found) out.push_back(e);
  return out;
}

std::vector<std::string> OverlayEnv::HiddenNames(const std::string& dirName) {
  const std::string dir = Normalize(dirName);
  std::vector<std::string> real = target().HiddenNames(dirName);
  std::map<std::string, bool> names;
  for (const std::string& n : real) names[n] = true;
  for (const auto& [path, node] : nodes_) {
    if (ParentOf(path) != dir) continue;
    const std::string name = path.substr(dir.empty() ? 0 : dir.size() + (dir == "/" ? 0 : 1));
    if (name.empty() || name[0] != '.') continue;
    names[name] = node.kind != Kind::kGone;
  }
  std::vector<std::string> out;
  for (const auto& [n, present] : names)
    if (present) out.push_back(n);
  return out;
}

}  // namespace vex
