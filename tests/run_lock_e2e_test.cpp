// Runs of the built program started together on one node directory, each
// with its own inbound: every TIC file is counted exactly once, and a run
// either does all its work (exit 0) or ends with the lock message having
// changed nothing.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_harness.h"

namespace vex::e2e {
namespace {

constexpr int kTicsPerRun = 300;

// lockWait: VEXSTAT_LOCK_WAIT, or nullptr for the default.
struct Crowd { const char* name; int runs; const char* lockWait; bool killTic; };

class RunLockE2eTest : public ::testing::TestWithParam<Crowd> {};

std::string TicName(int run, int i) {
  return "r" + std::to_string(run) + "n" + std::to_string(1000 + i) + ".tic";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++n;
  return n;
}

TEST_P(RunLockE2eTest, EveryTicCountsOnceWhenRunsOverlap) {
  const Crowd& c = GetParam();
  TempDir dir;
  for (int r = 0; r < c.runs; ++r) {
    std::string in = "in" + std::to_string(r);
    MakeDirs(dir / in);
    for (int i = 0; i < kTicsPerRun; ++i)
      WriteFile(dir / (in + "/" + TicName(r, i)),
                "Area " + TicName(r, i) + "\r\n");
    WriteFile(dir / ("cfg" + std::to_string(r)),
              std::string("LOGFILE vexstat.log\nKILLTIC ") +
                  (c.killTic ? "Yes" : "No") + "\nTICPATH " + in + "/\n");
  }

  std::vector<pid_t> pids;
  for (int r = 0; r < c.runs; ++r) {
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(126);
      dup2(open("/dev/null", O_WRONLY), 1);
      dup2(open(("err" + std::to_string(r)).c_str(), O_WRONLY | O_CREAT, 0644), 2);
      if (c.lockWait) setenv("VEXSTAT_LOCK_WAIT", c.lockWait, 1);
      std::string program = VexstatPath(), config = "-Ccfg" + std::to_string(r);
      execl(program.c_str(), "vexstat", config.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    pids.push_back(pid);
  }
  std::vector<int> codes;
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128);
  }

  std::map<std::string, int> areas = CountStrings(ReadFile(dir / "stat.vx"), 552, 24);
  std::map<std::string, int> names = CountStrings(ReadFile(dir / "dupes.vx"), 13, 0);
  int finished = 0;
  for (int code : codes) finished += code == 0;
  EXPECT_EQ(areas.size(), static_cast<size_t>(finished * kTicsPerRun));
  for (int r = 0; r < c.runs; ++r) {
    bool done = codes[r] == 0;
    if (!done) {
      EXPECT_EQ(codes[r], 2);
      EXPECT_NE(ReadFile(dir / ("err" + std::to_string(r))).find("vexstat.lck"),
                std::string::npos);
    }
    for (int i = 0; i < kTicsPerRun; ++i) {
      std::string name = TicName(r, i);
      ASSERT_EQ(areas[name], done ? 1 : 0) << name;
      ASSERT_EQ(names[name], done ? 1 : 0) << name;
      ASSERT_EQ(FileExists(dir / ("in" + std::to_string(r) + "/" + name)),
                !(done && c.killTic)) << name;
    }
  }
  EXPECT_GE(finished, 1);
  EXPECT_TRUE(c.lockWait || finished == c.runs) << "a run gave up waiting";
  // Each finished run's log lines are all there, none written over.
  std::string log = ReadFile(dir / "vexstat.log");
  EXPECT_EQ(Count(log, "End.."), static_cast<size_t>(finished));
}

INSTANTIATE_TEST_SUITE_P(
    Crowds, RunLockE2eTest,
    ::testing::Values(Crowd{"TwoRunsWait", 2, nullptr, false},
                      Crowd{"FourRunsWaitAndDelete", 4, nullptr, true},
                      Crowd{"TwoRunsGiveUp", 2, "0", false},
                      Crowd{"FourRunsGiveUpAndDelete", 4, "0", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex::e2e
