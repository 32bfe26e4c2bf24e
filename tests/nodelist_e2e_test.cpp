// The nodelist as a run and --check use it: names in the report, a missing
// nodelist that leaves them empty, and a nodelist that is not read at all
// when no template names a system.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

TEST(NodelistE2eTest, NamesInReportsAndCheck) {
  TempDir dir;
  MakeDirs(dir / "in");
  MakeDirs(dir / "nl");
  WriteFile(dir / "in/a.tic", "Area ECHO\r\nFrom 2:5020/10.1\r\nOrigin 2:5020/77\r\n"
                              "To 2:5020/20\r\nSize 1000\r\n");
  SetModTime(dir / "in/a.tic", "2026-12-07 10:00:00");
  WriteFile(dir / "nl/NODELIST.339", ";A Friday, December 5, 2026 -- Day number 339 : 1\r\n"
                                     "Zone,2,Europe,Kiev,Z,-,300\r\nHost,5020,Moscow,Moscow,H,-,300\r\n"
                                     "garbage line\r\n,10,Ten_Station,Tver,Anna_K,-,300\r\n");
  WriteFile(dir / "names.tpl", "#LINKSIZE\n@LINK(12,L)|@SYSNAME(14,L)|@SYSOP|@LOCATION|\n"
                               "#ORIGINALLINKSIZE\n@LINK|@SYSNAME|\n");
  WriteFile(dir / "plain.tpl", "@TOTALFILES\n");
  struct Case {
    const char* nodelist;
    const char* tpl;
    int checkExit;
    const char* checkLine;  // a line --check prints; empty: none naming a nodelist
    const char* logLine;    // a line the run logs; empty: none naming a nodelist
    const char* result;
  };
  const Case cases[] = {
      {"nl/NODELIST", "names.tpl", 0,
       "Nodelist: nl/NODELIST.339, 3 nodes, 1 lines unreadable, the first is line 4: garbage line",
       "", "2:5020/10.1 |Ten Station   |Anna K|Tver|\r\n2:5020/77||\r\n"},
      {"nl/NONE", "names.tpl", 1, "NODELIST nl/NONE: no nodelist there (names stay empty)",
       "Nodelist nl/NONE not found: the names stay empty",
       "2:5020/10.1 |              |||\r\n2:5020/77||\r\n"},
      // No template names a system: the nodelist is not even looked for.
      {"nl/NONE", "plain.tpl", 1, "NODELIST nl/NONE", "", "1\r\n"},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "vexstat.cfg", std::string("NODELIST ") + c.nodelist + "\nTPLFILENAME " +
                                       c.tpl + " out.txt\nTICPATH in/\n");
    RunResult check = RunVexstat(dir.path(), {"--check"});
    EXPECT_EQ(check.exitCode, c.checkExit) << check.out;
    EXPECT_NE(check.out.find(c.checkLine), std::string::npos) << c.checkLine << "\n" << check.out;
    RunResult run = RunVexstat(dir.path(), {});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    if (*c.logLine)
      EXPECT_NE(run.out.find(c.logLine), std::string::npos) << run.out;
    else
      EXPECT_EQ(run.out.find("Nodelist"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(dir / "out.txt"), c.result) << c.nodelist << " " << c.tpl;
  }
}

}  // namespace
}  // namespace vex::e2e
