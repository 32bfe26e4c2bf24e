#include "driver/dry_run.h"

#include "core/stat_store.h"
#include "driver/command_line.h"
#include "driver/driver.h"
#include "posting/posting.h"
#include "util/text.h"

namespace vex {

DryRun::DryRun(App& app)
    : real_(app.env), overlay_(app.env), dry_(overlay_, app.args) {}

DryRun::~DryRun() = default;

bool DryRun::ReadConfiguration() {
  for (const std::string& p : dry_.args)
    if (EndsTheProgram(p)) return false;
  InitPostingSettings(dry_.posting, overlay_);
  RunSettings& run = dry_.run;
  run.configFile = Cut(ConfigFileFromCommandLine(dry_.args, run.configFile));
  limits_ = CommittedStoreLimits(real_, kStatStoreName, kDupeStoreName);
  run.statReadLimit = limits_.statSize;
  int err = 0;
  if (!ReadConfigurationLines(dry_, [this](const std::string& line) { Apply(line); }, &err))
    configProblem_ = "Config file " + run.configFile + " not read (" + SystemErrorText(err) +
                     "), running with defaults";
  if (!run.commandLineApplied) ApplyCommandLine(dry_);
  DefaultFromAddress(dry_.posting, run.ownAddresses);
  dry_.posting.resultUtf8 = run.resultUtf8;
  return true;
}

void DryRun::AssumeEmptyStore() {
  if (overlay_.Stat(kStatStoreName).exists) return;
  int err = 0;
  overlay_.Open(kStatStoreName, OpenMode::kCreate, &err);
}

void DryRun::Apply(const std::string& line) {
  RunSettings& run = dry_.run;
  const std::string key = UpperCp866(FirstWord(line));
  if (key == "TICPATH") {
    if (run.scanCancelled) return;
    if (!run.commandLineApplied) ApplyCommandLine(dry_);
    if (!run.scanCancelled) CountWaiting(Cut(RestOfLine(line)));
  } else if (key != "LOGFILE") {
    ApplyConfigLine(dry_, line);
  }
  ApplyPostingLine(dry_.posting, dry_.log, overlay_, line);
}

void DryRun::CountWaiting(const std::string& directory) {
  const RunSettings& run = dry_.run;
  if (!dupes_)
    dupes_ = std::make_unique<DupeStore>(real_, dry_.log, true, kDupeStoreName,
                                         limits_.dupeSize);
  for (const DirEntry& e : real_.Search(directory + run.ticMask)) {
    if (run.dupeCheck && dupes_->Knows(e.name)) continue;
    dupes_->Note(e.name);
    ++waiting_;
  }
}

}  // namespace vex
