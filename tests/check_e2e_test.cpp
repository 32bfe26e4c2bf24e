// vexstat --check on a sound and on a broken node directory: what it
// reports, its exit code, and that no file in the directory changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/message_base.h"
#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::pair<uintmax_t, fs::file_time_type>>;

Snapshot Files(const std::string& dir) {
  Snapshot s;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    s[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
  return s;
}

struct CheckCase {
  const char* name;
  std::string config;
  int exitCode;
  std::vector<std::string> lines;  // each the start of one output line
};

TEST(CheckE2eTest, ReportsWhatARunWouldUseAndTouchesNothing) {
  TempDir dir;
  MakeDirs(dir / "in");
  MakeDirs(dir / "mail");
  WriteFile(dir / "in/A.TIC", "Area X\r\n");
  WriteFile(dir / "in/b.tic", "Area Y\r\n");
  WriteFile(dir / "t.tpl", "@TOTALFILES\n");
  WriteFile(dir / "areas.cfg",
            "EchoArea GOOD mail/good -b Jam -d \"Good base\"\n"
            "EchoArea BROKEN mail/broken -b Jam\n"
            "EchoArea NEW mail/new -b Squish\n");
  InstallFileHooks(*DefaultEnv());
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(OpenMessageBase(base, "J" + (dir / "mail/good")));
  ASSERT_TRUE(CloseMessageBase(base));
  for (const char* ext : {".jhr", ".jdx", ".jdt"})
    WriteFile(dir / ("mail/broken" + std::string(ext)), "junk");

  const std::string common =
      "ADDRESS 2:5020/9999\nFROMADDR 2:5020/9999\nMAKEANNOUNCE Yes\nAREADEFINECFG "
      "Hareas.cfg\n";
  const CheckCase cases[] = {
      {"sound",
       "LOGFILE vex.log\n" + common +
           "TICPATH in/\nTPLFILENAME t.tpl out.txt GOOD\n"
           "TPLFILENAME t.tpl new.txt NEW\n",
       0,
       {"Configuration file: vexstat.cfg", "Log file: vex.log (made new)",
        "Own addresses: 2:5020/9999",
        "Period: 01.12.2026 - 08.12.2026 (7 to 0 days back)",
        "Notes: silent after 14 days (NOTESILENTDAYS), spike at 5 times (NOTESPIKE)",
        "TICPATH in/ (mask *.tic): directory exists, 2 TIC files now",
        "Template t.tpl -> out.txt (area GOOD): template readable, result directory "
        "writable",
        "Posting: on, due today",
        "Post area GOOD: type J (JAM), path mail/good, description \"Good base\", "
        "address "
        "2:5020/9999 (FROMADDR): base opens",
        "Post area NEW: type S (Squish), path mail/new, description none, address "
        "2:5020/9999 "
        "(FROMADDR): no base yet (the first posting makes it)"}},
      {"broken",
       common + "TICPATH gone/\nTPLFILENAME none.tpl out.txt NO.SUCH\n"
                "TPLFILENAME t.tpl out2.txt BROKEN\n",
       1,
       {"problem: TICPATH gone/: directory gone does not exist",
        "problem: template none.tpl cannot be read: No such file or directory",
        "problem: post area NO.SUCH: not found in areas.cfg",
        "problem: post area BROKEN: base mail/broken does not open: mail/broken.jhr"}},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "vexstat.cfg", c.config);
    const Snapshot before = Files(dir.path());
    RunResult r = RunVexstat(dir.path(), {"--check", "-D7"});
    EXPECT_EQ(Files(dir.path()), before);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    std::vector<std::string> out = Lines(r.out);
    size_t problems = 0;
    for (const std::string& line : out) problems += line.rfind("problem: ", 0) == 0;
    EXPECT_EQ(problems, c.exitCode == 0 ? 0u : c.lines.size()) << r.out;
    for (const std::string& want : c.lines)
      EXPECT_TRUE(
          std::any_of(out.begin(), out.end(),
                      [&](const std::string& l) { return l.rfind(want, 0) == 0; }))
          << want << "\n"
          << r.out;
  }
}

}  // namespace
}  // namespace vex::e2e
