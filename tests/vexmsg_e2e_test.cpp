// vexmsg on bases that another program holds locked, in a directory without
// write permission: it lists them and leaves every file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "msgbase/message_base.h"
#include "tests/e2e_harness.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

// Every file under dir with its size, times, permissions and contents.
std::string Snapshot(const std::string& dir) {
  std::string out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    struct stat st {};
    ::stat(e.path().c_str(), &st);
    for (long long v : std::initializer_list<long long>{
             st.st_size, st.st_mode, st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
             st.st_ctim.tv_sec, st.st_ctim.tv_nsec}) {
      out += std::to_string(v) + " ";
    }
    out += e.path().string() + " " + e2e::ReadFile(e.path()) + "\n";
  }
  return out;
}

TEST(VexmsgE2eTest, ListsLockedBasesInAReadOnlyDirectoryAndChangesNothing) {
  e2e::TempDir dir;
  Env& env = *DefaultEnv();
  InstallFileHooks(env);
  const std::string areas[] = {"J" + (dir / "jam"), "S" + (dir / "squish"), "M" + (dir / "msg")};
  for (const std::string& area : areas) {
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenMessageBase(base, area));
    ASSERT_TRUE(base->StartNewMessage());
    base->SetSubject("Weekly statistics");
    ASSERT_TRUE(base->WriteMessage());
    CloseMessageBase(base);
  }
  // A copied base without its last-read file; a tosser holds the others.
  fs::remove(dir / "jam.jlr");
  int err = 0;
  auto jhr = env.Open(dir / "jam.jhr", OpenMode::kReadWrite, &err);
  auto sqd = env.Open(dir / "squish.sqd", OpenMode::kReadWrite, &err);
  ASSERT_TRUE(jhr && jhr->LockFirstByte(0) && sqd && sqd->LockFirstByte(0));
  ASSERT_EQ(std::system(("chmod -R a-w " + dir.path()).c_str()), 0);
  const std::string before = Snapshot(dir.path());

  for (const std::string& area : areas) {
    e2e::RunResult r = e2e::Run(dir.path(), {e2e::VexmsgPath(), area});
    EXPECT_EQ(r.exitCode, 0) << area << r.out << r.err;
    EXPECT_NE(r.out.find("Weekly statistics"), std::string::npos) << area;
  }
  EXPECT_EQ(Snapshot(dir.path()), before);
  EXPECT_FALSE(fs::exists(dir / "jam.jlr"));
  ASSERT_EQ(std::system(("chmod -R u+w " + dir.path()).c_str()), 0);
}

}  // namespace
}  // namespace vex
