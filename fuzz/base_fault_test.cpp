// Over every committed base input (and the inputs in the folder named by
// VEX_FAULT_INPUTS, such as a fuzzing corpus), an append during which every
// write from the n-th on fails, whole or cut short, leaves a base that
// takes the next message.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fuzz/fuzz_targets.h"
#include "platform/env.h"

namespace vex::fuzz {
namespace {

class FaultedAppendTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultedAppendTest, EveryBaseTakesTheNextMessage) {
  Env& env = *DefaultEnv();
  std::vector<std::string> dirs = {std::string(VEX_SOURCE_DIR) + "/fuzz/corpus/" + GetParam() + "/"};
  if (const char* extra = std::getenv("VEX_FAULT_INPUTS")) dirs.push_back(std::string(extra) + "/" + GetParam() + "/");
  FaultedAppends total;
  for (const std::string& dir : dirs) {
    for (const DirEntry& input : env.Search(dir + "*")) {
      int err = 0;
      std::unique_ptr<File> f = env.Open(dir + input.name, OpenMode::kRead, &err);
      ASSERT_TRUE(f);
      std::string bytes(input.size, '\0');
      ASSERT_EQ(f->ReadAt(0, bytes.data(), bytes.size()), static_cast<long long>(bytes.size()));
      FaultedAppends one = CountFaultedAppends(GetParam(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      EXPECT_EQ(one.stuck, 0) << input.name << ": " << one.stuck << " of " << one.appends;
      total.appends += one.appends;
      total.stuck += one.stuck;
    }
  }
  std::printf("%s: %d of %d appends left a base that takes no new message\n", GetParam().c_str(), total.stuck,
              total.appends);
}

INSTANTIATE_TEST_SUITE_P(Bases, FaultedAppendTest, ::testing::Values("squish", "jam", "msg"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace vex::fuzz
