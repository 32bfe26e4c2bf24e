#include "core/stat_store.h"

#include <gtest/gtest.h>

#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

StatRecord Sample(int n) {
  StatRecord r;
  r.from = {2, 5020, static_cast<int16_t>(n), 0};
  r.origin = {-1, 1, 2, 3};
  r.to = {1, 2, 3, 4};
  r.area = "AREA" + std::to_string(n);
  r.areadesc = "desc";
  r.size = 0xFFFFFFFBu;
  r.year = 2026;
  r.month = 12;
  r.day = 8;
  r.hour = 23;
  r.minute = 59;
  r.second = 58;
  return r;
}

TEST(StatRecordTest, LayoutIsExactAndZeroFilled) {
  StatRecord r = Sample(7);
  std::string b = EncodeStatRecord(r);
  ASSERT_EQ(b.size(), 552u);
  EXPECT_EQ(b.substr(0, 8), std::string("\x02\x00\x9C\x13\x07\x00\x00\x00", 8));
  EXPECT_EQ(b.substr(8, 8), std::string("\xFF\xFF\x01\x00\x02\x00\x03\x00", 8));
  EXPECT_EQ(b[24], 5);
  EXPECT_EQ(b.substr(25, 5), "AREA7");
  EXPECT_EQ(b.substr(30, 250), std::string(250, '\0'));
  EXPECT_EQ(b[280], 4);
  EXPECT_EQ(b.substr(285, 251), std::string(251, '\0'));
  EXPECT_EQ(b.substr(536, 4), "\xFB\xFF\xFF\xFF");
  EXPECT_EQ(b.substr(540, 12),
            std::string("\xEA\x07\x0C\x00\x08\x00\x17\x00\x3B\x00\x3A\x00", 12));

  StatRecord d = DecodeStatRecord(b.data());
  EXPECT_EQ(EncodeStatRecord(d), b);
  EXPECT_EQ(d.origin, r.origin);
  EXPECT_EQ(d.area, "AREA7");
  EXPECT_EQ(d.size, 0xFFFFFFFBu);  // read back unsigned
}

TEST(StatRecordTest, LongStringsAreCutAndBadLengthBytesAreSafe) {
  StatRecord r;
  r.area = std::string(300, 'x');
  std::string b = EncodeStatRecord(r);
  EXPECT_EQ(static_cast<uint8_t>(b[24]), 255);
  EXPECT_EQ(DecodeStatRecord(b.data()).area, std::string(255, 'x'));
}

TEST(StatStoreTest, AppendAndReadBack) {
  MemEnv env;
  StatStoreAppender a;
  a.Open(env);
  for (int i = 0; i < 2000; ++i) a.Append(Sample(i));
  a.Close();
  a.Open(env);  // reopening appends after what is there
  a.Append(Sample(2000));
  a.Close();
  EXPECT_EQ(env.GetFile("stat.vx").size(), 2001 * 552u);
  StatStoreReader r;
  ASSERT_TRUE(r.Open(env));
  StatRecord rec;
  int n = 0;
  while (r.Next(rec)) EXPECT_EQ(rec.from.node, n++);
  EXPECT_EQ(n, 2001);
}

TEST(StatStoreTest, PartialTailIsIgnoredByReadersAndCutByTheAppender) {
  MemEnv env;
  std::string whole = EncodeStatRecord(Sample(1)) + EncodeStatRecord(Sample(2));
  env.SetFile("stat.vx", whole + std::string(100, 'Z'));
  StatStoreReader r;
  ASSERT_TRUE(r.Open(env));
  StatRecord rec;
  int n = 0;
  while (r.Next(rec)) ++n;
  EXPECT_EQ(n, 2);

  StatStoreAppender a;
  a.Open(env);
  a.Append(Sample(3));
  a.Close();
  EXPECT_EQ(env.GetFile("stat.vx"), whole + EncodeStatRecord(Sample(3)));
}

TEST(StatStoreTest, MissingStoreAndFailures) {
  MemEnv mem;
  StatStoreReader r;
  EXPECT_FALSE(r.Open(mem));
  FaultEnv env(mem);
  mem.SetFile("stat.vx", EncodeStatRecord(Sample(1)));
  // An existing store that cannot be opened is never replaced by a new one.
  env.FailOpen("stat.vx");
  StatStoreAppender a;
  EXPECT_THROW(a.Open(env), RunTimeError);
  EXPECT_EQ(mem.GetFile("stat.vx").size(), 552u);
  env.Reset();
  a.Open(env);
  env.FailWritesAfter(100);
  EXPECT_THROW(a.Append(Sample(2)), RunTimeError);
  a.Close();
  env.Reset();
  // The half-written record is cut away on the next open.
  a.Open(env);
  a.Append(Sample(3));
  a.Close();
  EXPECT_EQ(mem.GetFile("stat.vx"),
            EncodeStatRecord(Sample(1)) + EncodeStatRecord(Sample(3)));
  env.FailReadsAfter(10);
  ASSERT_TRUE(r.Open(env));
  StatRecord rec;
  EXPECT_THROW(r.Next(rec), RunTimeError);
}

}  // namespace
}  // namespace vex
