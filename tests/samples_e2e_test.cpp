// The sample templates, rendered with the sample configuration over a
// varied week of traffic, give result lines that fit an 80-column screen
// and a message reader.
#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

std::vector<std::string> SampleTemplates() {
  std::vector<std::string> names;
  const std::string dir = SourceDir() + "/samples/templates";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 4 && n.substr(n.size() - 4) == ".tpl") names.push_back(n);
    }
    closedir(d);
  }
  return names;
}

// The sample configuration without the lines that name places of a real
// node; the run's own scan and templates take their place.
std::string SampleSettings() {
  std::string kept;
  for (const std::string& line : Lines(ReadFile(SourceDir() + "/samples/vexstat.cfg"))) {
    std::string word = line.substr(0, line.find(' '));
    for (char& c : word) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (word == "LOGFILE" || word == "TICPATH" || word == "TPLFILENAME" ||
        word == "MAKEANNOUNCE" || word == "AREADEFINECFG" || word == "PATHTOECHOTOSSLOG")
      continue;
    kept += line + "\n";
  }
  return kept;
}

TEST(SampleTemplatesTest, EveryResultLineFitsSeventyNineColumns) {
  TempDir dir;
  MakeDirs(dir / "in");
  const char* areas[] = {"NODELIST", "RU.FIDONET.FILES.ARCHIVE", "AT&T<B>", "X"};
  const char* links[] = {"2:5020/1", "2:5020/9999.1", "1:261/38", "32767:32767/32767.32767"};
  for (int i = 0; i < 24; ++i) {
    std::string name = "in/T" + std::to_string(100 + i) + ".TIC";
    WriteFile(dir / name, std::string("Area ") + areas[i % 4] + "\r\nFrom " + links[i % 4] +
                              "\r\nOrigin " + links[(i + 1) % 4] + "\r\nTo Sysop, " +
                              links[(i + 2) % 4] + "\r\nSize " +
                              std::to_string(1000 + i * 987654321u % 2000000000u) + "\r\n");
    SetModTime(dir / name, "2026-12-0" + std::to_string(2 + i % 6) + " 10:00:00");
  }
  std::string cfg = SampleSettings() + "TICPATH in/\n";
  const std::vector<std::string> templates = SampleTemplates();
  ASSERT_GE(templates.size(), 4u);
  for (const std::string& t : templates) {
    WriteFile(dir / t, ReadFile(SourceDir() + "/samples/templates/" + t));
    cfg += "TPLFILENAME " + t + " " + t + ".out\n";
  }
  WriteFile(dir / "vexstat.cfg", cfg);
  RunResult r = RunVexstat(dir.path(), {"-D7"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const std::string& t : templates) {
    std::vector<std::string> lines = Lines(ReadFile(dir / (t + ".out")), "\r\n");
    EXPECT_GT(lines.size(), 10u) << t;
    for (const std::string& line : lines)
      EXPECT_LE(line.size(), 79u) << t << ": " << line;  // CP866: a byte a column
  }
}

}  // namespace
}  // namespace vex::e2e
