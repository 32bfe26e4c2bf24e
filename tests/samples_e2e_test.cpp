// The sample templates (Russian, and English under en/), rendered with the
// sample configuration over a varied week of traffic, give result lines
// that fit 79 columns; over a month with one change of each kind, each one
// that has notes writes every note in its own language with its figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

// Every sample template, by its path under samples/templates.
std::vector<std::string> SampleTemplates() {
  std::vector<std::string> names;
  const std::string root = SourceDir() + "/samples/templates/";
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file()) names.push_back(e.path().string().substr(root.size()));
  std::sort(names.begin(), names.end());
  return names;
}

void Tic(const TempDir& dir, const std::string& name, const std::string& area,
         const std::string& from, const std::string& origin, long size,
         const std::string& when) {
  const std::string path = dir / ("in/" + name + ".TIC");
  WriteFile(path, "Area " + area + "\r\nFrom " + from + "\r\nOrigin " + origin +
                      "\r\nTo 2:5020/9999\r\nSize " + std::to_string(size) + "\r\n");
  SetModTime(path, when);
}

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
  // A file echo with few files and a huge size beside one with many small
  // ones: a bar measured against a smaller row would grow past its width.
  Tic(dir, "H1", "HUGE.ONE", "2:5020/1", "2:5020/1", 2000000000, "2026-12-03 10:00:00");
  for (int i = 0; i < 9; ++i)
    Tic(dir, "M" + std::to_string(i), "MANY.SMALL", "2:5020/1", "2:5020/1", 10,
        "2026-12-04 10:00:00");
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
  MakeDirs(dir / "en");
  for (const std::string& name : SampleTemplates()) {
    templates.push_back(name);
    WriteFile(dir / name, ReadFile(SourceDir() + "/samples/templates/" + name));
    cfg += "TPLFILENAME " + name + " " + name + ".out\n";
  }
  ASSERT_GE(templates.size(), 8u);
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

// The text of a result without markup, line breaks and runs of blanks.
std::string PlainText(const std::string& result) {
  std::string out;
  bool tag = false;
  for (char c : result) {
    if (c == '<') tag = true;
    if (!tag) {
      const bool blank = c == ' ' || c == '\r' || c == '\n';
      if (!blank || (!out.empty() && out.back() != ' ')) out += blank ? ' ' : c;
    }
    if (c == '>') tag = false;
  }
  return out;
}

TEST(SampleTemplatesTest, NotesInTheTemplatesLanguageWithTheirFigures) {
  TempDir dir;
  MakeDirs(dir / "in");
  MakeDirs(dir / "en");
  // Before the period (from 2026-11-07): every echo and origin is known.
  for (const char* area : {"SILENT.ECHO", "STEADY.ECHO"})
    Tic(dir, std::string("P") + area, area, "2:5020/1", "2:5020/77", 1000, "2026-10-29 10:00:00");
  // The link 2:5020/3 sends nothing since 2026-10-29; BIG.ECHO spikes.
  Tic(dir, "PBIG", "BIG.ECHO", "2:5020/3", "2:5020/77", 1000000, "2026-10-29 10:00:00");
  for (int i = 0; i < 6; ++i)
    Tic(dir, "BIG" + std::to_string(i), "BIG.ECHO", "2:5020/1", "2:5020/77", 1000000,
        "2026-12-06 10:00:00");
  Tic(dir, "SILENT", "SILENT.ECHO", "2:5020/1", "2:5020/77", 1000, "2026-11-18 10:00:00");
  Tic(dir, "NEW", "NEW.ECHO", "2:5020/1", "2:5020/77", 1000, "2026-12-03 10:00:00");
  Tic(dir, "ORIGIN", "STEADY.ECHO", "2:5020/1", "2:5020/99", 1000, "2026-12-05 10:00:00");
  WriteFile(dir / "NODELIST.340", ";A Saturday, December 6, 2026 -- Day number 340 : 1\r\n"
                                  "Zone,2,Europe,Kiev,Z,-,300\r\nHost,5020,Moscow,Moscow,H,-,300\r\n"
                                  ",3,Three_Station,Tver,Anna,-,300\r\n"
                                  ",99,Ninety_Nine,Tula,Oleg,-,300\r\n");
  std::string cfg = "ADDRESS 2:5020/9999\nRESULTCHARSET UTF-8\nNODELIST NODELIST\nTICPATH in/\n";
  struct Case {
    const char* name;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {"daily.tpl",
       {"файлэха SILENT.ECHO молчит 20 дн., последний файл 18.11.2026",
        "линк 2:5020/3 молчит 40 дн., последний файл 29.10.2026",
        "новая файлэха NEW.ECHO, первый файл 03.12.2026",
        "новый источник 2:5020/99, первый файл 05.12.2026",
        "файлэха BIG.ECHO: 183.11 Кб в день, в 6.0 раза больше прежнего"}},
      {"en/daily.tpl",
       {"file echo SILENT.ECHO silent for 20 days, last file on 18.11.2026",
        "link 2:5020/3 silent for 40 days, last file on 29.10.2026",
        "new file echo NEW.ECHO, first file on 03.12.2026",
        "new originating system 2:5020/99, first file on 05.12.2026",
        "file echo BIG.ECHO: 183.11 KB a day, 6.0 times the period before"}},
      {"report.html.tpl",
       {"Файлэха SILENT.ECHO молчит 20 дн., последний файл 18.11.2026",
        "Линк 2:5020/3 Three Station молчит 40 дн., последний файл 29.10.2026",
        "Новая файлэха NEW.ECHO, первый файл 03.12.2026",
        "Новый источник 2:5020/99 Ninety Nine (первый файл 05.12.2026)",
        "Файлэха BIG.ECHO: 183.1 КБ в день, в 6.0 раза больше, чем в прошлый период",
        "2:5020/99 Ninety Nine Tula", "5.7 МБ"}},
      {"en/report.html.tpl",
       {"File echo SILENT.ECHO silent for 20 days, last file on 18.11.2026",
        "Link 2:5020/3 Three Station silent for 40 days, last file on 29.10.2026",
        "New file echo NEW.ECHO, first file on 03.12.2026",
        "New originating system 2:5020/99 Ninety Nine (first file on 05.12.2026)",
        "File echo BIG.ECHO: 183.1 KB a day, 6.0 times the period before",
        "2:5020/99 Ninety Nine Tula", "5.7 MB"}},
  };
  // Every sample that has notes is in the table.
  size_t withNotes = 0;
  for (const std::string& name : SampleTemplates())
    withNotes += ReadFile(SourceDir() + "/samples/templates/" + name).find("#NOTES") !=
                 std::string::npos;
  EXPECT_EQ(withNotes, std::size(cases));
  for (const Case& c : cases) {
    WriteFile(dir / c.name, ReadFile(SourceDir() + "/samples/templates/" + c.name));
    cfg += std::string("TPLFILENAME ") + c.name + " " + c.name + ".out\n";
  }
  WriteFile(dir / "vexstat.cfg", cfg);
  RunResult r = RunVexstat(dir.path(), {});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const Case& c : cases) {
    const std::string text = PlainText(ReadFile(dir / (std::string(c.name) + ".out")));
    for (const std::string& note : c.notes)
      EXPECT_NE(text.find(note), std::string::npos) << c.name << ": " << note << "\n" << text;
  }
}

}  // namespace
}  // namespace vex::e2e
