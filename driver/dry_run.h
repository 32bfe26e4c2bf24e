// A run that changes nothing, for the preview and the export: the program
// works as a run would, but through an overlay that keeps every change in
// memory, without the run lock and without a log file.  The TIC files
// waiting are counted into the overlay's stores as the run would count
// them.  The statistics store is taken only up to its last whole batch, so
// a batch that another run is writing is not half read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "driver/app.h"
#include "driver/config.h"
#include "platform/env_wrapper.h"
#include "platform/overlay_env.h"

namespace vex {

class DryRun {
 public:
  explicit DryRun(App& app);
  ~DryRun();

  // Reads the configuration and acts on it as a run does, except that no
  // log is opened and every change stays in the overlay.  False when the
  // command line ends the run (help, -K, -L): nothing of it is carried out.
  bool ReadConfiguration();

  // Without a statistics store a run ends before its reports; this makes
  // an empty one in the overlay, so that the period reads as empty.
  void AssumeEmptyStore();

  App& app() { return dry_; }
  // The overlay, which collects the console lines and keeps the changes.
  OverlayEnv& overlay() { return overlay_; }
  // What the dry run works through: the overlay, refusing what the real
  // tree refuses the user (a write into a file or directory it may not
  // write), so that a run that would fail fails here too.
  Env& env() { return guarded_; }
  Env& real() { return real_; }
  // TIC files the next run counts before its reports (they are in the
  // overlay's store).
  size_t waiting() const { return waiting_; }
  const Config& config() const { return config_; }
  // Empty when the configuration file was read; else the line a run
  // writes about it ("Config file ... not read (...), running with
  // defaults").
  const std::string& configProblem() const { return configProblem_; }
  // Empty, or the run-time error line that ends the run while it acts on
  // the configuration (a store that cannot be made, a TIC file that cannot
  // be deleted); the run then exits with code 2.
  const std::string& failure() const { return failure_; }

 private:
  class AsTheTreeAllows : public EnvWrapper {
   public:
    AsTheTreeAllows(Env& overlay, Env& real) : EnvWrapper(overlay), real_(real) {}
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, int* err) override;
    bool Remove(const std::string& path, int* err) override;
    bool Rename(const std::string& from, const std::string& to, int* err) override;
    bool MakeDirectory(const std::string& path, int* err) override;
    bool Link(const std::string& from, const std::string& to, int* err) override;

   private:
    bool Refused(const std::string& path, bool file, int* err);
    Env& real_;
  };

  Env& real_;
  OverlayEnv overlay_;
  AsTheTreeAllows guarded_;
  App dry_;
  Config config_;
  size_t waiting_ = 0;
  std::string configProblem_;
  std::string failure_;
};

}  // namespace vex
