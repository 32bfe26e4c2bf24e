#include "msgbase/message_base.h"

#include <gtest/gtest.h>

#include "msgbase/base_testing.h"
#include "testenv/mem_env.h"

using namespace std::string_literals;

namespace vex {
namespace {

// A base with no format of its own: only the common operations work.
class PlainBase : public MessageBase {
 public:
  explicit PlainBase(Env& env) : MessageBase(env) {
    SetTextBuffer(std::make_unique<MessageText>());
  }
  bool OpenBase(const std::string&) override { return true; }
  bool CreateBase(const std::string&) override { return true; }
  bool BaseExists(const std::string&) override { return true; }
  void CloseBase() override {}
  bool MessageExists(int32_t n) override { return n == 3 || n == 5 || n == 9; }
  int32_t IndexPosition() override { return 0; }
  void SeekIndexPosition(int32_t) override {}
  bool ReadMessage() override { return true; }
  bool ReadHeader() override { return true; }
  bool FreeMessageText() override { return true; }
  int32_t HighMessage() override { return 9; }
  int32_t MessageCount() override { return 3; }
  std::string GetFromName() override { return ""; }
  std::string GetToName() override { return ""; }
  std::string GetSubject() override { return ""; }
  void SetFromName(const std::string&) override {}
  void SetToName(const std::string&) override {}
  void SetSubject(const std::string&) override {}
  bool TestAttribute(uint32_t) override { return false; }
  void SetAttribute(uint32_t, bool) override {}
  void GetDateWritten(MsgDateTime&) override {}
  void GetDateArrived(MsgDateTime&) override {}
  void SetDateWritten(const MsgDateTime&) override {}
  void SetDateArrived(const MsgDateTime&) override {}
  bool WriteMessage() override { return true; }
  bool RewriteHeader() override { return true; }
  bool StartNewMessage() override { return true; }
  bool DeleteMessage() override { return true; }
  int32_t ReadLastRead(int32_t) override { return 0; }
  void WriteLastRead(int32_t, int32_t) override {}

  // The text helpers the formats use, open to the tests.
  using MessageBase::BodyStartPos;
  using MessageBase::FindKludge;
  using MessageBase::InsertKludge;
  using MessageBase::ParseDestKludge;
  using MessageBase::ParseOrigKludge;
  using MessageBase::SetKludge;
  using MessageBase::TextEnd;
  using MessageBase::TextPos;

  const std::string& Bytes() { return TextBuffer()->Bytes(); }
  void SetBytes(const std::string& s) {
    auto t = std::make_unique<MessageText>();
    t->Write(s);
    t->SetPos(0);
    SetTextBuffer(std::move(t));
  }
};

FtnAddress Addr(int zone, int net, int node, int point) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(zone);
  a.net = static_cast<int16_t>(net);
  a.node = static_cast<int16_t>(node);
  a.point = static_cast<int16_t>(point);
  return a;
}

class MessageBaseTest : public ::testing::Test {
 protected:
  MessageBaseTest() : base_(env_) {
    ClockTime t;
    t.year = 2002;
    t.month = 2;
    t.day = 8;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    t.hundredths = 50;
    env_.SetNow(t);
  }
  MemEnv env_;
  PlainBase base_;
};

TEST_F(MessageBaseTest, ReadsLinesEndedByCrCrLfNulOrTheEnd) {
  base_.SetBytes("one\rtwo\r\nthree\0four\r\rlast"s);
  std::string line;
  std::vector<std::string> lines;
  while (base_.ReadTextLine(255, line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", "",
                                             "last"}));
  EXPECT_TRUE(base_.TextEnd());
  EXPECT_FALSE(base_.ReadTextLine(255, line));
  EXPECT_EQ(line, "");
}

TEST_F(MessageBaseTest, LongLinesAreCutAndTheirRestSkipped) {
  base_.SetBytes(std::string(3000, 'a') + "\rb\r");
  std::string line;
  ASSERT_TRUE(base_.ReadTextLine(10, line));
  EXPECT_EQ(line, std::string(10, 'a'));
  ASSERT_TRUE(base_.ReadTextLine(10, line));
  EXPECT_EQ(line, "b");
}

TEST_F(MessageBaseTest, WriteTextLineEndsWithOneCrAndStopsAtNul) {
  base_.WriteTextLine("abc");
  base_.WriteTextLine("de\0fg"s);
  EXPECT_EQ(base_.Bytes(), "abc\rde\r");
}

TEST_F(MessageBaseTest, KludgesAreFoundCaseSensitivelyAnywhere) {
  base_.SetBytes("\x01msgid: 1:2/3 1\rbody\r\x01MSGID: 2:5020/1 abc\r");
  std::string line;
  EXPECT_TRUE(base_.FindKludge("\x01MSGID:", line));
  EXPECT_EQ(line, "\x01MSGID: 2:5020/1 abc");
  EXPECT_FALSE(base_.FindKludge("\x01PID:", line));
  EXPECT_EQ(line, "");
  // A name longer than the line does not match.
  base_.SetBytes("\x01TZ\r");
  EXPECT_FALSE(base_.FindKludge("\x01TZUTC:", line));
}

TEST_F(MessageBaseTest, SetKludgeReplacesInPlaceOrInsertsBeforeTheBody) {
  base_.SetBytes("\x01MSGID: a\r\x01PID: x\rbody\r");
  base_.SetKludge("\x01MSGID:", "\x01MSGID: longer value");
  EXPECT_EQ(base_.Bytes(), "\x01MSGID: longer value\r\x01PID: x\rbody\r");
  base_.SetKludge("\x01TZUTC:", "\x01TZUTC: 0300");
  EXPECT_EQ(base_.Bytes(),
            "\x01MSGID: longer value\r\x01PID: x\r\x01TZUTC: 0300\rbody\r");
  base_.DeleteKludge("\x01PID:");
  EXPECT_EQ(base_.Bytes(), "\x01MSGID: longer value\r\x01TZUTC: 0300\rbody\r");
  base_.DeleteKludge("\x01NOPE");
  EXPECT_EQ(base_.Bytes(), "\x01MSGID: longer value\r\x01TZUTC: 0300\rbody\r");
  // Writing goes on at the end after every change.
  EXPECT_EQ(base_.TextPos(), base_.TextSize());
}

TEST_F(MessageBaseTest, BodyStartSkipsLinesBeforeTheFirstKludge) {
  base_.SetBytes("AREA:X\r\x01K\r\x01L\rbody\r");
  EXPECT_EQ(base_.BodyStartPos(), 13u);
  base_.SetBytes("body only\r");
  EXPECT_EQ(base_.BodyStartPos(), 10u);
  base_.SetBytes("");
  EXPECT_EQ(base_.BodyStartPos(), 0u);
  base_.InsertKludge("\x01ONE");
  base_.InsertKludge("\x01TWO");
  EXPECT_EQ(base_.Bytes(), "\x01ONE\r\x01TWO\r");
}

TEST_F(MessageBaseTest, NetmailKludgesComeInPostingOrder) {
  ClockTime t = env_.Now();
  t.second = 45;  // a moment no other test has used
  env_.SetNow(t);
  base_.SetMailTypeFlag(kMailNet, true);
  base_.SetOrigAddress(Addr(2, 5020, 1, 4), true);
  base_.SetDestAddress(Addr(2, 5030, 7, 9));
  base_.WriteTextLine("Hello");
  std::string msgId;
  ASSERT_TRUE(base_.FindKludge("\x01MSGID:", msgId));
  const std::string serial = msgId.substr(msgId.rfind(' ') + 1);
  EXPECT_EQ(base_.Bytes(),
            "\x01MSGID: 2:5020/1.4 " + serial + "\r"
            "\x01INTL 2:5030/7 2:5020/1\r"
            "\x01" "FMPT 4\r"
            "\x01TOPT 9\r"
            "Hello\r");
  // A poster that builds the kludges as values gets the same lines.
  std::string built;
  for (const std::string& k : AddressKludges(Addr(2, 5020, 1, 4), Addr(2, 5030, 7, 9), true,
                                             static_cast<uint32_t>(std::stoul(serial, nullptr, 16))))
    built += "\x01" + k + "\r";
  EXPECT_EQ(built + "Hello\r", base_.Bytes());
  FtnAddress orig, dest;
  base_.GetAddresses(orig, dest);
  EXPECT_EQ(orig, Addr(2, 5020, 1, 4));
  EXPECT_EQ(dest, Addr(2, 5030, 7, 9));
}

TEST_F(MessageBaseTest, EchomailGetsOnlyTheMsgId) {
  base_.SetMailTypeFlag(kMailEcho, true);
  base_.SetOrigAddress(Addr(2, 5020, 1, 4), true);
  base_.SetDestAddress(Addr(2, 5030, 7, 9));
  std::string bytes = base_.Bytes();
  EXPECT_EQ(bytes.rfind("\x01MSGID: 2:5020/1.4 ", 0), 0u);
  EXPECT_EQ(bytes.find("INTL"), std::string::npos);
  EXPECT_EQ(bytes.find("TOPT"), std::string::npos);
}

TEST_F(MessageBaseTest, NodeOriginRemovesAnOldFmpt) {
  base_.SetMailTypeFlag(kMailNet, true);
  base_.SetOrigAddress(Addr(2, 5020, 1, 4), true);
  base_.SetDestAddress(Addr(2, 5030, 7, 9));
  base_.SetOrigAddress(Addr(2, 5020, 2, 0), true);
  base_.SetDestAddress(Addr(2, 5030, 7, 0));
  std::string bytes = base_.Bytes();
  EXPECT_NE(bytes.find("\x01MSGID: 2:5020/2 "), std::string::npos);
  EXPECT_NE(bytes.find("\x01INTL 2:5030/7 2:5020/2\r"), std::string::npos);
  EXPECT_EQ(bytes.find("FMPT"), std::string::npos);
  EXPECT_EQ(bytes.find("TOPT"), std::string::npos);
}

TEST_F(MessageBaseTest, SecondSetOrigAddressReplacesTheMsgId) {
  base_.SetOrigAddress(Addr(2, 5020, 1, 0), true);
  std::string first;
  ASSERT_TRUE(base_.FindKludge("\x01MSGID:", first));
  base_.SetOrigAddress(Addr(2, 5020, 1, 0), true);
  std::string second;
  ASSERT_TRUE(base_.FindKludge("\x01MSGID:", second));
  EXPECT_NE(first, second);  // new serial, still one line
  EXPECT_EQ(base_.Bytes(), second + "\r");
  // Keeping the serial: only the address changes.
  base_.SetOrigAddress(Addr(1, 2, 3, 0), false);
  std::string third;
  ASSERT_TRUE(base_.FindKludge("\x01MSGID:", third));
  EXPECT_EQ(third, "\x01MSGID: 1:2/3 " + second.substr(second.rfind(' ') + 1));
  EXPECT_EQ(base_.Bytes(), third + "\r");
}

TEST_F(MessageBaseTest, SerialsDifferEvenWhenTheClockStandsStill) {
  ClockTime t = env_.Now();
  t.second = 30;  // a moment no other test has used
  env_.SetNow(t);
  uint32_t a = NewMsgIdSerial(env_);
  uint32_t b = NewMsgIdSerial(env_);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(env_.sleptMs(), 0);  // nothing waits for the clock
}

TEST_F(MessageBaseTest, AddressKludgesParseAndLaterLinesOverride) {
  base_.SetBytes(
      "\x01MSGID: 1:1/1.1 0\r\x01INTL 3:4/5 6:7/8\r\x01" "FMPT 9\r"
      "\x01TOPT 10\rbody \x01INTL 9:9/9 9:9/9\r");
  FtnAddress orig, dest;
  base_.GetAddresses(orig, dest);
  EXPECT_EQ(orig, Addr(6, 7, 8, 9));
  EXPECT_EQ(dest, Addr(3, 4, 5, 10));
  // INTL keeps the point it finds; junk leaves the address alone.
  FtnAddress a = Addr(1, 1, 1, 7);
  base_.ParseOrigKludge(a, "\x01INTL 2:2/2 3:3/3");
  EXPECT_EQ(a, Addr(3, 3, 3, 7));
  base_.ParseOrigKludge(a, "\x01MSGID: not-an-address 1");
  EXPECT_EQ(a, Addr(3, 3, 3, 7));
  base_.ParseDestKludge(a, "\x01INTL");
  EXPECT_EQ(a, Addr(3, 3, 3, 7));
}

TEST_F(MessageBaseTest, MailTypeFlagsAndNavigation) {
  base_.SetMailTypeFlag(kMailNet | kMailLocal, true);
  EXPECT_TRUE(base_.TestMailTypeFlag(kMailNet | kMailLocal));
  EXPECT_FALSE(base_.TestMailTypeFlag(kMailNet | kMailEcho));
  base_.SetMailTypeFlag(kMailNet | kMailLocal, false);
  base_.SetMailTypeFlag(kMailEcho, true);
  EXPECT_TRUE(base_.TestMailTypeFlag(kMailEcho));
  EXPECT_FALSE(base_.TestMailTypeFlag(kMailNet));
  EXPECT_FALSE(base_.TestMailTypeFlag(kMailLocal));

  base_.SeekMessage(4);
  EXPECT_EQ(base_.CurrentNumber(), 5);
  base_.SeekNext();
  EXPECT_EQ(base_.CurrentNumber(), 9);
  base_.SeekNext();
  EXPECT_FALSE(base_.SeekFound());
  base_.SetCurrentNumber(5);
  base_.SeekPrior();
  EXPECT_EQ(base_.CurrentNumber(), 3);
  base_.SeekPrior();
  EXPECT_EQ(base_.CurrentNumber(), 0);
}

TEST(OpenMessageBaseTest, TypeLetterChoosesTheFormat) {
  MemEnv env;
  testing_bases::UseEnv(env);
  std::unique_ptr<MessageBase> base;
  EXPECT_FALSE(testing_bases::Open(base, ""));
  EXPECT_EQ(testing_bases::openError, kOpenErrorUnknownType);
  EXPECT_EQ(base, nullptr);
  EXPECT_FALSE(testing_bases::Open(base, "Xmail/"));
  EXPECT_EQ(testing_bases::openError, kOpenErrorUnknownType);
  EXPECT_FALSE(CloseMessageBase(base));

  // JAM bases and *.MSG folders are opened only through OpenBase.
  EXPECT_FALSE(testing_bases::Open(base, "Jb/area"));
  EXPECT_FALSE(testing_bases::Open(base, "Mnet/a"));
  EXPECT_EQ(testing_bases::openError, kOpenErrorUnknownType);
}

}  // namespace
}  // namespace vex
