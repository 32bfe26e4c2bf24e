// Intake and purge under kills and full disks.  Each run happens in a child
// process in a fresh directory, struck before its k-th file operation (a
// kill) or at its k-th write (failing, or cut short), for every k until the
// run gets through; a clean run follows, and the stores are then read byte
// by byte here: every TIC file must be counted exactly once.
#include <signal.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "intake/intake_journal.h"
#include "intake/maintenance.h"
#include "intake/tic_scan.h"
#include "platform/env_wrapper.h"
#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "tests/e2e_harness.h"

namespace vex {
namespace {

constexpr int kTics = 6;       // t0.tic .. t5.tic, areas T0 .. T5
constexpr int kOldTics = 3;    // t0..t2 are 200 days old
constexpr int kKilled = 9;     // child status: killed
constexpr int kRunError = 2;   // child status: RunTimeError

// Kills the process before the k-th file operation (1 is the first).
class KillEnv : public EnvWrapper {
 public:
  KillEnv(Env& target, int killAt) : EnvWrapper(target), killAt_(killAt) {}
  void Tick() {
    if (++ops_ == killAt_) raise(SIGKILL);
  }
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* e) override;
  bool Remove(const std::string& p, int* e) override {
    return Tick(), EnvWrapper::Remove(p, e);
  }
  bool Rename(const std::string& f, const std::string& t, int* e) override {
    return Tick(), EnvWrapper::Rename(f, t, e);
  }
  bool SyncDirectory(const std::string& p, int* e) override {
    return Tick(), EnvWrapper::SyncDirectory(p, e);
  }

 private:
  int killAt_, ops_ = 0;
};

class KillFile : public FileWrapper {
 public:
  KillFile(std::unique_ptr<File> f, KillEnv& env)
      : FileWrapper(std::move(f)), env_(env) {}
  bool WriteAt(uint64_t o, const void* b, size_t n) override {
    return env_.Tick(), FileWrapper::WriteAt(o, b, n);
  }
  bool Append(const void* b, size_t n) override {
    return env_.Tick(), FileWrapper::Append(b, n);
  }
  bool Truncate(uint64_t s) override { return env_.Tick(), FileWrapper::Truncate(s); }
  bool Sync() override { return env_.Tick(), FileWrapper::Sync(); }

 private:
  KillEnv& env_;
};

std::unique_ptr<File> KillEnv::Open(const std::string& p, OpenMode m, int* e) {
  Tick();
  std::unique_ptr<File> f = EnvWrapper::Open(p, m, e);
  return f ? std::make_unique<KillFile>(std::move(f), *this) : nullptr;
}

enum class Fault { kKill, kFullDisk, kCutShort };
struct Case { const char* name; bool purge, dupeCheck, killTic; Fault fault; };

class IntakeFaultTest : public ::testing::TestWithParam<Case> {
 protected:
  void MakeNode() {
    std::string cmd = "rm -rf '" + dir_ + "'/* && mkdir '" + dir_ + "/in'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (int i = 0; i < kTics; ++i) {
      std::string path = dir_ + "/in/t" + std::to_string(i) + ".tic";
      std::ofstream(path) << "Area T" << i << "\r\nSize " << i << "\r\n";
      time_t t = std::time(nullptr) - (i < kOldTics ? 200 * 86400 : 0);
      struct timespec ts[2] = {{t, 0}, {t, 0}};
      ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
    }
  }

  // Runs an intake (or a purge) in a child process; the fault strikes at
  // k (0: none).  Returns the child's exit code, or kKilled.
  int RunChild(bool purge, Fault fault, int k) {
    const Case& c = GetParam();
    pid_t pid = fork();
    if (pid == 0) {
      dup2(open("/dev/null", O_WRONLY), 1);
      if (chdir(dir_.c_str()) != 0) _exit(5);
      KillEnv kill(*DefaultEnv(), fault == Fault::kKill ? k : 0);
      FaultEnv env(kill);
      if (fault != Fault::kKill && k > 0)
        env.FailWritesFrom(k - 1, fault == Fault::kCutShort);
      int code = 0;
      try {
        LogContext log(env);
        RecoverIntake(env);
        if (purge) {
          PurgeStatistics(env, log, "-L30");
        } else {
          RunSettings run;
          run.dupeCheck = c.dupeCheck;
          run.killTic = c.killTic;
          run.ticBatchSize = 4;
          ScanTicDirectory(env, log, run, "in/", "*.tic");
        }
      } catch (const RunTimeError&) {
        code = kRunError;
      } catch (...) {
        code = 3;
      }
      // A fault that struck must not end in success.
      if (code == 0 && env.injectedFailures() > 0) code = 4;
      _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return kKilled;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
  }

  void CheckExactlyOnce(int k) {
    const Case& c = GetParam();
    SCOPED_TRACE("fault at " + std::to_string(k));
    std::map<std::string, int> areas =
        e2e::CountStrings(e2e::ReadFile(dir_ + "/stat.vx"), 552, 24);
    std::map<std::string, int> names =
        e2e::CountStrings(e2e::ReadFile(dir_ + "/dupes.vx"), 13, 0);
    EXPECT_EQ(areas.size(), static_cast<size_t>(c.purge ? kTics - kOldTics : kTics));
    for (int i = 0; i < kTics; ++i) {
      std::string n = std::to_string(i);
      bool kept = !c.purge || i >= kOldTics;
      EXPECT_EQ(areas["T" + n], kept ? 1 : 0) << "T" << n;
      EXPECT_EQ(names["t" + n + ".tic"], 1) << n;
      EXPECT_EQ(e2e::FileExists(dir_ + "/in/t" + n + ".tic"), !c.killTic) << n;
    }
    EXPECT_FALSE(e2e::FileExists(dir_ + "/" + kIntakeJournalName));
    EXPECT_FALSE(e2e::FileExists(dir_ + "/temp"));
  }

  e2e::TempDir temp_;
  std::string dir_ = temp_.path();
};

TEST_P(IntakeFaultTest, EveryTicCountsOnceWhereverTheRunStops) {
  const Case& c = GetParam();
  int k = 1;
  for (; k < 400; ++k) {
    MakeNode();
    ASSERT_TRUE(!c.purge || RunChild(false, Fault::kKill, 0) == 0);  // set-up
    std::string before = e2e::ReadFile(dir_ + "/stat.vx");
    int code = RunChild(c.purge, c.fault, k);
    if (code == 0) break;  // the run got through before fault k
    ASSERT_EQ(code, c.fault == Fault::kKill ? kKilled : kRunError) << k;
    if (c.fault != Fault::kKill) {
      // A failed write is put back at once: no batch is left half done,
      // and a failed purge leaves the store as it was and no copy.
      EXPECT_FALSE(e2e::FileExists(dir_ + "/" + kIntakeJournalName)) << k;
      EXPECT_FALSE(e2e::FileExists(dir_ + "/temp")) << k;
      EXPECT_TRUE(!c.purge || e2e::ReadFile(dir_ + "/stat.vx") == before) << k;
    }
    ASSERT_EQ(RunChild(c.purge, Fault::kKill, 0), 0) << k;
    CheckExactlyOnce(k);
    if (HasFailure()) return;
  }
  EXPECT_GT(k, 1);  // the faults did strike inside the run
  CheckExactlyOnce(k);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, IntakeFaultTest,
    ::testing::Values(
        Case{"IntakeKilled", false, true, false, Fault::kKill},
        Case{"IntakeDeletingKilled", false, true, true, Fault::kKill},
        Case{"IntakeWithoutDupeCheckKilled", false, false, true, Fault::kKill},
        Case{"PurgeKilled", true, true, false, Fault::kKill},
        Case{"IntakeOnFullDisk", false, true, false, Fault::kFullDisk},
        Case{"IntakeDeletingWritesCutShort", false, true, true, Fault::kCutShort},
        Case{"IntakeWithoutDupeCheckOnFullDisk", false, false, true, Fault::kFullDisk},
        Case{"PurgeOnFullDisk", true, true, false, Fault::kFullDisk},
        Case{"PurgeWritesCutShort", true, true, false, Fault::kCutShort}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex
