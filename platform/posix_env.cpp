// The real operating system behind Env.  This is the only file that calls
// POSIX for files, directories, the clock and the console.
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/cp866.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/wildcard.h"

namespace vex {
namespace {

FileTime DosTime(time_t t) {
  struct tm tm {};
  FileTime ft;
  if (localtime_r(&t, &tm) == nullptr || tm.tm_year + 1900 < 1980) return ft;
  ft.year = tm.tm_year + 1900;
  ft.month = tm.tm_mon + 1;
  ft.day = tm.tm_mday;
  ft.hour = tm.tm_hour;
  ft.minute = tm.tm_min;
  ft.second = tm.tm_sec & ~1;
  if (ft.second > 58) ft.second = 58;
  return ft;
}

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  info.exists = true;
  info.isDirectory = S_ISDIR(st.st_mode);
  info.isLink = S_ISLNK(st.st_mode);
  info.size = static_cast<uint64_t>(st.st_size);
  info.mtime = DosTime(st.st_mtime);
  info.mode = static_cast<uint32_t>(st.st_mode & 07777);
  info.owner = static_cast<uint32_t>(st.st_uid);
  return info;
}

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path, bool append)
      : fd_(fd), path_(std::move(path)), append_(append) {}
  ~PosixFile() override { ::close(fd_); }

  long long ReadAt(uint64_t offset, void* buf, size_t n) override {
    size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        err_ = errno;
        return -1;
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return static_cast<long long>(done);
  }

  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    size_t done = 0;
    auto* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        err_ = errno;
        return false;
      }
      done += static_cast<size_t>(r);
    }
    return true;
  }

  bool Append(const void* buf, size_t n) override {
    if (!append_) {
      uint64_t end = 0;
      return Size(&end) && WriteAt(end, buf, n);
    }
    // O_APPEND: the system moves to the end before every write.
    size_t done = 0;
    auto* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::write(fd_, p + done, n - done);
      if (r < 0) {
        if (errno == EINTR) continue;
        err_ = errno;
        return false;
      }
      done += static_cast<size_t>(r);
    }
    return true;
  }

  bool Size(uint64_t* size) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      err_ = errno;
      return false;
    }
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }

  bool Truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      err_ = errno;
      return false;
    }
    return true;
  }

  bool Sync() override {
    if (::fsync(fd_) != 0) {
      err_ = errno;
      return false;
    }
    return true;
  }

  bool SetMode(uint32_t mode) override {
    if (::fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) {
      err_ = errno;
      return false;
    }
    return true;
  }

  bool ModTime(FileTime* t) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      err_ = errno;
      return false;
    }
    *t = DosTime(st.st_mtime);
    return true;
  }

  bool LockFirstByte(int timeoutMs) override {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    int waited = 0;
    for (;;) {
      // Open-file-description locks conflict with the classic record locks
      // other programs take, and belong to this open file only.
      if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return true;
      if (errno != EACCES && errno != EAGAIN && errno != EINTR) {
        err_ = errno;
        return false;
      }
      if (waited >= timeoutMs) {
        err_ = EAGAIN;
        return false;
      }
      ::usleep(50 * 1000);
      waited += 50;
    }
  }

  int LastError() const override { return err_; }
  const std::string& Path() const override { return path_; }

 private:
  int fd_;
  std::string path_;
  bool append_;
  int err_ = 0;
};

class PosixEnv : public Env {
 public:
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kWrite: flags |= O_WRONLY; break;
      case OpenMode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
      case OpenMode::kCreateExclusive:
        flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
        break;
      case OpenMode::kAppend: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
      case OpenMode::kCreateWriteOnly: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (err) *err = errno;
      return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      if (err) *err = EISDIR;
      return nullptr;
    }
    if (err) *err = 0;
    return std::make_unique<PosixFile>(fd, path, mode == OpenMode::kAppend);
  }

  FileInfo Stat(const std::string& path) override {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return FileInfo();
    return InfoOf(st);
  }

  FileInfo LinkInfo(const std::string& path) override {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return FileInfo();
    return InfoOf(st);
  }

  bool ReadLink(const std::string& path, std::string* target,
                int* err) override {
    std::string buf(256, '\0');
    for (;;) {
      const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
      if (n < 0) {
        if (err) *err = errno;
        return false;
      }
      if (static_cast<size_t>(n) < buf.size()) {
        buf.resize(static_cast<size_t>(n));
        *target = std::move(buf);
        return true;
      }
      buf.resize(buf.size() * 2);
    }
  }

  uint32_t UserId() override { return static_cast<uint32_t>(::geteuid()); }

  uint64_t RandomNumber() override {
    uint64_t n = 0;
    if (::getrandom(&n, sizeof n, 0) == static_cast<ssize_t>(sizeof n)) return n;
    // Without the kernel's generator: the clock and the process, which at
    // least differ from run to run.
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return (static_cast<uint64_t>(ts.tv_nsec) << 32) ^ static_cast<uint64_t>(ts.tv_sec) ^
           (static_cast<uint64_t>(::getpid()) << 16);
  }

  bool CanWrite(const std::string& path) override {
    return ::access(path.c_str(), W_OK) == 0;
  }

  bool Remove(const std::string& path, int* err) override {
    if (::unlink(path.c_str()) != 0) {
      if (err) *err = errno;
      return false;
    }
    return true;
  }

  bool Rename(const std::string& from, const std::string& to,
              int* err) override {
    if (::rename(from.c_str(), to.c_str()) != 0) {
      if (err) *err = errno;
      return false;
    }
    return true;
  }

  bool MakeDirectory(const std::string& path, int* err) override {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    int e = errno;
    struct stat st {};
    if (e == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return true;
    if (err) *err = e;
    return false;
  }

  bool SyncDirectory(const std::string& path, int* err) override {
    int fd = ::open(path.empty() ? "." : path.c_str(),
                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      if (err) *err = errno;
      return false;
    }
    bool ok = ::fsync(fd) == 0;
    if (!ok && err) *err = errno;
    ::close(fd);
    return ok;
  }

  std::vector<DirEntry> Search(const std::string& pattern) override {
    std::vector<DirEntry> found;
    const std::string dir = FolderOf(pattern);
    const std::string mask = NameOf(pattern);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return found;
    while (struct dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name.empty() || name[0] == '.') continue;
      if (!WildcardMatch(mask, name)) continue;
      struct stat st {};
      if (::stat(JoinPath(dir, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      DirEntry entry;
      entry.name = name;
      entry.mtime = DosTime(st.st_mtime);
      entry.size = static_cast<uint64_t>(st.st_size);
      found.push_back(std::move(entry));
    }
    ::closedir(d);
    std::sort(found.begin(), found.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return found;
  }

  std::vector<std::string> SearchNames(const std::string& pattern) override {
    std::vector<std::string> found;
    size_t slash = pattern.rfind('/');
    std::string dir = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return found;
    while (struct dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name.empty() || name[0] == '.') continue;
      if (!WildcardMatch(mask, name)) continue;
      // The listing tells a regular file; a link or a file system that
      // does not say is asked.
      if (e->d_type != DT_REG) {
        struct stat st {};
        if ((e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) ||
            ::stat((dir + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
          continue;
      }
      found.push_back(std::move(name));
    }
    ::closedir(d);
    return found;
  }

  ClockTime Now() override {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm {};
    time_t t = ts.tv_sec;
    localtime_r(&t, &tm);
    ClockTime c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    c.hundredths = static_cast<int32_t>(ts.tv_nsec / 10000000);
    c.weekday = tm.tm_wday;
    return c;
  }

  void SleepMs(int ms) override { ::usleep(static_cast<useconds_t>(ms) * 1000); }

  void ConsoleWrite(const std::string& text) override {
    std::string out = Cp866ToUtf8(text);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  }

  void ErrorWrite(const std::string& text) override {
    std::fflush(stdout);
    std::string out = Cp866ToUtf8(text);
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
  }

  void SaveTitle() override {
    if (titleSaved_ || !::isatty(STDOUT_FILENO)) return;
    titleSaved_ = true;
    RawWrite("\033[22;0t");
  }

  void SetTitle(const std::string& text) override {
    if (!::isatty(STDOUT_FILENO)) return;
    RawWrite("\033]2;" + Cp866ToUtf8(text) + "\007");
  }

  void RestoreTitle() override {
    if (!titleSaved_) return;
    titleSaved_ = false;
    RawWrite("\033[23;0t");
  }

 private:
  static void RawWrite(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
  }
  bool titleSaved_ = false;

  // Publishing whole files -------------------------------------------------
  bool Link(const std::string& from, const std::string& to,
            int* err) override {
    if (::link(from.c_str(), to.c_str()) != 0) {
      if (err) *err = errno;
      return false;
    }
    return true;
  }

  std::vector<std::string> HiddenNames(const std::string& dir) override {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return names;
    while (struct dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name.size() > 1 && name[0] == '.' && name != "..") names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace

Env* DefaultEnv() {
  static PosixEnv env;
  return &env;
}

std::string SystemErrorText(int err) {
  char buf[256];
  // The GNU variant returns the message (not always in buf).
  const char* text = ::strerror_r(err, buf, sizeof buf);
  return text ? text : "unknown error";
}

}  // namespace vex
