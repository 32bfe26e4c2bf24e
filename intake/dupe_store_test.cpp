#include "intake/dupe_store.h"

#include <gtest/gtest.h>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

TEST(DupeStoreTest, RecordsAreThirteenBytesCutToTwelve) {
  EXPECT_EQ(EncodeDupeRecord("a.tic"), std::string("\x05" "a.tic\0\0\0\0\0\0\0", 13));
  EXPECT_EQ(EncodeDupeRecord("abcdefghijklmn.tic"), "\x0C" "abcdefghijkl");
}

TEST(DupeStoreTest, NamesCompareWithoutCaseIncludingCyrillic) {
  MemEnv env;
  LogContext log(env);
  {
    DupeStore d(env, log, true);
    EXPECT_FALSE(d.IsKnownTic("ab12cd34.tic"));
    d.RememberTic("ab12cd34.tic");
    d.RememberTic(Cp866("файл.tic"));
    // Remembered during the same scan: known at once.
    EXPECT_TRUE(d.IsKnownTic("AB12CD34.TIC"));
  }
  EXPECT_EQ(env.GetFile("dupes.vx").size(), 26u);
  env.ClearConsole();
  DupeStore d(env, log, true);
  EXPECT_TRUE(d.IsKnownTic("Ab12Cd34.Tic"));
  EXPECT_NE(env.console().find(Cp866("Файл Ab12Cd34.Tic уже обрабатывался...\n")),
            std::string::npos);
  EXPECT_TRUE(d.IsKnownTic(Cp866("ФАЙЛ.TIC")));
  EXPECT_FALSE(d.IsKnownTic("ab12cd35.tic"));
}

TEST(DupeStoreTest, LongNamesAreNeverFoundAgain) {
  MemEnv env;
  LogContext log(env);
  DupeStore d(env, log, true);
  d.RememberTic("verylongname1.tic");
  EXPECT_FALSE(d.IsKnownTic("verylongname1.tic"));
  DupeStore again(env, log, true);
  EXPECT_FALSE(again.IsKnownTic("verylongname1.tic"));
  EXPECT_EQ(env.GetFile("dupes.vx").size(), 13u);
}

TEST(DupeStoreTest, DupeCheckOffFindsNothingButStillRemembers) {
  MemEnv env;
  env.SetFile("dupes.vx", EncodeDupeRecord("a.tic"));
  LogContext log(env);
  DupeStore d(env, log, false);
  EXPECT_FALSE(d.IsKnownTic("a.tic"));
  d.RememberTic("a.tic");
  EXPECT_EQ(env.GetFile("dupes.vx"), EncodeDupeRecord("a.tic") + EncodeDupeRecord("a.tic"));
  EXPECT_EQ(env.console(), "");
}

TEST(DupeStoreTest, DamagedStoreStaysUsable) {
  MemEnv env;
  // A length byte above 12 and an incomplete last record.
  std::string bad(13, 'Q');
  bad[0] = static_cast<char>(200);
  env.SetFile("dupes.vx", EncodeDupeRecord("a.tic") + bad + "\x05" "b.t");
  LogContext log(env);
  DupeStore d(env, log, true);
  EXPECT_TRUE(d.IsKnownTic("A.TIC"));
  EXPECT_TRUE(d.IsKnownTic(std::string(12, 'q')));
  EXPECT_FALSE(d.IsKnownTic("b.t"));
  d.RememberTic("c.tic");
  // The new record replaces the cut one, so records stay aligned.
  EXPECT_EQ(env.GetFile("dupes.vx"),
            EncodeDupeRecord("a.tic") + bad + EncodeDupeRecord("c.tic"));
}

TEST(DupeStoreTest, UnreadableStoreIsAnErrorNotAnEmptyStore) {
  MemEnv mem;
  mem.SetFile("dupes.vx", EncodeDupeRecord("a.tic"));
  FaultEnv env(mem);
  LogContext log(env);
  env.FailOpen("dupes.vx");
  EXPECT_THROW(DupeStore(env, log, true), RunTimeError);
  DupeStore off(env, log, false);
  EXPECT_THROW(off.RememberTic("b.tic"), RunTimeError);
  EXPECT_EQ(mem.GetFile("dupes.vx"), EncodeDupeRecord("a.tic"));
}

}  // namespace
}  // namespace vex
