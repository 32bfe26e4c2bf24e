// Shared helpers of the end-to-end tests: a fresh temporary directory per
// test, file access, and running the built programs (optionally under
// faketime) with their output and exit code captured.
#pragma once

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vex::e2e {

inline std::string BinaryDir() {
  const char* env = std::getenv("VEX_BINARY_DIR");
  if (env && *env) return env;
#ifdef VEX_BINARY_DIR
  return VEX_BINARY_DIR;
#else
  return ".";
#endif
}
inline std::string SourceDir() {
#ifdef VEX_SOURCE_DIR
  return VEX_SOURCE_DIR;
#else
  return ".";
#endif
}
inline std::string VexstatPath() { return BinaryDir() + "/driver/vexstat"; }
inline std::string VexmsgPath() { return BinaryDir() + "/msgbase/vexmsg"; }

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/vexe2eXXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Code page conversion through the C library, independent of the program's
// own table.
inline std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
  std::string in = text, out(text.size() * 4 + 16, '\0');
  char* inp = in.data();
  char* outp = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) throw std::runtime_error("iconv");
  out.resize(out.size() - outLeft);
  return out;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error("cannot write " + path);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return std::string();
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

inline bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

inline void MakeDirs(const std::string& path) {
  std::string cmd = "mkdir -p '" + path + "'";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("mkdir " + path);
}

// Sets a file's modification time from local "YYYY-MM-DD HH:MM:SS".
inline void SetModTime(const std::string& path, const std::string& local) {
  struct tm tm {};
  if (!strptime(local.c_str(), "%Y-%m-%d %H:%M:%S", &tm))
    throw std::runtime_error("bad time " + local);
  tm.tm_isdst = -1;
  time_t t = mktime(&tm);
  struct timespec ts[2];
  ts[0].tv_sec = ts[1].tv_sec = t;
  ts[0].tv_nsec = ts[1].tv_nsec = 0;
  if (utimensat(AT_FDCWD, path.c_str(), ts, 0) != 0)
    throw std::runtime_error("utimensat " + path);
}

// How often each short string (length byte and text) is at `offset` of a
// store's records: stat.vx areas (552, 24), dupes.vx names (13, 0).
inline std::map<std::string, int> CountStrings(const std::string& store, size_t recordSize,
                                               size_t offset) {
  std::map<std::string, int> counts;
  if (store.size() % recordSize != 0) counts["(store cut short)"] = 1;
  for (size_t at = 0; at + recordSize <= store.size(); at += recordSize)
    ++counts[store.substr(at + offset + 1, static_cast<unsigned char>(store[at + offset]))];
  return counts;
}

// Splits text at "\n" (a final empty piece after a last "\n" is dropped).
inline std::vector<std::string> Lines(const std::string& text, const std::string& eol = "\n") {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(eol, start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + eol.size();
  }
  return lines;
}

// Drops the " DD.MM.YY HH:MM:SS " stamp of log lines (lines without one are
// kept as they are).
inline std::string Unstamp(const std::string& line) {
  if (line.size() >= 19 && line[0] == ' ' && line[3] == '.' && line[6] == '.' &&
      line[9] == ' ' && line[12] == ':' && line[15] == ':' && line[18] == ' ')
    return line.substr(19);
  return line;
}
inline std::vector<std::string> UnstampedLines(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& l : Lines(text)) out.push_back(Unstamp(l));
  return out;
}

struct RunResult {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs argv[0] with its arguments in directory cwd.  When fakeTime is not
// empty the program runs under faketime starting at that local time
// ("YYYY-MM-DD HH:MM:SS"); the clock then runs on from there, so programs
// that wait for the clock to move do not hang.
inline RunResult Run(const std::string& cwd, std::vector<std::string> argv,
                     const std::string& fakeTime = "", const std::string& input = "") {
  if (!fakeTime.empty()) {
    argv.insert(argv.begin(), {"faketime", fakeTime});
  }
  int outPipe[2], errPipe[2], inPipe[2];
  if (pipe(outPipe) || pipe(errPipe) || pipe(inPipe)) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], inPipe[0], inPipe[1]}) close(fd);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    // faketime must not shift file times (TIC dates come from them), and a
    // sanitizer build must accept the preloaded faketime library.
    setenv("NO_FAKE_STAT", "1", 1);
    std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
    setenv("ASAN_OPTIONS", (asan.empty() ? "" : asan + ":").append("verify_asan_link_order=0").c_str(), 1);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  close(inPipe[0]);
  if (!input.empty() && write(inPipe[1], input.data(), input.size()) < 0) {
  }
  close(inPipe[1]);
  RunResult r;
  struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  char buf[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

// Runs the built vexstat in cwd with the given options.
inline RunResult RunVexstat(const std::string& cwd, std::vector<std::string> args = {},
                            const std::string& fakeTime = "2026-12-08 12:00:00") {
  args.insert(args.begin(), VexstatPath());
  return Run(cwd, args, fakeTime);
}

}  // namespace vex::e2e
