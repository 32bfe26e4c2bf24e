#include "util/replace_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/path.h"

namespace vex {
namespace {

// Names tried before giving up: each one taken means someone planted a
// file there, or chance did.
constexpr int kTempAttempts = 16;
// As many links in a chain as the system itself follows.
constexpr int kMaxLinks = 40;

// ".NAME.1a2b3c4d.tmp": a temporary name Begin makes for NAME.
bool IsTempNameOf(const std::string& temp, const std::string& name) {
  const std::string prefix = "." + name + ".";
  if (temp.size() != prefix.size() + 8 + 4 || temp.compare(0, prefix.size(), prefix) != 0 ||
      !temp.ends_with(".tmp"))
    return false;
  for (size_t i = prefix.size(); i < prefix.size() + 8; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(temp[i]))) return false;
  }
  return true;
}

}  // namespace

FileReplacement::FileReplacement(Env& env, std::string path, std::string tempName)
    : env_(env), path_(std::move(path)), fixedTemp_(std::move(tempName)) {}

FileReplacement::~FileReplacement() {
  int ignored = 0;
  Cancel(&ignored);
}

bool FileReplacement::Fail(const char* step, const std::string& path) {
  failedStep_ = step;
  failedPath_ = path;
  return false;
}

bool FileReplacement::Begin(int* err) {
  const std::string folder = FolderOf(path_);
  const FileInfo old = env_.LinkInfo(path_);
  if (old.isDirectory) {
    *err = EISDIR;
    return Fail("create", path_);
  }
  if (fixedTemp_.empty()) {
    // Temporary files of this file that a kill or a power cut left behind
    // go (runs take turns, so none of them is being written).
    const std::string name = NameOf(path_);
    for (const std::string& hidden : env_.HiddenNames(folder)) {
      int ignored = 0;
      if (IsTempNameOf(hidden, name)) env_.Remove(JoinPath(folder, hidden), &ignored);
    }
    // So do the fixed names that earlier versions wrote a new file under
    // (".NAME.tmp"; "vexstat.seq.new" for the counter only, since a
    // sysop's own "NAME.new" beside a report is none of ours), when a file
    // stands there (a link or a folder at such a name stays).
    std::vector<std::string> fixedNames = {"." + name + ".tmp"};
    if (name == "vexstat.seq") fixedNames.push_back(name + ".new");
    for (const std::string& fixed : fixedNames) {
      const std::string at = JoinPath(folder, fixed);
      const FileInfo info = env_.LinkInfo(at);
      int ignored = 0;
      if (info.exists && !info.isLink && !info.isDirectory) env_.Remove(at, &ignored);
    }
  }
  std::string temp;
  for (int attempt = 0; attempt < kTempAttempts && !file_; ++attempt) {
    if (fixedTemp_.empty()) {
      char random[20];
      std::snprintf(random, sizeof random, "%08llx",
                    static_cast<unsigned long long>(env_.RandomNumber() & 0xffffffffu));
      temp = JoinPath(folder, "." + NameOf(path_) + "." + random + ".tmp");
    } else {
      temp = JoinPath(folder, fixedTemp_);
      // Whatever has the name, a link included, goes (a link itself, never
      // what it points to).
      if (!env_.Remove(temp, err) && *err != ENOENT) return Fail("delete", temp);
    }
    file_ = env_.Open(temp, OpenMode::kCreateExclusive, err);
    if (!file_ && *err != EEXIST) return Fail("create", temp);
  }
  // Only a file this replacement made is ever removed as its own.
  if (!file_) return Fail("create", temp);
  temp_ = temp;
  // On a file system without permission bits the new file simply has the
  // folder's; that is no reason to keep the old contents.
  if (old.exists && !old.isLink && !old.isDirectory) file_->SetMode(old.mode);
  return true;
}

bool FileReplacement::Commit(int* err) {
  if (!file_) {
    *err = EBADF;
    return Fail("write", temp_);
  }
  if (!file_->Sync()) {
    *err = file_->LastError();
    Fail("sync", temp_);
    int ignored = 0;
    Cancel(&ignored);
    return false;
  }
  file_.reset();
  if (!env_.Rename(temp_, path_, err)) {
    Fail("rename", temp_);
    int ignored = 0;
    env_.Remove(temp_, &ignored);
    temp_.clear();
    return false;
  }
  temp_.clear();
  // The new name is durable only once its folder is.
  const std::string folder = FolderOf(path_);
  return env_.SyncDirectory(folder, err) || Fail("sync", folder);
}

bool FileReplacement::Cancel(int* err) {
  if (temp_.empty()) return true;
  file_.reset();
  const std::string temp = std::move(temp_);
  temp_.clear();
  return env_.Remove(temp, err) || *err == ENOENT;
}

bool ReplaceFile(Env& env, const std::string& path, std::string_view bytes,
                 int* err) {
  FileReplacement replacement(env, path);
  if (!replacement.Begin(err)) return false;
  if (!replacement.file().WriteAt(0, bytes.data(), bytes.size())) {
    *err = replacement.file().LastError();
    return false;
  }
  return replacement.Commit(err);
}

bool FollowOwnLinks(Env& env, const std::string& path, std::string* target,
                    std::string* foreign, int* err) {
  std::string at = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    const FileInfo info = env.LinkInfo(at);
    if (!info.isLink) {
      *target = at;
      return true;
    }
    if (info.owner != env.UserId() && info.owner != 0) {
      *foreign = at;
      *err = EPERM;
      return false;
    }
    std::string to;
    if (!env.ReadLink(at, &to, err)) return false;
    at = !to.empty() && to[0] == '/' ? to : JoinPath(FolderOf(at), to);
  }
  *err = ELOOP;
  return false;
}

}  // namespace vex
