// JAM bases through the value calls: how a base is made, found and
// repaired, and damaged or unusual bases that it must neither make worse
// nor misread.
#include <gtest/gtest.h>

#include <map>

#include "msgbase/base.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

Message Echo(const std::string& body, bool msgId = true) {
  Message m;
  m.from = "Sysop";
  m.to = "All";
  m.subject = "Report";
  m.orig = FtnAddress{2, 5020, 1, 0};
  m.written = MsgDateTime{13, 45, 10, 0, 29, 2, 2024};
  m.arrived = m.written;
  m.attributes = AttrTypeEcho | AttrLocal;
  m.text = {body, "--- tear"};
  // Without a MSGID, without any control line.
  if (!msgId) return m;
  m.kludges = AddressKludges(m.orig, m.dest, false, 0x12345678);
  m.kludges.push_back("PID: test");
  return m;
}

class JamValueTest : public ::testing::Test {
 protected:
  std::unique_ptr<Base> Open(BaseMode mode = BaseMode::kWrite) {
    std::unique_ptr<Base> b;
    const Status st = OpenBase(mem_, "Jb/area", mode, &b);
    EXPECT_TRUE(st.ok()) << st.ToString();
    return b;
  }
  uint32_t Post(const Message& m) {
    auto b = Open();
    uint32_t n = 0;
    if (!b) return 0;
    const Status st = b->Append(m, &n);
    EXPECT_TRUE(st.ok()) << st.ToString();
    EXPECT_TRUE(b->Close().ok());
    return n;
  }
  Status ReadBack(uint32_t n, Message* m) {
    auto b = Open(BaseMode::kReadOnly);
    return b ? b->Read(n, m) : Status::NotFound("", "");
  }
  // The header of the message the index record `slot` points at.
  size_t HeaderAt(int slot) {
    return GetU32(mem_.GetFile("b/area.jdx").data() + slot * 8 + 4);
  }
  MemEnv mem_;
};

// A .jdt that lost its tail: the message whose text was there stays
// damaged, and a new message neither takes over its text nor reads wrong.
TEST_F(JamValueTest, TextPastTheEndOfTheDataStaysDamagedAcrossAppends) {
  Post(Echo("first"));
  const uint32_t second = Post(Echo("second"));
  // A deleted third message keeps the damaged one off the end of the index.
  const uint32_t third = Post(Echo("third"));
  auto b = Open();
  ASSERT_TRUE(b->Delete(third).ok());
  b->Close();
  std::string jdt = mem_.GetFile("b/area.jdt");
  mem_.SetFile("b/area.jdt", jdt.substr(0, jdt.find("second") + 2));
  Message m;
  EXPECT_TRUE(ReadBack(second, &m).IsDamaged());
  for (int round = 0; round < 2; ++round) {
    const uint32_t added = Post(Echo("new report " + std::to_string(round)));
    ASSERT_NE(added, 0u);
    Status st = ReadBack(second, &m);
    EXPECT_TRUE(st.IsDamaged()) << st.ToString() << " " << (m.text.empty() ? "" : m.text[0]);
    ASSERT_TRUE(ReadBack(added, &m).ok());
    EXPECT_EQ(m.text, Echo("new report " + std::to_string(round)).text);
  }
  ASSERT_TRUE(ReadBack(1, &m).ok());
  EXPECT_EQ(m.text[0], "first");
}

// A base header whose first message number is 0 (which no message can
// have): every index record stays a message, numbered from 1, through opens
// and appends, in an empty base too.
TEST_F(JamValueTest, BaseNumberZeroLosesNoRecords) {
  for (int before : {0, 3}) {
    SCOPED_TRACE(before);
    mem_ = MemEnv();
    Open()->Close();
    for (int k = 0; k < before; ++k) Post(Echo("m" + std::to_string(k)));
    std::string jhr = mem_.GetFile("b/area.jhr");
    PutU32(jhr.data() + 20, 0);
    mem_.SetFile("b/area.jhr", jhr);
    for (int round = 0; round < 2; ++round) {
      const uint32_t n = Post(Echo("later " + std::to_string(round)));
      EXPECT_EQ(n, static_cast<uint32_t>(before + round + 1));
      EXPECT_EQ(mem_.GetFile("b/area.jdx").size(), 8u * (before + round + 1));
    }
    auto b = Open(BaseMode::kReadOnly);
    std::vector<uint32_t> numbers;
    ASSERT_TRUE(b->List(&numbers).ok());
    ASSERT_EQ(numbers.size(), static_cast<size_t>(before + 2));
    Message m;
    ASSERT_TRUE(b->Read(1, &m).ok());
    EXPECT_EQ(m.text[0], before ? "m0" : "later 0");
    ASSERT_TRUE(b->Read(numbers.back(), &m).ok());
    EXPECT_EQ(m.text[0], "later 1");
  }
}

// A message stored without a MSGID and without a final CR reads as stored,
// the same at every read, with the origin its header names.
TEST_F(JamValueTest, NoMsgIdAndNoFinalCrReadsAsStored) {
  Post(Echo("first"));
  const uint32_t n = Post(Echo("no id", false));
  // Drop the final CR of its text (the last message's text ends the file).
  std::string jdt = mem_.GetFile("b/area.jdt");
  ASSERT_EQ(jdt.back(), '\r');
  jdt.pop_back();
  mem_.SetFile("b/area.jdt", jdt);
  std::string jhr = mem_.GetFile("b/area.jhr");
  const size_t h = HeaderAt(1);
  PutU32(jhr.data() + h + 64, GetU32(jhr.data() + h + 64) - 1);
  // And the origin subfield names the node, as other programs store it.
  const size_t orig = jhr.find("0:0/0.0", h);
  ASSERT_NE(orig, std::string::npos);
  jhr.replace(orig, 7, "2:50/1.0");
  PutU32(jhr.data() + orig - 4, 8);
  PutU32(jhr.data() + h + 8, GetU32(jhr.data() + h + 8) + 1);
  mem_.SetFile("b/area.jhr", jhr);
  Message first, again;
  ASSERT_TRUE(ReadBack(n, &first).ok());
  ASSERT_TRUE(ReadBack(n, &again).ok());
  EXPECT_EQ(first, again);
  EXPECT_EQ(first.kludges, std::vector<std::string>{});
  EXPECT_EQ(first.text, Echo("no id").text);
  EXPECT_EQ(AddressToText(first.orig), "2:50/1");
}

// A new base: the base header alone, and empty index, text and last-read
// files, in folders made for it.
TEST_F(JamValueTest, ANewBaseIsItsBaseHeaderAndEmptyFiles) {
  ClockTime t;
  t.year = 2024, t.month = 2, t.day = 29, t.hour = 13, t.minute = 45, t.second = 10;
  mem_.SetNow(t);
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem_, "Jb/deep/er/echo", BaseMode::kWrite, &b).ok());
  ASSERT_TRUE(b->Close().ok());
  const std::string jhr = mem_.GetFile("b/deep/er/echo.jhr");
  std::string want("JAM\0", 4);
  for (uint32_t v : {1709214310u, 0u, 0u, 0xFFFFFFFFu, 1u}) AppendU32(want, v);
  EXPECT_EQ(jhr, want + std::string(1000, '\0'));
  for (const char* ext : {".jdx", ".jdt", ".jlr"}) EXPECT_EQ(mem_.GetFile(std::string("b/deep/er/echo") + ext), "");
  EXPECT_EQ(mem_.OpenFileCount(), 0);
}

// A base named without a folder is made beside no hidden file and found
// again under upper-case extensions.
TEST_F(JamValueTest, ABaseWithoutAFolder) {
  std::unique_ptr<Base> b;
  uint32_t n = 0;
  ASSERT_TRUE(OpenBase(mem_, "Jtop", BaseMode::kWrite, &b).ok());
  ASSERT_TRUE(b->Append(Echo("first"), &n).ok());
  ASSERT_TRUE(b->Close().ok());
  EXPECT_EQ(mem_.Files(), (std::vector<std::string>{"top.jdt", "top.jdx", "top.jhr", "top.jlr"}));
  mem_.SetFile("UP.JHR", mem_.GetFile("top.jhr"));
  mem_.SetFile("UP.JDX", mem_.GetFile("top.jdx"));
  mem_.SetFile("UP.JDT", mem_.GetFile("top.jdt"));
  Message m;
  ASSERT_TRUE(OpenBase(mem_, "JUP", BaseMode::kReadOnly, &b).ok());
  EXPECT_TRUE(b->Read(n, &m).ok());
}

// Damage is refused at the open or at the read of the message it hits,
// named with its file, and nothing is written.
TEST_F(JamValueTest, DamageIsNamedWithItsFileAndLeftAlone) {
  Post(Echo("first"));
  Post(Echo("second"));
  const std::map<std::string, std::string> files{{"jhr", mem_.GetFile("b/area.jhr")},
                                                 {"jdx", mem_.GetFile("b/area.jdx")},
                                                 {"jdt", mem_.GetFile("b/area.jdt")}};
  const std::string& jhr = files.at("jhr");
  auto with = [&](size_t at, uint32_t v, std::string bytes) {
    PutU32(bytes.data() + at, v);
    return bytes;
  };
  struct Case {
    const char* ext;
    std::string bytes;
    bool atOpen;
    const char* file;
  };
  const Case cases[] = {
      {"jhr", jhr.substr(0, 100), true, "b/area.jhr"},
      {"jhr", "X" + jhr.substr(1), true, "b/area.jhr"},
      {"jdx", with(4, static_cast<uint32_t>(jhr.size()) - 10, files.at("jdx")), false, "b/area.jdx"},
      {"jdx", with(4, 16, files.at("jdx")), false, "b/area.jdx"},
      {"jhr", with(1024 + 8, 0x7FFFFFFF, jhr), false, "b/area.jhr"},      // subfields past the end
      {"jhr", with(1024 + 76 + 4, 5000, jhr), false, "b/area.jhr"},       // a subfield past its area
      {"jhr", with(1024 + 64, 100000, jhr), false, "b/area.jdt"},         // text past the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ext) + " " + c.file);
    for (const auto& [ext, bytes] : files) mem_.SetFile("b/area." + ext, bytes);
    mem_.SetFile(std::string("b/area.") + c.ext, c.bytes);
    for (BaseMode mode : {BaseMode::kWrite, BaseMode::kReadOnly}) {
      std::unique_ptr<Base> b;
      Status st = OpenBase(mem_, "Jb/area", mode, &b);
      Message m;
      if (st.ok()) st = b->Read(1, &m);
      EXPECT_TRUE(st.IsDamaged()) << st.ToString();
      EXPECT_EQ(st.file(), c.atOpen ? "b/area.jhr" : c.file) << st.ToString();
      if (b) b->Close();
      EXPECT_EQ(mem_.GetFile(std::string("b/area.") + c.ext), c.bytes);
    }
  }
}

// What a post stopped by a power cut leaves at the end of the index (a
// partial record, a record whose header or text never reached the disk) is
// cut off at the open, and the next post takes its number.
TEST_F(JamValueTest, AnUnfinishedLastIndexRecordIsCutOffAtOpen) {
  Post(Echo("first"));
  Post(Echo("second"));
  const std::string jhr = mem_.GetFile("b/area.jhr"), jdx = mem_.GetFile("b/area.jdx");
  const std::string jdt = mem_.GetFile("b/area.jdt");
  std::string zeroed = jdx, pastHeader = jdx, pastText = jhr;
  PutU32(zeroed.data() + 12, 0);
  PutU32(pastHeader.data() + 12, static_cast<uint32_t>(jhr.size()));
  PutU32(pastText.data() + HeaderAt(1) + 60, 4096);
  for (const auto& [ext, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"jdx", jdx.substr(0, 13)}, {"jdx", zeroed}, {"jdx", pastHeader}, {"jhr", pastText}}) {
    SCOPED_TRACE(ext + " " + std::to_string(bytes.size()));
    mem_.SetFile("b/area.jhr", jhr);
    mem_.SetFile("b/area.jdx", jdx);
    mem_.SetFile("b/area.jdt", jdt);
    mem_.SetFile("b/area." + ext, bytes);
    EXPECT_EQ(Post(Echo("third")), 2u);
    EXPECT_EQ(GetU32(mem_.GetFile("b/area.jhr").data() + 12), 2u);  // active messages
    Message m;
    ASSERT_TRUE(ReadBack(1, &m).ok());
    ASSERT_TRUE(ReadBack(2, &m).ok());
    EXPECT_EQ(m.text[0], "third");
  }
  // A read the system refuses is no unfinished record: nothing is cut.
  const std::string index = mem_.GetFile("b/area.jdx");
  FaultEnv faulty(mem_);
  faulty.FailReadsAfter(1024 + 8, EIO);
  std::unique_ptr<Base> b;
  const Status st = OpenBase(faulty, "Jb/area", BaseMode::kWrite, &b);
  EXPECT_TRUE(st.IsIoError() && st.file() == "b/area.jhr") << st.ToString();
  EXPECT_EQ(mem_.GetFile("b/area.jdx"), index);
}

// The same base under upper- and mixed-case extensions (as made elsewhere)
// opens and reads; a missing last-read file is made in the case of the
// header file's extension; the name part is matched as it is.
TEST_F(JamValueTest, ExtensionsInAnyCaseAndAMissingLastReadFile) {
  Post(Echo("first"));
  for (const auto& [name, exts] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"UP", {"JHR", "JDX", "JDT", "JLR"}}, {"Mixed", {"Jhr", "jDx", "JDT", "Jlr"}}}) {
    SCOPED_TRACE(name);
    const char* const lower[] = {"jhr", "jdx", "jdt"};
    for (size_t i = 0; i < 3; ++i) mem_.SetFile("b/" + name + "." + exts[i], mem_.GetFile(std::string("b/area.") + lower[i]));
    std::unique_ptr<Base> b;
    ASSERT_TRUE(OpenBase(mem_, "Jb/" + name, BaseMode::kWrite, &b).ok());
    std::vector<uint32_t> numbers;
    Message m;
    ASSERT_TRUE(b->List(&numbers).ok());
    EXPECT_EQ(numbers, std::vector<uint32_t>{1});
    EXPECT_TRUE(b->Read(1, &m).ok());
    b->Close();
    EXPECT_TRUE(mem_.HasFile("b/" + name + "." + exts[3]));
    EXPECT_FALSE(mem_.HasFile("b/" + name + ".jlr"));
  }
  std::unique_ptr<Base> b;
  EXPECT_TRUE(OpenBase(mem_, "Jb/mixed", BaseMode::kReadOnly, &b).IsNotFound());
}

// A base that lost a file is never created over; without its header file
// the base does not exist, and the files left are not written over either.
TEST_F(JamValueTest, ABaseMissingAFileIsNeverCreatedOver) {
  Post(Echo("first"));
  int err = 0;
  for (const char* gone : {"b/area.jdx", "b/area.jhr"}) {
    ASSERT_TRUE(mem_.Remove(gone, &err));
    const std::vector<std::string> files = mem_.Files();
    const std::string jdt = mem_.GetFile("b/area.jdt");
    std::unique_ptr<Base> b;
    const Status st = OpenBase(mem_, "Jb/area", BaseMode::kWrite, &b);
    EXPECT_TRUE(st.IsDamaged()) << st.ToString();
    EXPECT_EQ(mem_.Files(), files);
    EXPECT_EQ(mem_.GetFile("b/area.jdt"), jdt);
  }
  EXPECT_EQ(mem_.OpenFileCount(), 0);
}

// A header file that lost its base header beside any other file that holds
// data is damage: the open for posting refuses it, names the header file
// and writes nothing at all.
TEST_F(JamValueTest, AnEmptyHeaderFileBesideDataIsDamage) {
  for (const std::map<std::string, std::string>& others : std::vector<std::map<std::string, std::string>>{
           {{"b/area.jdx", std::string(16, '\x01')}},
           {{"b/area.jdx", ""}, {"b/area.jdt", ""}, {"b/area.jlr", std::string(16, 'x')}},
           {{"b/area.jdx", ""}, {"b/area.jdt", "text\r"}}}) {
    MemEnv mem;
    mem.SetFile("b/area.jhr", "");
    for (const auto& [name, bytes] : others) mem.SetFile(name, bytes);
    const std::vector<std::string> files = mem.Files();
    std::unique_ptr<Base> b;
    const Status st = OpenBase(mem, "Jb/area", BaseMode::kWrite, &b);
    EXPECT_TRUE(st.IsDamaged()) << st.ToString();
    EXPECT_EQ(st.Reason().rfind("b/area.jhr", 0), 0u) << st.Reason();
    EXPECT_EQ(mem.Files(), files);
    EXPECT_EQ(mem.GetFile("b/area.jhr"), "");
    for (const auto& [name, bytes] : others) EXPECT_EQ(mem.GetFile(name), bytes) << name;
  }
}

// A write that fails names its file and reason; what the append wrote is
// put back newest first, up to the first step that cannot be (a disk that
// stays full refuses the old base header too: the message then stays and
// the next open counts it), and the base takes no message until it is
// opened again.
TEST_F(JamValueTest, AFailedWriteIsPutBackAndStopsTheBase) {
  struct Case {
    int failingWrite;  // text, header, index record, base header
    bool truncatesFail;
    const char* file;
    bool kept;
  };
  for (const Case& c : {Case{0, false, "b/area.jdt", false}, Case{1, false, "b/area.jhr", false},
                        Case{2, false, "b/area.jdx", false}, Case{3, false, "b/area.jhr", true},
                        Case{2, true, "b/area.jdx", false}}) {
    SCOPED_TRACE(std::to_string(c.failingWrite) + (c.truncatesFail ? " truncates fail" : ""));
    mem_ = MemEnv();
    Post(Echo("first"));
    const std::string jhr = mem_.GetFile("b/area.jhr"), jdt = mem_.GetFile("b/area.jdt");
    const std::string jdx = mem_.GetFile("b/area.jdx");
    {
      FaultEnv faulty(mem_);
      std::unique_ptr<Base> b;
      ASSERT_TRUE(OpenBase(faulty, "Jb/area", BaseMode::kWrite, &b).ok());
      faulty.FailWritesFrom(c.failingWrite, false);
      if (c.truncatesFail) faulty.FailTruncates();
      uint32_t n = 0;
      const Status st = b->Append(Echo("second"), &n);
      EXPECT_TRUE(st.IsIoError()) << st.ToString();
      EXPECT_EQ(st.file(), c.file);
      EXPECT_EQ(st.systemError(), ENOSPC);
      faulty.Reset();
      EXPECT_TRUE(b->Append(Echo("second"), &n).IsRefused());
      b->Close();
    }
    if (c.truncatesFail) {
      // The index could not be put back: the header and text it might
      // point at stay.
      EXPECT_GT(mem_.GetFile("b/area.jdt").size(), jdt.size());
    } else if (!c.kept) {
      EXPECT_EQ(mem_.GetFile("b/area.jhr"), jhr);
      EXPECT_EQ(mem_.GetFile("b/area.jdt"), jdt);
    }
    EXPECT_EQ(mem_.GetFile("b/area.jdx").size(), jdx.size() + (c.kept ? 8 : 0));
    const uint32_t n = Post(Echo("third"));
    EXPECT_EQ(n, c.kept ? 3u : 2u);
    EXPECT_EQ(GetU32(mem_.GetFile("b/area.jhr").data() + 12), n);  // the active count
    Message m;
    ASSERT_TRUE(ReadBack(n, &m).ok());
    EXPECT_EQ(m.text[0], "third");
  }
}

}  // namespace
}  // namespace vex
