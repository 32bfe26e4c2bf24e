// The process-wide state of a run, in one visible place: created once in
// main() and handed to every step of the driver.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/run_settings.h"
#include "driver/run_lock.h"
#include "platform/env.h"
#include "posting/posting_settings.h"
#include "report/period_tables.h"
#include "report/report_settings.h"

namespace vex {

struct App {
  App(Env& e, std::vector<std::string> parameters)
      : env(e), args(std::move(parameters)), log(e) {}

  Env& env;
  // The program's parameters 1..count, as given on the command line.
  std::vector<std::string> args;
  RunSettings run;
  LogContext log;
  PostingSettings posting;
  ReportSettings report;
  PeriodTables tables;
  // How long to wait for another run, and the run lock once held.
  int runLockWaitMs = kRunLockWaitMs;
  std::unique_ptr<File> runLock;
};

}  // namespace vex
