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
       {"problem: vexstat.cfg:5: TICPATH gone/: directory gone does not exist",
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

TEST(CheckE2eTest, EachBrokenNodeNamesFileLineAndFix) {
  TempDir dir;
  for (const char* d : {"in", "mail", "ro"}) MakeDirs(dir / d);
  WriteFile(dir / "in/0A1B2C3D.TIC",
            "Area NODELIST\r\nAreadesc Nodelist\r\nFile NODELIST.Z48\r\nSize 131072\r\n"
            "Origin 2:2/0\r\nFrom 2:5020/1\r\nTo Sysop, 2:5020/9999\r\n"
            "Path 2:5020/1 1733650000\r\nSeenby 2:5020/9999\r\nCrc 1A2B3C4D\r\n");
  WriteFile(dir / "in/0a1b2c3e.tic",
            "Area RU.FIDONET.FILES\r\nFile FILES.ZIP\r\nSize 2048\r\nOrigin 2:5020/77\r\n"
            "From 2:5020/9999.1\r\n");
  WriteFile(dir / "mail/blocker", "not a directory");
  std::unique_ptr<Base> base;
  ASSERT_TRUE(OpenBase(*DefaultEnv(), "J" + (dir / "mail/filestat"), BaseMode::kWrite, &base).ok());
  ASSERT_TRUE(base->Close().ok());
  // root may write anywhere: then the check runs as nobody, in a node
  // directory that nobody may write, all but ro/.
  const bool asNobody = geteuid() == 0;
  for (const auto& e : fs::recursive_directory_iterator(dir.path()))
    chmod(e.path().c_str(), e.is_directory() ? 0777 : 0666);
  chmod(dir.path().c_str(), 0777);
  chmod((dir / "ro").c_str(), 0555);

  struct Broken {
    const char* name;
    std::function<void(Node&)> make;
    std::vector<std::string> lines;  // the start of a line, then a part of it
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
      {"MAKEANOUNCE", [](Node& n) { n.cfg = Replaced(n.cfg, "MAKEANN", "MAKEAN"); },
       {"problem: vexstat.cfg:9: unknown keyword MAKEANOUNCE", "fix: write MAKEANNOUNCE"}},
      {"WHEN DAYLY", [](Node& n) { n.cfg = Replaced(n.cfg, "WEEKLY 1 5", "DAYLY"); },
       {"problem: vexstat.cfg:11: WHEN DAYLY", "fix: write WHEN DAILY"}},
      {"weekday names", [](Node& n) { n.cfg = Replaced(n.cfg, "1 5", "Mon Fri"); },
       {"problem: vexstat.cfg:11: WHEN WEEKLY: Mon Fri", "fix: write WHEN WEEKLY 1 5"}},
      {"TICPATH without /", [](Node& n) { n.cfg = Replaced(n.cfg, "in/", "in"); },
       {"problem: vexstat.cfg:5: TICPATH in lacks its final /", "fix: write TICPATH in/"}},
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
      {"euro sign", [](Node& n) { n.daily += "Цена: 5 €\n"; },
       {"problem: daily.tpl:4: character U+20AC (euro sign) does not exist in CP866",
        "fix: replace it"}},
      {"address carried over",
       [](Node& n) {
         const std::string netmail = "TPLFILENAME links.tpl links.txt NETMAIL\n";
         n.cfg = Replaced(n.cfg, netmail, "") + netmail;
       },
       {"problem: areas.cfg:1: post area NETMAIL has no -a, so it posts from 2:5020/9999.1",
        "fix: add -a 2:5020/9999 to area NETMAIL in areas.cfg"}},
      {"export format", [](Node& n) { n.cfg += "EXPORT xml week.xml\n"; },
       {"problem: vexstat.cfg:15: export format xml is unknown", "fix: write json, csv or metrics"}},
  };
  for (const Broken& c : cases) {
    SCOPED_TRACE(c.name);
    Node node;
    c.make(node);
    WriteFile(dir / "vexstat.cfg", node.cfg);
    WriteFile(dir / "areas.cfg", node.areas);
    WriteFile(dir / "daily.tpl", node.daily);
    WriteFile(dir / "links.tpl", node.links);
    std::vector<std::string> argv = {VexstatPath(), "--check"};
    if (asNobody) {
      if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";
      argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    const Snapshot before = Files(dir.path());
    RunResult r = e2e::Run(dir.path(), argv, "2026-12-07 12:00:00");  // a Monday
    EXPECT_EQ(Files(dir.path()), before);
    EXPECT_EQ(r.exitCode, c.lines.empty() ? 0 : 1) << r.out << r.err;
    for (size_t i = 0; i + 1 < c.lines.size(); i += 2) {
      const std::vector<std::string> out = Lines(r.out);
      EXPECT_TRUE(std::any_of(out.begin(), out.end(), [&](const std::string& l) {
        return l.rfind(c.lines[i], 0) == 0 && l.find(c.lines[i + 1]) != std::string::npos;
      })) << c.lines[i] << " ... " << c.lines[i + 1] << "\n" << r.out;
    }
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
  RunResult r = RunVexstat(dir.path(), {"--check"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("problem:"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vex::e2e
