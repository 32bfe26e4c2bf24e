// A post during which every write from the n-th on fails (whole, or the
// n-th cut short), as on a disk that fills up or a copy-on-write disk that
// has no room left even for putting bytes back: the base reads whole in an
// independent reader right after the failed post, takes no further post
// until it is opened again, and after that the next post works and every
// earlier message is there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msgbase/base.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "tests/powercut/base_walk.h"

namespace vex {
namespace {

const char kArea[] = "b/area";

Message Sample(int k) {
  Message m;
  m.from = "Sysop";
  m.to = "All";
  m.subject = "Report " + std::to_string(k);
  m.orig = FtnAddress{2, 5020, 1, 0};
  m.written = MsgDateTime{13, 45, 10, 0, 29, 2, 2024};
  m.arrived = m.written;
  m.attributes = AttrLocal | AttrTypeEcho;
  m.kludges = AddressKludges(m.orig, m.dest, false, 0x100 + k);
  for (int i = 0; i < 20 * k; ++i) m.text.push_back("line " + std::to_string(i) + " of report " + std::to_string(k));
  return m;
}

// What an independent reader finds wrong with the base ("" when whole).
std::string Walk(char letter, MemEnv& fs, bool settled) {
  const std::string p = kArea;
  if (letter == 'S') return powercut::WalkSquish(fs.GetFile(p + ".sqd"), fs.GetFile(p + ".sqi"), settled);
  if (letter == 'J') return powercut::WalkJam(fs.GetFile(p + ".jhr"), fs.GetFile(p + ".jdx"), fs.GetFile(p + ".jdt"), settled);
  // *.MSG: every numbered file holds a whole header and its text's end.
  for (const std::string& f : fs.Files()) {
    if (f.size() < 4 || f.compare(f.size() - 4, 4, ".msg") != 0) continue;
    const std::string bytes = fs.GetFile(f);
    if (bytes.size() < 191 || bytes.back() != '\0') return f + ": cut short";
  }
  return "";
}

// A base holding two messages.
void MakeBase(char letter, MemEnv& mem) {
  ClockTime t;
  t.year = 2024, t.month = 2, t.day = 29, t.hour = 13, t.minute = 45;
  mem.SetNow(t);
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem, letter + std::string(kArea), BaseMode::kWrite, &b).ok());
  uint32_t n = 0;
  for (int k = 1; k <= 2; ++k) ASSERT_TRUE(b->Append(Sample(k), &n).ok());
  ASSERT_TRUE(b->Close().ok());
}

class FailedWriteTest : public ::testing::TestWithParam<char> {};

TEST_P(FailedWriteTest, EveryWriteFailingFromTheNthOnLeavesAWholeBase) {
  const char letter = GetParam();
  const std::string areaId = letter + std::string(kArea);
  int writes = 0;
  {
    MemEnv mem;
    MakeBase(letter, mem);
    FaultEnv counting(mem);
    counting.FailWritesFrom(1 << 30, false);
    std::unique_ptr<Base> b;
    uint32_t n = 0;
    ASSERT_TRUE(OpenBase(counting, areaId, BaseMode::kWrite, &b).ok());
    ASSERT_TRUE(b->Append(Sample(3), &n).ok());
    writes = counting.writesCounted();
  }
  ASSERT_GT(writes, 0);
  for (int n = 0; n < writes; ++n) {
    for (bool cutShort : {false, true}) {
      SCOPED_TRACE("writes fail from " + std::to_string(n) + (cutShort ? ", cut short" : ""));
      MemEnv mem;
      MakeBase(letter, mem);
      {
        FaultEnv faults(mem);
        faults.FailWritesFrom(n, cutShort, n % 2 ? EIO : ENOSPC);
        std::unique_ptr<Base> b;
        ASSERT_TRUE(OpenBase(faults, areaId, BaseMode::kWrite, &b).ok());
        uint32_t number = 0;
        const Status st = b->Append(Sample(3), &number);
        if (!st.ok()) {
          EXPECT_TRUE(st.IsIoError()) << st.ToString();
          // The disk works again, but the base stays closed to posts.
          faults.Reset();
          EXPECT_TRUE(b->Append(Sample(4), &number).IsRefused());
        }
        b.reset();
        EXPECT_EQ(Walk(letter, mem, false), "");
      }
      std::unique_ptr<Base> b;
      ASSERT_TRUE(OpenBase(mem, areaId, BaseMode::kWrite, &b).ok());
      uint32_t number = 0;
      ASSERT_TRUE(b->Append(Sample(5), &number).ok());
      std::vector<uint32_t> listed;
      ASSERT_TRUE(b->List(&listed).ok());
      EXPECT_GE(listed.size(), 3u);
      for (uint32_t k : listed) {
        Message m;
        EXPECT_TRUE(b->Read(k, &m).ok()) << k;
      }
      ASSERT_TRUE(b->Close().ok());
      EXPECT_EQ(Walk(letter, mem, true), "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, FailedWriteTest, ::testing::Values('J', 'S', 'M'),
                         [](const auto& info) { return std::string(1, info.param); });

}  // namespace
}  // namespace vex
