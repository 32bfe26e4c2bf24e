#include "intake/intake_batch.h"

#include <gtest/gtest.h>

#include "testenv/mem_env.h"

namespace vex {
namespace {

// A TIC file put in place under the same name between reading and deleting
// is another file: the committed batch keeps it, whether its size or only
// its time differs.
TEST(IntakeBatchTest, DeletesOnlyTheFilesStillAsTheyWereRead) {
  MemEnv env;
  LogContext log(env);
  IntakeBatch batch(env, log, /*killTic=*/true);
  const FileTime read{2026, 12, 1, 10, 0, 0};
  for (const char* name : {"a.tic", "b.tic", "c.tic"}) {
    const std::string path = std::string("in/") + name;
    env.SetFile(path, "AREA A\r\n");
    env.SetModTime(path, read);
    batch.Add(StatRecord{}, name, JournalDeletion{path, 8, read});
  }
  env.SetFile("in/b.tic", "AREA LONGER\r\n");
  env.SetModTime("in/b.tic", read);
  env.SetFile("in/c.tic", "AREA B\r\n");
  env.SetModTime("in/c.tic", FileTime{2026, 12, 1, 10, 0, 1});
  batch.Commit();
  EXPECT_FALSE(env.HasFile("in/a.tic"));
  EXPECT_TRUE(env.HasFile("in/b.tic"));
  EXPECT_TRUE(env.HasFile("in/c.tic"));
  EXPECT_FALSE(env.HasFile(kIntakeJournalName));
  EXPECT_NE(env.console().find("in/c.tic: changed since it was read, not deleted"),
            std::string::npos);
}

}  // namespace
}  // namespace vex
