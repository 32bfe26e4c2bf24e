#include <gtest/gtest.h>

#include <cerrno>

#include "msgbase/base.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

// A file system mounted read-only once frozen: opens for writing, removals,
// renames and new directories fail and are counted.
struct ReadOnlyFs : MemEnv {
  bool frozen = false;
  int refused = 0;
  bool Refuse(int* err) { return ++refused, *err = EROFS, false; }
  std::unique_ptr<File> Open(const std::string& p, OpenMode mode, int* err) override {
    return frozen && mode != OpenMode::kRead && Refuse(err) ? nullptr : MemEnv::Open(p, mode, err);
  }
  bool Remove(const std::string& p, int* e) override { return !frozen ? MemEnv::Remove(p, e) : Refuse(e); }
  bool Rename(const std::string& a, const std::string& b, int* e) override {
    return !frozen ? MemEnv::Rename(a, b, e) : Refuse(e);
  }
  bool MakeDirectory(const std::string& p, int* e) override { return !frozen ? MemEnv::MakeDirectory(p, e) : Refuse(e); }
};

// A damage: the file cut to `at` bytes (bytes empty), `bytes` written at
// `at`, or removed (at npos); then the base `area` (its own when empty)
// fails with `sentence`.
struct Case {
  std::string file;
  size_t at;
  std::string bytes, area, sentence;
};
struct Format {
  std::string area, lockFile;  // a base with messages 2 and 4; its lock
  std::vector<Case> cases;     // the last one damages message 2
};

void Build(ReadOnlyFs& fs, const std::string& area) {
  std::unique_ptr<Base> base;
  ASSERT_TRUE(OpenBase(fs, area, BaseMode::kWrite, &base).ok());
  for (int i = area[0] == 'M' ? 2 : 1; i <= 4; ++i) {  // 1 and 3 deleted
    Message m;
    m.subject = "Part " + std::to_string(i);
    m.written = m.arrived = ToMsgDateTime(fs.Now());
    uint32_t n = 0;
    ASSERT_TRUE(base->Append(m, &n).ok());
    if (i % 2 == 1) { ASSERT_TRUE(base->Delete(n).ok()); }
  }
  ASSERT_TRUE(base->Close().ok());
}

void Damage(ReadOnlyFs& fs, const Case& c) {
  if (int err = 0; c.at == std::string::npos) fs.Remove(c.file, &err);
  std::string data = fs.GetFile(c.file);
  if (!data.empty()) fs.SetFile(c.file, c.bytes.empty() ? data.substr(0, c.at) : data.replace(c.at, c.bytes.size(), c.bytes));
}

std::string Contents(const ReadOnlyFs& fs) {
  std::string out;
  for (const auto& f : fs.Files()) out += f + ":" + fs.GetFile(f) + "\n";
  return out;
}

class ReadOnlyOpenTest : public ::testing::TestWithParam<Format> {};

TEST_P(ReadOnlyOpenTest, ReadsALockedBaseOnAReadOnlyFileSystemAndChangesNothing) {
  ReadOnlyFs fs;
  Build(fs, GetParam().area);
  int e = 0;
  auto holder = fs.Open(GetParam().lockFile, OpenMode::kReadWrite, &e);
  ASSERT_TRUE(GetParam().lockFile.empty() || holder->LockFirstByte(0));
  const std::string before = Contents(fs);
  fs.frozen = true;
  std::unique_ptr<Base> b;
  const Status opened = OpenBase(fs, GetParam().area, BaseMode::kReadOnly, &b);
  ASSERT_TRUE(opened.ok()) << opened.ToString();
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(b->List(&numbers).ok());
  std::string walk;
  for (uint32_t n : numbers) {
    Message m;
    walk += std::to_string(n) + (b->Read(n, &m).ok() ? m.subject : "?") + " ";
  }
  EXPECT_EQ(walk, "2Part 2 4Part 4 ");
  uint32_t n = 0;
  EXPECT_TRUE(b->Append(Message{}, &n).IsRefused());
  EXPECT_TRUE(b->Delete(2).IsRefused());
  b.reset();
  EXPECT_EQ(Contents(fs), before);
  EXPECT_EQ(fs.refused, 0);
  EXPECT_EQ(fs.OpenFileCount(), holder ? 1 : 0);
}

TEST_P(ReadOnlyOpenTest, DamageIsNamedWithItsFile) {
  for (const Case& c : GetParam().cases) {
    ReadOnlyFs fs;
    Build(fs, GetParam().area);
    Damage(fs, c);
    std::unique_ptr<Base> base;
    const Status opened = OpenBase(fs, c.area.empty() ? GetParam().area : c.area, BaseMode::kReadOnly, &base);
    if (&c == &GetParam().cases.back()) {
      ASSERT_TRUE(opened.ok());
      Message m;
      const Status read = base->Read(2, &m);
      EXPECT_TRUE(read.IsDamaged());
      EXPECT_EQ(read.sentence(), c.sentence);
    } else {
      EXPECT_FALSE(opened.ok()) << c.sentence;
      EXPECT_EQ(opened.sentence(), c.sentence);
      EXPECT_EQ(opened.kind(), c.area.empty() ? Status::Kind::kDamaged : Status::Kind::kNotFound);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadOnlyOpenTest,
    ::testing::Values(
        Format{"Jecho/area", "echo/area.jhr",
               {{"echo/area.jhr", 100, "", "", "echo/area.jhr is damaged: 100 bytes, shorter than the 1024-byte base header"},
                {"echo/area.jhr", 0, "MAJ", "", "echo/area.jhr is damaged: it does not begin with the JAM signature"},
                {"", 0, "", "Jnowhere/x", "no message base at nowhere/x: nowhere/x.jhr does not exist"},
                {"echo/area.jdx", std::string::npos, "", "", "the JAM base echo/area is damaged: echo/area.jdx does not exist"},
                {"echo/area.jhr", 0, "", "", "echo/area.jhr is damaged: it is empty while echo/area.jdx holds messages"},
                {"echo/area.jdx", 12, "\xff\xff\xff\x7f", "",
                 "echo/area.jdx is damaged: the index record of message 2 at offset 8 points at 2147483647, "
                 "outside the message headers of echo/area.jhr (1024..1568)"}}},
        Format{"Secho/area", "echo/area.sqd",
               {{"echo/area.sqd", 100, "", "", "echo/area.sqd is damaged: 100 bytes, shorter than the 256-byte base header, while echo/area.sqi holds 24 bytes"},
                {"", 0, "", "Snowhere/x", "no message base at nowhere/x: nowhere/x.sqd does not exist"},
                {"echo/area.sqi", std::string::npos, "", "", "the base lacks its index file"},
                {"echo/area.sqd", 0, "", "", "echo/area.sqd is damaged: empty, while echo/area.sqi holds 24 bytes"},
                {"echo/area.sqi", 0, "\xff\xff\xff\x7f", "", "message 2: its frame at offset 2147483647 lies outside the data (256..1328)"}}},
        Format{"Mnet", "",
               {{"", 0, "", "Mnowhere", "no message base at nowhere: the directory does not exist"},
                {"net/2.msg", 0, "", "Mnet/2.msg", "net/2.msg is not a directory"},
                {"net/2.msg", 5, "", "", "net/2.msg is damaged: 5 bytes, shorter than the 190-byte message header"}}}),
    [](const auto& info) { return std::string(1, info.param.area[0]); });

}  // namespace
}  // namespace vex
