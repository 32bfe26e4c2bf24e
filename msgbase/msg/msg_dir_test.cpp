#include "msgbase/msg/msg_dir.h"

#include <gtest/gtest.h>

#include "msgbase/msg/format.h"
#include "platform/env_wrapper.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

using namespace std::string_literals;

namespace vex {
namespace {

// A stored message file: a header with the given subject and a text.
std::string MessageFile(const std::string& subject, const std::string& text) {
  std::string f(190, '\0');
  PutZString(f.data() + 72, 72, subject);
  return f + text + '\0';
}

class MsgDirTest : public ::testing::Test {
 protected:
  MsgDirTest() {
    ClockTime t;
    t.year = 2002, t.month = 2, t.day = 8, t.hour = 9, t.minute = 5, t.second = 7;
    env_.SetNow(t);
  }
  std::unique_ptr<Base> Open(Env& env, const std::string& dir, BaseMode mode = BaseMode::kWrite) {
    std::unique_ptr<Base> b;
    const Status st = OpenMsgDir(env, dir, mode, &b);
    EXPECT_TRUE(st.ok()) << st.ToString();
    return b;
  }
  // Appends a message with one text line; its number.
  uint32_t Post(Base& b, const std::string& body) {
    Message m;
    m.from = "Vexstat";
    m.text = {body};
    uint32_t n = 0;
    const Status st = b.Append(m, &n);
    EXPECT_TRUE(st.ok()) << st.ToString();
    return n;
  }
  MemEnv env_;
};

// Numbers come from the names in any case; a new message takes the first
// free number after the highest, never 1, and passes over numbers another
// program took after the listing, in either case.
TEST_F(MsgDirTest, NumbersFromTheListingAndTheFirstFreeOne) {
  auto b = Open(env_, "empty/sub");
  EXPECT_EQ(Post(*b, "first"), 2u);
  env_.SetFile("area/1.MSG", MessageFile("one", ""));
  env_.SetFile("area/7.MSG", MessageFile("seven", ""));
  for (const char* junk : {"area/README.TXT", "area/0.MSG", "area/ABC.MSG"}) env_.SetFile(junk, "x");
  b = Open(env_, "area/");
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(b->List(&numbers).ok());
  EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 7}));
  Message m;
  ASSERT_TRUE(b->Read(7, &m).ok());
  EXPECT_EQ(m.subject, "seven");
  env_.SetFile("area/8.msg", "taken");
  env_.SetFile("area/9.MSG", "taken");
  EXPECT_EQ(Post(*b, "x"), 10u);
  EXPECT_EQ(env_.GetFile("area/8.msg"), "taken");
  Message x;
  x.from = "Vexstat";
  x.text = {"x"};
  EXPECT_EQ(env_.GetFile("area/10.msg"), msg::EncodeMessage(x));
  ASSERT_TRUE(b->List(&numbers).ok());
  EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 7, 10}));
  // Past the old 16-bit map, and at the very end of the numbers.
  env_.SetFile("far/61439.msg", MessageFile("a", ""));
  b = Open(env_, "far");
  EXPECT_EQ(Post(*b, "second"), 61440u);
  ASSERT_TRUE(b->Read(61440, &m).ok());
  EXPECT_EQ(m.text, std::vector<std::string>{"second"});
  env_.SetFile("big/2147483647.msg", MessageFile("a", ""));
  b = Open(env_, "big");
  uint32_t n = 0;
  EXPECT_TRUE(b->Append(m, &n).IsRefused());
}

// A tosser that chose number 2 before the link and writes without exclusive
// creation empties the linked file and fills it with its own message: the
// post finds that out and takes the next number; the tosser keeps 2.
TEST_F(MsgDirTest, AMessageATosserWritesOverIsWrittenAgain) {
  struct TosserEnv : EnvWrapper {
    using EnvWrapper::EnvWrapper;
    bool Link(const std::string& from, const std::string& to, int* err) override {
      if (!EnvWrapper::Link(from, to, err) || to != "area/2.msg") return !*err;
      auto f = Open(to, OpenMode::kReadWrite, err);
      const std::string tossed = MessageFile("tossed", "T\r");
      return f->Truncate(0) && f->WriteAt(0, tossed.data(), tossed.size());
    }
  } tosser(env_);
  auto b = Open(tosser, "area");
  EXPECT_EQ(Post(*b, "ours"), 3u);
  EXPECT_EQ(env_.GetFile("area/2.msg"), MessageFile("tossed", "T\r"));
  EXPECT_EQ(env_.GetFile("area/3.msg").substr(190), "ours\r"s + '\0');
  EXPECT_EQ(tosser.HiddenNames("area"), std::vector<std::string>{});
}

// On a file system without hard links the number is claimed by an
// exclusive create: a message another program stored under it meanwhile is
// never written over, and the post takes the next number.
TEST_F(MsgDirTest, WithoutHardLinksAMessageStoredMeanwhileIsKept) {
  struct NoLinks : EnvWrapper {
    using EnvWrapper::EnvWrapper;
    bool Link(const std::string&, const std::string&, int* err) override {
      *err = EPERM;
      return false;
    }
  } noLinks(env_);
  auto b = Open(noLinks, "area");
  env_.SetFile("area/2.msg", "theirs");
  EXPECT_EQ(Post(*b, "ours"), 3u);
  EXPECT_EQ(env_.GetFile("area/2.msg"), "theirs");
  EXPECT_EQ(env_.GetFile("area/3.msg").substr(190), "ours\r"s + '\0');
}

// Header fields as stored: node numbers without zones and points, the
// attribute word with no place for some masks, names cut to their fields.
TEST_F(MsgDirTest, HeaderFieldsAsStoredAndRead) {
  Message m;
  m.attributes = AttrTypeNet | AttrPrivate | AttrKillSent | AttrFileRequest | AttrUpdateRequest | AttrScanned;
  m.orig = FtnAddress{2, 5020, 1, 4};
  m.dest = FtnAddress{1, 300, 70, 0};
  m.from = std::string(50, 'f');
  m.subject = std::string(100, 's');
  m.written.year = 1999, m.written.month = 12, m.written.day = 31;
  m.written.hour = 23, m.written.minute = 58, m.written.second = 59;
  const std::string f = msg::EncodeMessage(m);
  EXPECT_EQ(GetU16(f.data() + 186), 0x0001 | 0x0080 | 0x0800 | 0x8000);
  EXPECT_EQ(GetU16(f.data() + 172), 5020);
  EXPECT_EQ(GetU16(f.data() + 168), 1);
  EXPECT_EQ(GetU16(f.data() + 174), 300);
  EXPECT_EQ(GetU16(f.data() + 166), 70);
  const Message back = msg::DecodeMessage(f);
  EXPECT_EQ(back.from, std::string(35, 'f'));
  EXPECT_EQ(back.subject, std::string(71, 's'));
  EXPECT_EQ(back.written, m.written);
  EXPECT_EQ(back.attributes, m.attributes & ~(AttrTypeNet | AttrScanned));
  EXPECT_EQ(back.orig, m.orig);
  EXPECT_EQ(back.dest, m.dest);
  EXPECT_EQ(back.kludges, (std::vector<std::string>{"INTL 1:300/70 2:5020/1", "FMPT 4"}));
  // Without kludges the header's addresses are in zone 2; lines end at a
  // CR, a CR LF or a NUL, and a file without its closing NUL keeps its end.
  std::string bare = MessageFile("s", "\x01PID: x\rone\r\ntwo\0three"s);
  bare.pop_back();
  PutU16(bare.data() + 172, 5020);
  PutU16(bare.data() + 168, 12);
  const Message read = msg::DecodeMessage(bare);
  EXPECT_EQ(read.orig, (FtnAddress{2, 5020, 12, 0}));
  EXPECT_EQ(read.kludges, std::vector<std::string>{"PID: x"});
  EXPECT_EQ(read.text, (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(MsgDirTest, DamagedAndMissingFiles) {
  env_.SetFile("area/5.msg", std::string(100, 'x'));   // shorter than a header
  env_.SetFile("area/6.msg", std::string(190, '\0'));  // header only
  env_.SetFile("area/9.msg", "");
  auto b = Open(env_, "area", BaseMode::kReadOnly);
  Message m;
  Status st = b->Read(5, &m);
  EXPECT_TRUE(st.IsDamaged());
  EXPECT_EQ(st.sentence(), "area/5.msg is damaged: 100 bytes, shorter than the 190-byte message header");
  EXPECT_TRUE(b->Read(4, &m).IsNotFound());
  ASSERT_TRUE(b->Read(6, &m).ok());
  EXPECT_EQ(m.text, std::vector<std::string>{});
  // A file that vanished after the listing.
  int err = 0;
  env_.Remove("area/9.msg", &err);
  st = b->Read(9, &m);
  EXPECT_TRUE(st.IsDamaged());
  EXPECT_NE(st.sentence().find("area/9.msg cannot be opened"), std::string::npos) << st.sentence();
  EXPECT_EQ(env_.OpenFileCount(), 0);
  // No folder: nothing to read, and a file where the folder should be.
  EXPECT_TRUE(OpenMsgDir(env_, "none", BaseMode::kReadOnly, &b).IsNotFound());
  env_.SetFile("plain", "x");
  EXPECT_EQ(OpenMsgDir(env_, "plain", BaseMode::kReadOnly, &b).sentence(), "plain is not a directory");
  const Status made = OpenMsgDir(env_, "plain/sub", BaseMode::kWrite, &b);
  EXPECT_TRUE(made.IsIoError()) << made.ToString();
  EXPECT_EQ(b, nullptr);
}

// Every letter that names a *.MSG folder opens one, made when missing.
TEST_F(MsgDirTest, TypeLettersOpenAFolder) {
  for (const char* id : {"Mnet/a", "mnet/b", "Fnet/c", "fnet/d", "*net/e"}) {
    std::unique_ptr<Base> b;
    ASSERT_TRUE(OpenBase(env_, id, BaseMode::kWrite, &b).ok()) << id;
    EXPECT_TRUE(env_.HasDirectory(id + 1));
    EXPECT_EQ(Post(*b, id), 2u);
    EXPECT_TRUE(env_.HasFile(id + 1 + "/2.msg"s));
  }
}

}  // namespace
}  // namespace vex
