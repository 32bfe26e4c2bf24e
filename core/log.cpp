// The log context.  Each line goes to the console and, while a log file is
// open, to the end of that file at once, so the log is complete whatever way
// the program stops.
#include "core/log.h"

#include <cerrno>
#include <cstdio>

#include "platform/exit.h"

namespace vex {

namespace {

std::string TwoDigits(int32_t v) {
  if (v < 0) v = -v;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", static_cast<int>(v % 100));
  return buf;
}

}  // namespace

LogContext::LogContext(Env& env) : env_(env) {}

LogContext::~LogContext() = default;

// " DD.MM.YY HH:MM:SS "
std::string LogContext::Stamp() {
  ClockTime t = env_.Now();
  std::string s = " ";
  s += TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + TwoDigits(t.year);
  s += " ";
  s += TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" +
       TwoDigits(t.second);
  s += " ";
  return s;
}

void LogContext::Write(const std::string& bytes) {
  if (!file_ || bytes.empty()) return;
  if (!file_->Append(bytes.data(), bytes.size())) {
    int err = file_->LastError();
    file_.reset();  // nothing more can be written to it
    FailIo("write", fileName_, err);
  }
}

void LogContext::OpenLog(const std::string& name) {
  file_.reset();
  fileName_ = name;
  int err = 0;
  // Only a log that is not there is made anew: one that exists but cannot be
  // read is appended to (or reported), never emptied.
  bool exists =
      env_.Open(name, OpenMode::kRead, &err) != nullptr || err != ENOENT;
  // Every line goes to the end of the file as it is then, so lines that
  // another program adds meanwhile are never overwritten.
  file_ = env_.Open(name, OpenMode::kAppend, &err);
  logMade_ = file_ != nullptr;
  if (!logMade_) ++errorLines_;
  if (!exists) {
    if (file_) {
      LogLine(" * Made new log file");
    } else {
      LogLine(" ! I can't make log file!!!..");
      LogReason(name, err);
    }
  } else if (!file_) {
    // A log that exists but cannot be written to is treated like one that
    // cannot be made: the run goes on with the console only.
    LogLine(" ! I can't make log file!!!..");
    LogReason(name, err);
  }
  if (file_) LogLine(programName_ + ": started..");
}

void LogContext::LogReason(const std::string& name, int err) {
  LogLine("   " + name + ": " + SystemErrorText(err));
}

void LogContext::AppendRunTimeError(const std::string& text) {
  if (!file_) return;
  // The run is ending on a failure already: a log that cannot take the line
  // either is left as it is.
  std::string line = Stamp() + "[err] " + text + "\n";
  (void)file_->Append(line.data(), line.size());
}

void LogContext::LogLine(const std::string& text) {
  std::string line = Stamp() + text + "\n";
  env_.ConsoleWrite(line);
  Write(line);
}

void LogContext::LogBegin(const std::string& text) {
  std::string line = Stamp() + text;
  env_.ConsoleWrite(line);
  Write(line);
}

void LogContext::LogFinish(const std::string& text) {
  std::string line = text + "\n";
  env_.ConsoleWrite(line);
  Write(line);
}

void LogContext::LogError(const std::string& text) {
  ++errorLines_;
  LogErrorNotice(text);
}

void LogContext::LogFailure(const std::string& text) {
  ++errorLines_;
  LogLine(text);
}

void LogContext::LogErrorNotice(const std::string& text) {
  std::string line = Stamp() + "[err] " + text + "\n";
  env_.ConsoleWrite(line);
  Write(line);
}

void LogContext::SetWindowTitle(const std::string& text) {
  env_.SetTitle(text + " - " + programName_);
}

void LogContext::EndLog() {
  if (!file_) return;
  LogLine("End..");
  Write("\n");
  env_.ConsoleWrite("\n");
  file_.reset();
}

}  // namespace vex
