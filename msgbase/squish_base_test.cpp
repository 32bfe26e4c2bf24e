#include "msgbase/squish_base.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <string>
#include <vector>

#include "msgbase/base_testing.h"
#include "msgbase/squish/format.h"
#include "platform/env_wrapper.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

using squish::DecodeFrameHeader;
using squish::FrameHeader;
using squish::NameHash;

uint32_t U32(const std::string& s, size_t at) { return GetU32(s.data() + at); }
uint16_t U16(const std::string& s, size_t at) { return GetU16(s.data() + at); }
FrameHeader FrameAt(const std::string& sqd, size_t at) {
  return DecodeFrameHeader(sqd.data() + at);
}

// Offsets of the base header fields used below.
enum : size_t {
  kNumMsgs = 4, kHighMsg = 8, kNextUid = 20, kFirst = 104, kLast = 108,
  kFirstFree = 112, kLastFree = 116, kEnd = 120,
};

class SquishTest : public ::testing::Test {
 protected:
  SquishTest() {
    ClockTime t;
    t.year = 2002;
    t.month = 2;
    t.day = 8;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    env_.SetNow(t);
    env_.AddDirectory("/fido");
  }

  std::unique_ptr<MessageBase> Create() {
    auto b = MakeSquishBase(env_);
    EXPECT_TRUE(b->CreateBase("/fido/area"));
    return b;
  }
  std::unique_ptr<MessageBase> Open() {
    auto b = MakeSquishBase(env_);
    EXPECT_TRUE(b->OpenBase("/fido/area")) << std::hex << b->GetErrorCode();
    return b;
  }
  // Posts a message the way the poster does; body is raw text.
  void Post(MessageBase& b, const std::string& to, const std::string& body) {
    ASSERT_TRUE(b.StartNewMessage());
    b.SetMailTypeFlag(kMailEcho, true);
    FtnAddress orig{2, 5020, 123, 4};
    b.SetOrigAddress(orig, true);
    b.SetFromName("Vexstat");
    b.SetToName(to);
    b.SetSubject("Statistics");
    b.SetAttribute(AttrLocal, true);
    b.TextBuffer()->Write(body);
    ASSERT_TRUE(b.WriteMessage()) << std::hex << b.GetErrorCode();
  }
  // Posts a message whose whole text is given (kludges included).
  void PostRaw(MessageBase& b, const std::string& text) {
    ASSERT_TRUE(b.StartNewMessage());
    b.SetToName("All");
    b.TextBuffer()->Write(text);
    ASSERT_TRUE(b.WriteMessage()) << std::hex << b.GetErrorCode();
  }
  std::string Sqd() { return env_.GetFile("/fido/area.sqd"); }
  std::string Sqi() { return env_.GetFile("/fido/area.sqi"); }

  MemEnv env_;
};

TEST_F(SquishTest, NewBaseHeader) {
  auto b = MakeSquishBase(env_);
  ASSERT_TRUE(b->CreateBase("/fido/new/deep/area"));
  EXPECT_TRUE(b->IsOpen());
  b->CloseBase();
  std::string sqd = env_.GetFile("/fido/new/deep/area.sqd");
  ASSERT_EQ(sqd.size(), 256u);
  EXPECT_TRUE(env_.HasFile("/fido/new/deep/area.sqi"));
  EXPECT_EQ(env_.GetFile("/fido/new/deep/area.sqi"), "");

  std::string want(256, '\0');
  PutU16(want.data() + 0, 256);
  PutU32(want.data() + kNextUid, 1);
  std::string name = "/fido/new/deep/area";
  want.replace(24, name.size(), name);
  PutU32(want.data() + kEnd, 256);
  PutU32(want.data() + 124, 65535);
  PutU16(want.data() + 128, 32767);
  PutU16(want.data() + 130, 28);  // the frame-header size other readers use
  EXPECT_EQ(sqd, want);
  EXPECT_EQ(b->GetBasePath(), "/fido/new/deep/area.");
}

TEST_F(SquishTest, LongBaseNameIsCutTo79) {
  std::string dir = "/fido/" + std::string(90, 'd');
  auto b = MakeSquishBase(env_);
  ASSERT_TRUE(b->CreateBase(dir + "/a"));
  b->CloseBase();
  std::string sqd = env_.GetFile(dir + "/a.sqd");
  ASSERT_EQ(sqd.size(), 256u);
  EXPECT_EQ(GetZString(sqd.data() + 24, 80), (dir + "/a").substr(0, 79));
  EXPECT_EQ(sqd[24 + 79], '\0');
}

TEST_F(SquishTest, FirstMessageFrameAndIndex) {
  auto b = Create();
  Post(*b, "All", "Hello\r");
  EXPECT_EQ(b->CurrentNumber(), 1);
  std::string sqd = Sqd();
  FrameHeader f = FrameAt(sqd, 256);
  EXPECT_EQ(f.id, 0xAFAE4453u);
  EXPECT_EQ(f.next, 0u);
  EXPECT_EQ(f.prev, 0u);
  EXPECT_EQ(f.type, 0);
  EXPECT_EQ(f.frameLength, f.messageLength);
  EXPECT_EQ(sqd.size(), 256u + 28 + f.frameLength);
  EXPECT_EQ(U32(sqd, kFirst), 256u);
  EXPECT_EQ(U32(sqd, kLast), 256u);
  EXPECT_EQ(U32(sqd, kNumMsgs), 1u);
  EXPECT_EQ(U32(sqd, kHighMsg), 1u);
  EXPECT_EQ(U32(sqd, kNextUid), 2u);
  EXPECT_EQ(U32(sqd, kEnd), sqd.size());
  EXPECT_EQ(U32(sqd, 256 + 28), 0x20000u + 0x100u);
  EXPECT_EQ(U32(sqd, 256 + 28 + 214), 1u);  // unique number

  std::string sqi = Sqi();
  ASSERT_EQ(sqi.size(), 12u);
  EXPECT_EQ(U32(sqi, 0), 256u);
  EXPECT_EQ(U32(sqi, 4), 1u);
  EXPECT_EQ(U32(sqi, 8), 0x682Cu);
  // The header is on disk before the base is closed, for other programs.
  b.reset();
  EXPECT_EQ(Sqd(), sqd);
}

TEST_F(SquishTest, WorkedExampleOf390Bytes) {
  auto b = Create();
  std::string k1 = "\x01" + std::string(19, 'a');
  std::string k2 = "\x01" + std::string(29, 'b');
  std::string body;
  for (int i = 0; i < 10; ++i) body += std::string(9, char('0' + i)) + "\r";
  ASSERT_EQ(body.size(), 100u);
  PostRaw(*b, k1 + "\r" + k2 + "\r" + body);
  std::string sqd = Sqd();
  FrameHeader f = FrameAt(sqd, 256);
  EXPECT_EQ(f.controlLength, 51u);
  EXPECT_EQ(f.messageLength, 390u);
  EXPECT_EQ(f.frameLength, 390u);
  ASSERT_EQ(sqd.size(), 256u + 28 + 390);
  EXPECT_EQ(sqd.substr(256 + 28 + 238), k1 + k2 + std::string(1, '\0') + body +
                                            std::string(1, '\0'));
}

TEST_F(SquishTest, TextWithoutKludgesAndOnlyKludges) {
  auto b = Create();
  PostRaw(*b, "just body\r");
  PostRaw(*b, "\x01ONE\r\x01TWO\r");
  std::string sqd = Sqd();
  FrameHeader f1 = FrameAt(sqd, 256);
  EXPECT_EQ(f1.controlLength, 1u);
  EXPECT_EQ(f1.messageLength, 238u + 1 + 10 + 1);
  FrameHeader f2 = FrameAt(sqd, f1.next);
  EXPECT_EQ(f2.controlLength, 9u);
  EXPECT_EQ(f2.messageLength, 238u + 9 + 0 + 1);

  b->SeekMessage(1);
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_EQ(b->TextBuffer()->Bytes(), "just body\r");  // no empty kludge line
  b->SeekNext();
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_EQ(b->TextBuffer()->Bytes(), "\x01ONE\r\x01TWO\r");
}

TEST_F(SquishTest, SecondMessageRewritesTheChain) {
  auto b = Create();
  Post(*b, "All", "one\r");
  uint32_t second = static_cast<uint32_t>(Sqd().size());
  Post(*b, "Sysop", "two\r");
  EXPECT_EQ(b->CurrentNumber(), 2);
  std::string sqd = Sqd();
  EXPECT_EQ(FrameAt(sqd, 256).next, second);
  EXPECT_EQ(FrameAt(sqd, 256).prev, 0u);
  EXPECT_EQ(FrameAt(sqd, second).prev, 256u);
  EXPECT_EQ(FrameAt(sqd, second).next, 0u);
  EXPECT_EQ(U32(sqd, kFirst), 256u);
  EXPECT_EQ(U32(sqd, kLast), second);
  EXPECT_EQ(U32(sqd, kNumMsgs), 2u);
  EXPECT_EQ(U32(sqd, kEnd), sqd.size());
  std::string sqi = Sqi();
  ASSERT_EQ(sqi.size(), 24u);
  EXPECT_EQ(U32(sqi, 12), second);
  EXPECT_EQ(U32(sqi, 16), 2u);
  EXPECT_EQ(U32(sqi, 20), NameHash("Sysop"));
}

TEST(SquishHashTest, EmptyCaseFoldingAndLongNames) {
  EXPECT_EQ(NameHash(""), 0u);
  EXPECT_EQ(NameHash("All"), 0x682Cu);
  EXPECT_EQ(NameHash("ALL"), NameHash("all"));
  EXPECT_EQ(NameHash("Vasily Pupkin"), 0x7FFE73FEu);  // high bits folded
  EXPECT_EQ(NameHash("VASILY PUPKIN"), 0x7FFE73FEu);
  // Only A-Z are folded: CP866 letters keep their case.
  EXPECT_NE(NameHash("\x80"), NameHash("\xA0"));
  EXPECT_EQ(NameHash("\x80"), 0x80u);  // bytes are unsigned
}

// Header fields as stored: the addresses from the kludges, the dates as
// stamps in two-second steps and as text, the subject cut to 71 bytes.
TEST_F(SquishTest, HeaderFieldsAsStored) {
  {
    auto b = Create();
    ASSERT_TRUE(b->StartNewMessage());
    b->SetMailTypeFlag(kMailNet, true);
    b->SetOrigAddress(FtnAddress{2, 5020, 123, 4}, true);
    b->SetDestAddress(FtnAddress{2, 5030, 7, 9});
    b->SetSubject(std::string(100, 's'));
    MsgDateTime arrived;
    arrived.year = 2003, arrived.month = 12, arrived.day = 31;
    arrived.hour = 23, arrived.minute = 59, arrived.second = 59;
    b->SetDateArrived(arrived);
    b->SetAttribute(AttrLocal, true);
    b->SetAttribute(AttrPrivate, true);
    ASSERT_TRUE(b->WriteMessage());
    ASSERT_TRUE(b->FreeMessageText());
    EXPECT_FALSE(b->FreeMessageText());
  }
  std::string sqd = Sqd();
  const size_t hdr = 256 + 28;
  EXPECT_EQ(U32(sqd, hdr), 0x20000u + 0x100u + 0x1u);
  const uint16_t addresses[] = {2, 5020, 123, 4, 2, 5030, 7, 9};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(U16(sqd, hdr + 148 + 2 * i), addresses[i]) << i;
  EXPECT_EQ(U16(sqd, hdr + 164), 0x2C48);  // 8 Feb 2002
  EXPECT_EQ(U16(sqd, hdr + 166), 0x48A3);  // 09:05:07
  EXPECT_EQ(sqd.substr(hdr + 218, 20), std::string("08 Feb 02  09:05:07") + '\0');

  auto b = Open();
  b->SeekMessage(1);
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_EQ(b->GetSubject(), std::string(71, 's'));
  MsgDateTime w, a;
  b->GetDateWritten(w);
  b->GetDateArrived(a);
  EXPECT_EQ(w.second, 6);
  EXPECT_EQ(a.year, 2003);
  EXPECT_EQ(a.second, 58);
}

TEST_F(SquishTest, AttributeMapping) {
  auto b = Create();
  ASSERT_TRUE(b->StartNewMessage());
  struct {
    uint32_t mask, bits;
  } map[] = {{AttrHold, 0x200}, {AttrFileRequest, 0x800},
             {AttrReceiptRequest, 0x1000}, {AttrAuditRequest, 0x4000},
             {AttrScanned, 0x10000}, {AttrIsReceipt, 0},
             {AttrUpdateRequest, 0}, {AttrTypeEcho, 0}};
  for (const auto& m : map) {
    b->SetAttribute(m.mask, true);
    EXPECT_EQ(b->TestAttribute(m.mask), m.bits != 0) << m.mask;
    ASSERT_TRUE(b->WriteMessage());
    EXPECT_EQ(U32(Sqd(), 256 + 28), 0x20000u | m.bits) << m.mask;
    b->SetAttribute(m.mask, false);
    EXPECT_FALSE(b->TestAttribute(m.mask));
  }
}

TEST_F(SquishTest, DeleteFreesTheFrameAndANewMessageGoesAtTheEnd) {
  auto b = Create();
  Post(*b, "All", std::string(300, 'a'));   // 1 at 256, large
  uint32_t at2 = static_cast<uint32_t>(Sqd().size());
  Post(*b, "All", std::string(50, 'b'));    // 2, small
  uint32_t at3 = static_cast<uint32_t>(Sqd().size());
  Post(*b, "All", std::string(200, 'c'));   // 3
  uint32_t large = FrameAt(Sqd(), 256).frameLength;

  b->SeekMessage(2);
  ASSERT_TRUE(b->DeleteMessage());
  b->SeekMessage(1);
  ASSERT_TRUE(b->DeleteMessage());
  std::string sqd = Sqd();
  EXPECT_EQ(U32(sqd, kNumMsgs), 1u);
  EXPECT_EQ(U32(sqd, kHighMsg), 1u);
  EXPECT_EQ(U32(sqd, kNextUid), 4u);  // numbers are never given twice
  EXPECT_EQ(U32(sqd, kFirst), at3);
  EXPECT_EQ(U32(sqd, kLast), at3);
  EXPECT_EQ(FrameAt(sqd, at3).prev, 0u);
  // Free chain: 2 then 1, in the order they were freed.
  EXPECT_EQ(U32(sqd, kFirstFree), at2);
  EXPECT_EQ(U32(sqd, kLastFree), 256u);
  EXPECT_EQ(FrameAt(sqd, at2).type, 1);
  EXPECT_EQ(FrameAt(sqd, at2).next, 256u);
  EXPECT_EQ(FrameAt(sqd, 256).prev, at2);
  std::string sqi = Sqi();
  ASSERT_EQ(sqi.size(), 12u);
  EXPECT_EQ(U32(sqi, 0), at3);
  EXPECT_EQ(U32(sqi, 4), 3u);

  // Free frames are never written over (a damaged free chain could name
  // live bytes): a new message goes at the end, the free chain stays.
  size_t sizeBefore = sqd.size();
  Post(*b, "All", "d\r");
  sqd = Sqd();
  EXPECT_EQ(b->CurrentNumber(), 4);
  EXPECT_EQ(U32(Sqi(), 12), sizeBefore);
  EXPECT_EQ(FrameAt(sqd, at3).next, sizeBefore);
  EXPECT_EQ(U32(sqd, kLast), sizeBefore);
  EXPECT_EQ(U32(sqd, kEnd), sqd.size());
  EXPECT_EQ(U32(sqd, kFirstFree), at2);
  EXPECT_EQ(U32(sqd, kLastFree), 256u);
  EXPECT_EQ(FrameAt(sqd, 256).type, 1);
  EXPECT_EQ(FrameAt(sqd, 256).frameLength, large);
}

TEST_F(SquishTest, RewriteInPlaceOrMovedWhenGrown) {
  auto b = Create();
  Post(*b, "All", "first\r");
  Post(*b, "All", "second\r");
  Post(*b, "All", "third\r");
  std::string before = Sqd();
  uint32_t at2 = FrameAt(before, 256).next;
  uint32_t at3 = FrameAt(before, at2).next;

  b->SeekMessage(2);
  ASSERT_TRUE(b->ReadMessage());
  // Shorter text: stays in its frame, frame length kept.
  b->SetTextPos(b->TextBuffer()->Bytes().find("second"));
  b->TextBuffer()->Truncate();
  b->WriteTextLine("2nd");
  ASSERT_TRUE(b->WriteMessage());
  std::string sqd = Sqd();
  EXPECT_EQ(sqd.size(), before.size());
  EXPECT_EQ(FrameAt(sqd, at2).frameLength, FrameAt(before, at2).frameLength);
  EXPECT_EQ(FrameAt(sqd, at2).messageLength,
            FrameAt(before, at2).messageLength - 3);

  // Longer text: moves to the end, keeps its place in the chain and index.
  b->SetTextPos(b->TextSize());
  b->WriteTextLine(std::string(500, 'x'));
  ASSERT_TRUE(b->WriteMessage());
  sqd = Sqd();
  uint32_t moved = static_cast<uint32_t>(before.size());
  EXPECT_EQ(FrameAt(sqd, 256).next, moved);
  EXPECT_EQ(FrameAt(sqd, moved).prev, 256u);
  EXPECT_EQ(FrameAt(sqd, moved).next, at3);
  EXPECT_EQ(FrameAt(sqd, at3).prev, moved);
  EXPECT_EQ(FrameAt(sqd, at2).type, 1);
  EXPECT_EQ(U32(sqd, kFirstFree), at2);
  EXPECT_EQ(U32(Sqi(), 12), moved);
  EXPECT_EQ(U32(Sqi(), 16), 2u);
  EXPECT_EQ(U32(sqd, kNumMsgs), 3u);

  // The header alone can be rewritten.
  b->SetSubject("Changed");
  ASSERT_TRUE(b->RewriteHeader());
  b->SeekMessage(2);
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_EQ(b->GetSubject(), "Changed");
  EXPECT_NE(b->TextBuffer()->Bytes().find(std::string(500, 'x')),
            std::string::npos);
}

// Index positions are byte offsets into the index file.
TEST_F(SquishTest, IndexPositions) {
  auto b = Create();
  for (int i = 0; i < 4; ++i) Post(*b, "All", "m\r");
  b->SeekMessage(2);
  ASSERT_TRUE(b->DeleteMessage());
  EXPECT_FALSE(b->SeekFound());
  b->SeekNext();
  EXPECT_EQ(b->CurrentNumber(), 3);
  EXPECT_EQ(b->IndexPosition(), 12);
  b->SeekIndexPosition(24);
  EXPECT_EQ(b->CurrentNumber(), 4);
  b->SeekIndexPosition(5);
  EXPECT_EQ(b->CurrentNumber(), 0);
  b->SeekIndexPosition(36);
  EXPECT_EQ(b->CurrentNumber(), 0);
  EXPECT_FALSE(b->ReadMessage());
  EXPECT_FALSE(b->DeleteMessage());
}

TEST_F(SquishTest, CountAheadOfTheIndexGetsTheRecordBack) {
  {
    auto b = Create();
    Post(*b, "All", "one\r");
    Post(*b, "Sysop", "two\r");
  }
  std::string sqi = Sqi();
  env_.SetFile("/fido/area.sqi", sqi.substr(0, 12));
  auto b = Open();
  EXPECT_EQ(Sqi(), sqi);
  Post(*b, "All", "three\r");
  b->SeekMessage(2);
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_EQ(b->GetToName(), "Sysop");
  EXPECT_EQ(U32(Sqd(), kNumMsgs), 3u);
}

TEST_F(SquishTest, ExistingSizeFieldIsKept) {
  { auto b = Create(); }
  std::string sqd = Sqd();
  PutU16(sqd.data() + 130, 238);
  sqd[200] = 'r';  // reserved bytes are kept too
  env_.SetFile("/fido/area.sqd", sqd);
  {
    auto b = Open();
    Post(*b, "All", "x\r");
  }
  EXPECT_EQ(U16(Sqd(), 130), 238);
  EXPECT_EQ(Sqd()[200], 'r');
}

TEST_F(SquishTest, LastRead) {
  auto b = Create();
  EXPECT_EQ(b->ReadLastRead(0), 0);
  b->WriteLastRead(3, 10);
  std::string sql = env_.GetFile("/fido/area.sql");
  ASSERT_EQ(sql.size(), 16u);
  EXPECT_EQ(sql.substr(0, 12), std::string(12, '\0'));
  EXPECT_EQ(U32(sql, 12), 10u);
  b->WriteLastRead(1, 7);
  EXPECT_EQ(env_.GetFile("/fido/area.sql").size(), 16u);
  EXPECT_EQ(b->ReadLastRead(1), 7);
  EXPECT_EQ(b->ReadLastRead(3), 10);
  EXPECT_EQ(b->ReadLastRead(4), 0);
  EXPECT_EQ(b->ReadLastRead(-1), 0);
}

TEST_F(SquishTest, ControlInformationMustStayBelowTheLimit) {
  auto b = Create();
  ASSERT_TRUE(b->StartNewMessage());
  b->WriteTextLine("\x01" + std::string(65518, 'k'));  // 65519 + NUL: too many
  b->WriteTextLine("body");
  EXPECT_FALSE(b->WriteMessage());
  EXPECT_EQ(b->GetErrorCode(), 0x3007);
  EXPECT_EQ(Sqd().size(), 256u);
  EXPECT_EQ(Sqi(), "");
  // One byte less is stored and read back.
  b->SetTextPos(0);
  b->TextBuffer()->Truncate();
  b->WriteTextLine("\x01" + std::string(65517, 'k'));
  b->WriteTextLine("body");
  ASSERT_TRUE(b->WriteMessage());
  EXPECT_EQ(FrameAt(Sqd(), 256).controlLength, 65519u);
  b->SeekMessage(1);
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_EQ(b->TextSize(), 65518u + 1 + 5);
}

// Damaged bases: each case fails with a code, reads nothing outside the
// file, and leaves the files exactly as they were.
class SquishDamageTest : public SquishTest {
 protected:
  void SetUp() override {
    auto b = Create();
    Post(*b, "All", "one\r");
    Post(*b, "All", "two\r");
    sqd_ = Sqd();
    sqi_ = Sqi();
    second_ = FrameAt(sqd_, 256).next;
  }
  void Damage(size_t at, uint32_t v) {
    PutU32(sqd_.data() + at, v);
    env_.SetFile("/fido/area.sqd", sqd_);
  }
  void DamageIndex(size_t at, uint32_t v) {
    PutU32(sqi_.data() + at, v);
    env_.SetFile("/fido/area.sqi", sqi_);
  }
  void ExpectReadFails(int32_t n, int code) {
    auto b = Open();
    b->SeekMessage(n);
    ASSERT_TRUE(b->SeekFound());
    EXPECT_FALSE(b->ReadMessage());
    EXPECT_EQ(b->GetErrorCode(), code);
    EXPECT_FALSE(b->ReadHeader());
    b.reset();
    ExpectUnchanged();
  }
  void ExpectUnchanged() {
    EXPECT_EQ(Sqd(), sqd_);
    EXPECT_EQ(Sqi(), sqi_);
  }
  std::string sqd_, sqi_;
  uint32_t second_ = 0;
};

// A header file cut short or empty while the index holds messages is
// damage, not a creation to finish: nothing is written.
TEST_F(SquishDamageTest, ShortOrEmptyHeader) {
  for (size_t size : {100, 0}) {
    sqd_.resize(size);
    env_.SetFile("/fido/area.sqd", sqd_);
    testing_bases::UseEnv(env_);
    std::unique_ptr<MessageBase> b;
    EXPECT_FALSE(testing_bases::Open(b, "S/fido/area"));
    EXPECT_EQ(testing_bases::openError, 257);
    EXPECT_EQ(b->GetErrorCode(), 0x3002);
    EXPECT_EQ(b->ReadErrorText().rfind("/fido/area.sqd is damaged: ", 0), 0u) << b->ReadErrorText();
    CloseMessageBase(b);
    ExpectUnchanged();
  }
}

TEST_F(SquishDamageTest, IndexPointsOutsideTheFile) {
  DamageIndex(0, static_cast<uint32_t>(sqd_.size()) - 10);
  ExpectReadFails(1, 0x3008);
  DamageIndex(0, 0);
  ExpectReadFails(1, 0x3008);
}

TEST_F(SquishDamageTest, NotAFrame) {
  DamageIndex(0, 300);  // inside the first message
  ExpectReadFails(1, 0x3007);
}

TEST_F(SquishDamageTest, FreeFrameIsNotAMessage) {
  Damage(256 + 24, 1);
  ExpectReadFails(1, 0x3007);
}

TEST_F(SquishDamageTest, ControlLengthOutOfRange) {
  Damage(256 + 20, 65520);
  ExpectReadFails(1, 0x3007);
  Damage(256 + 20, 0xFFFFFFFFu);
  ExpectReadFails(1, 0x3007);
}

TEST_F(SquishDamageTest, MessageLengthBeyondTheFile) {
  Damage(second_ + 16, 100000);
  ExpectReadFails(2, 0x3007);
  Damage(second_ + 16, 10);  // shorter than its own header
  ExpectReadFails(2, 0x3007);
}

TEST_F(SquishDamageTest, DeleteWithBrokenNeighbour) {
  {
    auto b = Open();
    Post(*b, "All", "three\r");
  }
  sqd_ = Sqd();
  sqi_ = Sqi();
  Damage(256 + 4, 0x7FFFFFF0);  // next frame of message 1 outside the file
  auto b = Open();
  b->SeekMessage(1);
  EXPECT_FALSE(b->DeleteMessage());
  EXPECT_EQ(b->GetErrorCode(), 0x3008);
  b.reset();
  ExpectUnchanged();
}

TEST_F(SquishDamageTest, FreeChainLoopIsNotFollowedForever) {
  {
    auto b = Open();
    b->SeekMessage(1);
    ASSERT_TRUE(b->DeleteMessage());
  }
  sqd_ = Sqd();
  sqi_ = Sqi();
  Damage(256 + 4, 256);  // the free frame points to itself
  auto b = Open();
  Post(*b, "All", std::string(2000, 'z'));  // fits nothing: goes to the end
  EXPECT_EQ(U32(Sqd(), kFirstFree), 256u);
  b->SeekMessage(3);
  EXPECT_TRUE(b->ReadMessage());
}


// The chain as a reader follows it from the header: empty when it ends at
// the header's last frame after as many frames as the header counts, and
// the end of data lies between the last frame's end and the file's end.
std::string ChainProblem(const std::string& sqd) {
  uint32_t prev = 0, count = 0;
  for (uint32_t at = U32(sqd, kFirst); at != 0; at = FrameAt(sqd, at).next) {
    if (at + 28 > sqd.size() || FrameAt(sqd, at).prev != prev || ++count > 1000) return "chain broken at " + std::to_string(at);
    prev = at;
  }
  if (prev != U32(sqd, kLast) || count != U32(sqd, kNumMsgs))
    return "chain ends at " + std::to_string(prev) + " after " + std::to_string(count) + " frames, header says " +
           std::to_string(U32(sqd, kLast)) + " and " + std::to_string(U32(sqd, kNumMsgs));
  uint64_t end = prev == 0 ? 256 : prev + 28 + FrameAt(sqd, prev).messageLength;
  if (U32(sqd, kEnd) > sqd.size() || U32(sqd, kEnd) < end) return "end of data " + std::to_string(U32(sqd, kEnd));
  return "";
}

// States that a post killed, cut short by a power cut or failing while it
// puts bytes back can leave: the next open makes header and chain agree
// with the messages whose frame and index record are there, and the next
// post works.
TEST_F(SquishTest, OpenRepairsWhatAnInterruptedPostLeaves) {
  std::string sqd2, sqi2, sqd3, sqi3;
  {
    auto b = Create();
    Post(*b, "All", "one\r");
    Post(*b, "All", "two\r");
    sqd2 = Sqd(), sqi2 = Sqi();
    Post(*b, "All", "three\r");
    sqd3 = Sqd(), sqi3 = Sqi();
  }
  const uint32_t at2 = U32(sqi2, 12), at3 = U32(sqi3, 24);
  auto with = [](std::string bytes, size_t at, uint32_t v) { PutU32(bytes.data() + at, v); return bytes; };
  auto header = [](std::string bytes, const std::string& from, size_t begin, size_t end) {
    return bytes.replace(begin, end - begin, from.substr(begin, end - begin));
  };
  struct State {
    std::string what;
    std::string sqd, sqi;
    size_t messages;  // 0: the old two or the new three
  };
  std::vector<State> states = {
      {"header counts the message, the old last frame's link is lost", with(sqd3, at2 + 4, 0), sqi3, 3},
      {"header counts a frame the put-back cut off", with(header(sqd2, sqd3, 0, 256), at2 + 4, at3), sqi2, 2},
      {"torn header: the count is new, the rest old", header(header(sqd3, sqd2, 0, 256), sqd3, 0, 12), sqi3, 3},
      {"torn header: the end of the chain is new, the count old", header(header(sqd3, sqd2, 0, 256), sqd3, 104, 124), sqi3, 3},
      {"index record and link past the count", header(sqd3, sqd2, 0, 256), sqi3, 2},
      {"last frame outside the file", with(sqd3, kLast, static_cast<uint32_t>(sqd3.size()) + 1000), sqi3, 3},
  };
  // The header write torn at every byte (the link and the record durable),
  // and the link write torn at every byte (the header not yet written).
  for (size_t k = 1; k < 256; ++k)
    states.push_back({"header torn at " + std::to_string(k), header(sqd3, sqd2, k, 256), sqi3, 0});
  for (size_t k = 1; k < 28; ++k)
    states.push_back({"link torn at " + std::to_string(k), header(header(sqd3, sqd2, 0, 256), sqd2, at2 + k, at2 + 28), sqi3, 2});
  const char* bodies[] = {"one", "two", "three"};
  for (const State& st : states) {
    SCOPED_TRACE(st.what);
    env_.SetFile("/fido/area.sqd", st.sqd);
    env_.SetFile("/fido/area.sqi", st.sqi);
    auto b = Open();
    size_t n = 0;
    for (b->SeekNext(); b->SeekFound(); b->SeekNext(), ++n) {
      ASSERT_LT(n, 3u);
      ASSERT_TRUE(b->ReadMessage());
      EXPECT_NE(b->TextBuffer()->Bytes().find(bodies[n]), std::string::npos);
    }
    b->CloseBase();
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(Sqi().size(), 12 * n);
    EXPECT_EQ(n, st.messages ? st.messages : std::clamp<size_t>(n, 2, 3));
    ASSERT_TRUE(b->OpenBase("/fido/area"));
    Post(*b, "All", "next\r");
    b->CloseBase();
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(U32(Sqd(), kNumMsgs), n + 1);
  }
}

// What a creation stopped by a power cut can leave, and what the next open
// makes of it; a header file empty beside an index that holds records is
// damage (ShortOrEmptyHeader).
TEST_F(SquishTest, OpenFinishesAnInterruptedCreation) {
  const std::string header = (Create(), Sqd());
  // The header file: 1 = one byte, 2 = whole, 0 = missing; the index
  // empty or missing.
  const std::pair<int, bool> states[] = {{1, false}, {1, true}, {2, false}, {0, true}};
  testing_bases::UseEnv(env_);
  for (const auto& [sqd, sqi] : states) {
    SCOPED_TRACE(std::to_string(sqd) + (sqi ? " with" : " without") + " an index");
    int err = 0;
    env_.Remove("/fido/area.sqd", &err);
    env_.Remove("/fido/area.sqi", &err);
    if (sqd > 0) env_.SetFile("/fido/area.sqd", sqd == 2 ? header : std::string(1, '\0'));
    if (sqi) env_.SetFile("/fido/area.sqi", "");
    std::unique_ptr<MessageBase> b;
    ASSERT_TRUE(testing_bases::Open(b, "S/fido/area")) << std::hex << b->GetErrorCode();
    Post(*b, "All", "first\r");
    EXPECT_EQ(b->CurrentNumber(), 1);
    CloseMessageBase(b);
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(Sqi().size(), 12u);
  }
}

// A creation that finds another one running (its hidden data file locked)
// or another program naming the base first opens that base; without hard
// links the hidden file is renamed.  No hidden file is left.
TEST_F(SquishTest, CreationRacesAndFileSystemsWithoutLinks) {
  const std::string empty = (Create(), Sqd());
  Post(*Open(), "All", "theirs\r");
  struct Racer : EnvWrapper {
    Racer(MemEnv& m) : EnvWrapper(m), mem(m), sqd(m.GetFile("/fido/area.sqd")), sqi(m.GetFile("/fido/area.sqi")) {}
    void SleepMs(int) override { mem.SetFile("/fido/area.sqd", sqd), mem.SetFile("/fido/area.sqi", sqi); }
    bool Link(const std::string& a, const std::string& b, int* err) override {
      if (mode == 1) SleepMs(0);
      return mode == 2 ? (*err = EPERM, false) : EnvWrapper::Link(a, b, err);
    }
    MemEnv& mem;
    const std::string sqd, sqi;
    int mode = 0;
  } racer(env_);
  int err = 0;
  for (int& mode = racer.mode; mode < 3; ++mode) {  // another creation running, named first, no links
    env_.Remove("/fido/area.sqd", &err), env_.Remove("/fido/area.sqi", &err);
    env_.SetFile("/fido/.area.sqd-new", "");
    auto held = env_.Open("/fido/.area.sqd-new", OpenMode::kReadWrite, &err);
    ASSERT_TRUE(held && (mode != 0 || held->LockFirstByte(0)));
    ASSERT_TRUE(MakeSquishBase(racer)->CreateBase("/fido/area")) << mode;
    EXPECT_EQ(Sqd() + Sqi(), mode == 2 ? empty : racer.sqd + racer.sqi) << mode;
    EXPECT_EQ(env_.HiddenNames("/fido"), std::vector<std::string>{}) << mode;
  }
}

// Records the operations that publish names and the directory syncs.
class NameLog : public EnvWrapper {
 public:
  explicit NameLog(Env& e) : EnvWrapper(e) {}
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* err) override {
    return (m == OpenMode::kCreateExclusive ? log += "create " + p + "; " : log), EnvWrapper::Open(p, m, err);
  }
  bool Rename(const std::string& a, const std::string& b, int* err) override {
    return (log += "rename " + a + " " + b + "; "), EnvWrapper::Rename(a, b, err);
  }
  bool Link(const std::string& a, const std::string& b, int* err) override {
    return (log += "link " + a + " " + b + "; "), EnvWrapper::Link(a, b, err);
  }
  bool SyncDirectory(const std::string& p, int* err) override {
    return (log += "sync " + p + "; "), EnvWrapper::SyncDirectory(p, err);
  }
  std::string log;
};

// A new base's data file is named only when whole; its names and a
// deletion's new index are made durable by a sync of their directory;
// ReadMessage and DeleteMessage act on the number set last, by a seek or by
// SetCurrentNumber.
TEST_F(SquishTest, NamesAreSyncedAndTheCurrentNumberIsActedOn) {
  NameLog names(env_);
  auto b = MakeSquishBase(names);
  ASSERT_TRUE(b->CreateBase("/fido/area"));
  EXPECT_EQ(names.log,
            "create /fido/.area.sqd-new; create /fido/area.sqi; link /fido/.area.sqd-new /fido/area.sqd; sync /fido; ");
  for (const char* body : {"one\r", "two\r", "three\r"}) Post(*b, "All", body);
  b->SeekMessage(1);
  b->SetCurrentNumber(3);
  ASSERT_TRUE(b->ReadMessage());
  EXPECT_NE(b->TextBuffer()->Bytes().find("three"), std::string::npos);
  b->SeekMessage(1);
  b->SetCurrentNumber(2);
  names.log.clear();
  ASSERT_TRUE(b->DeleteMessage());
  EXPECT_EQ(names.log, "create /fido/.area.sqi-new; rename /fido/.area.sqi-new /fido/area.sqi; sync /fido; ");
  EXPECT_TRUE(b->MessageExists(1));
  EXPECT_FALSE(b->MessageExists(2));
  b->CloseBase();
  EXPECT_EQ(ChainProblem(Sqd()), "");
  EXPECT_EQ(env_.HiddenNames("/fido"), std::vector<std::string>{});
}


// A deletion with every write from the n-th on failing, whole or cut
// short, leaves the message there or gone and a chain that agrees with the
// header.
TEST_F(SquishTest, DeletionWithWritesFailing) {
  {
    auto b = Create();
    for (const char* body : {"one\r", "two\r", "three\r"}) Post(*b, "All", body);
  }
  const std::string sqd = Sqd(), sqi = Sqi();
  for (int i = 0; i < 24; ++i) {  // write i / 2 on fail, cut short when i is odd
    SCOPED_TRACE(i);
    env_.SetFile("/fido/area.sqd", sqd);
    env_.SetFile("/fido/area.sqi", sqi);
    FaultEnv faults(env_);
    faults.FailWritesFrom(i / 2, i % 2, EIO);
    auto b = MakeSquishBase(faults);
    ASSERT_TRUE(b->OpenBase("/fido/area"));
    b->SeekMessage(2);
    b->DeleteMessage();
    b.reset();
    Open();
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(Sqi().size(), 12 * U32(Sqd(), kNumMsgs));
  }
}

// A deletion killed before any of its file operations leaves the message
// there or gone, a chain that agrees with the header, and a base in which
// the next deletion and post work.
TEST(SquishKillTest, DeletionKilledAtAnyFileOperation) {
  Env& env = *DefaultEnv();
  auto readAll = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  auto post = [](MessageBase& b, int n) {
    return b.StartNewMessage() && (b.WriteTextLine("body " + std::to_string(n)), b.WriteMessage());
  };
  bool finished = false;
  for (int k = 1; !finished && k < 100; ++k) {
    SCOPED_TRACE("killed at " + std::to_string(k));
    std::string dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    dir += "/vex-sqdel-XXXXXX";
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::string area = dir + "/area";
    {
      auto b = MakeSquishBase(env);
      ASSERT_TRUE(b->CreateBase(area));
      for (int i = 1; i <= 3; ++i) ASSERT_TRUE(post(*b, i));
    }
    pid_t pid = ::fork();
    if (pid == 0) {
      FaultEnv crash(env);
      crash.CrashBeforeOperation(k);
      auto b = MakeSquishBase(crash);
      bool ok = b->OpenBase(area);
      b->SeekMessage(2);
      ok = ok && b->DeleteMessage();
      b->CloseBase();
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    auto b = MakeSquishBase(env);
    ASSERT_TRUE(b->OpenBase(area));
    EXPECT_EQ(ChainProblem(readAll(area + ".sqd")), "");
    EXPECT_TRUE(b->MessageExists(1) && b->MessageExists(3));
    EXPECT_EQ(b->MessageCount(), b->MessageExists(2) ? 3 : 2);
    b->SeekMessage(1);
    EXPECT_TRUE(b->DeleteMessage());
    EXPECT_TRUE(post(*b, 4));
    b->CloseBase();
    EXPECT_EQ(ChainProblem(readAll(area + ".sqd")), "");
    EXPECT_EQ(env.HiddenNames(dir), std::vector<std::string>{});
    std::filesystem::remove_all(dir);
  }
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace vex
