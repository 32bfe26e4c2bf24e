// Replays every committed fuzz input through its target, so that a fault
// found by fuzzing and fixed stays fixed in the ordinary suite.
#include <gtest/gtest.h>

#include "fuzz/fuzz_targets.h"
#include "platform/env.h"

namespace vex::fuzz {
void PrintTo(const Target& t, std::ostream* os) { *os << t.name; }

namespace {

class CorpusReplayTest : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplayTest, EveryCommittedInputRunsThrough) {
  Env& env = *DefaultEnv();
  const std::string dir =
      std::string(VEX_SOURCE_DIR) + "/fuzz/corpus/" + GetParam().name + "/";
  std::vector<DirEntry> inputs = env.Search(dir + "*");
  ASSERT_FALSE(inputs.empty()) << dir;
  for (const DirEntry& input : inputs) {
    SCOPED_TRACE(input.name);
    int err = 0;
    std::unique_ptr<File> f = env.Open(dir + input.name, OpenMode::kRead, &err);
    ASSERT_TRUE(f);
    std::string bytes(input.size, '\0');
    ASSERT_EQ(f->ReadAt(0, bytes.data(), bytes.size()),
              static_cast<long long>(bytes.size()));
    EXPECT_EQ(GetParam().run(reinterpret_cast<const uint8_t*>(bytes.data()),
                             bytes.size()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplayTest,
                         ::testing::ValuesIn(Targets()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vex::fuzz
