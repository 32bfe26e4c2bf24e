#include "msgbase/msg_dir_base.h"

#include <gtest/gtest.h>

#include "platform/env_wrapper.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

using namespace std::string_literals;

namespace vex {
namespace {

FtnAddress Addr(int zone, int net, int node, int point) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(zone);
  a.net = static_cast<int16_t>(net);
  a.node = static_cast<int16_t>(node);
  a.point = static_cast<int16_t>(point);
  return a;
}

// A stored message file: a header with the given subject and a text.
std::string MessageFile(const std::string& subject, const std::string& text) {
  std::string f(190, '\0');
  PutZString(f.data() + 72, 72, subject);
  return f + text + '\0';
}

class MsgDirBaseTest : public ::testing::Test {
 protected:
  MsgDirBaseTest() : base_(MakeMsgDirBase(env_)) {
    ClockTime t;
    t.year = 2002;
    t.month = 2;
    t.day = 8;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    env_.SetNow(t);
  }
  // Posts one message the way the posting code does.
  void Post(const std::string& body) {
    ASSERT_TRUE(base_->StartNewMessage());
    base_->SetFromName("Vexstat");
    base_->SetToName("All");
    base_->SetSubject("Stats");
    base_->SetAttribute(AttrLocal, true);
    base_->WriteTextLine(body);
    ASSERT_TRUE(base_->WriteMessage());
    ASSERT_TRUE(base_->FreeMessageText());
  }
  MemEnv env_;
  std::unique_ptr<MessageBase> base_;
};

TEST_F(MsgDirBaseTest, WritesTheWorkedExampleByteForByte) {
  ASSERT_TRUE(base_->CreateBase("fido/netmail"));
  ASSERT_TRUE(base_->StartNewMessage());
  EXPECT_EQ(base_->CurrentNumber(), 2);  // number 1 is never used
  base_->SetFromName("Vexstat");
  base_->SetToName("Sysop");
  base_->SetSubject("Report");
  base_->WriteTextLine("Hello");
  ASSERT_TRUE(base_->WriteMessage());
  ASSERT_TRUE(base_->FreeMessageText());
  EXPECT_EQ(env_.OpenFileCount(), 0);

  std::string f = env_.GetFile("fido/netmail/2.msg");
  ASSERT_EQ(f.size(), 197u);
  EXPECT_EQ(f.substr(190), "Hello\r\0"s);
  EXPECT_EQ(f.substr(0, 36), "Vexstat" + std::string(29, '\0'));
  EXPECT_EQ(f.substr(36, 36), "Sysop" + std::string(31, '\0'));
  EXPECT_EQ(f.substr(72, 72), "Report" + std::string(66, '\0'));
  EXPECT_EQ(f.substr(144, 20), "08 Feb 02  09:05:07\0"s);
  EXPECT_EQ(GetU16(f.data() + 176), 0x2C48);
  EXPECT_EQ(GetU16(f.data() + 178), 0x48A3);
  EXPECT_EQ(GetU16(f.data() + 180), 0x2C48);
  EXPECT_EQ(GetU16(f.data() + 182), 0x48A3);
  for (size_t off : {164, 166, 168, 170, 172, 174, 184, 186, 188})
    EXPECT_EQ(GetU16(f.data() + off), 0) << off;

  base_->SeekMessage(1);
  EXPECT_EQ(base_->CurrentNumber(), 2);
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->TextBuffer()->Bytes(), "Hello\r");
  EXPECT_EQ(base_->GetSubject(), "Report");
}

TEST_F(MsgDirBaseTest, ScanCountsNumberedFilesInAnyCase) {
  env_.SetFile("area/1.MSG", MessageFile("one", ""));
  env_.SetFile("area/7.MSG", MessageFile("seven", ""));
  env_.SetFile("area/README.TXT", "x");
  env_.SetFile("area/0.MSG", "x");
  env_.SetFile("area/ABC.MSG", "x");
  ASSERT_TRUE(base_->OpenBase("area"));
  EXPECT_EQ(base_->GetBasePath(), "area/");
  EXPECT_EQ(base_->MessageCount(), 2);
  EXPECT_EQ(base_->HighMessage(), 7);
  EXPECT_TRUE(base_->MessageExists(7));
  EXPECT_FALSE(base_->MessageExists(0));
  base_->SetCurrentNumber(7);
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->GetSubject(), "seven");
  base_->FreeMessageText();
  ASSERT_TRUE(base_->StartNewMessage());
  EXPECT_EQ(base_->CurrentNumber(), 8);
  EXPECT_EQ(base_->HighMessage(), 8);
  // The file appears only when the message is stored whole.
  EXPECT_FALSE(env_.HasFile("area/8.msg"));
  ASSERT_TRUE(base_->WriteMessage());
  EXPECT_TRUE(env_.HasFile("area/8.msg"));
  EXPECT_EQ(base_->MessageCount(), 3);
}

TEST_F(MsgDirBaseTest, PathsWithAndWithoutSlash) {
  env_.AddDirectory("a/b");
  ASSERT_TRUE(base_->OpenBase("a/b/"));
  EXPECT_EQ(base_->GetBasePath(), "a/b/");
  base_->CloseBase();
  EXPECT_EQ(base_->GetBasePath(), "");
  EXPECT_FALSE(base_->IsOpen());
  EXPECT_FALSE(base_->OpenBase("a/missing"));
  EXPECT_EQ(base_->GetErrorCode(), 0x1000);
  EXPECT_FALSE(base_->BaseExists("a/missing"));
  EXPECT_TRUE(base_->BaseExists("a/b"));
  ASSERT_TRUE(base_->CreateBase("x/y/z"));
  EXPECT_TRUE(env_.HasDirectory("x/y/z"));
  EXPECT_EQ(base_->MessageCount(), 0);
}

TEST_F(MsgDirBaseTest, NewMessageTakesTheNextFreeNumber) {
  ASSERT_TRUE(base_->CreateBase("area"));
  // Another program took the numbers after the scan.
  env_.SetFile("area/2.msg", "taken");
  env_.SetFile("area/3.MSG", "taken");
  Post("x");
  EXPECT_EQ(base_->CurrentNumber(), 4);
  EXPECT_EQ(env_.GetFile("area/2.msg"), "taken");
  EXPECT_EQ(env_.GetFile("area/3.MSG"), "taken");
  EXPECT_EQ(env_.GetFile("area/4.msg").size(), 190u + 3u);
  Post("y");
  EXPECT_EQ(base_->CurrentNumber(), 5);
}

// A tosser that chose number 2 before the link and writes without exclusive
// creation empties the linked file and fills it with its own message: the
// post finds that out and takes the next number; the tosser keeps 2.
TEST_F(MsgDirBaseTest, AMessageATosserWritesOverIsWrittenAgain) {
  struct TosserEnv : EnvWrapper {
    using EnvWrapper::EnvWrapper;
    bool Link(const std::string& from, const std::string& to, int* err) override {
      if (!EnvWrapper::Link(from, to, err) || to != "area/2.msg") return !*err;
      auto f = Open(to, OpenMode::kReadWrite, err);
      const std::string tossed = MessageFile("tossed", "T\r");
      return f->Truncate(0) && f->WriteAt(0, tossed.data(), tossed.size());
    }
  } tosser(env_);
  base_ = MakeMsgDirBase(tosser);
  ASSERT_TRUE(base_->CreateBase("area"));
  Post("ours");
  EXPECT_EQ(base_->CurrentNumber(), 3);
  EXPECT_EQ(env_.GetFile("area/2.msg"), MessageFile("tossed", "T\r"));
  EXPECT_EQ(env_.GetFile("area/3.msg").substr(190), "ours\r"s + '\0');
  EXPECT_EQ(tosser.HiddenNames("area"), std::vector<std::string>{});
}

TEST_F(MsgDirBaseTest, MessageNeverStoredWholeLeavesNoFile) {
  FaultEnv faults(env_);
  std::unique_ptr<MessageBase> base = MakeMsgDirBase(faults);
  ASSERT_TRUE(base->CreateBase("area"));
  // Abandoned before it was written.
  ASSERT_TRUE(base->StartNewMessage());
  EXPECT_TRUE(base->FreeMessageText());
  EXPECT_FALSE(env_.HasFile("area/2.msg"));
  EXPECT_FALSE(base->MessageExists(2));
  // A message stored whole stays.
  ASSERT_TRUE(base->StartNewMessage());
  base->WriteTextLine("ok");
  ASSERT_TRUE(base->WriteMessage());
  ASSERT_TRUE(base->FreeMessageText());
  EXPECT_EQ(env_.GetFile("area/3.msg").size(), 190u + 3u + 1u);
}

TEST_F(MsgDirBaseTest, NumbersPastTheMapStillWork) {
  env_.SetFile("area/61439.msg", MessageFile("a", ""));
  ASSERT_TRUE(base_->OpenBase("area"));
  Post("first");
  EXPECT_EQ(base_->CurrentNumber(), 61440);
  Post("second");
  EXPECT_EQ(base_->CurrentNumber(), 61441);
  EXPECT_TRUE(env_.HasFile("area/61441.msg"));
  ASSERT_TRUE(base_->OpenBase("area"));
  EXPECT_EQ(base_->HighMessage(), 61441);
  base_->SeekMessage(61441);
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->TextBuffer()->Bytes(), "second\r");
  base_->FreeMessageText();
  // The highest possible number leaves no room for another.
  env_.SetFile("big/2147483647.msg", MessageFile("a", ""));
  ASSERT_TRUE(base_->OpenBase("big"));
  EXPECT_FALSE(base_->StartNewMessage());
}

// Header fields as stored: the node numbers without zones and points, the
// attribute word with no place for some masks, the names cut to their fields,
// and a date written with an odd second kept as it was.
TEST_F(MsgDirBaseTest, HeaderFieldsAsStored) {
  ASSERT_TRUE(base_->CreateBase("net"));
  ASSERT_TRUE(base_->StartNewMessage());
  base_->SetMailTypeFlag(kMailNet, true);
  base_->SetOrigAddress(Addr(2, 5020, 1, 4), true);
  base_->SetDestAddress(Addr(1, 300, 70, 0));
  base_->SetFromName(std::string(50, 'f'));
  base_->SetSubject(std::string(100, 's'));
  MsgDateTime written;
  written.year = 1999, written.month = 12, written.day = 31;
  written.hour = 23, written.minute = 58, written.second = 59;
  base_->SetDateWritten(written);
  for (uint32_t a : {AttrPrivate, AttrKillSent, AttrFileRequest, AttrUpdateRequest})
    base_->SetAttribute(a, true);
  base_->SetAttribute(AttrScanned, true);  // no place in this format
  ASSERT_TRUE(base_->WriteMessage());
  int32_t n = base_->CurrentNumber();
  ASSERT_TRUE(base_->FreeMessageText());

  std::string f = env_.GetFile("net/" + std::to_string(n) + ".msg");
  EXPECT_EQ(GetU16(f.data() + 186), 0x0001 | 0x0080 | 0x0800 | 0x8000);
  EXPECT_EQ(GetU16(f.data() + 172), 5020);
  EXPECT_EQ(GetU16(f.data() + 168), 1);
  EXPECT_EQ(GetU16(f.data() + 174), 300);
  EXPECT_EQ(GetU16(f.data() + 166), 70);

  ASSERT_TRUE(base_->OpenBase("net"));
  base_->SeekMessage(n);
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->GetFromName(), std::string(35, 'f'));
  EXPECT_EQ(base_->GetSubject(), std::string(71, 's'));
  MsgDateTime dt;
  base_->GetDateWritten(dt);
  EXPECT_EQ(std::vector<int>({dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second}),
            std::vector<int>({1999, 12, 31, 23, 58, 59}));
  EXPECT_TRUE(base_->TestAttribute(AttrPrivate | AttrFileRequest));
  EXPECT_TRUE(base_->TestAttribute(AttrUpdateRequest));
  EXPECT_FALSE(base_->TestAttribute(AttrPrivate | AttrCrash));
  EXPECT_FALSE(base_->TestAttribute(AttrScanned));
  base_->SetAttribute(AttrKillSent, false);
  EXPECT_FALSE(base_->TestAttribute(AttrKillSent));
}

TEST_F(MsgDirBaseTest, HeaderAddressesWithoutKludgesGetZoneTwo) {
  std::string f = MessageFile("s", "text\r");
  PutU16(f.data() + 172, 5020);
  PutU16(f.data() + 168, 12);
  env_.SetFile("area/3.msg", f);
  ASSERT_TRUE(base_->OpenBase("area"));
  base_->SeekMessage(3);
  ASSERT_TRUE(base_->ReadMessage());
  FtnAddress orig, dest;
  base_->GetAddresses(orig, dest);
  EXPECT_EQ(orig, Addr(2, 5020, 12, 0));
}

TEST_F(MsgDirBaseTest, ReadHeaderKeepsOnlyLeadingKludges) {
  env_.SetFile("area/2.msg",
               MessageFile("s", "\x01MSGID: 1:2/3 1\r\x01PID: x\rbody\r\x01Via y\r"));
  ASSERT_TRUE(base_->OpenBase("area"));
  base_->SeekMessage(2);
  ASSERT_TRUE(base_->ReadHeader());
  EXPECT_EQ(base_->TextBuffer()->Bytes(), "\x01MSGID: 1:2/3 1\r\x01PID: x\r");
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->TextBuffer()->Bytes(),
            "\x01MSGID: 1:2/3 1\r\x01PID: x\rbody\r\x01Via y\r");
}

TEST_F(MsgDirBaseTest, DamagedAndMissingFilesFailWithCodes) {
  env_.SetFile("area/5.msg", std::string(100, 'x'));  // shorter than a header
  env_.SetFile("area/6.msg", std::string(190, '\0'));  // header only
  std::string noNul(190, '\0');
  env_.SetFile("area/8.msg", noNul + "abc\r");  // no closing NUL
  ASSERT_TRUE(base_->OpenBase("area"));
  base_->SetCurrentNumber(5);
  EXPECT_FALSE(base_->ReadMessage());
  EXPECT_EQ(base_->GetErrorCode(), 0x1002);
  EXPECT_FALSE(base_->ReadHeader());
  base_->SetCurrentNumber(4);
  EXPECT_FALSE(base_->ReadMessage());
  EXPECT_EQ(base_->GetErrorCode(), 0x1001);
  EXPECT_FALSE(base_->FreeMessageText());
  EXPECT_EQ(base_->GetErrorCode(), 0x1003);
  base_->SetCurrentNumber(6);
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->TextSize(), 0u);
  base_->SetCurrentNumber(8);
  ASSERT_TRUE(base_->ReadMessage());
  EXPECT_EQ(base_->TextBuffer()->Bytes(), "abc\r");
  // A file that vanished after the scan.
  env_.SetFile("area/9.msg", "");
  base_->FreeMessageText();
  ASSERT_TRUE(base_->OpenBase("area"));
  int err = 0;
  env_.Remove("area/9.msg", &err);
  base_->SetCurrentNumber(9);
  EXPECT_FALSE(base_->ReadMessage());
  EXPECT_EQ(base_->GetErrorCode(), 0x1002);
  EXPECT_EQ(env_.OpenFileCount(), 0);
}

TEST_F(MsgDirBaseTest, LastReadHoldsOneWordPerUser) {
  ASSERT_TRUE(base_->CreateBase("area"));
  EXPECT_EQ(base_->ReadLastRead(3), 0);
  base_->WriteLastRead(3, 10);
  std::string f = env_.GetFile("area/lastread");
  ASSERT_EQ(f.size(), 8u);
  EXPECT_EQ(GetU16(f.data() + 6), 10);
  EXPECT_EQ(base_->ReadLastRead(3), 10);
  EXPECT_EQ(base_->ReadLastRead(0), 0);
  EXPECT_EQ(base_->ReadLastRead(4), 0);
  base_->WriteLastRead(0, 0x12345);
  EXPECT_EQ(base_->ReadLastRead(0), 0x2345);
  EXPECT_EQ(base_->ReadLastRead(3), 10);
  // A file written elsewhere in upper case is used as it is.
  env_.SetFile("other/LASTREAD", "\x07\x00"s);
  ASSERT_TRUE(base_->OpenBase("other"));
  EXPECT_EQ(base_->ReadLastRead(0), 7);
}

}  // namespace
}  // namespace vex
