// Posting onto a real file system that fills up: a small tmpfs holds the
// three bases while the node directory stays on the ordinary disk.  Runs post
// one report each, in turn into a JAM, a Squish and a *.MSG area, until the
// disk has been full for a while.  Every base must stay readable, keep every
// message whose run ended cleanly, and take new messages again once space is
// freed.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <map>
#include <string>

#include "tests/e2e_harness.h"

namespace vex {
namespace {

using e2e::MakeDirs;
using e2e::RunResult;
using e2e::RunVexstat;
using e2e::TempDir;
using e2e::WriteFile;

struct Listing {
  int messages = -1;
  bool whole = false;
  std::string text;
};

Listing List(const std::string& cwd, const std::string& areaId) {
  RunResult r = e2e::Run(cwd, {e2e::VexmsgPath(), areaId});
  Listing l;
  l.text = r.out + r.err;
  const std::string head = "Messages: ";
  if (r.exitCode == 0 && r.out.rfind(head, 0) == 0) {
    l.messages = std::stoi(r.out.substr(head.size()));
    l.whole = r.out.find("(cannot be read") == std::string::npos;
  }
  return l;
}

class Mounted {
 public:
  explicit Mounted(const std::string& dir) : dir_(dir) {
    ok_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=192k") == 0;
  }
  ~Mounted() {
    if (ok_) umount2(dir_.c_str(), MNT_DETACH);
  }
  bool ok() const { return ok_; }

 private:
  std::string dir_;
  bool ok_ = false;
};

TEST(FullDiskE2eTest, BasesOnAFullDiskStayWholeAndTakeMessagesOnceThereIsSpace) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  TempDir dir;
  MakeDirs(dir / "disk");
  Mounted disk(dir / "disk");
  ASSERT_TRUE(disk.ok()) << "mount tmpfs on " << (dir / "disk");
  // Room kept back on the small disk, given back at the end.
  WriteFile(dir / "disk/spare", std::string(48 * 1024, 'x'));
  WriteFile(dir / "stat.vx", "");
  WriteFile(dir / "areas.cfg",
            "EchoArea JAMAREA disk/jam/stat -b Jam\n"
            "EchoArea SQAREA disk/sq/stat -b Squish\n"
            "EchoArea MSGAREA disk/msg -b Msg\n");
  std::string report;
  for (int i = 0; i < 60; ++i)
    report += "Line " + std::to_string(i) + " of a report that fills the disk ........\r\n";
  WriteFile(dir / "r.tpl", report);
  const std::map<std::string, std::string> areas = {
      {"JAMAREA", "J" + (dir / "disk/jam/stat")},
      {"SQAREA", "S" + (dir / "disk/sq/stat")},
      {"MSGAREA", "M" + (dir / "disk/msg")}};
  auto configure = [&](const std::string& area) {
    WriteFile(dir / "vexstat.cfg",
              "LOGFILE vexstat.log\nMAKEANNOUNCE Yes\nAREADEFINECFG H" + (dir / "areas.cfg") +
                  "\nTPLFILENAME r.tpl r.txt " + area + "\n");
  };
  std::map<std::string, int> posted;
  int failedInARow = 0;
  for (int run = 0; run < 300 && failedInARow < 9; ++run) {
    auto area = std::next(areas.begin(), run % 3)->first;
    configure(area);
    RunResult r = RunVexstat(dir.path());
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 3) << r.out << r.err;
    if (r.exitCode == 0) ++posted[area];
    failedInARow = r.exitCode == 0 ? 0 : failedInARow + 1;
  }
  ASSERT_EQ(failedInARow, 9) << "the disk never filled";
  for (const auto& [area, id] : areas) {
    SCOPED_TRACE(area);
    Listing l = List(dir.path(), id);
    EXPECT_TRUE(l.whole) << l.text;
    EXPECT_GE(l.messages, posted[area]) << l.text;
  }
  ASSERT_EQ(unlink((dir / "disk/spare").c_str()), 0);
  for (const auto& [area, id] : areas) {
    SCOPED_TRACE(area);
    const int before = List(dir.path(), id).messages;
    configure(area);
    RunResult r = RunVexstat(dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    Listing l = List(dir.path(), id);
    EXPECT_TRUE(l.whole) << l.text;
    EXPECT_EQ(l.messages, before + 1) << l.text;
  }
}

}  // namespace
}  // namespace vex
