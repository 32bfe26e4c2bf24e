#include <map>
#include <tuple>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "msgbase/base.h"
#include "msgbase/jam_base.h"
#include "msgbase/jam_base_impl.h"
#include "msgbase/jam/format.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

using namespace jam;

FtnAddress Addr(int z, int n, int f, int p = 0) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(z);
  a.net = static_cast<int16_t>(n);
  a.node = static_cast<int16_t>(f);
  a.point = static_cast<int16_t>(p);
  return a;
}

uint32_t U32(const std::string& bytes, size_t at) { return GetU32(bytes.data() + at); }

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r";
  return out;
}

// A message posted the way the poster posts one.
struct Post {
  uint32_t kind = kMailEcho;
  FtnAddress orig = Addr(2, 5020, 1, 0);
  FtnAddress dest;
  std::string from = "Vexstat", to = "All", subject = "Statistics";
  std::vector<std::string> lines;
};

bool Write(MessageBase& base, const Post& p) {
  if (!base.StartNewMessage()) return false;
  base.SetMailTypeFlag(kMailNet | kMailEcho | kMailLocal, false);
  base.SetMailTypeFlag(p.kind, true);
  base.SetOrigAddress(p.orig, true);
  base.SetDestAddress(p.dest);
  base.SetFromName(p.from);
  base.SetToName(p.to);
  base.SetSubject(p.subject);
  base.SetAttribute(AttrLocal, true);
  for (const auto& l : p.lines) base.WriteTextLine(l);
  return base.WriteMessage();
}

class JamMemTest : public ::testing::Test {
 protected:
  JamMemTest() {
    ClockTime t;
    t.year = 2024;
    t.month = 2;
    t.day = 29;
    t.hour = 13;
    t.minute = 45;
    t.second = 10;
    env.SetNow(t);
    env.AddDirectory("bases");
  }
  void RemoveFile(const std::string& p) {
    int err = 0;
    ASSERT_TRUE(env.Remove(p, &err));
  }
  std::unique_ptr<JamBase> NewBase() { return std::make_unique<JamBase>(env); }
  std::unique_ptr<JamBase> Created(const std::string& path = "bases/echo") {
    auto b = NewBase();
    EXPECT_TRUE(b->CreateBase(path));
    return b;
  }
  MemEnv env;
};

TEST(JamFormatTest, NameCrcIsUninvertedCrc32OfLoweredLatinLetters) {
  EXPECT_EQ(NameCrc(""), 0xFFFFFFFFu);
  // Standard CRC-32 of "123456789" is 0xCBF43926; here it is not inverted.
  EXPECT_EQ(NameCrc("123456789"), ~0xCBF43926u);
  EXPECT_EQ(NameCrc("Sergey Ivanov"), NameCrc("sERGEY IVANOV"));
  EXPECT_NE(NameCrc("a"), NameCrc("b"));
  // Only A-Z are lowered: CP866 capitals keep their own CRC.
  EXPECT_NE(NameCrc("\x80"), NameCrc("\xA0"));
}

TEST(JamFormatTest, UnixTimeTakesTheFieldsAsTheyAre) {
  MsgDateTime epoch;
  epoch.year = 1970;
  epoch.month = 1;
  epoch.day = 1;
  EXPECT_EQ(UnixTime(epoch), 0u);
  MsgDateTime dt;
  dt.year = 2000;
  dt.month = 3;
  dt.day = 1;
  dt.hour = 12;
  dt.minute = 34;
  dt.second = 56;
  EXPECT_EQ(UnixTime(dt), 951914096u);
  for (auto [y, m, d] : {std::tuple{2024, 2, 29}, {1999, 12, 31}, {2038, 1, 19},
                         {2100, 3, 1}, {1980, 1, 1}}) {
    MsgDateTime in;
    in.year = y;
    in.month = m;
    in.day = d;
    in.hour = 23;
    in.minute = 59;
    in.second = 58;
    MsgDateTime out = FromUnixTime(UnixTime(in));
    EXPECT_EQ(out.year, y);
    EXPECT_EQ(out.month, m);
    EXPECT_EQ(out.day, d);
    EXPECT_EQ(out.hour, 23);
    EXPECT_EQ(out.minute, 59);
    EXPECT_EQ(out.second, 58);
  }
}

TEST(JamFormatTest, SubfieldsThatRunPastTheirAreaAreRejected) {
  std::string area;
  AppendSubfield(area, kSfSender, "abc");
  AppendSubfield(area, kSfKludge, "CHRS: CP866 2");
  std::vector<Subfield> out;
  ASSERT_TRUE(ParseSubfields(area, out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].id, kSfKludge);
  EXPECT_EQ(out[1].data, "CHRS: CP866 2");
  EXPECT_FALSE(ParseSubfields(area.substr(0, area.size() - 1), out));
  EXPECT_FALSE(ParseSubfields(area.substr(0, 15), out));
  std::string huge = area;
  PutU32(huge.data() + 4, 0xFFFFFFF0u);
  EXPECT_FALSE(ParseSubfields(huge, out));
}

TEST_F(JamMemTest, NewBaseHasTheBaseHeaderAndEmptyFiles) {
  auto base = Created("bases/deep/er/echo");
  EXPECT_EQ(base->GetBasePath(), "bases/deep/er/echo.");
  base->CloseBase();
  std::string jhr = env.GetFile("bases/deep/er/echo.jhr");
  ASSERT_EQ(jhr.size(), 1024u);
  EXPECT_EQ(jhr.substr(0, 4), std::string("JAM\0", 4));
  MsgDateTime now;
  now.year = 2024;
  now.month = 2;
  now.day = 29;
  now.hour = 13;
  now.minute = 45;
  now.second = 10;
  EXPECT_EQ(U32(jhr, 4), UnixTime(now));
  EXPECT_EQ(U32(jhr, 8), 0u);
  EXPECT_EQ(U32(jhr, 12), 0u);
  EXPECT_EQ(U32(jhr, 16), 0xFFFFFFFFu);
  EXPECT_EQ(U32(jhr, 20), 1u);
  EXPECT_EQ(jhr.substr(24), std::string(1000, '\0'));
  for (const char* ext : {"jdx", "jdt", "jlr"}) {
    EXPECT_TRUE(env.HasFile(std::string("bases/deep/er/echo.") + ext)) << ext;
    EXPECT_EQ(env.GetFile(std::string("bases/deep/er/echo.") + ext), "");
  }
}

TEST_F(JamMemTest, EchomailIsStoredAsSubfieldsAndABody) {
  auto base = Created();
  Post p;
  p.orig = Addr(2, 5020, 1042, 7);
  p.to = "All";
  // The poster's own lines after the MSGID that SetOrigAddress writes.
  p.lines = {"\x01PID: Vexstat 4.5", "First line", "Second line", "---",
             " * Origin: Somewhere (2:5020/1042.7)", "SEEN-BY: 5020/1 1042"};
  ASSERT_TRUE(Write(*base, p));
  EXPECT_EQ(base->CurrentNumber(), 1);
  // The stored header, right after the write.
  const MsgHeader& h = base->messageHeader();
  EXPECT_EQ(h.messageNumber, 1u);
  EXPECT_EQ(h.textOffset, 0u);
  EXPECT_EQ(h.attributes, AttrTypeEcho | 0x1u);
  std::vector<uint16_t> ids;
  for (const auto& sf : base->subfields()) ids.push_back(sf.id);
  EXPECT_EQ(ids, (std::vector<uint16_t>{2, 0, 3, 1, 6, 4, 7, 2001}));
  const auto& sf = base->subfields();
  EXPECT_EQ(sf[0].data, "Vexstat");
  EXPECT_EQ(sf[1].data, "2:5020/1042.7");
  EXPECT_EQ(sf[2].data, "All");
  EXPECT_EQ(sf[3].data, "2:5020/1042.7");  // echomail: the origin again
  EXPECT_EQ(sf[4].data, "Statistics");
  EXPECT_EQ(sf[5].data.substr(0, 14), "2:5020/1042.7 ");
  EXPECT_EQ(sf[5].data.size(), 22u);
  EXPECT_EQ(sf[6].data, "Vexstat 4.5");
  EXPECT_EQ(sf[7].data, "5020/1 1042");
  EXPECT_EQ(h.msgIdCrc, NameCrc(sf[5].data));
  EXPECT_EQ(h.replyCrc, 0xFFFFFFFFu);

  // Before close: the base header is already on disk (count and counter).
  std::string jhr = env.GetFile("bases/echo.jhr");
  EXPECT_EQ(U32(jhr, 8), 1u);
  EXPECT_EQ(U32(jhr, 12), 1u);
  base->CloseBase();

  jhr = env.GetFile("bases/echo.jhr");
  std::string jdx = env.GetFile("bases/echo.jdx");
  std::string jdt = env.GetFile("bases/echo.jdt");
  ASSERT_EQ(jdx.size(), 8u);
  EXPECT_EQ(U32(jdx, 0), NameCrc("all"));
  EXPECT_EQ(U32(jdx, 4), 1024u);
  EXPECT_EQ(jhr.substr(1024, 4), std::string("JAM\0", 4));
  EXPECT_EQ(GetU16(jhr.data() + 1028), 1u);
  EXPECT_EQ(U32(jhr, 1024 + 8), jhr.size() - 1024 - 76);  // subfield length
  EXPECT_EQ(U32(jhr, 1024 + 48), 1u);
  EXPECT_EQ(U32(jhr, 1024 + 60), 0u);
  EXPECT_EQ(U32(jhr, 1024 + 64), jdt.size());
  EXPECT_EQ(U32(jhr, 1024 + 68), 0xFFFFFFFFu);
  EXPECT_EQ(jdt, Lines({"First line", "Second line", "---",
                        " * Origin: Somewhere (2:5020/1042.7)"}));
  EXPECT_EQ(U32(jhr, 8), 1u);   // modification counter
  EXPECT_EQ(U32(jhr, 12), 1u);  // active messages
}

TEST_F(JamMemTest, NetmailDropsTheAddressKludgesAndKeepsBothAddresses) {
  auto base = Created();
  Post p;
  p.kind = kMailNet;
  p.orig = Addr(2, 5020, 1042, 3);
  p.dest = Addr(2, 463, 68, 5);
  p.to = "Sysop";
  p.lines = {"\x01" "FLAGS: DIR", "\x01REPLY: 2:463/68 12345678", "\x01Via 2:5020/1042 @20240229",
             "Hello", "\x01PATH: 5020/1042", "\x01TZUTC: 0300"};
  ASSERT_TRUE(Write(*base, p));
  EXPECT_EQ(base->messageHeader().attributes, AttrTypeNet | 0x1u);
  std::vector<std::pair<uint16_t, std::string>> got;
  for (const auto& sf : base->subfields()) got.emplace_back(sf.id, sf.data);
  ASSERT_EQ(got.size(), 11u);
  EXPECT_EQ(got[1], (std::pair<uint16_t, std::string>{0, "2:5020/1042.3"}));
  EXPECT_EQ(got[3], (std::pair<uint16_t, std::string>{1, "2:463/68.5"}));
  EXPECT_EQ(got[5].first, 4);
  EXPECT_EQ(got[6], (std::pair<uint16_t, std::string>{2003, "DIR"}));
  EXPECT_EQ(got[7], (std::pair<uint16_t, std::string>{5, "2:463/68 12345678"}));
  EXPECT_EQ(got[8], (std::pair<uint16_t, std::string>{8, "2:5020/1042 @20240229"}));
  EXPECT_EQ(got[9], (std::pair<uint16_t, std::string>{2002, "5020/1042"}));
  EXPECT_EQ(got[10], (std::pair<uint16_t, std::string>{2000, "TZUTC: 0300"}));
  EXPECT_EQ(base->messageHeader().replyCrc, NameCrc("2:463/68 12345678"));
  for (const auto& [id, data] : got) {
    EXPECT_EQ(data.find("INTL"), std::string::npos);
    EXPECT_EQ(data.find("FMPT"), std::string::npos);
    EXPECT_EQ(data.find("TOPT"), std::string::npos);
  }
  base->CloseBase();
  EXPECT_EQ(env.GetFile("bases/echo.jdt"), "Hello\r");
}

TEST_F(JamMemTest, DeletionKeepsEveryNumberAndNewMessagesTakeTheNextSlot) {
  {
    auto base = Created();
    for (const char* to : {"One", "Two", "Three"}) {
      Post p;
      p.to = to;
      p.lines = {std::string("Body of ") + to};
      ASSERT_TRUE(Write(*base, p));
    }
    base->SeekMessage(2);
    ASSERT_TRUE(base->DeleteMessage());
  }
  std::string jdx = env.GetFile("bases/echo.jdx");
  std::string jhr = env.GetFile("bases/echo.jhr");
  ASSERT_EQ(jdx.size(), 24u);
  EXPECT_EQ(U32(jdx, 8), 0xFFFFFFFFu);
  EXPECT_EQ(U32(jdx, 12), 0xFFFFFFFFu);
  EXPECT_EQ(U32(jhr, 12), 2u);
  EXPECT_EQ(U32(jhr, 8), 4u);  // three writes and a deletion
  // The deleted header carries the deleted attribute.
  uint32_t secondHeader = 0;
  {
    // Index record 2 is gone; find the second header by walking the file.
    uint32_t pos = 1024;
    pos += 76 + U32(jhr, pos + 8);
    secondHeader = pos;
  }
  EXPECT_EQ(U32(jhr, secondHeader + 52) & 0x80000000u, 0x80000000u);
  EXPECT_EQ(U32(jhr, secondHeader + 48), 2u);

  // Opening neither compacts nor renumbers; the next message is number 4.
  auto base = NewBase();
  ASSERT_TRUE(base->OpenBase("bases/echo"));
  EXPECT_EQ(env.GetFile("bases/echo.jdx"), jdx);
  base->SetCurrentNumber(2);
  EXPECT_FALSE(base->ReadMessage());
  EXPECT_EQ(base->GetErrorCode(), kErrHeaderOffset);

  Post p;
  p.to = "Four";
  ASSERT_TRUE(Write(*base, p));
  EXPECT_EQ(base->messageHeader().messageNumber, 4u);
  base->CloseBase();
  std::string after = env.GetFile("bases/echo.jdx");
  ASSERT_EQ(after.size(), 32u);
  EXPECT_EQ(after.substr(0, 24), jdx);
  EXPECT_EQ(U32(after, 24), NameCrc("four"));
  EXPECT_EQ(U32(env.GetFile("bases/echo.jhr"), 12), 3u);
}

TEST_F(JamMemTest, OversizedSubfieldsAreStoredWhole) {
  auto base = Created();
  Post p;
  for (int i = 0; i < 200; ++i) p.lines.push_back("\x01X-LONG: " + std::string(90, 'a' + i % 26));
  p.lines.push_back("Body");
  ASSERT_TRUE(Write(*base, p));
  EXPECT_GT(base->messageHeader().subfieldLen, kSubfieldArea);
  base->CloseBase();
  ASSERT_TRUE(base->OpenBase("bases/echo"));
  base->SeekMessage(1);
  ASSERT_TRUE(base->ReadMessage());
  size_t kludges = 0;
  for (const auto& sf : base->subfields()) kludges += sf.id == kSfKludge;
  EXPECT_EQ(kludges, 200u);
  EXPECT_EQ(base->subfields().back().data, "X-LONG: " + std::string(90, 'a' + 199 % 26));
}

TEST_F(JamMemTest, LastReadRecordsAreUpdatedInPlace) {
  auto base = Created();
  EXPECT_EQ(base->ReadLastRead(5), 0);
  base->WriteLastRead(5, 10);
  base->WriteLastRead(7, 3);
  base->WriteLastRead(5, 12);
  EXPECT_EQ(base->ReadLastRead(5), 12);
  EXPECT_EQ(base->ReadLastRead(7), 3);
  EXPECT_EQ(base->ReadLastRead(9), 0);
  std::string jlr = env.GetFile("bases/echo.jlr");
  ASSERT_EQ(jlr.size(), 32u);
  EXPECT_EQ(U32(jlr, 0), 5u);
  EXPECT_EQ(U32(jlr, 4), 5u);
  EXPECT_EQ(U32(jlr, 8), 12u);
  EXPECT_EQ(U32(jlr, 12), 12u);
}

TEST_F(JamMemTest, StoredMessagesCanBeChangedInPlaceOrRewritten) {
  auto base = Created();
  Post p;
  p.to = "Reader";
  p.lines = {"Short"};
  ASSERT_TRUE(Write(*base, p));
  base->SetCurrentNumber(1);
  ASSERT_TRUE(base->ReadMessage());
  base->SetAttribute(AttrReceived, true);
  ASSERT_TRUE(base->RewriteHeader());
  const uint32_t firstHeader = U32(env.GetFile("bases/echo.jdx"), 4);

  ASSERT_TRUE(base->ReadMessage());
  EXPECT_TRUE(base->TestAttribute(AttrReceived));
  base->SetTextPos(base->TextSize());
  base->WriteTextLine("A longer body now");
  ASSERT_TRUE(base->WriteMessage());
  EXPECT_EQ(base->MessageCount(), 1);
  base->CloseBase();

  std::string jdx = env.GetFile("bases/echo.jdx");
  std::string jhr = env.GetFile("bases/echo.jhr");
  ASSERT_EQ(jdx.size(), 8u);
  EXPECT_GT(U32(jdx, 4), firstHeader);
  EXPECT_NE(U32(jhr, firstHeader + 52) & kAttrDeleted, 0u);
  EXPECT_EQ(U32(jhr, 12), 1u);
  ASSERT_TRUE(base->OpenBase("bases/echo"));
  base->SetCurrentNumber(1);
  ASSERT_TRUE(base->ReadMessage());
  std::string text = base->TextBuffer()->Bytes();
  EXPECT_NE(text.find("\rShort\rA longer body now\r"), std::string::npos) << text;
  EXPECT_EQ(base->messageHeader().messageNumber, 1u);

}

// Existing, partial and damaged bases -----------------------------------------

class JamDamageTest : public JamMemTest {
 protected:
  void SetUp() override {
    auto base = Created();
    Post p;
    p.lines = {"Hello"};
    ASSERT_TRUE(Write(*base, p));
    // A second message: damage to the first is not at the end of the index.
    p.lines = {"Second"};
    ASSERT_TRUE(Write(*base, p));
    base->CloseBase();
    for (const char* ext : {"jhr", "jdx", "jdt", "jlr"}) files[ext] = env.GetFile(std::string("bases/echo.") + ext);
  }
  // Opens the base and reads message 1; every file stays as it was.
  bool OpenAndRead(int* code) {
    auto base = NewBase();
    bool ok = base->OpenBase("bases/echo");
    if (ok) {
      base->SeekIndexPosition(0);
      ok = base->ReadMessage();
    }
    *code = base->GetErrorCode();
    base.reset();
    for (const auto& [ext, bytes] : files) {
      EXPECT_EQ(env.GetFile("bases/echo." + ext), bytes) << ext;
    }
    return ok;
  }
  void Replace(const std::string& ext, std::string bytes) {
    files[ext] = bytes;
    env.SetFile("bases/echo." + ext, std::move(bytes));
  }
  std::map<std::string, std::string> files;
};

TEST_F(JamDamageTest, DamagedFilesFailWithTheirCodesAndStayUntouched) {
  int code = 0;
  EXPECT_TRUE(OpenAndRead(&code));

  std::string jhr = files["jhr"], jdx = files["jdx"];
  Replace("jhr", jhr.substr(0, 100));
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrBadBaseHeader);

  std::string badSig = jhr;
  badSig[0] = 'X';
  Replace("jhr", badSig);
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrBadBaseHeader);

  // A header file emptied beside an index and text that hold messages.
  Replace("jhr", "");
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrBadBaseHeader);

  // Header offset beyond the file, and inside the base header.
  Replace("jhr", jhr);
  std::string idx = jdx;
  PutU32(idx.data() + 4, static_cast<uint32_t>(jhr.size()) - 10);
  Replace("jdx", idx);
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrHeaderOffset);
  PutU32(idx.data() + 4, 16);
  Replace("jdx", idx);
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrHeaderOffset);
  Replace("jdx", jdx);

  // A subfield area longer than the file, and a subfield running past it.
  std::string longArea = jhr;
  PutU32(longArea.data() + 1024 + 8, 0x7FFFFFFF);
  Replace("jhr", longArea);
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrReadHeader);
  std::string longField = jhr;
  PutU32(longField.data() + 1024 + 76 + 4, 5000);
  Replace("jhr", longField);
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrReadHeader);

  // Text offset or length beyond the text file.
  std::string text = jhr;
  PutU32(text.data() + 1024 + 64, 1000);
  Replace("jhr", text);
  EXPECT_FALSE(OpenAndRead(&code));
  EXPECT_EQ(code, kErrTextOffset);

}

// What a post stopped by a power cut leaves at the end of the index: a
// partial record, a record whose header or text never reached the disk.
// The open cuts it off, the first message reads, and the next post takes
// its number.
TEST_F(JamDamageTest, AnUnfinishedLastIndexRecordIsCutOffAtOpen) {
  const std::string jdx = files["jdx"];
  std::string zeroed = jdx, pastHeader = jdx, pastText = files["jhr"];
  PutU32(zeroed.data() + 12, 0);
  PutU32(pastHeader.data() + 12, static_cast<uint32_t>(files["jhr"].size()));
  PutU32(pastText.data() + GetU32(jdx.data() + 12) + 60, 4096);
  for (const auto& [ext, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"jdx", jdx.substr(0, 13)}, {"jdx", zeroed}, {"jdx", pastHeader}, {"jhr", pastText}}) {
    SCOPED_TRACE(ext + " " + std::to_string(bytes.size()));
    env.SetFile("bases/echo." + ext, bytes);
    auto base = NewBase();
    ASSERT_TRUE(base->OpenBase("bases/echo"));
    EXPECT_EQ(env.GetFile("bases/echo.jdx"), jdx.substr(0, 8));
    EXPECT_EQ(base->MessageCount(), 1);
    base->SetCurrentNumber(1);
    ASSERT_TRUE(base->ReadMessage());
    ASSERT_TRUE(Write(*base, Post{}));
    EXPECT_EQ(base->CurrentNumber(), 2);
    base->CloseBase();
    for (const char* e : {"jhr", "jdx", "jdt"}) env.SetFile(std::string("bases/echo.") + e, files[e]);
  }
}

TEST_F(JamDamageTest, AMissingLastReadFileIsCreatedAtOpen) {
  RemoveFile("bases/echo.jlr");
  auto base = NewBase();
  ASSERT_TRUE(base->OpenBase("bases/echo"));
  EXPECT_EQ(env.GetFile("bases/echo.jlr"), "");
}

}  // namespace
}  // namespace vex

namespace vex {
namespace {

// A header file that lost its base header beside any other file that holds
// data is damage: the open for posting refuses it, names the header file
// and writes nothing at all.
struct EmptyHeaderCase {
  const char* name;
  std::map<std::string, std::string> files;  // besides the empty b/area.jhr
};

class JamEmptyHeaderTest : public ::testing::TestWithParam<EmptyHeaderCase> {};

TEST_P(JamEmptyHeaderTest, IsDamageAndNothingIsWritten) {
  MemEnv mem;
  mem.SetFile("b/area.jhr", "");
  for (const auto& [name, bytes] : GetParam().files) mem.SetFile(name, bytes);
  const std::vector<std::string> files = mem.Files();
  std::unique_ptr<Base> b;
  const Status st = OpenBase(mem, "Jb/area", BaseMode::kWrite, &b);
  EXPECT_TRUE(st.IsDamaged()) << st.ToString();
  EXPECT_EQ(st.Reason().rfind("b/area.jhr", 0), 0u) << st.Reason();
  EXPECT_EQ(mem.Files(), files);
  EXPECT_EQ(mem.GetFile("b/area.jhr"), "");
  for (const auto& [name, bytes] : GetParam().files) EXPECT_EQ(mem.GetFile(name), bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JamEmptyHeaderTest,
    ::testing::Values(
        EmptyHeaderCase{"IndexAloneHoldsData", {{"b/area.jdx", std::string(16, '\x01')}}},
        EmptyHeaderCase{"LastReadHoldsData",
                        {{"b/area.jdx", ""}, {"b/area.jdt", ""}, {"b/area.jlr", std::string(16, 'x')}}},
        EmptyHeaderCase{"TextHoldsData", {{"b/area.jdx", ""}, {"b/area.jdt", "text\r"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex
