// What every base format promises a poster: a post killed before any of its
// file operations, or with any write failing or cut short, leaves the
// earlier messages as they were and the new one whole or absent, and the
// next post works.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "msgbase/message_base.h"
#include "platform/fault_env.h"
#include "platform/mem_env.h"

namespace vex {
namespace {

std::string Body(int n) { return "body-" + std::to_string(n) + std::string(300, 'a' + n); }

class BaseConformanceTest : public ::testing::TestWithParam<char> {
 protected:
  static inline int lastError = 0;  // of the last post
  static bool Post(const std::string& areaId, int n) {
    std::unique_ptr<MessageBase> b;
    bool ok = OpenMessageBase(b, areaId) && b->StartNewMessage();
    if (ok) {
      b->SetMailTypeFlag(kMailEcho, true);
      b->SetOrigAddress(FtnAddress{2, 5020, 1, 0}, true);
      b->SetToName("All");
      b->WriteTextLine(Body(n));
      ok = b->WriteMessage();
      b->FreeMessageText();
    }
    lastError = b ? b->GetErrorCode() : -1;
    CloseMessageBase(b);
    return ok;
  }
  // The body line of every message in order ("unreadable" where reading
  // fails, then "count N" when the base counts otherwise).
  static std::vector<std::string> Bodies(const std::string& areaId) {
    std::unique_ptr<MessageBase> b;
    if (!OpenMessageBase(b, areaId)) return {"unopenable"};
    std::vector<std::string> out;
    for (b->SetCurrentNumber(0), b->SeekNext(); b->SeekFound(); b->SeekNext()) {
      std::string t = b->ReadMessage() ? b->TextBuffer()->Bytes() : "unreadable";
      size_t at = t.find("body-");
      out.push_back(at == std::string::npos ? t : t.substr(at, t.find('\r', at) - at));
    }
    // The base's own count agrees with what is there.
    if (b->MessageCount() != static_cast<int32_t>(out.size())) out.push_back("count " + std::to_string(b->MessageCount()));
    CloseMessageBase(b);
    return out;
  }
  // Earlier messages unchanged, message `added` whole or absent, and the
  // next post works.
  static void ExpectWhole(const std::string& areaId, std::vector<std::string> want, int added) {
    std::vector<std::string> got = Bodies(areaId);
    if (got.size() == want.size() + 1 && got.back() == Body(added)) want.push_back(Body(added));
    EXPECT_EQ(got, want);
    ASSERT_TRUE(Post(areaId, 9));
    want.push_back(Body(9));
    EXPECT_EQ(Bodies(areaId), want);
  }
  std::string Area(const std::string& dir) { return GetParam() + dir + "/area"; }
};

TEST_P(BaseConformanceTest, PostKilledAtAnyFileOperation) {
  for (int existing : {2, 0}) {
    bool finished = false;
    for (int k = 1; !finished && k < 300; ++k) {
      SCOPED_TRACE("messages before: " + std::to_string(existing) + ", killed at " + std::to_string(k));
      // In memory where there is such a file system: the syncs cost nothing.
      std::string dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
      dir += "/vex-conform-XXXXXX";
      ASSERT_NE(::mkdtemp(dir.data()), nullptr);
      InstallFileHooks(*DefaultEnv());
      std::vector<std::string> before;
      for (int i = 1; i <= existing; ++i, before.push_back(Body(i - 1))) ASSERT_TRUE(Post(Area(dir), i));
      pid_t pid = ::fork();
      if (pid == 0) {
        FaultEnv crash(*DefaultEnv());
        crash.CrashBeforeOperation(k);
        InstallFileHooks(crash);
        _exit(Post(Area(dir), 3) ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      EXPECT_TRUE(finished || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL));
      ExpectWhole(Area(dir), before, 3);
      EXPECT_EQ(DefaultEnv()->HiddenNames(dir + "/area"), std::vector<std::string>{});
      std::filesystem::remove_all(dir);
    }
    EXPECT_TRUE(finished);
  }
}

TEST_P(BaseConformanceTest, PostWithAnyWriteFailingOrCutShort) {
  for (int existing : {2, 0}) {
    bool posted = false;
    for (uint64_t budget = 0; !posted; ++budget) {
      SCOPED_TRACE("messages before: " + std::to_string(existing) + ", bytes written: " + std::to_string(budget));
      MemEnv mem;
      FaultEnv faults(mem);
      InstallFileHooks(mem);
      std::vector<std::string> before;
      for (int i = 1; i <= existing; ++i, before.push_back(Body(i - 1))) ASSERT_TRUE(Post(Area("b"), i));
      std::map<std::string, std::string> files;
      for (const std::string& f : mem.Files()) files[f] = mem.GetFile(f);
      InstallFileHooks(faults);
      faults.FailOneWriteAfter(budget);
      posted = Post(Area("b"), 3);
      InstallFileHooks(mem);
      if (!posted && existing > 0 && GetParam() != 'M') { EXPECT_EQ(lastError, GetParam() == 'J' ? 0x200E : 0x3008); }
      if (!posted && existing > 0) {  // everything written was put back
        std::map<std::string, std::string> now;
        for (const std::string& f : mem.Files()) now[f] = mem.GetFile(f);
        ASSERT_EQ(now, files);
      }
      ExpectWhole(Area("b"), before, 3);
      ASSERT_LT(budget, 100000u);
    }
  }
}

// What a creation or a post that never finished left: an empty header file,
// a hidden temporary of a writer that is gone.
TEST_P(BaseConformanceTest, LeftoversOfAnUnfinishedCreationOrPost) {
  MemEnv mem;
  InstallFileHooks(mem);
  mem.SetFile(GetParam() == 'J' ? "b/area.jhr" : GetParam() == 'S' ? "b/area.sqd" : "b/area/.vexstat-0.tmp", "");
  ASSERT_TRUE(Post(Area("b"), 1));
  EXPECT_EQ(Bodies(Area("b")), std::vector<std::string>{Body(1)});
  EXPECT_FALSE(mem.HasFile("b/area/.vexstat-0.tmp"));
}

INSTANTIATE_TEST_SUITE_P(Formats, BaseConformanceTest, ::testing::Values('J', 'S', 'M'),
                         [](const auto& info) { return std::string(1, info.param); });

}  // namespace
}  // namespace vex
