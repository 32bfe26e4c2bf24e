// A post that the system refuses says why: after the failure line the log
// has one line naming the file and the system's reason, and the run ends
// with exit code 3.  Each row posts into a JAM, a Squish and a *.MSG area
// on a disk that refuses in its own way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/e2e_harness.h"

namespace vex {
namespace {

using e2e::MakeDirs;
using e2e::RunResult;
using e2e::RunVexstat;
using e2e::TempDir;
using e2e::WriteFile;

struct Area {
  const char* tag;
  const char* line;  // the area file's line
};
const Area kAreas[] = {{"JAMAREA", "EchoArea JAMAREA disk/jam/stat -b Jam\n"},
                       {"SQAREA", "EchoArea SQAREA disk/sq/stat -b Squish\n"},
                       {"MSGAREA", "EchoArea MSGAREA disk/msg -b Msg\n"}};

struct Refusal {
  const char* name;
  // Makes "disk" refuse; returns false (with a reason) when it cannot.
  std::function<bool(const std::string& dir)> refuse;
  int err;  // the reason the system gives
  // The file the say-why line names, per area (in the order of kAreas).
  const char* files[3];
};

bool MountTmpfs(const std::string& dir, const char* options) {
  return mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
}

const Refusal kRefusals[] = {
    {"ReadOnlyFileSystem",
     [](const std::string& disk) {
       return mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
     },
     EROFS,
     {"disk/jam/stat.jhr", "disk/sq/stat.sqd", "disk/msg"}},
    {"FullDisk",
     [](const std::string& disk) {
       // Fills the disk; the write that finds it full fails.
       int fd = open((disk + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
       if (fd < 0) return false;
       std::string block(4096, 'x');
       while (write(fd, block.data(), block.size()) > 0) {
       }
       while (write(fd, block.data(), 1) > 0) {
       }
       close(fd);
       return true;
     },
     ENOSPC,
     {"disk/jam/stat.jdt", "disk/sq/stat.sqd", "disk/msg/"}},
    {"FolderIsAFile",
     [](const std::string& disk) {
       for (const char* d : {"jam", "sq", "msg"}) {
         const std::string path = disk + "/" + d;
         if (std::system(("rm -rf '" + path + "'").c_str()) != 0) return false;
         WriteFile(path, "a file where a folder should be\n");
       }
       return true;
     },
     ENOTDIR,
     {"disk/jam", "disk/sq", "disk/msg"}},
};

class PostFailureE2eTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(PostFailureE2eTest, TheFailureLineIsFollowedByTheFileAndTheReason) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  const Refusal& r = GetParam();
  TempDir dir;
  MakeDirs(dir / "disk");
  ASSERT_TRUE(MountTmpfs(dir / "disk", "size=1m")) << "mount tmpfs on " << (dir / "disk");
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{dir / "disk"};
  WriteFile(dir / "stat.vx", "");
  std::string areas;
  for (const Area& a : kAreas) areas += a.line;
  WriteFile(dir / "areas.cfg", areas);
  std::string report;
  for (int i = 0; i < 400; ++i)
    report += "Line " + std::to_string(i) + " of a report that needs more than a page ......\r\n";
  WriteFile(dir / "r.tpl", report);
  auto configure = [&](const char* tag) {
    WriteFile(dir / "vexstat.cfg", "LOGFILE vexstat.log\nMAKEANNOUNCE Yes\nAREADEFINECFG H" +
                                       (dir / "areas.cfg") + "\nTPLFILENAME r.tpl r.txt " +
                                       tag + "\n");
  };
  // Every base exists and holds a message before the disk refuses.
  for (const Area& a : kAreas) {
    configure(a.tag);
    RunResult first = RunVexstat(dir.path());
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  }
  ASSERT_TRUE(r.refuse(dir / "disk")) << r.name << ": " << std::strerror(errno);
  for (size_t i = 0; i < std::size(kAreas); ++i) {
    SCOPED_TRACE(kAreas[i].tag);
    configure(kAreas[i].tag);
    WriteFile(dir / "vexstat.log", "");
    RunResult run = RunVexstat(dir.path());
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    const std::vector<std::string> log = e2e::UnstampedLines(e2e::ReadFile(dir / "vexstat.log"));
    size_t failure = 0;
    while (failure < log.size() && log[failure].rfind("[err] Unable to", 0) != 0) ++failure;
    ASSERT_LT(failure + 1, log.size()) << e2e::ReadFile(dir / "vexstat.log");
    const std::string& why = log[failure + 1];
    EXPECT_EQ(why.rfind(std::string("   ") + r.files[i], 0), 0u) << why;
    EXPECT_EQ(why.substr(why.size() - std::strlen(std::strerror(r.err))), std::strerror(r.err))
        << why;
    // No line carries two time stamps.
    for (const std::string& line : log) EXPECT_EQ(e2e::Unstamp(line), line) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Disks, PostFailureE2eTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// A base that another program holds locked: the lock's own line.
TEST(PostFailureE2eTest, ALockedBaseSaysItIsLocked) {
  TempDir dir;
  WriteFile(dir / "stat.vx", "");
  WriteFile(dir / "areas.cfg", kAreas[0].line);
  MakeDirs(dir / "disk/jam");
  WriteFile(dir / "r.tpl", "One line\r\n");
  WriteFile(dir / "vexstat.cfg", "LOGFILE vexstat.log\nMAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\n"
                                 "TPLFILENAME r.tpl r.txt JAMAREA\n");
  ASSERT_EQ(RunVexstat(dir.path()).exitCode, 0);
  const int fd = open((dir / "disk/jam/stat.jhr").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_len = 1;
  ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &fl), 0);
  WriteFile(dir / "vexstat.log", "");
  RunResult run = RunVexstat(dir.path());
  close(fd);
  EXPECT_EQ(run.exitCode, 3);
  const std::string log = e2e::ReadFile(dir / "vexstat.log");
  EXPECT_NE(log.find("    disk/jam/stat.jhr: the base is locked by another program\n"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace vex
