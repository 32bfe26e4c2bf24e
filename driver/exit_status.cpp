#include "driver/exit_status.h"

namespace vex {

std::string LoggedErrorsLine(const LogContext& log) {
  const int n = log.ErrorLines();
  std::string line = "vexstat: the run logged " + std::to_string(n) +
                     (n == 1 ? " error line" : " error lines");
  if (log.FileName().empty())
    line += "; no log file is configured (LOGFILE), see the output above";
  else if (!log.LogMade())
    line += "; the log file " + log.FileName() +
            " could not be made, see the output above";
  else
    line += ", see the log file " + log.FileName();
  return line + "\n";
}

int ExitStatusAfterRun(App& app, int code) {
  if (code != 0 || app.log.ErrorLines() == 0) return code;
  app.env.ErrorWrite(LoggedErrorsLine(app.log));
  return kExitLoggedErrors;
}

}  // namespace vex
