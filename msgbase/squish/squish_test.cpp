#include "msgbase/squish/squish.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "msgbase/squish/codec.h"
#include "msgbase/squish/format.h"
#include "msgbase/squish/index.h"
#include "msgbase/squish/squish_test_base.h"

namespace vex {
namespace {

using namespace squish_testing;
using squish::FrameHeader;
using squish::NameHash;

TEST_F(SquishTest, NewBaseHeaderWithItsNameCutTo79) {
  for (const std::string& dir : {std::string("/fido/new/deep"), "/fido/" + std::string(90, 'd')}) {
    std::unique_ptr<Base> b;
    ASSERT_TRUE(OpenBase(env_, "S" + dir + "/area", BaseMode::kWrite, &b).ok());
    b.reset();
    const std::string sqd = env_.GetFile(dir + "/area.sqd");
    EXPECT_EQ(env_.GetFile(dir + "/area.sqi"), "");
    std::string want(256, '\0');
    PutU16(want.data() + 0, 256);
    PutU32(want.data() + kNextUid, 1);
    PutZString(want.data() + 24, 80, dir + "/area");
    PutU32(want.data() + kEnd, 256);
    PutU32(want.data() + 124, 65535);
    PutU16(want.data() + 128, 32767);
    PutU16(want.data() + 130, 28);  // the frame-header size other readers use
    EXPECT_EQ(sqd, want);
  }
}

TEST_F(SquishTest, FramesIndexAndChainOfTwoMessages) {
  auto b = Open();
  EXPECT_EQ(Post(*b, "All", {"Hello"}), 1u);
  const uint32_t second = static_cast<uint32_t>(Sqd().size());
  EXPECT_EQ(Post(*b, "Sysop", {"two"}), 2u);
  const std::string sqd = Sqd(), sqi = Sqi();
  const FrameHeader f = FrameAt(sqd, 256);
  EXPECT_EQ(f.id, 0xAFAE4453u);
  EXPECT_EQ(f.type, 0);
  EXPECT_EQ(f.frameLength, f.messageLength);
  EXPECT_EQ(second, 256u + 28 + f.frameLength);
  EXPECT_EQ(f.next, second);
  EXPECT_EQ(f.prev, 0u);
  EXPECT_EQ(FrameAt(sqd, second).prev, 256u);
  EXPECT_EQ(FrameAt(sqd, second).next, 0u);
  EXPECT_EQ(U32(sqd, kFirst), 256u);
  EXPECT_EQ(U32(sqd, kLast), second);
  EXPECT_EQ(U32(sqd, kNumMsgs), 2u);
  EXPECT_EQ(U32(sqd, kHighMsg), 2u);
  EXPECT_EQ(U32(sqd, kNextUid), 3u);
  EXPECT_EQ(U32(sqd, kEnd), sqd.size());
  EXPECT_EQ(U32(sqd, 256 + 28), 0x20000u + 0x100u);
  EXPECT_EQ(U32(sqd, 256 + 28 + 214), 1u);  // the number
  ASSERT_EQ(sqi.size(), 24u);
  const uint32_t want[] = {256, 1, 0x682C, second, 2, NameHash("Sysop")};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(U32(sqi, 4 * i), want[i]) << i;
  b.reset();  // the header is on disk before the base is closed
  EXPECT_EQ(Sqd(), sqd);
}

// Control information and text as stored: two kludges of 20 and 30 bytes
// and ten lines of 10 make a message of 390 bytes; a message without
// kludges has only the control's NUL, one without text only the text's.
TEST_F(SquishTest, ControlInformationAndTextAsStored) {
  auto b = Open();
  std::vector<std::string> lines;
  for (int i = 0; i < 10; ++i) lines.push_back(std::string(9, char('0' + i)));
  const std::string k1(19, 'a'), k2(29, 'b');
  Post(*b, "All", lines, {k1, k2});
  Post(*b, "All", {"just body"});
  Post(*b, "All", {}, {"ONE", "TWO"});
  const std::string sqd = Sqd();
  const FrameHeader f = FrameAt(sqd, 256);
  EXPECT_EQ(f.controlLength, 51u);
  EXPECT_EQ(f.messageLength, 390u);
  std::string body;
  for (const std::string& l : lines) body += l + "\r";
  EXPECT_EQ(sqd.substr(256 + 28 + 238, 390 - 238), "\x01" + k1 + "\x01" + k2 + '\0' + body + '\0');
  const FrameHeader f2 = FrameAt(sqd, f.next), f3 = FrameAt(sqd, f2.next);
  EXPECT_EQ(f2.controlLength, 1u);
  EXPECT_EQ(f2.messageLength, 238u + 1 + 10 + 1);
  EXPECT_EQ(f3.controlLength, 9u);
  EXPECT_EQ(f3.messageLength, 238u + 9 + 0 + 1);
  Message m;
  ASSERT_TRUE(b->Read(2, &m).ok());
  EXPECT_EQ(m.kludges, std::vector<std::string>{});
  EXPECT_EQ(m.text, std::vector<std::string>{"just body"});
  ASSERT_TRUE(b->Read(3, &m).ok());
  EXPECT_EQ(m.kludges, (std::vector<std::string>{"ONE", "TWO"}));
  EXPECT_EQ(m.text, std::vector<std::string>{});
}

TEST(SquishFormatTest, NameHashFoldsCaseAndHighBits) {
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
// stamps in two-second steps and as text, the subject cut to 71 bytes, the
// attributes mapped (some have no bit).
TEST(SquishCodecTest, HeaderFieldsAsStoredAndReadBack) {
  Message m = Note("Point", {"text"});
  m.attributes = AttrTypeNet | AttrLocal | AttrPrivate | AttrHold | AttrFileRequest | AttrReceiptRequest |
                 AttrAuditRequest | AttrScanned | AttrIsReceipt | AttrUpdateRequest;
  m.dest = FtnAddress{2, 5030, 7, 9};
  m.kludges = AddressKludges(m.orig, m.dest, true, 0x1234);
  m.subject = std::string(100, 's');
  m.written = MsgDateTime{9, 5, 7, 0, 8, 2, 2002};
  m.arrived = MsgDateTime{23, 59, 59, 0, 31, 12, 2003};
  const squish::StoredMessage s = squish::EncodeMessage(m, 77);
  const char* h = s.header.data();
  EXPECT_EQ(GetU32(h), 0x20000u | 0x100 | 0x1 | 0x200 | 0x800 | 0x1000 | 0x4000 | 0x10000);
  const uint16_t addresses[] = {2, 5020, 123, 4, 2, 5030, 7, 9};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(GetU16(h + 148 + 2 * i), addresses[i]) << i;
  EXPECT_EQ(GetU16(h + 164), 0x2C48);  // 8 Feb 2002
  EXPECT_EQ(GetU16(h + 166), 0x48A3);  // 09:05:07
  EXPECT_EQ(std::string(h + 218, 20), std::string("08 Feb 02  09:05:07") + '\0');
  EXPECT_EQ(GetU32(h + 214), 77u);
  const Message back = squish::DecodeMessage(s);
  EXPECT_EQ(back.subject, std::string(71, 's'));
  EXPECT_EQ(back.written.second, 6);
  EXPECT_EQ(back.arrived.second, 58);
  EXPECT_EQ(back.attributes, m.attributes & ~(AttrTypeNet | AttrIsReceipt | AttrUpdateRequest));
  EXPECT_EQ(back.orig, m.orig);
  EXPECT_EQ(back.dest, m.dest);
  EXPECT_EQ(back.kludges, m.kludges);
}

TEST(SquishIndexTest, FindsNumbersAndListsThemOnceAscending) {
  squish::Index index({{300, 4, 0}, {400, 0, 0}, {500, 9, 0}, {600, 2, 0}, {700, 9, 0}});
  EXPECT_EQ(index.Numbers(), (std::vector<uint32_t>{2, 4, 9}));
  EXPECT_EQ(index.Find(9), 2u);
  EXPECT_EQ(index.Find(0), squish::Index::kNone);
  EXPECT_EQ(index.Find(5), squish::Index::kNone);
  EXPECT_EQ(index.NextNumber(3), 10u);
  index.Push({800, 0xFFFFFFFFu, 0});
  EXPECT_EQ(index.Find(0xFFFFFFFFu), 5u);
  EXPECT_EQ(index.NextNumber(3), 0u);  // the highest number is used up
  index.Erase(0);
  EXPECT_EQ(index.Find(9), 1u);
  EXPECT_EQ(squish::Index::Decode(index.Encode() + "junk").Records().size(), 5u);
}

}  // namespace
}  // namespace vex
