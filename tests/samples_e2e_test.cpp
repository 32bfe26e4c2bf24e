// The sample templates, rendered with the sample configuration over a
// varied week of traffic, give result lines that fit 79 columns.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

TEST(SampleTemplatesTest, EveryResultLineFitsSeventyNineColumns) {
  TempDir dir;
  MakeDirs(dir / "in");
  const char* areas[] = {"NODELIST", "RU.FIDONET.FILES.ARCHIVE", "AT&T<B>", "X"};
  const char* links[] = {"2:5020/1", "2:5020/9999.1", "1:261/38",
                         "32767:32767/32767.32767"};
  for (int i = 0; i < 24; ++i) {
    std::string name = dir / ("in/T" + std::to_string(100 + i) + ".TIC");
    WriteFile(name, std::string("Area ") + areas[i % 4] + "\r\nFrom " + links[i % 4] +
                        "\r\nOrigin " + links[(i + 1) % 4] + "\r\nTo Sysop, " +
                        links[(i + 2) % 4] + "\r\nSize " +
                        std::to_string(1000 + i * 987654321u % 2000000000u) + "\r\n");
    SetModTime(name, "2026-12-0" + std::to_string(2 + i % 6) + " 10:00:00");
  }
  // The sample's settings, without the lines that name places of a real node.
  std::string cfg;
  for (const std::string& line : Lines(ReadFile(SourceDir() + "/samples/vexstat.cfg"))) {
    const std::string word = line.substr(0, line.find(' '));
    if (std::string(" LOGFILE TICPATH TPLFILENAME MAKEANNOUNCE AREADEFINECFG ")
            .find(" " + word + " ") == std::string::npos)
      cfg += line + "\n";
  }
  cfg += "TICPATH in/\n";
  std::vector<std::string> templates;
  for (const auto& e :
       std::filesystem::directory_iterator(SourceDir() + "/samples/templates")) {
    templates.push_back(e.path().filename().string());
    WriteFile(dir / templates.back(), ReadFile(e.path().string()));
    cfg += "TPLFILENAME " + templates.back() + " " + templates.back() + ".out\n";
  }
  ASSERT_GE(templates.size(), 4u);
  WriteFile(dir / "vexstat.cfg", cfg);
  RunResult r = RunVexstat(dir.path(), {"-D7"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const std::string& t : templates) {
    std::vector<std::string> lines = Lines(ReadFile(dir / (t + ".out")), "\r\n");
    EXPECT_GT(lines.size(), 10u) << t;
    // A "\\n" of the template breaks a result line with LF CR.
    for (const std::string& row : lines)
      for (const std::string& line : Lines(row, "\n\r"))
        EXPECT_LE(line.size(), 79u) << t << ": " << line;  // CP866: a byte a column
  }
}

}  // namespace
}  // namespace vex::e2e
