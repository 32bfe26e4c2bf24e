// Runs of the built program started together on one node directory, each
// with its own inbound: every TIC file is counted exactly once, and a run
// either does all its work (exit 0) or ends with the lock message having
// changed nothing.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_harness.h"

namespace vex::e2e {
namespace {

constexpr int kTicsPerRun = 300;

struct Crowd {
  const char* name;
  int runs;
  const char* lockWait;  // VEXSTAT_LOCK_WAIT, or nullptr for the default
  bool killTic;
};

class RunLockE2eTest : public ::testing::TestWithParam<Crowd> {};

std::string TicName(int run, int i) {
  return "r" + std::to_string(run) + "n" + std::to_string(1000 + i) + ".tic";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1))
    ++n;
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
                "Area R" + std::to_string(r) + "\r\nSize " + std::to_string(i) + "\r\n");
    WriteFile(dir / ("cfg" + std::to_string(r)),
              std::string("LOGFILE vexstat.log\nKILLTIC ") +
                  (c.killTic ? "Yes" : "No") + "\nTICPATH " + in + "/\n");
  }

  std::vector<pid_t> pids;
  for (int r = 0; r < c.runs; ++r) {
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(126);
      int out = open("/dev/null", O_WRONLY);
      int err = open(("err" + std::to_string(r)).c_str(), O_WRONLY | O_CREAT, 0644);
      dup2(out, 1);
      dup2(err, 2);
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

  // The stores, decoded here: 552-byte records with the area (a length
  // byte and text) at offset 24 and the size at 536; 13-byte names.
  std::string stat = ReadFile(dir / "stat.vx"), dupes = ReadFile(dir / "dupes.vx");
  ASSERT_EQ(stat.size() % 552, 0u);
  ASSERT_EQ(dupes.size() % 13, 0u);
  std::map<std::pair<std::string, int>, int> records;
  for (size_t at = 0; at < stat.size(); at += 552) {
    const auto* p = reinterpret_cast<const unsigned char*>(stat.data() + at);
    int size = p[536] | (p[537] << 8);
    ++records[{stat.substr(at + 25, p[24]), size}];
  }
  std::map<std::string, int> names;
  for (size_t at = 0; at < dupes.size(); at += 13)
    ++names[dupes.substr(at + 1, static_cast<unsigned char>(dupes[at]))];

  int finished = 0;
  for (int r = 0; r < c.runs; ++r) {
    SCOPED_TRACE("run " + std::to_string(r));
    bool done = codes[r] == 0;
    if (done) {
      ++finished;
    } else {
      EXPECT_EQ(codes[r], 2);
      EXPECT_NE(ReadFile(dir / ("err" + std::to_string(r))).find("vexstat.lck"),
                std::string::npos);
    }
    std::string area = "R" + std::to_string(r);
    for (int i = 0; i < kTicsPerRun; ++i) {
      std::string name = TicName(r, i);
      ASSERT_EQ((records[{area, i}]), done ? 1 : 0) << name;
      ASSERT_EQ(names[name], done ? 1 : 0) << name;
      ASSERT_EQ(FileExists(dir / ("in" + std::to_string(r) + "/" + name)),
                !(done && c.killTic)) << name;
    }
  }
  EXPECT_GE(finished, 1);
  if (!c.lockWait) {
    EXPECT_EQ(finished, c.runs);
  }
  EXPECT_EQ(stat.size() / 552, static_cast<size_t>(finished * kTicsPerRun));
  // Each finished run's log lines are all there, none written over.
  std::string log = ReadFile(dir / "vexstat.log");
  EXPECT_EQ(Count(log, ": started.."), static_cast<size_t>(finished));
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
