// The value calls over every format: a message reads back as appended,
// List gives the numbers present, Delete removes one, and each way an open
// can fail has its own kind.
#include "msgbase/base.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

struct FormatCase {
  char type;
  const char* lockFile;     // the file whose lock guards the base; "" when none
  const char* damagedFile;  // a file written with garbage
  Status::Kind damagedOpen; // what an open for writing says then
};

class BaseTest : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    ClockTime t;
    t.year = 2024, t.month = 2, t.day = 29, t.hour = 13, t.minute = 45, t.second = 10;
    mem_.SetNow(t);
  }
  std::string Area() const { return GetParam().type + std::string("b/area"); }
  static Message Sample(int k) {
    Message m;
    m.from = "Sysop";
    m.to = "Someone " + std::to_string(k);
    m.subject = "Statistics " + std::to_string(k);
    m.orig = FtnAddress{2, 5020, 1, 0};
    m.dest = FtnAddress{2, 5020, 2, static_cast<int16_t>(k)};
    m.written = MsgDateTime{13, 45, 10, 0, 29, 2, 2024};
    m.arrived = m.written;
    m.attributes = AttrPrivate | AttrLocal | AttrTypeNet;
    m.kludges = AddressKludges(m.orig, m.dest, true, 0x1000 + k);
    m.kludges.push_back("PID: test");
    m.kludges.push_back("CHRS: CP866 2");
    m.text = {"line " + std::to_string(k), "", "--- tear", " * Origin: here (2:5020/1)"};
    return m;
  }
  MemEnv mem_;
};

TEST_P(BaseTest, MessagesReadBackAsAppendedAndDeleteRemovesOne) {
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem_, Area(), BaseMode::kWrite, &b).ok());
  std::vector<uint32_t> numbers;
  for (int k = 1; k <= 3; ++k) {
    uint32_t n = 0;
    ASSERT_TRUE(b->Append(Sample(k), &n).ok());
    numbers.push_back(n);
  }
  std::vector<uint32_t> listed;
  ASSERT_TRUE(b->List(&listed).ok());
  EXPECT_EQ(listed, numbers);
  for (int k = 1; k <= 3; ++k) {
    Message got;
    ASSERT_TRUE(b->Read(numbers[k - 1], &got).ok());
    Message want = Sample(k);
    EXPECT_EQ(got.from, want.from);
    EXPECT_EQ(got.to, want.to);
    EXPECT_EQ(got.subject, want.subject);
    EXPECT_EQ(AddressToText(got.orig), AddressToText(want.orig));
    EXPECT_EQ(AddressToText(got.dest), AddressToText(want.dest));
    EXPECT_EQ(got.written, want.written);
    EXPECT_EQ(got.attributes & 0xFFFF, want.attributes & 0xFFFF);
    // JAM keeps the address kludges in its address fields and puts them last.
    std::sort(got.kludges.begin(), got.kludges.end());
    std::sort(want.kludges.begin(), want.kludges.end());
    EXPECT_EQ(got.kludges, want.kludges);
    EXPECT_EQ(got.text, want.text);
  }
  ASSERT_TRUE(b->Delete(numbers[1]).ok());
  EXPECT_TRUE(b->Delete(numbers[1]).IsNotFound());
  Message gone;
  EXPECT_TRUE(b->Read(numbers[1], &gone).IsNotFound());
  ASSERT_TRUE(b->Close().ok());

  // Another open sees the same, read-only too, and refuses changes there.
  ASSERT_TRUE(OpenBase(mem_, Area(), BaseMode::kReadOnly, &b).ok());
  ASSERT_TRUE(b->List(&listed).ok());
  EXPECT_EQ(listed, (std::vector<uint32_t>{numbers[0], numbers[2]}));
  uint32_t n = 0;
  EXPECT_TRUE(b->Append(Sample(4), &n).IsRefused());
  EXPECT_TRUE(b->Delete(numbers[0]).IsRefused());
}

TEST_P(BaseTest, EachFailedOpenSaysItsKind) {
  std::unique_ptr<Base> b;
  Status st = OpenBase(mem_, Area(), BaseMode::kReadOnly, &b);
  EXPECT_TRUE(st.IsNotFound()) << st.ToString();
  EXPECT_FALSE(b);
  EXPECT_TRUE(OpenBase(mem_, "Xb/area", BaseMode::kWrite, &b).IsRefused());
  EXPECT_TRUE(OpenBase(mem_, std::string(1, GetParam().type), BaseMode::kWrite, &b).IsRefused());

  // A base held by another program.
  uint32_t n = 0;
  ASSERT_TRUE(OpenBase(mem_, Area(), BaseMode::kWrite, &b).ok());
  ASSERT_TRUE(b->Append(Sample(1), &n).ok());
  ASSERT_TRUE(b->Close().ok());
  if (*GetParam().lockFile) {
    int err = 0;
    std::unique_ptr<File> held = mem_.Open(GetParam().lockFile, OpenMode::kReadWrite, &err);
    ASSERT_TRUE(held && held->LockFirstByte(0));
    st = OpenBase(mem_, Area(), BaseMode::kWrite, &b);
    EXPECT_TRUE(st.IsBusy()) << st.ToString();
    EXPECT_EQ(st.Reason(), std::string(GetParam().lockFile) + ": the base is locked by another program");
    EXPECT_TRUE(OpenBase(mem_, Area(), BaseMode::kReadOnly, &b).ok());
  }

  // A damaged one: refused at the open, or the message at its read.
  mem_.SetFile(GetParam().damagedFile, std::string(100, 'X'));
  for (BaseMode mode : {BaseMode::kReadOnly, BaseMode::kWrite}) {
    st = OpenBase(mem_, Area(), mode, &b);
    EXPECT_EQ(st.kind(), GetParam().damagedOpen) << st.ToString();
    if (!st.ok()) {
      EXPECT_NE(st.ToString().find("b/area"), std::string::npos) << st.ToString();
      continue;
    }
    Message m;
    st = b->Read(n, &m);
    EXPECT_TRUE(st.IsDamaged()) << st.ToString();
  }
}

TEST_P(BaseTest, ASystemFailureNamesTheFileAndTheReason) {
  std::unique_ptr<Base> b;
  uint32_t n = 0;
  ASSERT_TRUE(OpenBase(mem_, Area(), BaseMode::kWrite, &b).ok());
  ASSERT_TRUE(b->Append(Sample(1), &n).ok());
  ASSERT_TRUE(b->Close().ok());
  {
    FaultEnv full(mem_);
    full.FailWritesAfter(0, ENOSPC);
    ASSERT_TRUE(OpenBase(full, Area(), BaseMode::kWrite, &b).ok());
    Status st = b->Append(Sample(2), &n);
    EXPECT_TRUE(st.IsIoError()) << st.ToString();
    EXPECT_EQ(st.systemError(), ENOSPC) << st.ToString();
    EXPECT_EQ(st.file().rfind("b/area", 0), 0u) << st.ToString();
    EXPECT_NE(st.file(), "b/area") << st.ToString();
    ASSERT_TRUE(b->Close().ok());
  }
  if (*GetParam().lockFile) {
    FaultEnv readOnly(mem_);
    readOnly.FailOpen(GetParam().lockFile, EROFS);
    Status st = OpenBase(readOnly, Area(), BaseMode::kWrite, &b);
    EXPECT_EQ(st.Reason(), std::string(GetParam().lockFile) + ": " + SystemErrorText(EROFS));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BaseTest,
    ::testing::Values(FormatCase{'J', "b/area.jhr", "b/area.jhr", Status::Kind::kDamaged},
                      FormatCase{'S', "b/area.sqd", "b/area.sqd", Status::Kind::kDamaged},
                      FormatCase{'M', "", "b/area/2.msg", Status::Kind::kOk}),
    [](const auto& info) { return std::string(1, info.param.type); });

}  // namespace
}  // namespace vex
