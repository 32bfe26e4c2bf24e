// A real FidoNet tosser reads a *.MSG netmail area that the library wrote:
// it exports the messages into a type-2 packet, which is then checked field
// by field against what was posted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "msgbase/base.h"
#include "tests/e2e_harness.h"
#include "util/coding.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
using e2e::ReadFile;
using e2e::TempDir;
using e2e::WriteFile;

const char kTosser[] = "/usr/bin/crashmail";

struct PostedMessage {
  std::string from, to, subject;
  FtnAddress orig, dest;
  std::vector<std::string> body;
};

struct PacketMessage {
  uint16_t origNode = 0, destNode = 0, origNet = 0, destNet = 0, attr = 0;
  std::string date, to, from, subject, text;
};

struct Packet {
  uint16_t origNode = 0, destNode = 0, origNet = 0, destNet = 0;
  uint16_t origZone = 0, destZone = 0;
  std::vector<PacketMessage> messages;
};

// Reads a NUL-terminated field at pos; false when the data ends first.
bool ReadZ(const std::string& data, size_t& pos, std::string& out) {
  size_t end = data.find('\0', pos);
  if (end == std::string::npos) return false;
  out = data.substr(pos, end - pos);
  pos = end + 1;
  return true;
}

// A type-2 packet: a 58-byte header, packed messages, a closing zero word.
bool ParsePacket(const std::string& data, Packet& p) {
  if (data.size() < 60 || GetU16(data.data() + 18) != 2) return false;
  p.origNode = GetU16(data.data() + 0);
  p.destNode = GetU16(data.data() + 2);
  p.origNet = GetU16(data.data() + 20);
  p.destNet = GetU16(data.data() + 22);
  p.origZone = GetU16(data.data() + 34);
  p.destZone = GetU16(data.data() + 36);
  size_t pos = 58;
  while (pos + 2 <= data.size()) {
    uint16_t type = GetU16(data.data() + pos);
    if (type == 0) return true;
    if (type != 2 || pos + 34 > data.size()) return false;
    PacketMessage m;
    const char* h = data.data() + pos;
    m.origNode = GetU16(h + 2);
    m.destNode = GetU16(h + 4);
    m.origNet = GetU16(h + 6);
    m.destNet = GetU16(h + 8);
    m.attr = GetU16(h + 10);
    m.date = GetZString(h + 14, 20);
    pos += 34;
    if (!ReadZ(data, pos, m.to) || !ReadZ(data, pos, m.from) ||
        !ReadZ(data, pos, m.subject) || !ReadZ(data, pos, m.text))
      return false;
    p.messages.push_back(m);
  }
  return false;
}

std::vector<std::string> SplitCr(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\r', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// MSGID serials, one per message posted.
uint32_t NextSerial() {
  static std::atomic<uint32_t> serial{0x65000000};
  return ++serial;
}

void Post(const std::string& areaId, const PostedMessage& m) {
  std::unique_ptr<Base> base;
  const Status opened = OpenBase(*DefaultEnv(), areaId, BaseMode::kWrite, &base);
  ASSERT_TRUE(opened.ok()) << opened.ToString();
  Message msg;
  msg.attributes = AttrTypeNet | AttrLocal;
  msg.orig = m.orig;
  msg.dest = m.dest;
  msg.kludges = AddressKludges(m.orig, m.dest, true, NextSerial());
  msg.from = m.from;
  msg.to = m.to;
  msg.subject = m.subject;
  msg.written = msg.arrived = ToMsgDateTime(DefaultEnv()->Now());
  msg.text = m.body;
  uint32_t number = 0;
  const Status appended = base->Append(msg, &number);
  ASSERT_TRUE(appended.ok()) << appended.ToString();
  ASSERT_TRUE(base->Close().ok());
}

// A type-2 packet from 2:5030/7 to 2:5020/9999 with n echomail messages for
// area, each body "tossed <tag> <i>".
std::string EchoPacket(const std::string& area, int n, const std::string& tag) {
  std::string p(58, '\0');
  PutU16(p.data() + 0, 7), PutU16(p.data() + 2, 9999), PutU16(p.data() + 18, 2);
  PutU16(p.data() + 20, 5030), PutU16(p.data() + 22, 5020);
  PutU16(p.data() + 34, 2), PutU16(p.data() + 36, 2);
  for (int i = 0; i < n; ++i) {
    std::string h(34, '\0');
    PutU16(h.data(), 2), PutU16(h.data() + 2, 7), PutU16(h.data() + 4, 9999);
    PutU16(h.data() + 6, 5030), PutU16(h.data() + 8, 5020);
    PutZString(h.data() + 14, 20, "09 Dec 26  12:00:00");
    p += h + "All" + '\0' + "Tosser" + '\0' + "subj" + '\0' + "AREA:" + area + "\r\x01MSGID: 2:5030/7 " +
         tag + std::to_string(i) + "\rtossed " + tag + " " + std::to_string(i) + "\r" + '\0';
  }
  return p + std::string(2, '\0');
}

// The body lines (no kludges) of every message of a base.
std::multiset<std::string> BodyLines(const std::string& areaId) {
  std::multiset<std::string> lines;
  std::unique_ptr<Base> b;
  std::vector<uint32_t> numbers;
  if (!OpenBase(*DefaultEnv(), areaId, BaseMode::kWrite, &b).ok() || !b->List(&numbers).ok())
    return {"unopenable"};
  for (uint32_t n : numbers) {
    Message m;
    if (!b->Read(n, &m).ok()) lines.insert("unreadable");
    for (const std::string& l : m.text)
      if (l.rfind("tossed ", 0) == 0 || l.rfind("posted ", 0) == 0) lines.insert(l);
  }
  return lines;
}

// The tosser writes the same JAM and *.MSG echo areas, which neither has
// yet, while the poster creates them and posts: every message of both ends
// up whole in its base.  VEX_INTEROP_ROUNDS sets the number of rounds.
TEST(MsgInteropTest, TosserAndPosterCreateAndFillTheSameAreas) {
  if (!fs::exists(kTosser)) FAIL() << kTosser << " is not installed (scripts/prerequisites.sh)";
  const int rounds = std::getenv("VEX_INTEROP_ROUNDS") ? std::atoi(std::getenv("VEX_INTEROP_ROUNDS")) : 3;
  TempDir dir;
  for (const char* sub : {"inb", "outb", "tmp", "pkt", "msg"}) fs::create_directory(dir / sub);
  std::string prefs = "SYSOP \"T\"\nLOGFILE \"" + dir / "log" + "\"\nDUPEFILE \"" + dir / "dupes" + "\" 200\n" +
                      "INBOUND \"" + dir / "inb" + "\"\nOUTBOUND \"" + dir / "outb" + "\"\nTEMPDIR \"" + dir / "tmp" +
                      "\"\nCREATEPKTDIR \"" + dir / "pkt" + "\"\nPACKETDIR \"" + dir / "pkt" + "\"\nSTATSFILE \"" +
                      dir / "stats" + "\"\nAKA 2:5020/9999.0\nNODE 2:5030/7.0 \"\" \"\"\nNETMAIL \"NETMAIL\" " +
                      "2:5020/9999.0 MSG \"" + dir / "netmail" + "\"\n";
  for (int r = 0; r < rounds; ++r) {
    std::string n = std::to_string(r);
    prefs += "AREA \"JAM" + n + "\" 2:5020/9999.0 JAM \"" + dir / ("jam/echo" + n) + "\"\nEXPORT 2:5030/7.0\n";
    prefs += "AREA \"MSG" + n + "\" 2:5020/9999.0 MSG \"" + dir / ("msg/echo" + n) + "\"\nEXPORT 2:5030/7.0\n";
  }
  WriteFile(dir / "prefs", prefs);
  std::string failedPosts;
  for (int r = 0; r < rounds; ++r) {
    std::string n = std::to_string(r);
    SCOPED_TRACE("round " + n);
    WriteFile(dir / "inb/0000000" + std::to_string(r % 10) + ".pkt", EchoPacket("JAM" + n, 5, "j" + n));
    WriteFile(dir / "inb/1000000" + std::to_string(r % 10) + ".pkt", EchoPacket("MSG" + n, 5, "m" + n));
    e2e::RunResult toss;
    std::thread tosser([&] { toss = e2e::Run(dir.path(), {kTosser, "SETTINGS", dir / "prefs", "TOSS"}); });
    std::multiset<std::string> want[2];
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < 2; ++k) {
        std::string areaId = (k ? "M" : "J") + dir / ((k ? "msg/echo" : "jam/echo") + n);
        std::string line = "posted " + n + " " + std::to_string(i);
        std::unique_ptr<Base> b;
        Status st = OpenBase(*DefaultEnv(), areaId, BaseMode::kWrite, &b);
        if (st.ok()) {
          Message m;
          m.attributes = AttrTypeEcho;
          m.orig = FtnAddress{2, 5020, 9999, 0};
          m.kludges = AddressKludges(m.orig, m.dest, false, NextSerial());
          m.written = m.arrived = ToMsgDateTime(DefaultEnv()->Now());
          m.text = {line};
          uint32_t number = 0;
          st = b->Append(m, &number);
          if (st.ok()) st = b->Close();
        }
        if (!st.ok()) failedPosts += areaId + ": " + st.ToString() + "\n";
        want[k].insert(line);
      }
    }
    tosser.join();
    ASSERT_EQ(toss.exitCode, 0) << toss.out << toss.err;
    // What the tosser left in its inbound after a failure of its own (its
    // mkdir meeting the poster's) is tossed again.
    ASSERT_EQ(e2e::Run(dir.path(), {kTosser, "SETTINGS", dir / "prefs", "TOSS"}).exitCode, 0);
    for (int k = 0; k < 2; ++k) {
      for (int i = 0; i < 5; ++i) want[k].insert("tossed " + std::string(k ? "m" : "j") + n + " " + std::to_string(i));
      EXPECT_EQ(BodyLines((k ? "M" : "J") + dir / ((k ? "msg/echo" : "jam/echo") + n)), want[k]) << ReadFile(dir / "log");
    }
  }
  EXPECT_EQ(failedPosts, "");
}

TEST(MsgInteropTest, TosserExportsPostedNetmail) {
  if (!fs::exists(kTosser)) FAIL() << kTosser << " is not installed (scripts/prerequisites.sh)";
  TempDir dir;
  for (const char* sub : {"inb", "outb", "tmp", "pkt"}) fs::create_directory(dir / sub);
  std::string area = dir / "fido/netmail";

  PostedMessage fromPoint{"Vexstat robot", "Sysop", "File echo statistics",
                          FtnAddress{2, 5020, 9999, 1}, FtnAddress{2, 5030, 7, 0},
                          {"Report line one", "Second line", "--- Vexstat",
                           " * Origin: Test node (2:5020/9999.1)"}};
  PostedMessage fromNode{"Vexstat", "Other Sysop", "Links",
                         FtnAddress{2, 5020, 9999, 0}, FtnAddress{2, 5030, 7, 0},
                         {"Only line"}};
  Post("M" + area, fromPoint);
  Post("M" + area, fromNode);
  ASSERT_TRUE(fs::exists(area + "/2.msg"));
  ASSERT_TRUE(fs::exists(area + "/3.msg"));

  std::string prefs = dir / "crashmail.prefs";
  WriteFile(prefs,
            "SYSOP \"Test Sysop\"\n"
            "LOGFILE \"" + dir / "crashmail.log" + "\"\n"
            "LOGLEVEL 6\n"
            "DUPEFILE \"" + dir / "dupes" + "\" 200\n"
            "DEFAULTZONE 2\n"
            "INBOUND \"" + dir / "inb" + "\"\n"
            "OUTBOUND \"" + dir / "outb" + "\"\n"
            "TEMPDIR \"" + dir / "tmp" + "\"\n"
            "CREATEPKTDIR \"" + dir / "pkt" + "\"\n"
            "PACKETDIR \"" + dir / "pkt" + "\"\n"
            "STATSFILE \"" + dir / "stats" + "\"\n"
            "AKA 2:5020/9999.0\n"
            "NODE 2:5030/7.0 \"\" \"\"\n"
            "ROUTE \"2:*/*.*\" \"2:5030/7.0\" 2:5020/9999.0\n"
            "NETMAIL \"NETMAIL\" 2:5020/9999.0 MSG \"" + area + "\"\n");
  e2e::RunResult r = e2e::Run(dir.path(), {kTosser, "SETTINGS", prefs, "SCAN"});
  std::string log = ReadFile(dir / "crashmail.log");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err << log;
  EXPECT_NE(log.find("2 messages exported"), std::string::npos) << log;

  // The tosser marks what it exported as sent: it read the attribute word.
  for (const char* n : {"/2.msg", "/3.msg"}) {
    std::string f = ReadFile(area + n);
    ASSERT_GE(f.size(), 190u);
    EXPECT_EQ(GetU16(f.data() + 186), AttrLocal | AttrSent) << n;
  }

  std::vector<Packet> packets;
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
    if (!e.is_regular_file()) continue;
    Packet p;
    if (ParsePacket(ReadFile(e.path().string()), p) && !p.messages.empty())
      packets.push_back(p);
  }
  ASSERT_EQ(packets.size(), 1u) << log;
  const Packet& p = packets[0];
  EXPECT_EQ(p.origNet, 5020);
  EXPECT_EQ(p.origNode, 9999);
  EXPECT_EQ(p.destNet, 5030);
  EXPECT_EQ(p.destNode, 7);
  ASSERT_EQ(p.messages.size(), 2u);

  const PostedMessage* posted[2] = {&fromPoint, &fromNode};
  for (size_t i = 0; i < 2; ++i) {
    const PostedMessage& want = *posted[i];
    const PacketMessage& got = p.messages[i];
    SCOPED_TRACE(want.subject);
    EXPECT_EQ(got.from, want.from);
    EXPECT_EQ(got.to, want.to);
    EXPECT_EQ(got.subject, want.subject);
    EXPECT_EQ(got.origNet, 5020);
    EXPECT_EQ(got.origNode, 9999);
    EXPECT_EQ(got.destNet, 5030);
    EXPECT_EQ(got.destNode, 7);
    EXPECT_EQ(got.date.size(), 19u);
    std::vector<std::string> lines = SplitCr(got.text);
    std::vector<std::string> kludges, body;
    for (const std::string& l : lines) {
      if (!l.empty() && l[0] == '\x01') {
        kludges.push_back(l);
      } else {
        body.push_back(l);
      }
    }
    EXPECT_EQ(body, want.body);
    ASSERT_GE(kludges.size(), 2u);
    std::string orig = want.orig.point ? "2:5020/9999.1" : "2:5020/9999";
    EXPECT_EQ(kludges[0].rfind("\x01MSGID: " + orig + " ", 0), 0u) << kludges[0];
    EXPECT_EQ(kludges[1], "\x01INTL 2:5030/7 2:5020/9999");
    bool hasFmpt = false;
    for (const std::string& k : kludges) hasFmpt |= k == "\x01" "FMPT 1";
    EXPECT_EQ(hasFmpt, want.orig.point == 1);
  }
}

}  // namespace
}  // namespace vex
