#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/cp866.h"
#include "platform/env.h"
#include "platform/exit.h"
#include "platform/wildcard.h"

namespace vex {
namespace {

TEST(Cp866Test, ConvertsEveryHighByteAndBack) {
  std::string all;
  for (int b = 0x80; b <= 0xFF; ++b) all += static_cast<char>(b);
  std::string utf8 = Cp866ToUtf8(all);
  EXPECT_EQ(Utf8ToCp866(utf8), all);
  EXPECT_EQ(Cp866ToUtf8("abc\x01"), "abc\x01");
  EXPECT_EQ(Cp866ToUtf8("\xFE\xF9\x2A\xFA\xDB"), "■∙*·█");
  EXPECT_EQ(Cp866("Анализирую"), "\x80\xAD\xA0\xAB\xA8\xA7\xA8\xE0\xE3\xEE");
  EXPECT_EQ(Cp866ToUtf8("\xC4"), "─");
  EXPECT_EQ(Cp866ToUtf8("\xF1"), "ё");
  EXPECT_EQ(Utf8ToCp866("€"), "?");  // not in the code page
}

TEST(WildcardTest, MatchesLikeTheOldFileSystems) {
  EXPECT_TRUE(WildcardMatch("*.tic", "ABCD1234.TIC"));
  EXPECT_TRUE(WildcardMatch("*.t??", "x.tic"));
  EXPECT_FALSE(WildcardMatch("*.t??", "x.ti"));
  EXPECT_TRUE(WildcardMatch("*", "anything"));
  EXPECT_FALSE(WildcardMatch("*.tic", "a.tic.bak"));
  EXPECT_TRUE(WildcardMatch("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(WildcardMatch("a*b*c", "aXXbYY"));
  EXPECT_FALSE(WildcardMatch("\xA0*", "\x80x"));  // Cyrillic letters are not folded
  std::string longName(5000, 'a');
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*b", longName));
}

class PosixEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexenvXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string dir_;
  Env& env_ = *DefaultEnv();
};

TEST_F(PosixEnvTest, FilesReadWriteTruncateAndReportErrors) {
  int err = 0;
  EXPECT_EQ(env_.Open(dir_ + "missing", OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(err, ENOENT);
  EXPECT_EQ(Win32ErrorCode(env_, err, dir_ + "missing"), 2);
  EXPECT_EQ(Win32ErrorCode(env_, ENOENT, dir_ + "nodir/missing"), 3);
  EXPECT_EQ(Win32ErrorCode(env_, EACCES, dir_ + "x"), 5);

  auto f = env_.Open(dir_ + "a", OpenMode::kCreate, &err);
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(f->WriteAt(0, "hello world", 11));
  char buf[32];
  EXPECT_EQ(f->ReadAt(6, buf, sizeof buf), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  ASSERT_TRUE(f->Truncate(5));
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size));
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(env_.Open(dir_ + "a", OpenMode::kCreateExclusive, &err), nullptr);
  EXPECT_EQ(err, EEXIST);
  EXPECT_EQ(env_.Open(dir_, OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(err, EISDIR);
}

TEST_F(PosixEnvTest, SearchFindsRegularVisibleFilesSortedAnyCase) {
  for (const char* name : {"B.TIC", "a.tic", ".hidden.tic", "c.txt"})
    std::ofstream(dir_ + name) << "x";
  ASSERT_EQ(mkdir((dir_ + "d.tic").c_str(), 0777), 0);
  ASSERT_EQ(symlink((dir_ + "a.tic").c_str(), (dir_ + "link.tic").c_str()), 0);
  ASSERT_EQ(symlink((dir_ + "d.tic").c_str(), (dir_ + "dirlink.tic").c_str()), 0);
  auto found = env_.Search(dir_ + "*.tic");
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "B.TIC");
  EXPECT_EQ(found[1].name, "a.tic");
  EXPECT_EQ(found[2].name, "link.tic");
  EXPECT_TRUE(env_.Search(dir_ + "nowhere/*.tic").empty());
  // The names alone, from the listing, are the same, in any order.
  std::vector<std::string> names = env_.SearchNames(dir_ + "*.tic");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"B.TIC", "a.tic", "link.tic"}));
  EXPECT_TRUE(env_.SearchNames(dir_ + "nowhere/*.tic").empty());
  // A directory given without its final separator joins with the mask.
  EXPECT_TRUE(env_.Search(dir_.substr(0, dir_.size() - 1) + "*.tic").empty());
}

TEST_F(PosixEnvTest, ModificationTimeIsUnpackedAsDosTime) {
  std::ofstream(dir_ + "old") << "x";
  std::ofstream(dir_ + "new") << "x";
  ASSERT_EQ(std::system(("touch -d '1975-06-01 10:00:00' " + dir_ + "old").c_str()), 0);
  ASSERT_EQ(std::system(("touch -d '2024-03-05 07:08:09' " + dir_ + "new").c_str()), 0);
  FileInfo old = env_.Stat(dir_ + "old");
  EXPECT_EQ(old.mtime.year, 1980);
  EXPECT_EQ(old.mtime.month, 1);
  EXPECT_EQ(old.mtime.hour, 0);
  FileInfo neu = env_.Stat(dir_ + "new");
  EXPECT_EQ(neu.mtime.year, 2024);
  EXPECT_EQ(neu.mtime.day, 5);
  EXPECT_EQ(neu.mtime.second, 8);  // rounded down to even
}

TEST_F(PosixEnvTest, LockOnFirstByteExcludesASecondOpen) {
  int err = 0;
  auto a = env_.Open(dir_ + "base", OpenMode::kCreate, &err);
  auto b = env_.Open(dir_ + "base", OpenMode::kReadWrite, &err);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->LockFirstByte(0));
  EXPECT_FALSE(b->LockFirstByte(120));
  a.reset();
  EXPECT_TRUE(b->LockFirstByte(0));
}

TEST(ExitTest, FailIoCarriesOperationFileAndError) {
  try {
    FailIo("write", "stat.vx", ENOSPC);
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.op(), "write");
    EXPECT_EQ(e.path(), "stat.vx");
    EXPECT_EQ(e.err(), ENOSPC);
    EXPECT_FALSE(SystemErrorText(ENOSPC).empty());
  }
}

}  // namespace
}  // namespace vex
