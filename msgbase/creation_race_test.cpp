// Two programs (two node folders, started by cron in the same second) post
// into one base that does not exist yet: whichever creates it, both
// messages are in it afterwards.  VEX_RACE_ROUNDS sets the number of rounds.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "msgbase/base.h"

namespace vex {
namespace {

// One post into areaId once the byte arrives on fd; 0 when it was stored.
int PostWhenReleased(int fd, const std::string& areaId, int writer) {
  char go = 0;
  if (::read(fd, &go, 1) != 1) return 20;
  Message m;
  m.from = "Writer " + std::to_string(writer);
  m.attributes = AttrTypeEcho;
  m.text = {"Report of writer " + std::to_string(writer)};
  std::unique_ptr<Base> b;
  uint32_t n = 0;
  const Status st = OpenBase(*DefaultEnv(), areaId, BaseMode::kWrite, &b);
  if (!st.ok()) {
    std::fprintf(stderr, "writer %d: %s\n", writer, st.ToString().c_str());
    return 21;
  }
  if (!b->Append(m, &n).ok()) return 22;
  return b->Close().ok() ? 0 : 23;
}

class CreationRaceTest : public ::testing::TestWithParam<char> {};

TEST_P(CreationRaceTest, TwoProgramsCreatingOneBaseBothPost) {
  const char* env = std::getenv("VEX_RACE_ROUNDS");
  const int rounds = env ? std::atoi(env) : 10;
  int lost = 0;
  for (int round = 0; round < rounds; ++round) {
    char tmpl[] = "/tmp/vex-create-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string areaId = GetParam() + std::string(tmpl) + "/echo/area";
    int pipes[2][2];
    ASSERT_EQ(::pipe(pipes[0]), 0);
    ASSERT_EQ(::pipe(pipes[1]), 0);
    pid_t children[2];
    for (int w = 0; w < 2; ++w) {
      children[w] = ::fork();
      ASSERT_GE(children[w], 0);
      if (children[w] == 0) _exit(PostWhenReleased(pipes[w][0], areaId, w));
    }
    // Both released at once.
    ASSERT_EQ(::write(pipes[0][1], "x", 1), 1);
    ASSERT_EQ(::write(pipes[1][1], "x", 1), 1);
    for (int w = 0; w < 2; ++w) {
      int status = 0;
      ASSERT_EQ(::waitpid(children[w], &status, 0), children[w]);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << w << ": " << status;
      ::close(pipes[w][0]);
      ::close(pipes[w][1]);
    }
    std::unique_ptr<Base> b;
    ASSERT_TRUE(OpenBase(*DefaultEnv(), areaId, BaseMode::kReadOnly, &b).ok());
    std::vector<uint32_t> numbers;
    ASSERT_TRUE(b->List(&numbers).ok());
    int seen[2] = {0, 0};
    for (uint32_t n : numbers) {
      Message m;
      ASSERT_TRUE(b->Read(n, &m).ok());
      ++seen[m.from == "Writer 1" ? 1 : 0];
    }
    b->Close();
    if (seen[0] != 1 || seen[1] != 1) ++lost;
    EXPECT_EQ(std::system(("rm -rf '" + std::string(tmpl) + "'").c_str()), 0);
  }
  EXPECT_EQ(lost, 0) << "of " << rounds << " rounds";
}

INSTANTIATE_TEST_SUITE_P(Formats, CreationRaceTest, ::testing::Values('J', 'S', 'M'),
                         [](const auto& info) { return std::string(1, info.param); });

}  // namespace
}  // namespace vex
