#include "util/replace_file.h"

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

using Names = std::vector<std::string>;

// The new contents are on the disk before the rename publishes them, the
// folder is synced after it, the old file's permission bits stay, a name
// taken just as it is created is never written to, and what a kill or a
// power cut left of earlier replacements (by earlier versions too) goes.
TEST(ReplaceFileTest, SyncsBeforeTheRenameKeepsTheModeAndSkipsATakenName) {
  MemEnv mem;
  mem.SetFile("out/x.json", "old");
  mem.SetMode("out/x.json", 0640);
  mem.SetFile("out/.x.json.0badcafe.tmp", "left by a power cut");
  mem.SetFile("out/.x.json.tmp", "left by a kill of an earlier version");
  mem.SetFile("out/x.json.new", "the sysop's own");
  mem.SetFile("out/vexstat.seq.new", "left by a kill of an earlier version");
  mem.SetFile("out/.y.json.tmp", "another file's");
  FaultEnv fault(mem);
  fault.FailCreate("out/.x.json.00000001.tmp", EEXIST);  // MemEnv's first random number is 1
  int err = 0;
  ASSERT_TRUE(ReplaceFile(fault, "out/x.json", "new", &err));
  EXPECT_EQ(mem.GetFile("out/x.json"), "new");
  EXPECT_EQ(mem.Mode("out/x.json"), 0640u);
  EXPECT_EQ(mem.UnsyncedRenames(), Names{});
  EXPECT_EQ(mem.DirectorySyncCount("out"), 1);
  ASSERT_TRUE(ReplaceFile(mem, "out/vexstat.seq", "serial", &err));
  EXPECT_EQ(mem.Files(),
            (Names{"out/.y.json.tmp", "out/vexstat.seq", "out/x.json", "out/x.json.new"}));
}

// A failure at any step leaves the old file and no temporary one; a folder
// where the file should be is left alone.
TEST(ReplaceFileTest, AFailedStepLeavesTheOldFileAndNoTemporaryOne) {
  const std::vector<std::function<void(FaultEnv&)>> faults = {
      [](FaultEnv& f) { f.FailCreate("out/.x.json.00000001.tmp"); },
      [](FaultEnv& f) { f.FailWritesAfter(1); },
      [](FaultEnv& f) { f.FailSyncs(); },
      [](FaultEnv& f) { f.FailRenames(); },
  };
  for (size_t i = 0; i < faults.size(); ++i) {
    MemEnv mem;
    mem.SetFile("out/x.json", "old");
    mem.AddDirectory("out/d");
    FaultEnv fault(mem);
    faults[i](fault);
    int err = 0;
    EXPECT_FALSE(ReplaceFile(fault, "out/x.json", "newer", &err)) << i;
    EXPECT_NE(err, 0) << i;
    EXPECT_EQ(mem.Files(), Names{"out/x.json"}) << i;
    EXPECT_EQ(mem.GetFile("out/x.json"), "old") << i;
    EXPECT_FALSE(ReplaceFile(mem, "out/d", "new", &err));
    EXPECT_EQ(err, EISDIR);
  }
}

// A fixed temporary name (the purge's) is cleared first; a cancelled
// replacement leaves nothing behind.
TEST(ReplaceFileTest, AFixedTemporaryNameIsClearedFirst) {
  MemEnv mem;
  mem.SetFile("stat.vx", "old");
  mem.SetFile("temp", "left over");
  int err = 0;
  FileReplacement r(mem, "stat.vx", "temp");
  ASSERT_TRUE(r.Begin(&err));
  EXPECT_EQ(mem.GetFile("temp"), "");
  ASSERT_TRUE(r.file().WriteAt(0, "new", 3) && r.Commit(&err));
  EXPECT_EQ(mem.GetFile("stat.vx"), "new");
  FileReplacement cancelled(mem, "stat.vx", "temp");
  ASSERT_TRUE(cancelled.Begin(&err) && cancelled.Cancel(&err));
  EXPECT_EQ(mem.Files(), Names{"stat.vx"});
}

// On a real file system: the user's own links are followed to the end of
// the chain, another user's are not, and a loop ends; a link is never taken
// for a leftover temporary file.
TEST(FollowOwnLinksTest, FollowsOnlyTheUsersOwnLinks) {
  char tmpl[] = "/tmp/vexlinkXXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  ASSERT_EQ(::symlink("sub/real.txt", (dir + "/a").c_str()) | ::symlink("a", (dir + "/b").c_str()) |
                ::symlink("loop", (dir + "/loop").c_str()),
            0);
  Env& env = *DefaultEnv();
  std::string target, foreign;
  int err = 0;
  EXPECT_TRUE(FollowOwnLinks(env, dir + "/b", &target, &foreign, &err) && target == dir + "/sub/real.txt");
  EXPECT_TRUE(FollowOwnLinks(env, dir + "/plain", &target, &foreign, &err) && target == dir + "/plain");
  EXPECT_FALSE(FollowOwnLinks(env, dir + "/loop", &target, &foreign, &err));
  EXPECT_EQ(err, ELOOP);
  const struct passwd* nobody = ::getpwnam("nobody");
  if (nobody != nullptr && ::lchown((dir + "/a").c_str(), nobody->pw_uid, nobody->pw_gid) == 0) {
    EXPECT_FALSE(FollowOwnLinks(env, dir + "/b", &target, &foreign, &err));
    EXPECT_EQ(foreign, dir + "/a");
  }  // else not root: the e2e table test says it skips
  // A link at a fixed temporary name of earlier versions is no leftover of
  // theirs: it stays.
  ASSERT_EQ(::symlink("b", (dir + "/.x.txt.tmp").c_str()) | ::symlink("b", (dir + "/x.txt.new").c_str()), 0);
  EXPECT_TRUE(ReplaceFile(env, dir + "/x.txt", "new", &err));
  struct stat st {};
  for (const char* name : {"/.x.txt.tmp", "/x.txt.new"})
    EXPECT_TRUE(::lstat((dir + name).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << name;
  EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

}  // namespace
}  // namespace vex
