// What cron and systemd see: an unknown argument is refused before anything
// is touched (2), a run that logged an error ends with 3, a clean run with 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

// Every file under dir with its contents and modification time.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& f : std::filesystem::recursive_directory_iterator(dir)) {
    const auto time = f.last_write_time().time_since_epoch().count();
    files[f.path().string()] =
        std::to_string(time) + ":" + (f.is_regular_file() ? ReadFile(f.path().string()) : "");
  }
  return files;
}

// A node whose run would log, count and delete its TIC file, and post.
void WriteNode(const TempDir& dir) {
  MakeDirs(dir / "in");
  WriteFile(dir / "in/a.tic", "Area TESTFILES\r\nFrom 2:5020/1\r\nSize 100\r\n");
  WriteFile(dir / "day.tpl", "Files: @FILESTOTAL\r\n");
  WriteFile(dir / "areas.cfg", "NetmailArea NETMAIL netmail -b Msg\r\n");
  WriteFile(dir / "vexstat.cfg",
            "LOGFILE vexstat.log\nADDRESS 2:5020/9999\nKILLTIC Yes\n"
            "MAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\nTICPATH in/\n"
            "TPLFILENAME day.tpl day.txt NETMAIL\n");
}

class RefusedArgumentTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedArgumentTest, EndsWithCodeTwoAndTouchesNothing) {
  TempDir dir;
  WriteNode(dir);
  const auto before = Snapshot(dir.path());
  RunResult r = RunVexstat(dir.path(), {"-D7", GetParam()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, std::string("vexstat: unknown argument '") + GetParam() +
                       "'; see 'vexstat --help'\n");
  EXPECT_EQ(Snapshot(dir.path()), before);
}

// Typos of the long options, words without their minus sign, letters that
// are no option, a toggle with text after it, a slash for the minus sign.
INSTANTIATE_TEST_SUITE_P(Typos, RefusedArgumentTest,
                         ::testing::Values("--chek", "help", "-v", "-Q", "-x", "--CHECK",
                                           "--help=x", "-Poff", "-Kx", "/D7", "", "-"));

TEST(ExitCodeTest, LoggedErrorEndsWithThreeAndCleanRunWithZero) {
  TempDir dir;
  WriteNode(dir);
  WriteFile(dir / "vexstat.cfg",
            "LOGFILE vexstat.log\nTICPATH in/\nTPLFILENAME gone.tpl gone.txt\n"
            "TPLFILENAME day.tpl day.txt\n");
  RunResult r = RunVexstat(dir.path());
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  EXPECT_EQ(r.err, "vexstat: the run logged 1 error line, see the log file vexstat.log\n");
  EXPECT_TRUE(FileExists(dir / "day.txt"));  // the rest of the run went on

  WriteFile(dir / "vexstat.cfg", "LOGFILE vexstat.log\nTPLFILENAME day.tpl day.txt\n");
  r = RunVexstat(dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");

  // Without a log that can be made, the line says so.
  WriteFile(dir / "vexstat.cfg", "LOGFILE nodir/vexstat.log\nTPLFILENAME day.tpl day.txt\n");
  r = RunVexstat(dir.path());
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  EXPECT_EQ(r.err,
            "vexstat: the run logged 1 error line; the log file nodir/vexstat.log could not "
            "be made, see the output above\n");
}

}  // namespace
}  // namespace vex::e2e
