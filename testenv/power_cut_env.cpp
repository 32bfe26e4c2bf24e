#include "testenv/power_cut_env.h"

#include <algorithm>
#include <random>

namespace vex {

namespace {

bool Mutates(PowerCutOp::Kind k) {
  return k != PowerCutOp::kSync && k != PowerCutOp::kSyncDir;
}

bool ChangesName(PowerCutOp::Kind k) {
  return k == PowerCutOp::kCreate || k == PowerCutOp::kLink ||
         k == PowerCutOp::kRename || k == PowerCutOp::kRemove ||
         k == PowerCutOp::kMakeDir;
}

class PowerCutFile : public FileWrapper {
 public:
  PowerCutFile(std::unique_ptr<File> target, PowerCutEnv& env, int inode,
               std::string path, bool append)
      : FileWrapper(std::move(target)),
        env_(env),
        inode_(inode),
        path_(std::move(path)),
        append_(append) {}

  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    uint64_t size = 0;
    if (!target().Size(&size) || !FileWrapper::WriteAt(offset, buf, n)) return false;
    Write(append_ ? size : offset, size, buf, n);
    return true;
  }
  bool Append(const void* buf, size_t n) override {
    uint64_t size = 0;
    if (!target().Size(&size) || !FileWrapper::Append(buf, n)) return false;
    Write(size, size, buf, n);
    return true;
  }
  bool Truncate(uint64_t size) override {
    if (!FileWrapper::Truncate(size)) return false;
    PowerCutOp op;
    op.kind = PowerCutOp::kTruncate;
    op.offset = size;
    Record(std::move(op));
    return true;
  }
  bool Sync() override {
    if (!FileWrapper::Sync()) return false;
    PowerCutOp op;
    op.kind = PowerCutOp::kSync;
    Record(std::move(op));
    return true;
  }

 private:
  void Write(uint64_t offset, uint64_t sizeBefore, const void* buf, size_t n) {
    PowerCutOp op;
    op.kind = PowerCutOp::kWrite;
    op.offset = offset;
    op.sizeBefore = sizeBefore;
    op.data.assign(static_cast<const char*>(buf), n);
    Record(std::move(op));
  }
  void Record(PowerCutOp op) {
    op.inode = inode_;
    op.path = path_;
    env_.Record(std::move(op));
  }

  PowerCutEnv& env_;
  int inode_;
  std::string path_;
  bool append_;
};

// The disk as a replay sees it.
struct Disk {
  std::set<std::string> dirs;
  std::map<int, MemEnv::Node> inodes;
  std::map<std::string, int> names;

  bool HasDir(const std::string& d) const {
    return d.empty() || d == "/" || dirs.count(d) > 0;
  }
  void Apply(const PowerCutOp& op, uint64_t begin, uint64_t end) {
    switch (op.kind) {
      case PowerCutOp::kWrite: {
        std::string& d = inodes[op.inode].data;
        uint64_t at = op.offset + begin;
        if (at + (end - begin) > d.size()) d.resize(at + (end - begin), '\0');
        std::copy(op.data.begin() + begin, op.data.begin() + end,
                  d.begin() + at);
        inodes[op.inode].mtime = op.mtime;
        break;
      }
      case PowerCutOp::kTruncate:
        inodes[op.inode].data.resize(op.offset, '\0');
        inodes[op.inode].mtime = op.mtime;
        break;
      case PowerCutOp::kCreate:
        if (!HasDir(MemEnv::Parent(op.path))) break;
        names[op.path] = op.inode;
        if (!inodes.count(op.inode)) inodes[op.inode].mtime = op.mtime;
        break;
      case PowerCutOp::kLink:
        if (HasDir(MemEnv::Parent(op.path))) names[op.path] = op.inode;
        break;
      case PowerCutOp::kRename: {
        auto it = names.find(op.path);
        if (it == names.end() || it->second != op.inode) break;
        names.erase(it);
        if (HasDir(MemEnv::Parent(op.path2))) names[op.path2] = op.inode;
        break;
      }
      case PowerCutOp::kRemove: {
        auto it = names.find(op.path);
        if (it != names.end() && it->second == op.inode) names.erase(it);
        break;
      }
      case PowerCutOp::kMakeDir:
        if (HasDir(MemEnv::Parent(op.path))) dirs.insert(op.path);
        break;
      case PowerCutOp::kSync:
      case PowerCutOp::kSyncDir:
        break;
    }
  }
};

// Whole contents of a MemEnv: directories, names, bytes and times.
std::string Fingerprint(const MemEnv& fs) {
  std::string out;
  for (const std::string& d : fs.Directories()) out += "D" + d + '\0';
  for (const auto& [name, node] : fs.FileNodes()) {
    const FileTime& t = node->mtime;
    out += "F" + name + '\0' + std::to_string(node->data.size()) + ':' +
           node->data + std::to_string(t.year * 10000 + t.month * 100 + t.day) +
           std::to_string(t.hour * 10000 + t.minute * 100 + t.second) + '\0';
  }
  return out;
}

}  // namespace

PowerCutEnv::PowerCutEnv(MemEnv& live) : EnvWrapper(live), live_(live) {
  std::map<const MemEnv::Node*, int> ids;
  for (const auto& [name, node] : live.FileNodes()) {
    auto [it, added] = ids.emplace(node.get(), nextInode_);
    if (added) startInodes_[nextInode_++] = *node;
    startNames_[name] = it->second;
  }
  startDirs_ = live.Directories();
  names_ = startNames_;
}

PowerCutEnv::~PowerCutEnv() = default;

void PowerCutEnv::Record(PowerCutOp op) {
  op.consoleBefore = console_.size();
  op.mtime = ToFileTime(live_.Now());
  ops_.push_back(std::move(op));
}

std::string PowerCutEnv::ConsoleBefore(size_t cut) const {
  return cut < ops_.size() ? console_.substr(0, ops_[cut].consoleBefore)
                           : console_;
}

void PowerCutEnv::ConsoleWrite(const std::string& text) {
  console_ += text;
  EnvWrapper::ConsoleWrite(text);
}

std::unique_ptr<File> PowerCutEnv::Open(const std::string& path, OpenMode mode,
                                        int* err) {
  std::unique_ptr<File> f = EnvWrapper::Open(path, mode, err);
  if (!f) return nullptr;
  std::string norm = MemEnv::Normalize(path);
  auto it = names_.find(norm);
  PowerCutOp op;
  op.path = norm;
  if (it != names_.end()) {
    op.inode = it->second;
    if (mode == OpenMode::kCreate || mode == OpenMode::kCreateWriteOnly) {
      op.kind = PowerCutOp::kTruncate;
      op.offset = 0;
      Record(op);
    }
  } else {
    op.inode = nextInode_++;
    op.kind = PowerCutOp::kCreate;
    names_[norm] = op.inode;
    Record(op);
  }
  return std::make_unique<PowerCutFile>(std::move(f), *this, op.inode, norm,
                                        mode == OpenMode::kAppend);
}

bool PowerCutEnv::Remove(const std::string& path, int* err) {
  if (!EnvWrapper::Remove(path, err)) return false;
  PowerCutOp op;
  op.kind = PowerCutOp::kRemove;
  op.path = MemEnv::Normalize(path);
  op.inode = names_[op.path];
  names_.erase(op.path);
  Record(std::move(op));
  return true;
}

bool PowerCutEnv::Rename(const std::string& from, const std::string& to,
                         int* err) {
  PowerCutOp op;
  op.kind = PowerCutOp::kRename;
  op.path = MemEnv::Normalize(from);
  op.path2 = MemEnv::Normalize(to);
  const bool file = names_.count(op.path) > 0;
  if (!EnvWrapper::Rename(from, to, err)) return false;
  if (!file) {
    unsupported_ = "directory renamed: " + op.path + " -> " + op.path2;
    return true;
  }
  if (op.path == op.path2) return true;
  op.inode = names_[op.path];
  names_.erase(op.path);
  names_[op.path2] = op.inode;
  Record(std::move(op));
  return true;
}

bool PowerCutEnv::MakeDirectory(const std::string& path, int* err) {
  const bool existed = live_.HasDirectory(path);
  if (!EnvWrapper::MakeDirectory(path, err)) return false;
  if (!existed) {
    PowerCutOp op;
    op.kind = PowerCutOp::kMakeDir;
    op.path = MemEnv::Normalize(path);
    Record(std::move(op));
  }
  return true;
}

bool PowerCutEnv::SyncDirectory(const std::string& path, int* err) {
  if (!EnvWrapper::SyncDirectory(path, err)) return false;
  PowerCutOp op;
  op.kind = PowerCutOp::kSyncDir;
  op.path = MemEnv::Normalize(path);
  Record(std::move(op));
  return true;
}

bool PowerCutEnv::Link(const std::string& from, const std::string& to,
                       int* err) {
  if (!EnvWrapper::Link(from, to, err)) return false;
  PowerCutOp op;
  op.kind = PowerCutOp::kLink;
  op.path = MemEnv::Normalize(to);
  op.path2 = MemEnv::Normalize(from);
  op.inode = names_[op.path2];
  names_[op.path] = op.inode;
  Record(std::move(op));
  return true;
}

std::vector<size_t> PowerCutEnv::DurableAt() const {
  const size_t n = ops_.size();
  auto firstSync = [&](size_t i, PowerCutOp::Kind kind, int inode,
                       const std::string& dir) {
    for (size_t j = i + 1; j < n; ++j) {
      const PowerCutOp& s = ops_[j];
      if (s.kind != kind) continue;
      if (kind == PowerCutOp::kSync ? s.inode == inode : s.path == dir) return j;
    }
    return n;
  };
  std::vector<size_t> at(n);
  for (size_t i = 0; i < n; ++i) {
    const PowerCutOp& op = ops_[i];
    if (!Mutates(op.kind)) {
      at[i] = i;
    } else if (!ChangesName(op.kind)) {
      at[i] = firstSync(i, PowerCutOp::kSync, op.inode, "");
    } else {
      at[i] = firstSync(i, PowerCutOp::kSyncDir, -1, MemEnv::Parent(op.path));
      if (op.kind == PowerCutOp::kRename) {
        at[i] = std::max(at[i], firstSync(i, PowerCutOp::kSyncDir, -1,
                                          MemEnv::Parent(op.path2)));
      }
    }
  }
  return at;
}

std::vector<CrashState> PowerCutEnv::CrashStates(
    const PowerCutOptions& options) const {
  const size_t n = ops_.size();
  const std::vector<size_t> durableAt = DurableAt();
  std::vector<CrashState> out;
  for (size_t cut = 0; cut <= n; ++cut) {
    CrashState prefix, durable;
    prefix.cut = durable.cut = cut;
    prefix.keep.assign(cut, 1);
    durable.keep.assign(cut, 1);
    std::vector<size_t> unsynced;
    for (size_t i = 0; i < cut; ++i) {
      if (durableAt[i] >= cut) {
        unsynced.push_back(i);
        durable.keep[i] = 0;
      }
    }
    prefix.model = "every operation landed";
    durable.model = "only what was synced";
    out.push_back(prefix);
    if (!unsynced.empty()) out.push_back(durable);

    // The last operation, a write, landed in part.
    const PowerCutOp* last = cut > 0 ? &ops_[cut - 1] : nullptr;
    if (options.tornWrites && last && last->kind == PowerCutOp::kWrite &&
        last->data.size() > 1) {
      const uint64_t size = last->data.size();
      // Bytes [0, inPlace) of the write overwrite what the file held.
      const uint64_t inPlace =
          std::min(size, last->sizeBefore > last->offset ? last->sizeBefore - last->offset : 0);
      const uint64_t sector = std::max(options.sector, 1);
      std::set<std::pair<uint64_t, uint64_t>> ranges;
      for (uint64_t k = 1; k < size; ++k) {
        const uint64_t at = last->offset + k;
        const bool anyByte = size <= static_cast<uint64_t>(options.tearEveryByteUpTo) ||
                             k == 1 || k == size / 2 || k == size - 1;
        if ((k >= inPlace && anyByte) || at % sector == 0) ranges.insert({0, k});
        if (at % 4096 == 0) {
          ranges.insert({0, k});
          ranges.insert({k, size});
        }
      }
      for (const CrashState* base : {&prefix, &durable}) {
        for (const auto& [b, e] : ranges) {
          CrashState s = *base;
          s.keep[cut - 1] = 1;
          s.torn = static_cast<int>(cut - 1);
          s.tornBegin = b;
          s.tornEnd = e;
          s.model = "last write torn, " + base->model;
          out.push_back(s);
        }
      }
    }

    // Any combination of the unsynced operations, where a sync or the end
    // follows (earlier cuts give no state that these do not).
    const bool syncPoint = cut == n || !Mutates(ops_[cut].kind);
    if (syncPoint && !unsynced.empty()) {
      const size_t u = unsynced.size();
      auto add = [&](auto keepBit) {
        CrashState s = durable;
        for (size_t k = 0; k < u; ++k) s.keep[unsynced[k]] = keepBit(k);
        s.model = "subset of the unsynced operations";
        out.push_back(std::move(s));
      };
      if (u <= static_cast<size_t>(options.subsetBound)) {
        for (uint64_t mask = 1; mask + 1 < (uint64_t{1} << u); ++mask) {
          add([&](size_t k) { return (mask >> k) & 1; });
        }
      } else {
        std::mt19937_64 rng(options.seed * 1000003 + cut);
        for (int i = 0; i < options.samples; ++i) {
          add([&](size_t) { return static_cast<char>(rng() & 1); });
        }
      }
    }

    // ext4-like: the name changes land in order up to some point after the
    // last sync; a rename carries the data of its file.
    if (options.ext4Order) {
      size_t commit = 0;  // name changes before it are durable
      for (size_t i = 0; i < cut; ++i) {
        if (!Mutates(ops_[i].kind)) commit = i;
      }
      std::vector<size_t> open;  // name changes after the commit
      for (size_t i = commit; i < cut; ++i) {
        if (ChangesName(ops_[i].kind)) open.push_back(i);
      }
      for (size_t j = 0; j <= open.size(); ++j) {
        for (bool dataLanded : {false, true}) {
          CrashState s = durable;
          for (size_t i = 0; i < cut; ++i) {
            if (ChangesName(ops_[i].kind)) {
              s.keep[i] = i < commit || (j > 0 && i <= open[j - 1]) ||
                          durableAt[i] < cut;
            } else if (Mutates(ops_[i].kind) && dataLanded) {
              s.keep[i] = 1;
            }
          }
          for (size_t r = 0; r < cut; ++r) {
            if (ops_[r].kind != PowerCutOp::kRename || !s.keep[r]) continue;
            for (size_t i = 0; i < r; ++i) {
              if (ops_[i].inode == ops_[r].inode && !ChangesName(ops_[i].kind))
                s.keep[i] = 1;
            }
          }
          s.model = "ext4-like order, " + std::to_string(j) + " of " +
                    std::to_string(open.size()) + " name changes since the last sync" +
                    (dataLanded ? ", all data landed" : "");
          out.push_back(std::move(s));
        }
      }
    }
  }
  return out;
}

void PowerCutEnv::Materialise(const CrashState& state, MemEnv& into) const {
  Disk disk;
  disk.dirs = startDirs_;
  disk.inodes = startInodes_;
  disk.names = startNames_;
  for (size_t i = 0; i < state.cut; ++i) {
    if (!state.keep[i]) continue;
    const PowerCutOp& op = ops_[i];
    if (static_cast<int>(i) == state.torn) {
      disk.Apply(op, state.tornBegin, state.tornEnd);
    } else {
      disk.Apply(op, 0, op.data.size());
    }
  }
  into.SetNow(live_.Now());
  for (const std::string& d : disk.dirs) into.AddDirectory(d);
  std::map<int, std::string> firstName;
  for (const auto& [name, inode] : disk.names) {
    auto [it, first] = firstName.emplace(inode, name);
    if (first) {
      into.SetFile(name, disk.inodes[inode].data);
      into.SetModTime(name, disk.inodes[inode].mtime);
    } else {
      int err = 0;
      into.Link(it->second, name, &err);
    }
  }
}

std::string PowerCutEnv::DescribeOp(size_t i) const {
  static const char* const kNames[] = {"write",  "truncate", "create",
                                       "link",   "rename",   "remove",
                                       "mkdir",  "sync",     "syncdir"};
  const PowerCutOp& op = ops_[i];
  std::string s = "#" + std::to_string(i) + " " + kNames[op.kind] + " " +
                  (op.path.empty() ? "." : op.path);
  if (op.kind == PowerCutOp::kWrite) {
    s += "@" + std::to_string(op.offset) + "+" + std::to_string(op.data.size());
  } else if (op.kind == PowerCutOp::kTruncate) {
    s += " to " + std::to_string(op.offset);
  } else if (op.kind == PowerCutOp::kRename) {
    s += " -> " + op.path2;
  } else if (op.kind == PowerCutOp::kLink) {
    s += " (of " + op.path2 + ")";
  }
  return s;
}

std::string PowerCutEnv::Describe(const CrashState& state) const {
  const std::vector<size_t> durableAt = DurableAt();
  std::string kept, dropped;
  for (size_t i = 0; i < state.cut; ++i) {
    if (durableAt[i] < state.cut) continue;
    std::string& list = state.keep[i] ? kept : dropped;
    list += (list.empty() ? "" : "; ") + DescribeOp(i);
  }
  std::string s = "power cut after " + std::to_string(state.cut) + " of " +
                  std::to_string(ops_.size()) + " operations (" + state.model + ")";
  if (state.cut > 0) s += ", the last " + DescribeOp(state.cut - 1);
  if (!kept.empty()) s += "\n  unsynced, landed: " + kept;
  if (!dropped.empty()) s += "\n  unsynced, lost: " + dropped;
  if (state.torn >= 0) {
    s += "\n  torn: " + DescribeOp(state.torn) + " landed only bytes [" +
         std::to_string(state.tornBegin) + ", " + std::to_string(state.tornEnd) + ")";
  }
  return s;
}

size_t PowerCutEnv::ForEachCrashState(
    const PowerCutOptions& options,
    const std::function<void(const CrashState&, MemEnv&)>& check) const {
  std::set<size_t> seen;
  size_t visited = 0;
  for (const CrashState& state : CrashStates(options)) {
    MemEnv fs;
    Materialise(state, fs);
    const size_t key =
        std::hash<std::string>()(Fingerprint(fs) + '\1' + ConsoleBefore(state.cut));
    if (!seen.insert(key).second) continue;
    ++visited;
    check(state, fs);
  }
  return visited;
}

}  // namespace vex
