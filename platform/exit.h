// The two ways a run ends early.  Both are thrown and caught once, in the
// program's main(), which restores the console title and sets the exit code.
#pragma once

#include <stdexcept>
#include <string>

namespace vex {

// An orderly end before the normal end of the run, thrown only by the
// command line (help screen, --version, the end of a maintenance action).
// Exit code as given, normally 0.
struct ProgramExit {
  int code = 0;
};

// An input/output failure that nothing handles: main() writes one line on
// standard error naming the operation, the file and the system's reason,
// and exits with code 2.
class RunTimeError : public std::runtime_error {
 public:
  RunTimeError(std::string op, std::string path, int err);
  const std::string& op() const { return op_; }
  const std::string& path() const { return path_; }
  int err() const { return err_; }

 private:
  std::string op_, path_;
  int err_;
};

// Throws RunTimeError.
[[noreturn]] void FailIo(const std::string& op, const std::string& path,
                         int err);

constexpr int kExitRunTimeError = 2;

}  // namespace vex
