// What a sysop meets first: the GNU options, the manual pages and the
// installed files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

TEST(GnuOptionsTest, HelpAndVersionEndAtOnceWithCodeZero) {
  TempDir dir;
  // A configuration whose scan would leave traces if the run went on.
  WriteFile(dir / "vexstat.cfg", "LOGFILE vexstat.log\nTICPATH in/\n");
  RunResult help = RunVexstat(dir.path(), {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  // An English usage naming every option, the long ones too, and the manual.
  EXPECT_EQ(help.out.rfind("Usage: vexstat [OPTION]...\n", 0), 0u) << help.out;
  for (const char* option : {"-D<N1>", "-C<file>", "-S ", "-P ", "-E<mask>", "-O<file>", "-R ",
                             "-K ", "-L<n>", "-J ", "-F ", "-I ", "-?, -H", "--check",
                             "--help", "--version", "man vexstat"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;

  RunResult version = RunVexstat(dir.path(), {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("vexstat ", 0), 0u) << version.out;
  EXPECT_NE(version.out.find("Vexstat {v4.5.Win.rc}"), std::string::npos);
  EXPECT_EQ(version.err, "");

  // Neither ran the configuration: no log, no store.
  EXPECT_FALSE(FileExists(dir / "vexstat.log"));
  EXPECT_FALSE(FileExists(dir / "stat.vx"));
}

TEST(ManualTest, PagesRenderWithoutWarnings) {
  for (const char* page : {"vexstat.1", "vexmsg.1"}) {
    TempDir dir;
    RunResult r = e2e::Run(dir.path(), {"groff", "-man", "-Tutf8", "-ww", SourceDir() + "/man/" + page});
    if (r.exitCode == 127) GTEST_SKIP() << "groff is not installed";
    EXPECT_EQ(r.exitCode, 0) << page;
    EXPECT_EQ(r.err, "") << page;
    // Bold and underlined text comes as overstrikes: keep the last of each.
    std::string plain;
    for (char c : r.out) {
      if (c == '\b') {
        if (!plain.empty()) plain.pop_back();
        continue;
      }
      plain += c;
    }
    EXPECT_NE(plain.find("EXIT STATUS"), std::string::npos) << page;
  }
}

TEST(InstallTest, InstallsProgramsManualPagesAndSamples) {
  TempDir prefix;
  RunResult r = e2e::Run(prefix.path(), {"cmake", "--install", BinaryDir(), "--prefix", prefix.path()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const char* file : {
           "bin/vexstat",
           "bin/vexmsg",
           "share/man/man1/vexstat.1.gz",
           "share/man/man1/vexmsg.1.gz",
           "share/doc/vexstat/README.md",
           "share/doc/vexstat/copyright",
           "share/doc/vexstat/changelog.gz",
           "share/doc/vexstat/vexstat-export.schema.json",
           "share/doc/vexstat/samples/vexstat.cfg",
           "share/doc/vexstat/samples/templates/daily.tpl",
           "share/doc/vexstat/samples/templates/links.tpl",
           "share/doc/vexstat/samples/templates/full.tpl",
           "share/doc/vexstat/samples/templates/report.html.tpl",
           "share/doc/vexstat/samples/areas/areas-h.cfg",
           "share/doc/vexstat/samples/areas/areas-s.cfg",
           "share/doc/vexstat/samples/areas/areas-t.cfg",
           "share/doc/vexstat/samples/areas/arealist-t.txt",
           "share/doc/vexstat/samples/systemd/vexstat.service",
           "share/doc/vexstat/samples/systemd/vexstat.timer",
           "share/doc/vexstat/samples/logrotate/vexstat",
       }) {
    EXPECT_TRUE(FileExists(prefix / file)) << file;
  }
  // The installed program runs.
  RunResult v = e2e::Run(prefix.path(), {prefix / "bin/vexstat", "--version"});
  EXPECT_EQ(v.exitCode, 0);
}

}  // namespace
}  // namespace vex::e2e
