// vexstat --check on a sound and on a broken node directory: what it
// reports, its exit code, and that no file in the directory changes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/base.h"
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
            "EchoArea NEW mail/new -b Squish\n"
            "EchoArea LATE mail/new -b Squish -x 1 -a 2:5020/1\n");
  std::unique_ptr<Base> base;
  ASSERT_TRUE(OpenBase(*DefaultEnv(), "J" + (dir / "mail/good"), BaseMode::kWrite, &base).ok());
  ASSERT_TRUE(base->Close().ok());
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
        "posts from 2:5020/9999 (FROMADDR): base opens",
        "Post area NEW: type S (Squish), path mail/new, description none, posts from "
        "2:5020/9999 (FROMADDR): no base yet (the first posting makes it)"}},
      {"broken",
       common + "TICPATH gone/\nTPLFILENAME none.tpl out.txt NO.SUCH\n"
                "TPLFILENAME t.tpl out2.txt BROKEN\nTPLFILENAME t.tpl out3.txt LATE\n",
       1,
       {"problem: vexstat.cfg:5: TICPATH gone/: directory gone/ does not exist",
        "problem: vexstat.cfg:6: template none.tpl cannot be read: No such file or directory",
        "problem: vexstat.cfg:6: post area NO.SUCH: not found in areas.cfg",
        "problem: areas.cfg:2: base mail/broken does not open: mail/broken.jhr",
        "problem: areas.cfg:4: area LATE: its -a option is not read"}},
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

// A node with two addresses, TIC files in its inbound, a JAM echo area, a
// second echo area posting from the point address and a *.MSG netmail area.
struct Node {
  std::string cfg =
      "LOGFILE vexstat.log\n"
      "ADDRESS 2:5020/9999\n"
      "ADDRESS 2:5020/9999.1\n"
      "SKIPDUPECH Yes\n"
      "TICPATH in/\n"
      "TPLFILENAME links.tpl links.txt NETMAIL\n"
      "TPLFILENAME daily.tpl daily.txt FILESTAT\n"
      "TPLFILENAME daily.tpl point.txt R50.SYSOP\n"
      "MAKEANNOUNCE Yes\n"
      "AREADEFINECFG Hareas.cfg\n"
      "WHEN WEEKLY 1 5\n"
      "FROMADDR 2:5020/9999\n"
      "TOADDR 2:5020/1\n"
      "SUBJ File echo statistics\n";
  std::string areas =
      "NetmailArea NETMAIL mail/netmail -b Msg\n"
      "EchoArea FILESTAT mail/filestat -b Jam -a 2:5020/9999 -d \"File echo statistics\"\n"
      "EchoArea R50.SYSOP mail/r50sysop -b Jam -a 2:5020/9999.1\n";
  std::string daily =
      "Files @BeginDate - @EndDate: @TOTALFILES, @TOTALSIZE KB\n"
      "#AREASIZE\n"
      "@NUMB. @AREA(30,L) @SIZETOTAL(10) @GRAPH(20,L)\n";
  std::string links = "#HTMLESCAPE OFF\n#LINKSIZE\n@LINK(20,L) @FILEIN @FILEOUT\n";
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// What the check's last line says the next run does.
struct Forecast {
  int files = -1, posts = 0, exitCode = -1;
};
Forecast ForecastOf(const std::string& out) {
  Forecast f;
  const size_t at = out.find("\nNext run: counts ");
  if (at == std::string::npos) return f;
  f.files = std::stoi(out.substr(at + 18));
  const size_t posts = out.find("; posts ", at);
  const size_t line = out.find('\n', at + 1);
  if (posts < line) f.posts = std::stoi(out.substr(posts + 8));
  f.exitCode = std::stoi(out.substr(out.find("; exit code ", at) + 12));
  return f;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
  return n;
}

// Each node, sound or broken in one way, in a directory of its own: the
// check names every mistake with its file, line and fix, and the real run
// then counts the files, posts the reports and ends with the exit code that
// the check's last line foretold.
TEST(CheckE2eTest, EachBrokenNodeNamesFileLineAndFixAndTheRunDoesWhatTheCheckSaid) {
  // root may write and read anywhere: then both run as nobody, in a node
  // directory that nobody may write, all but ro/.
  const bool asNobody = geteuid() == 0;
  if (asNobody && access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";

  struct Broken {
    const char* name;
    std::function<void(Node&)> make;
    std::vector<std::string> lines;  // the start of a line, then a part of it
    std::vector<std::string> args = {};
    std::function<void(const std::string&)> prepare = nullptr;  // the node directory
  };
  const auto below = [](const char* line) {
    return [line](Node& n) { n.cfg = Replaced(n.cfg, line, "") + line; };
  };
  const auto prefix = [](const char* line) { return [line](Node& n) { n.cfg = line + n.cfg; }; };
  const auto ticpath = [](const char* value) {
    return [value](Node& n) { n.cfg = Replaced(n.cfg, "TICPATH in/\n", value); };
  };
  const Broken cases[] = {
      {"sound", [](Node&) {}, {}},
      {"bad ADDRESS", [](Node& n) { n.cfg = Replaced(n.cfg, "9999\n", "99x9.42\n"); },
       {"problem: vexstat.cfg:2: ADDRESS 2:5020/99x9.42", "reads it as 2:5020/0.42; fix: write"}},
      {"bad FROMADDR",
       [](Node& n) { n.cfg = Replaced(n.cfg, "FROMADDR 2:5020/", "FROMADDR 2:5020-"); },
       {"problem: vexstat.cfg:12: FROMADDR 2:5020-9999", "0:0/0; fix: write the address"}},
      {"base under a regular file",
       [](Node& n) { n.areas = Replaced(n.areas, "mail/r50sysop", "mail/blocker/r50"); },
       {"problem: areas.cfg:3: base mail/blocker/r50 cannot be made",
        "mail/blocker is a regular file, not a directory; fix: correct the base path"}},
      {"empty header file beside messages",
       [](Node& n) { n.areas = Replaced(n.areas, "mail/r50sysop", "mail/damaged"); },
       {"problem: areas.cfg:3: base mail/damaged is damaged: its header file mail/damaged.jhr "
        "is empty while mail/damaged.jdx holds messages",
        "fix: rebuild the base"}},
      {"MAKEANOUNCE", [](Node& n) { n.cfg = Replaced(n.cfg, "MAKEANN", "MAKEAN"); },
       {"problem: vexstat.cfg:9: unknown keyword MAKEANOUNCE", "fix: write MAKEANNOUNCE"}},
      {"WHEN DAYLY", [](Node& n) { n.cfg = Replaced(n.cfg, "WEEKLY 1 5", "DAYLY"); },
       {"problem: vexstat.cfg:11: WHEN DAYLY", "fix: write WHEN DAILY"}},
      {"weekday names", [](Node& n) { n.cfg = Replaced(n.cfg, "1 5", "Mon Fri"); },
       {"problem: vexstat.cfg:11: WHEN WEEKLY: Mon Fri", "fix: write WHEN WEEKLY 1 5"}},
      {"FromAddr and ToAddr",
       [](Node& n) {
         n.cfg = Replaced(Replaced(n.cfg, "FROMADDR", "FromAddr"), "TOADDR", "ToAddr");
       },
       {"problem: vexstat.cfg:12: FromAddr is read only in upper case", "fix: write FROMADDR",
        "problem: vexstat.cfg:13: ToAddr is read only in upper case", "fix: write TOADDR",
        "problem: vexstat.cfg:6: post area NETMAIL is a netmail area, but TOADDR is 0:0/0",
        "fix: add a TOADDR line"}},
      {"keyword typo", [](Node& n) { n.cfg = Replaced(n.cfg, "DUPECH", "DUPECHECK"); },
       {"problem: vexstat.cfg:4: unknown keyword SKIPDUPECHECK", "fix: write SKIPDUPECH"}},
      {"macro typo", [](Node& n) { n.daily = Replaced(n.daily, "@TOTALFILES", "@TOTALFLIES"); },
       {"problem: daily.tpl:1: unknown macro @TOTALFLIES", "fix: write @TOTALFILES"}},
      {"directive typo", [](Node& n) { n.links = Replaced(n.links, "#LINKSIZE", "#LNIKSIZE"); },
       {"problem: links.tpl:2: unknown directive #LNIKSIZE", "fix: write #LINKSIZE"}},
      {"unwritable base directory",
       [](Node& n) { n.areas = Replaced(n.areas, "mail/r50sysop", "ro/r50sysop"); },
       {"problem: areas.cfg:3: base ro/r50sysop cannot be made: directory ro is not writable",
        "fix: give the user that runs vexstat write access to ro"}},
      {"result file in a read-only directory",
       [](Node& n) { n.cfg = Replaced(n.cfg, "daily.txt", "ro/daily.txt"); },
       {"problem: vexstat.cfg:7: result file ro/daily.txt: directory ro is not writable",
        "fix: give the user that runs vexstat write access to ro or name another"},
       {}, [](const std::string& dir) { WriteFile(dir + "/ro/daily.txt", "last week\n"); }},
      {"euro sign", [](Node& n) { n.daily += "Цена: 5 €\n"; },
       {"problem: daily.tpl:4: character U+20AC (euro sign) does not exist in CP866",
        "fix: replace it"}},
      {"address carried over", below("TPLFILENAME links.tpl links.txt NETMAIL\n"),
       {"problem: areas.cfg:1: post area NETMAIL has no -a, so it posts from 2:5020/9999.1",
        "fix: add -a 2:5020/9999 to area NETMAIL in areas.cfg"}},
      {"export format", [](Node& n) { n.cfg += "EXPORT xml week.xml\n"; },
       {"problem: vexstat.cfg:15: export format xml is unknown", "fix: write json, csv or metrics"}},
      // Options that a line below the first TICPATH sets again.
      {"-P undone", [](Node&) {},
       {"problem: vexstat.cfg:9: MAKEANNOUNCE stands below the first TICPATH (line 5)",
        "-P has no effect; fix: move MAKEANNOUNCE above the first TICPATH line"},
       {"-P"}},
      {"-J undone", [](Node& n) { n.cfg += "SKIPDUPECH Yes\nTICPATH in/\n"; },
       {"problem: vexstat.cfg:15: SKIPDUPECH stands below", "fix: move SKIPDUPECH above"},
       {"-J"}},
      {"-F undone", [](Node& n) { n.cfg += "KILLTIC No\nTICPATH in/\n"; },
       {"problem: vexstat.cfg:15: KILLTIC stands below", "fix: move KILLTIC above"}, {"-F"}},
      {"-E undone", [](Node& n) { n.cfg += "TICEXT *.tic\nTICPATH in/\n"; },
       {"problem: vexstat.cfg:15: TICEXT stands below", "for the TICPATH lines below it: -E*.TIC"},
       {"-E*.TIC"}},
      {"-O undone", [](Node& n) { n.cfg += "RESULTFILE other.txt\n"; },
       {"problem: vexstat.cfg:15: RESULTFILE stands below", "-Oweek.txt has no effect"},
       {"-Oweek.txt"}},
      // TICPATH values that scan nothing.
      {"TICPATH without /", ticpath("TICPATH in\n"),
       {"problem: vexstat.cfg:5: TICPATH in: the path lacks its final /", "fix: write TICPATH in/"}},
      {"Windows TICPATH", ticpath("TICPATH C:\\FIDO\\TIC\\\n"),
       {"problem: vexstat.cfg:5: TICPATH C:\\FIDO\\TIC\\: a Windows path", "fix: write the Linux path"}},
      {"tab after TICPATH", ticpath("TICPATH in/\t\n"),
       {"problem: vexstat.cfg:5: TICPATH in/\t: a blank or a tab after the path",
        "fix: write TICPATH in/ with nothing after it"}},
      {"comment after TICPATH", ticpath("TICPATH in/   ; the secure inbound\n"),
       {"problem: vexstat.cfg:5: TICPATH in/   ; the secure inbound: the comment after the path",
        "fix: write TICPATH in/ and put the comment on a line of its own"}},
      {"missing TICPATH without /", ticpath("TICPATH gone\n"),
       {"problem: vexstat.cfg:5: TICPATH gone: the path lacks its final / and directory gone does "
        "not exist", "fix: create the directory"}},
      {"missing TICPATH", ticpath("TICPATH gone/\n"),
       {"problem: vexstat.cfg:5: TICPATH gone/: directory gone/ does not exist",
        "fix: create it or correct the path"}},
      {"unreadable TICPATH", ticpath("TICPATH shut/\n"),
       {"problem: vexstat.cfg:5: TICPATH shut/: directory shut/ cannot be read: Permission denied",
        "fix: give the user that runs vexstat read access to shut"}},
      {"KILLTIC on a read-only inbound",
       [](Node& n) { n.cfg = "KILLTIC Yes\n" + Replaced(n.cfg, "TICPATH in/", "TICPATH ro/"); },
       {"problem: vexstat.cfg:6: TICPATH ro/: KILLTIC is on but directory ro/ is not writable",
        "fix: give the user that runs vexstat write access to ro/"}},
      {"TICEXT without a wildcard", prefix("TICEXT .tic\n"),
       {"problem: vexstat.cfg:6: the mask .tic has no wildcard", "2 files ending in .tic wait in "
        "in/; fix: write TICEXT *.tic"}},
      // Reports twice, or into one file.
      {"duplicate template", [](Node& n) { n.cfg += "TPLFILENAME daily.tpl daily.txt FILESTAT\n"; },
       {"problem: vexstat.cfg:15: TPLFILENAME repeats line 7: the report is written and posted twice",
        "fix: remove one of the two lines"}},
      {"one result file for two templates", [](Node& n) { n.cfg += "TPLFILENAME links.tpl daily.txt\n"; },
       {"problem: vexstat.cfg:15: result file daily.txt is also written by line 7 (daily.tpl)",
        "fix: give each template a result file of its own"}},
      // Periods that are not what was meant.
      {"-D7d", [](Node&) {},
       {"problem: the command line: -D7d: \"7d\" is no number", "the period starts today; fix: "
        "write the number of days back alone, such as -D7"}, {"-D7d"}},
      {"-Dweek", [](Node&) {}, {"problem: the command line: -Dweek: \"week\" is no number",
                                 "such as -D7"}, {"-Dweek"}},
      {"-D", [](Node&) {}, {"problem: the command line: -D: no number", "such as -D7"}, {"-D"}},
      {"-D-5", [](Node&) {}, {"problem: the command line: -D-5: -5 days back lies in the future",
                               "fix: write the number without a sign, such as -D5"}, {"-D-5"}},
      {"-D1/7", [](Node&) {}, {"problem: the command line: the period starts after it ends",
                                "fix: give the larger number of days first, such as -D7/1"},
       {"-D1/7"}},
      {"-L30d", [](Node&) {}, {"problem: the command line: -L30d: \"30d\" is no number",
                                "the purge refuses it and keeps everything"}, {"-L30d"}},
      // A DOS node's configuration.
      {"VEXSTAT.CFG", [](Node&) {},
       {"problem: vexstat.cfg: no configuration file (the defaults apply), but VEXSTAT.CFG is there",
        "fix: rename VEXSTAT.CFG to vexstat.cfg, or give -CVEXSTAT.CFG"}, {},
       [](const std::string& dir) { fs::rename(dir + "/vexstat.cfg", dir + "/VEXSTAT.CFG"); }},
  };
  for (const Broken& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* d : {"in", "mail", "ro", "shut"}) MakeDirs(dir / d);
    WriteFile(dir / "in/0A1B2C3D.TIC",
              "Area NODELIST\r\nAreadesc Nodelist\r\nFile NODELIST.Z48\r\nSize 131072\r\n"
              "Origin 2:2/0\r\nFrom 2:5020/1\r\nTo Sysop, 2:5020/9999\r\n"
              "Path 2:5020/1 1733650000\r\nSeenby 2:5020/9999\r\nCrc 1A2B3C4D\r\n");
    WriteFile(dir / "in/0a1b2c3e.tic",
              "Area RU.FIDONET.FILES\r\nFile FILES.ZIP\r\nSize 2048\r\nOrigin 2:5020/77\r\n"
              "From 2:5020/9999.1\r\n");
    WriteFile(dir / "shut/a.tic", "Area SHUT\r\n");
    WriteFile(dir / "ro/a.tic", "Area RO\r\n");
    WriteFile(dir / "mail/blocker", "not a directory");
    // A JAM base whose header file is empty while its index holds messages.
    WriteFile(dir / "mail/damaged.jhr", "");
    WriteFile(dir / "mail/damaged.jdx", std::string(16, '\x01'));
    std::unique_ptr<Base> base;
    ASSERT_TRUE(
        OpenBase(*DefaultEnv(), "J" + (dir / "mail/filestat"), BaseMode::kWrite, &base).ok());
    ASSERT_TRUE(base->Close().ok());
    Node node;
    c.make(node);
    WriteFile(dir / "vexstat.cfg", node.cfg);
    WriteFile(dir / "areas.cfg", node.areas);
    WriteFile(dir / "daily.tpl", node.daily);
    WriteFile(dir / "links.tpl", node.links);
    if (c.prepare) c.prepare(dir.path());
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      chmod(e.path().c_str(), e.is_directory() ? 0777 : 0666);
    chmod(dir.path().c_str(), 0777);
    chmod((dir / "ro").c_str(), 0555);
    chmod((dir / "shut").c_str(), 0);
    std::vector<std::string> argv = {VexstatPath(), "--check"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    if (asNobody)
      argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});

    const Snapshot before = Files(dir.path());
    const RunResult r = e2e::Run(dir.path(), argv, "2026-12-07 12:00:00");  // a Monday
    EXPECT_EQ(Files(dir.path()), before);
    EXPECT_EQ(r.exitCode, c.lines.empty() ? 0 : 1) << r.out << r.err;
    const std::vector<std::string> out = Lines(r.out);
    for (size_t i = 0; i + 1 < c.lines.size(); i += 2) {
      EXPECT_TRUE(std::any_of(out.begin(), out.end(), [&](const std::string& l) {
        return l.rfind(c.lines[i], 0) == 0 && l.find(c.lines[i + 1]) != std::string::npos;
      })) << c.lines[i] << " ... " << c.lines[i + 1] << "\n" << r.out;
    }

    const Forecast forecast = ForecastOf(r.out);
    argv.erase(std::find(argv.begin(), argv.end(), "--check"));
    const RunResult run = e2e::Run(dir.path(), argv, "2026-12-07 12:00:00");
    const std::string stat = FileExists(dir / "stat.vx") ? ReadFile(dir / "stat.vx") : "";
    EXPECT_EQ(forecast.files, static_cast<int>(stat.size() / 552)) << r.out << run.out;
    EXPECT_EQ(forecast.posts, static_cast<int>(Count(run.out, " -> Putting "))) << r.out << run.out;
    EXPECT_EQ(forecast.exitCode, run.exitCode) << r.out << run.out << run.err;
  }
}

TEST(CheckE2eTest, TheSampleConfigurationIsClean) {
  TempDir dir;
  for (const char* d : {"log", "out", "spool/inbound", "spool/secure", "templates"})
    MakeDirs(dir / d);
  for (const auto& e : fs::directory_iterator(SourceDir() + "/samples/templates"))
    WriteFile(dir / ("templates/" + e.path().filename().string()), ReadFile(e.path().string()));
  // The sample's places of a real node, moved into the test directory.
  const std::pair<const char*, const char*> places[] = {
      {"/etc/vexstat/templates/", "templates/"}, {"/var/lib/vexstat/", "out/"},
      {"/var/log/fido/", "log/"}, {"/var/spool/fido/", "spool/"}, {"/var/www/fido/", "out/"},
      {"H/etc/fido/areas.cfg", "Hareas.cfg"}};
  for (auto [from, to] : {std::pair<const char*, const char*>{"vexstat.cfg", "vexstat.cfg"},
                          {"areas/areas-h.cfg", "areas.cfg"}}) {
    std::string text = ReadFile(SourceDir() + "/samples/" + from);
    for (auto [place, here] : places)
      for (size_t at; (at = text.find(place)) != std::string::npos;)
        text.replace(at, std::strlen(place), here);
    WriteFile(dir / to, text);
  }
  MakeDirs(dir / "spool/msgbase");
  WriteFile(dir / "spool/inbound/a.tic", "Area R50.ARC\r\nSize 5000\r\nFrom 2:5020/1\r\n");
  RunResult r = RunVexstat(dir.path(), {"--check"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("problem:"), std::string::npos) << r.out;

  // Every post area the check names is posted into by the run, from the
  // address and into the base the check gave.
  struct Area {
    std::string type, path, from;
  };
  std::map<std::string, Area> checked;
  for (const std::string& l : Lines(r.out)) {
    if (l.rfind("Post area ", 0) != 0) continue;
    const size_t colon = l.find(": type ");
    const size_t path = l.find(", path ") + 7, from = l.find(", posts from ") + 13;
    checked[l.substr(10, colon - 10)] = {l.substr(colon + 7, 1),
                                         l.substr(path, l.find(", description") - path),
                                         l.substr(from, l.find(' ', from) - from)};
  }
  ASSERT_EQ(checked.size(), 2u) << r.out;
  const RunResult run = RunVexstat(dir.path());
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(r.out.find("Next run: counts 1 TIC files; posts 2 reports (FILESTAT, NETMAIL); exit "
                       "code 0"),
            std::string::npos) << r.out;
  const std::vector<std::string> log = Lines(run.out);
  size_t posted = 0;
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    const size_t into = log[i].find(" into ");
    if (log[i].find(" -> Putting ") == std::string::npos || into == std::string::npos) continue;
    const std::string tag = log[i].substr(into + 6, log[i].find(' ', into + 6) - into - 6);
    ASSERT_TRUE(checked.count(tag)) << tag;
    const Area& a = checked[tag];
    EXPECT_NE(log[i + 1].find("[" + a.from + "]"), std::string::npos) << log[i + 1];
    const char* const file = a.type == "J" ? ".jhr" : a.type == "S" ? ".sqd" : "/2.msg";
    EXPECT_TRUE(FileExists(dir / (a.path + file))) << a.path;
    ++posted;
  }
  EXPECT_EQ(posted, checked.size()) << run.out;
}

}  // namespace
}  // namespace vex::e2e
