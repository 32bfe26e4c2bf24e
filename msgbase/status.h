// The result of every operation on a message base: ok, or what went wrong
// (a kind a caller can act on, the file, the system's reason and a sentence).
#pragma once

#include <string>

namespace vex {

class Status {
 public:
  enum class Kind {
    kOk,
    kNotFound,  // no such base, or no such message
    kDamaged,   // the files are there but do not hold a whole base or message
    kBusy,      // another program holds the base's lock
    kIoError,   // the system refused a read, write, sync or create
    kRefused,   // not allowed here: a read-only base, an unknown base type
  };

  // Ok.
  Status() = default;

  static Status Ok() { return Status(); }
  static Status NotFound(std::string file, std::string sentence) {
    return Status(Kind::kNotFound, std::move(file), 0, std::move(sentence));
  }
  static Status Damaged(std::string file, std::string sentence) {
    return Status(Kind::kDamaged, std::move(file), 0, std::move(sentence));
  }
  static Status Busy(std::string file, std::string sentence) {
    return Status(Kind::kBusy, std::move(file), 0, std::move(sentence));
  }
  static Status IoError(std::string file, int err, std::string sentence) {
    return Status(Kind::kIoError, std::move(file), err, std::move(sentence));
  }
  // The system refused `what` ("write", "open", "sync", ...) on `file`.
  static Status FileError(std::string file, int err, const std::string& what) {
    return Status(Kind::kIoError, std::move(file), err, "cannot " + what);
  }
  static Status Refused(std::string file, std::string sentence) {
    return Status(Kind::kRefused, std::move(file), 0, std::move(sentence));
  }

  bool ok() const { return kind_ == Kind::kOk; }
  Kind kind() const { return kind_; }
  bool IsNotFound() const { return kind_ == Kind::kNotFound; }
  bool IsDamaged() const { return kind_ == Kind::kDamaged; }
  bool IsBusy() const { return kind_ == Kind::kBusy; }
  bool IsIoError() const { return kind_ == Kind::kIoError; }
  bool IsRefused() const { return kind_ == Kind::kRefused; }

  const std::string& file() const { return file_; }
  // The errno value the system gave, 0 when the failure is not the system's.
  int systemError() const { return systemError_; }
  const std::string& sentence() const { return sentence_; }

  // "OK", or the file, the sentence and the system's reason:
  // `b/area.jhr: the base header is short: No such file or directory`.
  std::string ToString() const;
  // The file and, in the system's words, why: `b/area.jdt: No space left on
  // device` (the sentence stands in when the system gave no reason).
  std::string Reason() const;

 private:
  Status(Kind kind, std::string file, int err, std::string sentence)
      : kind_(kind), systemError_(err), file_(std::move(file)), sentence_(std::move(sentence)) {}

  Kind kind_ = Kind::kOk;
  int systemError_ = 0;
  std::string file_;
  std::string sentence_;
};

}  // namespace vex
