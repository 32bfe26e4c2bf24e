#include "posting/msgid_counter.h"

#include <gtest/gtest.h>

#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

ClockTime At(int year, int month, int day, int hour = 0) {
  ClockTime t;
  t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = 30;
  return t;
}

uint32_t Next(MsgIdCounter& counter, uint32_t ahead = 0) {
  uint32_t s = 0;
  int err = 0;
  EXPECT_TRUE(counter.Next(ahead, &s, &err));
  return s;
}

// Days on which a serial counted in 30-day months and 355-day years came
// again get different serials; in one node directory the serials grow from
// run to run while the clock stands still or goes back an hour, nothing
// waits, and the counter is on the disk (one write for serials reserved
// ahead) before a serial is handed out.
TEST(MsgIdCounterTest, SerialsNeverRepeatAndOnlyGrow) {
  for (auto [a, b] : {std::pair{At(2026, 1, 31), At(2026, 2, 1)}, std::pair{At(2025, 12, 27), At(2026, 1, 2)}}) {
    MemEnv first, second;
    first.SetNow(a), second.SetNow(b);
    MsgIdCounter c1(first), c2(second);
    EXPECT_NE(Next(c1), Next(c2));
  }
  MemEnv mem;
  mem.SetNow(At(2026, 3, 1, 12));
  uint32_t last = 0;
  for (int run = 0; run < 4; ++run) {
    if (run == 2) mem.SetNow(At(2026, 3, 1, 11));
    MsgIdCounter counter(mem);
    const int syncs = mem.DirectorySyncCount("");
    for (uint32_t later : {2u, 1u, 0u}) {
      uint32_t s = Next(counter, run == 1 ? later : 0);
      ASSERT_GT(s, last) << run;
      last = s;
      const std::string stored = mem.GetFile("vexstat.seq");
      EXPECT_EQ(stored.size() == 4 ? GetU32(stored.data()) : 0, s + (run == 1 ? later : 0));
    }
    EXPECT_EQ(mem.DirectorySyncCount("") - syncs, run == 1 ? 1 : 3);
  }
  EXPECT_EQ(mem.sleptMs(), 0);
  // A counter cut short starts again from the clock; one that cannot be
  // made durable gives no serial.
  mem.SetFile("vexstat.seq", "\xff\xff\xff");
  MsgIdCounter cut(mem);
  EXPECT_EQ(Next(cut), ClockSerial(mem.Now()));
  FaultEnv faults(mem);
  faults.FailSyncs();
  uint32_t s = 0;
  int err = 0;
  EXPECT_FALSE(MsgIdCounter(faults).Next(0, &s, &err));
  EXPECT_EQ(err, EIO);
}

}  // namespace
}  // namespace vex
