// A run that changes nothing, for the preview and the export: the program
// works as a run would, but through an overlay that keeps every change in
// memory, without the run lock, without a log file and without scanning
// TIC files.  The statistics store is read only up to its last whole batch,
// so a batch that another run is writing is not half read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "driver/app.h"
#include "intake/dupe_store.h"
#include "intake/intake_journal.h"
#include "platform/overlay_env.h"

namespace vex {

class DryRun {
 public:
  explicit DryRun(App& app);
  ~DryRun();

  // Reads the configuration and applies the command line as a run does,
  // except that no log is opened and a TICPATH line counts the TIC files its
  // scan would count instead of scanning them.  False when the command line
  // ends the run (help, -K, -L): nothing of it is carried out.
  bool ReadConfiguration();

  // Without a statistics store a run ends before its reports; this makes
  // an empty one in the overlay, so that the period reads as empty.
  void AssumeEmptyStore();

  App& app() { return dry_; }
  OverlayEnv& overlay() { return overlay_; }
  Env& real() { return real_; }
  // TIC files the next run would count before its reports.
  size_t waiting() const { return waiting_; }
  // Empty when the configuration file was read; else the line a run
  // writes about it ("Config file ... not read (...), running with
  // defaults").
  const std::string& configProblem() const { return configProblem_; }

 private:
  void Apply(const std::string& line);
  void CountWaiting(const std::string& directory);

  Env& real_;
  OverlayEnv overlay_;
  App dry_;
  StoreLimits limits_;
  std::unique_ptr<DupeStore> dupes_;
  size_t waiting_ = 0;
  std::string configProblem_;
};

}  // namespace vex
