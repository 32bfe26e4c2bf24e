// End-to-end runs of the built program that post reports into *.MSG, Squish
// and JAM areas.  The bases are read back independently of the program's own
// library: *.MSG and Squish by the byte layouts written out here, JAM by an
// independent JAM reader, and a *.MSG netmail is exported by a real tosser.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex {
namespace {

using e2e::FileExists;
using e2e::MakeDirs;
using e2e::ReadFile;
using e2e::RunResult;
using e2e::RunVexstat;
using e2e::TempDir;
using e2e::UnstampedLines;
using e2e::WriteFile;
using Lines = std::vector<std::string>;

const char kPid[] = "PID: Runnel [3.1.W32]";
const char kChrs[] = "CHRS: CP866 2";  // right after the PID line

// One stored message as every format can show it.
struct Message {
  std::string from, to, subject;
  uint32_t attributes = 0;
  int origNet = 0, origNode = 0, destNet = 0, destNode = 0;  // *.MSG only
  std::string dateText;                                      // *.MSG, Squish
  Lines kludges;  // leading kludge lines, without their 0x01
  Lines body;     // the lines after them
};

uint32_t Le(const std::string& b, size_t at, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) {
    v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  }
  return v;
}

std::string CString(const std::string& b, size_t at, size_t width) {
  std::string s = b.substr(at, width);
  return s.substr(0, s.find('\0'));
}

Lines Split(const std::string& text, char sep) {
  Lines lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(sep, start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Splits CR-ended text into its leading kludges and the body.
void SplitText(const std::string& text, Message& m) {
  for (const std::string& line : Split(text, '\r')) {
    if (m.body.empty() && !line.empty() && line[0] == '\x01') {
      m.kludges.push_back(line.substr(1));
    } else {
      m.body.push_back(line);
    }
  }
}

// Every N.msg of a directory, in number order.
std::vector<Message> ReadMsgDir(const std::string& dir) {
  std::vector<std::pair<int, Message>> found;
  for (int n = 1; n < 200; ++n) {
    std::string bytes = ReadFile(dir + "/" + std::to_string(n) + ".msg");
    if (bytes.size() < 191) continue;
    Message m;
    m.from = CString(bytes, 0, 36);
    m.to = CString(bytes, 36, 36);
    m.subject = CString(bytes, 72, 72);
    m.dateText = CString(bytes, 144, 20);
    m.destNode = static_cast<int>(Le(bytes, 166, 2));
    m.origNode = static_cast<int>(Le(bytes, 168, 2));
    m.origNet = static_cast<int>(Le(bytes, 172, 2));
    m.destNet = static_cast<int>(Le(bytes, 174, 2));
    m.attributes = Le(bytes, 186, 2);
    EXPECT_EQ(bytes.back(), '\0');
    SplitText(bytes.substr(190, bytes.size() - 191), m);
    found.emplace_back(n, m);
  }
  std::vector<Message> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

// Every message of a Squish base, following the frame chain.
std::vector<Message> ReadSquish(const std::string& base) {
  std::vector<Message> out;
  const std::string sqd = ReadFile(base + ".sqd");
  if (sqd.size() < 256) return out;
  EXPECT_EQ(Le(sqd, 0, 2), 256u);
  uint32_t frame = Le(sqd, 104, 4);
  while (frame != 0 && out.size() < 100) {
    EXPECT_EQ(Le(sqd, frame, 4), 0xAFAE4453u);
    const uint32_t next = Le(sqd, frame + 4, 4);
    const uint32_t msgLength = Le(sqd, frame + 16, 4);
    const uint32_t controlLength = Le(sqd, frame + 20, 4);
    const size_t header = frame + 28;
    Message m;
    m.attributes = Le(sqd, header, 4);
    m.from = CString(sqd, header + 4, 36);
    m.to = CString(sqd, header + 40, 36);
    m.subject = CString(sqd, header + 76, 72);
    m.origNet = static_cast<int>(Le(sqd, header + 150, 2));
    m.origNode = static_cast<int>(Le(sqd, header + 152, 2));
    m.dateText = CString(sqd, header + 218, 20);
    std::string control = CString(sqd, header + 238, controlLength);
    for (const std::string& k : Split(control, '\x01')) {
      if (!k.empty()) m.kludges.push_back(k);
    }
    std::string text = sqd.substr(header + 238 + controlLength,
                                  msgLength - 238 - controlLength);
    text = text.substr(0, text.find('\0'));
    for (const std::string& line : Split(text, '\r')) m.body.push_back(line);
    out.push_back(m);
    frame = next;
  }
  return out;
}

bool HaveNodeReader() {
  return std::system("node --version >/dev/null 2>&1") == 0 &&
         FileExists(e2e::SourceDir() +
                    "/tests/interop/node_modules/fidonet-jam/package.json");
}

// Every message of a JAM base as the independent reader decodes it.
std::vector<Message> ReadJam(const std::string& base) {
  RunResult json = e2e::Run(
      ".", {"node", e2e::SourceDir() + "/tests/interop/read_jam.js", base});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  // Flattens the reader's JSON into tagged lines.
  const char* flatten =
      "let s='';process.stdin.on('data',d=>s+=d).on('end',()=>{"
      "const r=JSON.parse(s);for(const m of r.messages){const d=m.decoded;"
      "const out=['M',d.from,d.to,d.subj,String(m.header.Attribute)];"
      "for(const k of (m.kludgeLines?m.kludgeLines.split('\\n'):[]))"
      "out.push('K'+k);"
      "const t=m.text.endsWith('\\n')?m.text.slice(0,-1):m.text;"
      "for(const l of t.split('\\n'))out.push('B'+l);"
      "process.stdout.write(out.join('\\x02')+'\\x03');}});";
  RunResult flat = e2e::Run(".", {"node", "-e", flatten}, "", json.out);
  EXPECT_EQ(flat.exitCode, 0) << flat.err;
  std::vector<Message> out;
  for (const std::string& record : Split(flat.out, '\x03')) {
    Lines f = Split(record, '\x02');
    if (f.size() < 5) continue;
    Message m;
    m.from = f[1];
    m.to = f[2];
    m.subject = f[3];
    m.attributes = static_cast<uint32_t>(std::stoul(f[4]));
    for (size_t i = 5; i < f.size(); ++i) {
      (f[i][0] == 'K' ? m.kludges : m.body).push_back(f[i].substr(1));
    }
    out.push_back(m);
  }
  return out;
}

// Lines of the program's log file that belong to the postings: the start,
// period and end lines and the Russian lines of the report run are left out.
Lines PostingLog(const std::string& dir) {
  Lines out;
  for (const std::string& l : UnstampedLines(ReadFile(dir + "/vexstat.log"))) {
    const bool period = l.size() == 24 && l.find(" -> ") == 10;
    const bool russian = std::any_of(l.begin(), l.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 0x80;
    });
    if (l.empty() || l == "End.." || l == " * Made new log file" ||
        l.find(": started..") != std::string::npos || period || russian) {
      continue;
    }
    out.push_back(l);
  }
  return out;
}

class PostingE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(dir / "stat.vx", ""); }
  // A configuration that posts every (template, area) pair.
  void Config(const std::string& extra,
              const std::vector<std::pair<std::string, std::string>>& posts) {
    std::string cfg =
        "LOGFILE vexstat.log\n"
        "MAKEANNOUNCE Yes\n"
        "PATHTOECHOTOSSLOG echotoss.log\n" +
        extra;
    int n = 0;
    for (const auto& [text, area] : posts) {
      ++n;
      const std::string name = "r" + std::to_string(n);
      WriteFile(dir / (name + ".tpl"), text);
      cfg += "TPLFILENAME " + name + ".tpl " + name + ".txt " + area + "\n";
    }
    WriteFile(dir / "vexstat.cfg", cfg);
  }
  // A run that logs a failed post ends with code 3.
  RunResult Run(int code = 0) {
    RunResult r = RunVexstat(dir.path());
    EXPECT_EQ(r.exitCode, code) << r.out << r.err;
    return r;
  }
  TempDir dir;
};

const char kCommon[] =
    "FROMADDR 2:5020/123.4\n"
    "TOADDR 2:5020/1.7\n"
    "FROM Stat Robot\n"
    "SUBJ File echo statistics\n"
    "ORIGIN My node\n"
    "TEARLINE Vexstat\n";

TEST_F(PostingE2eTest, FormatHIntoJamMsgAndSquish) {
  if (!HaveNodeReader()) FAIL() << "no JAM reader installed (scripts/prerequisites.sh)";
  WriteFile(dir / "areas.cfg",
            "; the node's areas\n"
            "NetmailArea NETMAIL msgbase/netmail -b Msg\n"
            "EchoArea ru.fido msgbase/rufido -b Jam -d \"Russian echo\"\n"
            "LocalArea LOCAL.STAT msgbase/local -b Squish\n");
  Config(std::string(kCommon) + "AREADEFINECFG Hareas.cfg\n",
         {{"Files this week\r\nTotal: 3\r\n", "RU.FIDO"},
          {"Netmail report\r\n... see you\r\n", "NETMAIL"},
          {"Local report\r\n", "LOCAL.STAT"}});
  Run();

  EXPECT_EQ(PostingLog(dir.path()),
            (Lines{" -> Putting r1.txt into RU.FIDO [Russian echo]",
                   "    From Stat Robot [2:5020/123.4]",
                   "   -> trying ...   - Ok...",
                   "[err] Creating new echo-exportation file echotoss.log",
                   " -> Putting r2.txt into NETMAIL",
                   "    From Stat Robot [2:5020/123.4]",
                   "   -> trying ...   - Ok...",
                   " -> Putting r3.txt into LOCAL.STAT",
                   "    From Stat Robot [2:5020/123.4]",
                   "   -> trying ...   - Ok..."}));
  EXPECT_EQ(ReadFile(dir / "echotoss.log"),
            "RU.FIDO\r\nNETMAIL\r\nLOCAL.STAT\r\n");

  const Lines tail{"--- Vexstat", " * Origin: My node (2:5020/123.4)"};
  std::vector<Message> jam = ReadJam(dir / "msgbase/rufido");
  ASSERT_EQ(jam.size(), 1u);
  EXPECT_EQ(jam[0].from, "Stat Robot");
  EXPECT_EQ(jam[0].to, "All");
  EXPECT_EQ(jam[0].subject, "File echo statistics");
  EXPECT_EQ(jam[0].attributes, 0x1000001u);  // local, echomail
  ASSERT_EQ(jam[0].kludges.size(), 3u);
  EXPECT_EQ(jam[0].kludges[0].substr(0, 20), "MSGID: 2:5020/123.4 ");
  EXPECT_EQ(jam[0].kludges[0].size(), 28u);
  EXPECT_EQ(jam[0].kludges[1], kPid);
  EXPECT_EQ(jam[0].kludges[2], kChrs);
  EXPECT_EQ(jam[0].body, (Lines{"Files this week", "Total: 3", "", tail[0],
                                tail[1]}));

  std::vector<Message> net = ReadMsgDir(dir / "msgbase/netmail");
  ASSERT_EQ(net.size(), 1u);
  const Message& m = net[0];
  EXPECT_EQ(m.from, "Stat Robot");
  EXPECT_EQ(m.subject, "File echo statistics");
  EXPECT_EQ(m.attributes, 0x100u);
  EXPECT_EQ(m.origNet, 5020);
  EXPECT_EQ(m.origNode, 123);
  EXPECT_EQ(m.destNet, 5020);
  EXPECT_EQ(m.destNode, 1);
  EXPECT_EQ(m.dateText.substr(0, 15), "08 Dec 26  12:0");
  ASSERT_EQ(m.kludges.size(), 6u);
  EXPECT_EQ(m.kludges[0], jam[0].kludges[0].substr(0, 20) +
                              m.kludges[0].substr(20));
  EXPECT_NE(m.kludges[0].substr(20), jam[0].kludges[0].substr(20));
  EXPECT_EQ(m.kludges[1], "INTL 2:5020/1 2:5020/123");
  EXPECT_EQ(m.kludges[2], "FMPT 4");
  EXPECT_EQ(m.kludges[3], "TOPT 7");
  EXPECT_EQ(m.kludges[4], kPid);
  EXPECT_EQ(m.kludges[5], kChrs);
  // A last line beginning with "..." stands right above the tear line.
  EXPECT_EQ(m.body, (Lines{"Netmail report", "... see you", tail[0], tail[1]}));

  std::vector<Message> sq = ReadSquish(dir / "msgbase/local");
  ASSERT_EQ(sq.size(), 1u);
  EXPECT_EQ(sq[0].from, "Stat Robot");
  EXPECT_EQ(sq[0].to, "All");
  EXPECT_EQ(sq[0].attributes, 0x20100u);
  EXPECT_EQ(sq[0].origNet, 5020);
  EXPECT_EQ(sq[0].origNode, 123);
  EXPECT_EQ(sq[0].dateText.substr(0, 15), "08 Dec 26  12:0");
  ASSERT_EQ(sq[0].kludges.size(), 3u);
  EXPECT_EQ(sq[0].kludges[0].substr(0, 20), "MSGID: 2:5020/123.4 ");
  EXPECT_EQ(sq[0].kludges[1], kPid);
  EXPECT_EQ(sq[0].kludges[2], kChrs);
  EXPECT_EQ(sq[0].body, (Lines{"Local report", "", tail[0], tail[1]}));
}

TEST_F(PostingE2eTest, FormatSSquishEchoAndMsgNetmail) {
  WriteFile(dir / "areas.cfg",
            ";EchoArea RU.SQ msgbase/commented -$\n"
            "NetArea NETMAIL msgbase/net\n");
  Config("FROMADDR 2:5020/123\nFLAGS Pvt K/s\nAREADEFINECFG Sareas.cfg\n",
         {{"Squish echo\r\n", "ru.sq"}, {"Net\r\n", "NETMAIL"}});
  Run();
  // Format S has no comments: only the second word counts.
  std::vector<Message> sq = ReadSquish(dir / "msgbase/commented");
  ASSERT_EQ(sq.size(), 1u);
  EXPECT_EQ(sq[0].attributes, 0x20000u | 0x81u);
  // The comment's first word is no area keyword, so the kind stays netmail.
  EXPECT_EQ(sq[0].kludges.size(), 4u);
  EXPECT_EQ(sq[0].kludges[1], "INTL 0:0/0 2:5020/123");
  EXPECT_EQ(sq[0].body,
            (Lines{"Squish echo", "", "--- ",
                   " * Origin: Autoposted message (2:5020/123)"}));
  std::vector<Message> net = ReadMsgDir(dir / "msgbase/net");
  ASSERT_EQ(net.size(), 1u);
  EXPECT_EQ(net[0].attributes, 0x81u);
  EXPECT_EQ(net[0].kludges[1], "INTL 0:0/0 2:5020/123");
  EXPECT_EQ(ReadFile(dir / "echotoss.log"), "ru.sq\r\nNETMAIL\r\n");
}

TEST_F(PostingE2eTest, FormatSAddressOptionAndFormatTList) {
  WriteFile(dir / "areas.cfg", "EchoArea RU.SQ msgbase/sq -p2:5020/777 -$\n");
  Config("AREADEFINECFG Sareas.cfg\n", {{"Text\r\n", "RU.SQ"}});
  Run();
  std::vector<Message> sq = ReadSquish(dir / "msgbase/sq");
  ASSERT_EQ(sq.size(), 1u);
  EXPECT_EQ(sq[0].kludges[0].substr(0, 18), "MSGID: 2:5020/777 ");
  EXPECT_EQ(sq[0].body.back(), " * Origin: Autoposted message (2:5020/777)");

  WriteFile(dir / "t.cfg", "AREAFILE msgbase.lst\n");
  WriteFile(dir / "msgbase.lst",
            "@LINE RU.T Jam\n"
            "msgbase/tmsg RU.T Msg\n");
  Config("FROMADDR 2:5020/5\nAREADEFINECFG Tt.cfg\n", {{"T list\r\n", "RU.T"}});
  Run();
  std::vector<Message> msgs = ReadMsgDir(dir / "msgbase/tmsg");
  ASSERT_EQ(msgs.size(), 1u);
  // Areas of a format-T list are echomail: no INTL.
  ASSERT_EQ(msgs[0].kludges.size(), 3u);
  EXPECT_EQ(msgs[0].kludges[1], kPid);
  EXPECT_EQ(msgs[0].kludges[2], kChrs);
  EXPECT_EQ(msgs[0].body.front(), "T list");
}

TEST_F(PostingE2eTest, LongReportInSectionsWithMarkers) {
  if (!HaveNodeReader()) FAIL() << "no JAM reader installed (scripts/prerequisites.sh)";
  WriteFile(dir / "areas.txt", "msgbase/stat STAT Jam\n");
  // 400 lines of 100 bytes with their CR LF: 40,000 bytes.
  std::string report;
  for (int i = 0; i < 400; ++i) {
    std::string line = "Line " + std::to_string(i + 1000);
    line.resize(98, 'x');
    report += line + "\r\n";
  }
  WriteFile(dir / "t.cfg", "AREAFILE areas.txt\n");
  Config("SUBJ Weekly\nSECTIONSIZE 16384\nUSEENCODEDMESSAGE Yes\n"
         "USEENCODEDSTRING Yes\nAREADEFINECFG tt.cfg\n",
         {{report, "STAT"}, {report, "STAT"}});
  Run();
  ASSERT_EQ(ReadFile(dir / "r1.txt").size(), 40000u);
  EXPECT_EQ(PostingLog(dir.path()),
            (Lines{" -> Putting r1.txt into STAT",
                   "    From Sysop [0:0/0]",
                   "   -> [1/3]  - Ok...",
                   "   -> [2/3]  - Ok...",
                   "   -> [3/3]  - Ok...",
                   "[err] Creating new echo-exportation file echotoss.log",
                   " -> Putting r2.txt into STAT",
                   "    From Sysop [0:0/0]",
                   "   -> [1/3]  - Ok...",
                   "   -> [2/3]  - Ok...",
                   "   -> [3/3]  - Ok..."}));

  std::vector<Message> msgs = ReadJam(dir / "msgbase/stat");
  ASSERT_EQ(msgs.size(), 6u);
  // 164 lines of 100 counted bytes pass 16384; the rest is 72 lines.
  const size_t lines[3] = {164, 164, 72};
  Lines all = Split(report, '\n');
  for (size_t i = 0; i < 6; ++i) {
    const Message& m = msgs[i];
    const int n = static_cast<int>(i % 3) + 1;
    const std::string file = i < 3 ? "r1.txt" : "r2.txt";
    EXPECT_EQ(m.subject, "[" + std::to_string(n) + "/3] Weekly");
    ASSERT_EQ(m.kludges.size(), 5u);
    EXPECT_EQ(m.kludges[1], kPid);
    EXPECT_EQ(m.kludges[2], kChrs);
    // One kludge byte, however many postings the run makes.
    EXPECT_EQ(m.kludges[3], "For decode use \"Unrunnel.exe /decode\"");
    EXPECT_EQ(m.kludges[4], "Text.Section " + std::to_string(n) +
                                " of 3 of file " + file);
    ASSERT_EQ(m.body.size(), lines[n - 1] + 3);
    const size_t first = (n - 1) * 164;
    for (size_t k = 0; k < lines[n - 1]; ++k) {
      ASSERT_EQ(m.body[k] + "\r", all[first + k]);
    }
    EXPECT_EQ(m.body[lines[n - 1]], "");
    EXPECT_EQ(m.body[lines[n - 1] + 1], "--- ");
    EXPECT_EQ(m.body[lines[n - 1] + 2],
              " * Origin: Autoposted message (0:0/0)");
  }
  EXPECT_EQ(ReadFile(dir / "echotoss.log"), "STAT\r\n");
}

TEST_F(PostingE2eTest, ScheduleNotDueSkipsThePosting) {
  WriteFile(dir / "areas.cfg", "EchoArea RU.FIDO msgbase/rufido -b Msg\n");
  // The run's date is a Tuesday.
  Config("AREADEFINECFG Hareas.cfg\nWHEN WEEKLY 1 5\n", {{"x\r\n", "RU.FIDO"}});
  Run();
  EXPECT_EQ(PostingLog(dir.path()), (Lines{"Not due today: RU.FIDO"}));
  EXPECT_TRUE(FileExists(dir / "r1.txt"));
  EXPECT_FALSE(FileExists(dir / "msgbase"));
  EXPECT_FALSE(FileExists(dir / "echotoss.log"));

  Config("AREADEFINECFG Hareas.cfg\nWHEN WEEKLY 2\n", {{"x\r\n", "RU.FIDO"}});
  Run();
  EXPECT_EQ(ReadMsgDir(dir / "msgbase/rufido").size(), 1u);
}

std::map<std::string, std::string> Snapshot(const std::string& dir,
                                             const Lines& names) {
  std::map<std::string, std::string> files;
  for (const std::string& n : names) files[n] = ReadFile(dir + "/" + n);
  return files;
}

TEST_F(PostingE2eTest, FailuresAreLoggedAndLeaveBasesIntact) {
  WriteFile(dir / "areas.cfg",
            "EchoArea RU.FIDO msgbase/rufido -b Jam\n"
            "EchoArea RU.SQ msgbase/rusq -b Squish\n"
            "EchoArea RU.MSG msgbase/rumsg -b Msg\n"
            "EchoArea HUDSON msgbase/hudson -b Hudson\n"
            "EchoArea BLOCKED blocker/sub/base -b Jam\n"
            "EchoArea BLOCKED.MSG blocker/sub -b Msg\n");
  Config("AREADEFINECFG Hareas.cfg\n",
         {{"one\r\n", "RU.FIDO"}, {"two\r\n", "RU.SQ"}, {"three\r\n", "RU.MSG"}});
  Run();
  const Lines files{"msgbase/rufido.jhr", "msgbase/rufido.jdt",
                    "msgbase/rufido.jdx", "msgbase/rufido.jlr",
                    "msgbase/rusq.sqd",   "msgbase/rusq.sqi",
                    "msgbase/rumsg/2.msg", "echotoss.log"};
  const auto before = Snapshot(dir.path(), files);
  ASSERT_EQ(before.at("echotoss.log"), "RU.FIDO\r\nRU.SQ\r\nRU.MSG\r\n");
  WriteFile(dir / "blocker", "a file where a directory should be\n");

  const std::string open = "[err] Unable to open/create msgbase ";
  const std::string properly = ", maybe you not define area file properly";
  const std::string header =
      "There are some errors in your settings of post area:";
  Config("AREADEFINECFG Hareas.cfg\n",
         {{"x\r\n", "NO.SUCH"}, {"x\r\n", "HUDSON"}, {"x\r\n", "BLOCKED"},
          {"x\r\n", "BLOCKED.MSG"}});
  WriteFile(dir / "vexstat.log", "");
  Run(3);
  EXPECT_EQ(PostingLog(dir.path()),
            (Lines{"[err] Area NO.SUCH not found in areas.cfg", header,
                   open + properly, "[err] Internal error while reading areas.cfg", header,
                   open + "msgbase/hudson" + properly, header,
                   open + "blocker/sub/base" + properly, "   blocker: Not a directory", header,
                   open + "blocker/sub" + properly, "   blocker: Not a directory"}));

  Config("AREADEFINECFG Xareas.cfg\n", {{"x\r\n", "RU.FIDO"}});
  WriteFile(dir / "vexstat.log", "");
  Run(3);
  EXPECT_EQ(PostingLog(dir.path()), (Lines{header, open + properly}));

  Config("AREADEFINECFG Hnothere.cfg\n", {{"x\r\n", "RU.FIDO"}});
  WriteFile(dir / "vexstat.log", "");
  Run(3);
  EXPECT_EQ(PostingLog(dir.path()),
            (Lines{"[err] File nothere.cfg can't be read", header,
                   open + properly}));

  EXPECT_EQ(Snapshot(dir.path(), files), before);
  EXPECT_FALSE(FileExists(dir / "msgbase/hudson"));
  EXPECT_FALSE(FileExists(dir / "msgbase/rumsg/3.msg"));
}

// Has a real tosser export the *.MSG netmail area "netmail" of dir, posted
// from 2:5020/123 to 2:5020/1, and returns the packet it made.
std::string ExportNetmail(const TempDir& dir) {
  for (const char* d : {"in", "out", "tmp"}) MakeDirs(dir / d);
  const std::string p = dir.path();
  WriteFile(dir / "crashmail.prefs",
            "SYSOP \"Sysop\"\n"
            "LOGFILE \"" + p + "/crashmail.log\"\n"
            "LOGLEVEL 3\n"
            "DUPEFILE \"" + p + "/crashmail.dupes\" 200\n"
            "DUPEMODE IGNORE\n"
            "INBOUND \"" + p + "/in\"\n"
            "OUTBOUND \"" + p + "/out\"\n"
            "TEMPDIR \"" + p + "/tmp\"\n"
            "CREATEPKTDIR \"" + p + "/tmp\"\n"
            "PACKETDIR \"" + p + "/out\"\n"
            "AKA 2:5020/123.0\n"
            "DOMAIN \"FidoNet\"\n"
            "NODE 2:5020/1.0 \"\" \"\"\n"
            "ROUTE \"*:*/*.*\" \"2:5020/1.0\" 2:5020/123.0\n"
            "NETMAIL \"NETMAIL\" 2:5020/123.0 MSG \"" + p + "/netmail\"\n");
  RunResult cm = e2e::Run(p, {"crashmail", "SETTINGS", p + "/crashmail.prefs",
                              "SCAN"});
  EXPECT_EQ(cm.exitCode, 0) << cm.out << cm.err;
  EXPECT_NE(cm.out.find("1 message exported"), std::string::npos) << cm.out;
  // The packet for 2:5020/1 (net and node in hexadecimal).
  return ReadFile(dir / "out/139c0001.out");
}

TEST_F(PostingE2eTest, TosserExportsAPostedNetmail) {
  if (std::system("command -v crashmail >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "crashmail is not installed";
  }
  WriteFile(dir / "areas.cfg", "NetmailArea NETMAIL netmail -b Msg\n");
  Config("FROMADDR 2:5020/123\nTOADDR 2:5020/1\nTO Sysop One\n"
         "SUBJ Statistics\nAREADEFINECFG Hareas.cfg\n",
         {{"Report line\r\nSecond line\r\n", "NETMAIL"}});
  Run();
  ASSERT_EQ(ReadMsgDir(dir / "netmail").size(), 1u);

  const std::string pkt = ExportNetmail(dir);
  ASSERT_GT(pkt.size(), 58u);
  const size_t names = pkt.find(std::string("Sysop One\0Sysop\0Statistics", 26), 58);
  EXPECT_NE(names, std::string::npos);
  const size_t text = pkt.find("\x01MSGID:", 58);
  ASSERT_NE(text, std::string::npos);
  const std::string body = pkt.substr(text, pkt.find('\0', text) - text);
  Lines lines = Split(body, '\r');
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[0].substr(0, 18), "\x01MSGID: 2:5020/123");
  EXPECT_EQ(lines[1], "\x01INTL 2:5020/1 2:5020/123");
  EXPECT_EQ(lines[2], std::string("\x01") + kPid);
  EXPECT_EQ(lines[3], std::string("\x01") + kChrs);
  EXPECT_EQ(Lines(lines.begin() + 4, lines.begin() + 9),
            (Lines{"Report line", "Second line", "", "--- ",
                   " * Origin: Autoposted message (2:5020/123)"}));
}

// With CHRS UTF-8 the names, the subject and the text are written in
// UTF-8, and readers that go by the kludge read them right: the JAM reader
// decodes them by it, and the tosser carries them into its packet as they
// are, the kludge with them.
TEST_F(PostingE2eTest, Utf8MessagesReadRightInIndependentReaders) {
  if (!HaveNodeReader()) FAIL() << "no JAM reader installed (scripts/prerequisites.sh)";
  const bool tosser = std::system("command -v crashmail >/dev/null 2>&1") == 0;
  WriteFile(dir / "areas.cfg",
            "EchoArea RU.STAT jam/stat -b Jam\nNetmailArea NETMAIL netmail -b Msg\n");
  const std::string from = "Робот Статистики", to = "Всем", subject = "Отчёт о файлах";
  const Lines text{"Файлэхи: 3 (ёЁ №)", "─── итог ───"};
  Config("FROMADDR 2:5020/123\nTOADDR 2:5020/1\nCHRS UTF-8 4\nFROM " + from + "\nTO " + to +
             "\nSUBJ " + subject + "\nAREADEFINECFG Hareas.cfg\n",
         {{text[0] + "\r\n" + text[1] + "\r\n", "RU.STAT"},
          {text[0] + "\r\n" + text[1] + "\r\n", "NETMAIL"}});
  Run();
  const Lines body{text[0], text[1], "", "--- ", " * Origin: Autoposted message (2:5020/123)"};

  std::vector<Message> jam = ReadJam(dir / "jam/stat");
  ASSERT_EQ(jam.size(), 1u);
  EXPECT_EQ(jam[0].from, from);
  EXPECT_EQ(jam[0].to, to);
  EXPECT_EQ(jam[0].subject, subject);
  EXPECT_EQ(jam[0].body, body);
  EXPECT_NE(std::find(jam[0].kludges.begin(), jam[0].kludges.end(), "CHRS: UTF-8 4"),
            jam[0].kludges.end());
  // Our own reader honours the kludge too.
  const e2e::RunResult shown = e2e::Run(dir.path(), {e2e::VexmsgPath(), "J" + (dir / "jam/stat"), "1"});
  EXPECT_NE(shown.out.find("Subject: " + subject + "\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find(text[0] + "\n"), std::string::npos) << shown.out;

  if (!tosser) GTEST_SKIP() << "crashmail is not installed";
  const std::string pkt = ExportNetmail(dir);
  EXPECT_NE(pkt.find(to + std::string(1, '\0') + from + std::string(1, '\0') + subject),
            std::string::npos);
  const size_t start = pkt.find("\x01" "CHRS: UTF-8 4\r");
  ASSERT_NE(start, std::string::npos);
  Lines lines = Split(pkt.substr(start, pkt.find('\0', start) - start), '\r');
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(Lines(lines.begin() + 1, lines.begin() + 6), body);
}

}  // namespace
}  // namespace vex
