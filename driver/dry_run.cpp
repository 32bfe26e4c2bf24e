#include "driver/dry_run.h"

#include <cerrno>

#include "core/stat_record.h"
#include "core/stat_store.h"
#include "driver/driver.h"
#include "intake/dupe_store.h"
#include "intake/intake_journal.h"
#include "platform/exit.h"
#include "platform/path.h"

namespace vex {

namespace {

uint64_t SizeOf(Env& env, const std::string& name) {
  int err = 0;
  std::unique_ptr<File> f = env.Open(name, OpenMode::kRead, &err);
  uint64_t size = 0;
  return f && f->Size(&size) ? size : 0;
}

// Cuts a store in the overlay back to what a reader without the run lock
// may take.
void CutTo(Env& env, const std::string& name, uint64_t limit) {
  if (limit == UINT64_MAX || SizeOf(env, name) <= limit) return;
  int err = 0;
  std::unique_ptr<File> f = env.Open(name, OpenMode::kReadWrite, &err);
  if (f) f->Truncate(limit);
}

}  // namespace

// A file of the real tree that the user may not write, or a new name (or
// a removed one) in a real directory that the user may not write.
bool DryRun::AsTheTreeAllows::Refused(const std::string& path, bool file, int* err) {
  const std::string dir = FolderOf(path);
  const bool refused = file && real_.Stat(path).exists
                           ? !real_.CanWrite(path)
                           : real_.Stat(dir).isDirectory && !real_.CanWrite(dir);
  if (refused && err) *err = EACCES;
  return refused;
}

std::unique_ptr<File> DryRun::AsTheTreeAllows::Open(const std::string& path, OpenMode mode,
                                                     int* err) {
  if (mode != OpenMode::kRead && Refused(path, true, err)) return nullptr;
  return EnvWrapper::Open(path, mode, err);
}

bool DryRun::AsTheTreeAllows::Remove(const std::string& path, int* err) {
  return !Refused(path, false, err) && EnvWrapper::Remove(path, err);
}

bool DryRun::AsTheTreeAllows::Rename(const std::string& from, const std::string& to, int* err) {
  return !Refused(from, false, err) && !Refused(to, false, err) &&
         EnvWrapper::Rename(from, to, err);
}

bool DryRun::AsTheTreeAllows::MakeDirectory(const std::string& path, int* err) {
  if (!real_.Stat(path).isDirectory && Refused(path, false, err)) return false;
  return EnvWrapper::MakeDirectory(path, err);
}

bool DryRun::AsTheTreeAllows::Link(const std::string& from, const std::string& to, int* err) {
  return !Refused(to, false, err) && EnvWrapper::Link(from, to, err);
}

DryRun::DryRun(App& app)
    : real_(app.env),
      overlay_(app.env),
      guarded_(overlay_, app.env),
      dry_(guarded_, app.args) {}

DryRun::~DryRun() = default;

bool DryRun::ReadConfiguration() {
  config_ = ReadConfig(real_, dry_.args);
  if (!config_.endingOption.empty()) return false;
  for (const std::string& line : ConfigNotReadLines(config_))
    configProblem_ += (configProblem_.empty() ? "" : "\n") + line;
  // A batch that another run is writing is left out: the overlay's stores
  // end where its last whole batch ends.
  const StoreLimits limits = CommittedStoreLimits(real_, kStatStoreName, kDupeStoreName);
  if (limits.statSize != UINT64_MAX || limits.dupeSize != UINT64_MAX) {
    CutTo(overlay_, kStatStoreName, limits.statSize);
    CutTo(overlay_, kDupeStoreName, limits.dupeSize);
    int err = 0;
    overlay_.Remove(kIntakeJournalName, &err);
  }
  const uint64_t before = SizeOf(overlay_, kStatStoreName) / kStatRecordSize;
  try {
    ActOnConfig(dry_, config_, false);
  } catch (const RunTimeError& e) {
    failure_ = "Run-time error: " + e.op() + " \"" + e.path() + "\": " + SystemErrorText(e.err());
  }
  waiting_ = SizeOf(overlay_, kStatStoreName) / kStatRecordSize - before;
  return true;
}

void DryRun::AssumeEmptyStore() {
  if (overlay_.Stat(kStatStoreName).exists) return;
  int err = 0;
  overlay_.Open(kStatStoreName, OpenMode::kCreate, &err);
}

}  // namespace vex
