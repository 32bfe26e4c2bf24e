// Squish bases shared with other processes: the lock on the data file's
// first byte, taken with real files and real child processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "msgbase/squish_base.h"
#include "msgbase/squish/format.h"
#include "util/coding.h"

namespace vex {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t)
      .count();
}

class SquishLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vex-squish-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    area_ = dir_ + "/area";
    auto b = MakeSquishBase(*DefaultEnv());
    ASSERT_TRUE(b->CreateBase(area_));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static bool Post(MessageBase& b, const std::string& from, int n) {
    if (!b.StartNewMessage()) return false;
    b.SetMailTypeFlag(kMailEcho, true);
    b.SetOrigAddress(FtnAddress{2, 5020, 1, 0}, true);
    b.SetFromName(from);
    b.SetToName("All");
    b.SetSubject("turn " + std::to_string(n));
    // Sizes vary so that frames differ.
    b.WriteTextLine(std::string(static_cast<size_t>(20 + n * 7), 'x'));
    return b.WriteMessage();
  }

  // Forks a child that runs body and exits with its result (0 = success).
  template <typename F>
  static pid_t Child(F body) {
    pid_t pid = ::fork();
    if (pid == 0) _exit(body());
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  std::string dir_, area_;
};

TEST_F(SquishLockTest, OpenWaitsAndReadsTheHeaderAfterTheLock) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  std::string area = area_;
  pid_t pid = Child([&] {
    ::close(ready[0]);
    auto b = MakeSquishBase(*DefaultEnv());
    if (!b->OpenBase(area)) return 1;
    if (::write(ready[1], "r", 1) != 1) return 2;
    ::usleep(400 * 1000);
    if (!Post(*b, "child", 1)) return 3;
    return 0;  // the lock goes with the process
  });
  ASSERT_GT(pid, 0);
  ::close(ready[1]);
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);
  auto b = MakeSquishBase(*DefaultEnv(), 5000);
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(b->OpenBase(area_));
  EXPECT_GE(MsSince(start), 300);
  EXPECT_EQ(b->MessageCount(), 1);  // the child's message is seen
  EXPECT_EQ(Wait(pid), 0);
  ASSERT_TRUE(Post(*b, "parent", 2));
  EXPECT_EQ(b->CurrentNumber(), 2);
}

TEST_F(SquishLockTest, TwoProcessesWritingInTurnsKeepTheBaseWhole) {
  constexpr int kTurns = 15;
  std::string area = area_;
  auto writer = [area](const char* who) {
    for (int i = 0; i < kTurns; ++i) {
      auto b = MakeSquishBase(*DefaultEnv());
      if (!b->OpenBase(area)) return 1;
      if (!Post(*b, who, i)) return 2;
      if (i % 5 == 4) {  // now and then free a frame for the other to reuse
        b->SeekMessage(b->CurrentNumber());
        if (!b->DeleteMessage()) return 3;
      }
      b->CloseBase();
    }
    return 0;
  };
  pid_t pid = Child([&] { return writer("child"); });
  ASSERT_GT(pid, 0);
  EXPECT_EQ(writer("parent"), 0);
  EXPECT_EQ(Wait(pid), 0);

  const int kept = 2 * (kTurns - kTurns / 5);
  auto b = MakeSquishBase(*DefaultEnv());
  ASSERT_TRUE(b->OpenBase(area_));
  EXPECT_EQ(b->MessageCount(), kept);
  EXPECT_EQ(b->HighMessage(), 2 * kTurns);
  std::set<int32_t> numbers;
  int fromChild = 0;
  for (b->SeekNext(); b->SeekFound(); b->SeekNext()) {
    EXPECT_TRUE(numbers.insert(b->CurrentNumber()).second);
    ASSERT_TRUE(b->ReadMessage()) << b->CurrentNumber();
    if (b->GetFromName() == "child") ++fromChild;
  }
  EXPECT_EQ(static_cast<int>(numbers.size()), kept);
  EXPECT_EQ(fromChild, kept / 2);
  b->CloseBase();

  // The message chain visits the index's frames in index order.
  std::string sqd, sqi;
  {
    std::FILE* f = std::fopen((area_ + ".sqd").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) sqd.append(buf, n);
    std::fclose(f);
    f = std::fopen((area_ + ".sqi").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) sqi.append(buf, n);
    std::fclose(f);
  }
  ASSERT_EQ(sqi.size(), static_cast<size_t>(kept) * 12);
  uint32_t frame = GetU32(sqd.data() + 104);
  uint32_t prev = 0;
  for (int i = 0; i < kept; ++i) {
    ASSERT_EQ(frame, GetU32(sqi.data() + i * 12));
    ASSERT_LE(frame + 28u, sqd.size());
    squish::FrameHeader h = squish::DecodeFrameHeader(sqd.data() + frame);
    EXPECT_EQ(h.prev, prev);
    EXPECT_EQ(h.type, 0);
    prev = frame;
    frame = h.next;
  }
  EXPECT_EQ(frame, 0u);
  EXPECT_EQ(GetU32(sqd.data() + 108), prev);
  EXPECT_EQ(GetU32(sqd.data() + 120), sqd.size());
}

}  // namespace
}  // namespace vex
