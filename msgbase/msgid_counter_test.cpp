#include "msgbase/msgid_counter.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/fault_env.h"
#include "platform/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

ClockTime At(int year, int month, int day, int hour = 0, int minute = 30) {
  ClockTime t;
  t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute;
  return t;
}

uint32_t FirstSerialAt(const ClockTime& t) {
  MemEnv mem;
  mem.SetNow(t);
  uint32_t serial = 0;
  int err = 0;
  EXPECT_TRUE(MsgIdCounter(mem).Next(0, &serial, &err));
  return serial;
}

// Days on which a serial counted in 30-day months and 355-day years would
// come again.
TEST(MsgIdCounterTest, PostsOnDifferentDaysCarryDifferentSerials) {
  EXPECT_NE(FirstSerialAt(At(2026, 1, 31)), FirstSerialAt(At(2026, 2, 1)));
  EXPECT_NE(FirstSerialAt(At(2025, 12, 27)), FirstSerialAt(At(2026, 1, 2)));
  EXPECT_EQ(FirstSerialAt(At(2026, 2, 1)), 1769905800u);  // seconds since 1970
}

// Runs one after another in one node directory, while the clock stands
// still and then goes back an hour: every serial is larger than the one
// before, nothing waits, and the counter is on the disk before a serial is
// handed out (one write for the serials reserved ahead).
TEST(MsgIdCounterTest, SerialsGrowFromRunToRunWhateverTheClockDoes) {
  MemEnv mem;
  mem.SetNow(At(2026, 3, 1, 12));
  std::vector<uint32_t> got;
  int err = 0;
  for (int run = 0; run < 4; ++run) {
    if (run == 2) mem.SetNow(At(2026, 3, 1, 11));
    MsgIdCounter counter(mem);
    const int syncs = mem.DirectorySyncCount("");
    for (int i = 0; i < 3; ++i) {
      uint32_t s = 0;
      ASSERT_TRUE(counter.Next(run == 1 ? 2 - i : 0, &s, &err));
      ASSERT_TRUE(got.empty() || s > got.back()) << run << " " << i;
      got.push_back(s);
      EXPECT_EQ(GetU32(mem.GetFile("vexstat.seq").data()), s + (run == 1 ? 2 - i : 0));
    }
    EXPECT_EQ(mem.DirectorySyncCount("") - syncs, run == 1 ? 1 : 3);
    EXPECT_EQ(mem.GetFile("vexstat.seq").size(), 4u);
  }
  EXPECT_EQ(mem.sleptMs(), 0);
  EXPECT_FALSE(mem.HasFile("vexstat.seq.new"));

  // A counter cut short starts again from the clock.
  mem.SetFile("vexstat.seq", "\xff\xff\xff");
  uint32_t s = 0;
  ASSERT_TRUE(MsgIdCounter(mem).Next(0, &s, &err));
  EXPECT_EQ(s, ClockSerial(mem.Now()));
  // A counter that cannot be made durable gives no serial.
  FaultEnv faults(mem);
  faults.FailSyncs();
  EXPECT_FALSE(MsgIdCounter(faults).Next(0, &s, &err));
  EXPECT_EQ(err, EIO);
}

}  // namespace
}  // namespace vex
