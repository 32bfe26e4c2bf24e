// The log context: every progress and error line of a run goes to the log
// file (when one is open) and to the console, with a date and time stamp.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"

namespace vex {

class LogContext {
 public:
  explicit LogContext(Env& env);
  ~LogContext();

  // Opens or creates the log file for appending (" * Made new log file",
  // " ! I can't make log file!!!.." and the "started" line).
  void OpenLog(const std::string& name);
  void LogLine(const std::string& text);    // stamped line with line end
  void LogBegin(const std::string& text);   // stamped, no line end
  void LogFinish(const std::string& text);  // text and line end
  void LogError(const std::string& text);   // stamped "[err] " line
  // An "[err]" line that reports no failure (a first-time creation): it is
  // not counted among the error lines.
  void LogErrorNotice(const std::string& text);
  // A stamped line, without "[err] ", that reports a failure (a template
  // that cannot be read, a result file that cannot be created): counted.
  void LogFailure(const std::string& text);
  // A stamped line naming a file and the system's reason for errno err.
  void LogReason(const std::string& name, int err);
  // The run-time error line that ends the run, as an error line of the open
  // log file only (the console has it on standard error); a failure to
  // write it is ignored.
  void AppendRunTimeError(const std::string& text);
  // Console title: text, " - " and the program name.
  void SetWindowTitle(const std::string& text);
  // "End..", an empty line, close.  Nothing when no log is open.
  void EndLog();

  bool IsOpen() const { return file_ != nullptr; }
  // The failures logged so far: the "[err]" lines (but the notices), the
  // LogFailure lines and a log file that could not be made.
  int ErrorLines() const { return errorLines_; }
  // The name of the last OpenLog, empty when there was none, and whether
  // that log could be made (it stays true after EndLog).
  const std::string& FileName() const { return fileName_; }
  bool LogMade() const { return logMade_; }
  void SetProgramName(const std::string& name) { programName_ = name; }
  const std::string& ProgramName() const { return programName_; }
  Env& env() { return env_; }

 private:
  std::string Stamp();
  void Write(const std::string& bytes);  // to the file (if open), flushed

  Env& env_;
  std::unique_ptr<File> file_;
  std::string fileName_;
  std::string programName_;
  int errorLines_ = 0;
  bool logMade_ = false;
};

}  // namespace vex
