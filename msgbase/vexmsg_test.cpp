#include "msgbase/vexmsg.h"

#include <gtest/gtest.h>

#include "msgbase/base.h"
#include "platform/cp866.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

class VexmsgTest : public ::testing::Test {
 protected:
  VexmsgTest() {
    ClockTime t;
    t.year = 2002;
    t.month = 2;
    t.day = 8;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    env_.SetNow(t);
  }
  void Post(const std::string& to, const std::string& subject) {
    std::unique_ptr<Base> base;
    ASSERT_TRUE(OpenBase(env_, "Mnet", BaseMode::kWrite, &base).ok());
    Message m;
    m.attributes = AttrTypeNet | AttrLocal | AttrPrivate;
    m.orig = FtnAddress{2, 5020, 1, 4};
    m.dest = FtnAddress{2, 5030, 7, 0};
    m.from = "Vexstat";
    m.to = to;
    m.subject = subject;
    m.written = m.arrived = ToMsgDateTime(env_.Now());
    m.kludges = AddressKludges(m.orig, m.dest, true, 0x1a2b3c4d);
    m.text = {Cp866("Привет"), "--- Vexstat"};
    uint32_t number = 0;
    ASSERT_TRUE(base->Append(m, &number).ok());
  }
  int Run(std::vector<std::string> args) {
    env_.ClearConsole();
    return RunVexmsg(env_, args);
  }
  MemEnv env_;
};

TEST_F(VexmsgTest, ListsEveryMessage) {
  Post("Sysop", "First");
  Post("All", "Second");
  env_.SetFile("net/9.msg", "short");  // damaged: shorter than a header
  ASSERT_EQ(Run({"Mnet"}), 0);
  EXPECT_EQ(env_.console(),
            "Messages: 3, highest number: 9\n"
            "2     08.02.2002 09:05:07  Vexstat               Sysop                 First\n"
            "3     08.02.2002 09:05:07  Vexstat               All                   Second\n"
            "9     (cannot be read: net/9.msg is damaged: 5 bytes, shorter "
            "than the 190-byte message header)\n");
}

TEST_F(VexmsgTest, ShowsOneMessageInFull) {
  Post("Sysop", "First");
  ASSERT_EQ(Run({"*net/", "2"}), 0);
  std::string out = env_.console();
  EXPECT_NE(out.find("From: Vexstat, 2:5020/1.4\n"), std::string::npos) << out;
  EXPECT_NE(out.find("To: Sysop, 2:5030/7\n"), std::string::npos);
  EXPECT_NE(out.find("Subject: First\n"), std::string::npos);
  EXPECT_NE(out.find("Date written: 08.02.2002 09:05:07\n"), std::string::npos);
  EXPECT_NE(out.find("Date arrived: 08.02.2002 09:05:06\n"), std::string::npos);
  EXPECT_NE(out.find("Attributes: Private Local\n"), std::string::npos);
  EXPECT_NE(out.find("\n^AMSGID: 2:5020/1.4 "), std::string::npos);
  EXPECT_NE(out.find("\n^AINTL 2:5030/7 2:5020/1\n^AFMPT 4\n" + Cp866("Привет") +
                     "\n--- Vexstat\n"),
            std::string::npos);
  EXPECT_EQ(env_.OpenFileCount(), 0);
}

TEST_F(VexmsgTest, RefusesBadUsageAndMissingBasesWithoutCreating) {
  Post("Sysop", "First");
  EXPECT_EQ(Run({}), 1);
  EXPECT_NE(env_.console().find("Usage: vexmsg"), std::string::npos);
  EXPECT_EQ(Run({"Mnet", "2", "3"}), 1);
  EXPECT_EQ(Run({"Mnet", "x"}), 1);
  EXPECT_EQ(env_.console(), "Not a message number: x\n");
  EXPECT_EQ(Run({"Mnet", "5"}), 1);
  EXPECT_EQ(env_.console(), "Message 5 not found\n");
  EXPECT_EQ(Run({"Xnet"}), 1);
  EXPECT_EQ(Run({"M"}), 1);
  std::vector<std::string> before = env_.Files();
  EXPECT_EQ(Run({"Mnowhere/area"}), 1);
  EXPECT_EQ(env_.console(),
            "vexmsg: no message base at nowhere/area: the directory does not exist\n");
  EXPECT_EQ(Run({"Snowhere/area"}), 1);
  EXPECT_EQ(Run({"Jnowhere/area"}), 1);
  EXPECT_FALSE(env_.HasDirectory("nowhere"));
  EXPECT_EQ(env_.Files(), before);
}

TEST_F(VexmsgTest, HelpAndVersionSucceed) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(env_.console().rfind("Usage: vexmsg AREAID [N]\n", 0), 0u);
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(Run({"-x"}), 1);
}

// Messages are found through the index, however high their numbers; those
// past 2147483647 are never reached.
TEST_F(VexmsgTest, ListsJamBasesNumberedFromHighValues) {
  for (const auto& [first, listed] : std::vector<std::pair<uint32_t, std::string>>{
           {2000000000, "2000000000 2000000002 "}, {2147483646, "2147483646 2147483647 "}}) {
    const std::string name = "huge" + std::to_string(first);
    std::unique_ptr<Base> base;
    ASSERT_TRUE(OpenBase(env_, "J" + name, BaseMode::kWrite, &base).ok());
    for (int i = 0; i < 3; ++i) {
      uint32_t n = 0;
      ASSERT_TRUE(base->Append(Message{}, &n).ok());
      if (i == 1 && first == 2000000000) { ASSERT_TRUE(base->Delete(n).ok()); }
    }
    base->Close();
    std::string jhr = env_.GetFile(name + ".jhr");
    PutU32(jhr.data() + 20, first);  // the number of the first index record
    env_.SetFile(name + ".jhr", jhr);
    ASSERT_EQ(Run({"J" + name}), 0);
    std::string numbers;  // the first word of every line after the first
    const std::string& out = env_.console();
    for (size_t at = out.find('\n'); at + 1 < out.size(); at = out.find('\n', at + 1)) {
      numbers += out.substr(at + 1, 11);
    }
    EXPECT_EQ(numbers, listed);
  }
}

}  // namespace
}  // namespace vex
