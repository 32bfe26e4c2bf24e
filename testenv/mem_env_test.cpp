#include "testenv/mem_env.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "testenv/fault_env.h"

namespace vex {
namespace {

std::string ReadFile(File& f) {
  uint64_t size = 0;
  EXPECT_TRUE(f.Size(&size));
  std::string s(size, '\0');
  EXPECT_EQ(f.ReadAt(0, s.data(), s.size()), static_cast<long long>(size));
  return s;
}

TEST(MemEnv, OpenModes) {
  MemEnv env;
  int err = 0;
  EXPECT_EQ(env.Open("a", OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(err, ENOENT);
  EXPECT_EQ(env.Open("a", OpenMode::kReadWrite, &err), nullptr);
  EXPECT_EQ(env.Open("a", OpenMode::kWrite, &err), nullptr);
  EXPECT_EQ(err, ENOENT);

  auto f = env.Open("a", OpenMode::kCreateExclusive, &err);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->WriteAt(0, "hello", 5));
  EXPECT_TRUE(f->WriteAt(7, "!", 1));  // a gap is filled with zeros
  EXPECT_EQ(env.GetFile("a"), std::string("hello\0\0!", 8));
  EXPECT_EQ(env.Open("a", OpenMode::kCreateExclusive, &err), nullptr);
  EXPECT_EQ(err, EEXIST);

  auto r = env.Open("a", OpenMode::kRead, &err);
  ASSERT_NE(r, nullptr);
  char buf[4];
  EXPECT_EQ(r->ReadAt(6, buf, 4), 2);
  EXPECT_EQ(r->ReadAt(8, buf, 4), 0);
  EXPECT_FALSE(r->WriteAt(0, "x", 1));
  EXPECT_EQ(r->LastError(), EBADF);
  EXPECT_FALSE(r->Truncate(0));

  auto w = env.Open("a", OpenMode::kWrite, &err);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->ReadAt(0, buf, 1), -1);
  EXPECT_EQ(w->LastError(), EBADF);
  EXPECT_TRUE(w->Truncate(2));
  EXPECT_EQ(ReadFile(*r), "he");

  // kCreate truncates an existing file; open handles see the same contents.
  auto c = env.Open("a", OpenMode::kCreate, &err);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ReadFile(*r), "");
  EXPECT_EQ(env.OpenFileCount(), 4);
  f.reset();
  r.reset();
  w.reset();
  c.reset();
  EXPECT_EQ(env.OpenFileCount(), 0);
}

TEST(MemEnv, DirectoriesAndErrors) {
  MemEnv env;
  int err = 0;
  EXPECT_EQ(env.Open("d/a", OpenMode::kCreate, &err), nullptr);
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(env.MakeDirectory("d/e", &err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_TRUE(env.MakeDirectory("d", &err));
  EXPECT_TRUE(env.MakeDirectory("d/", &err));  // exists afterwards: true
  EXPECT_TRUE(env.MakeDirectory("d/e", &err));
  EXPECT_NE(env.Open("./d//a", OpenMode::kCreate, &err), nullptr);
  EXPECT_TRUE(env.HasFile("d/a"));
  EXPECT_EQ(env.Open("d", OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(err, EISDIR);
  EXPECT_EQ(env.Open("d/a/x", OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(err, ENOTDIR);
  EXPECT_FALSE(env.MakeDirectory("d/a", &err));
  EXPECT_EQ(err, EEXIST);

  FileInfo info = env.Stat("d");
  EXPECT_TRUE(info.exists && info.isDirectory);
  info = env.Stat("d/a");
  EXPECT_TRUE(info.exists && !info.isDirectory);
  EXPECT_FALSE(env.Stat("d/zz").exists);
  EXPECT_FALSE(env.Stat("").exists);
  EXPECT_TRUE(env.Stat(".").isDirectory);
  EXPECT_TRUE(env.Stat("/").isDirectory);

  EXPECT_FALSE(env.Remove("d", &err));
  EXPECT_EQ(err, EISDIR);
  EXPECT_FALSE(env.Remove("d/zz", &err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_TRUE(env.Remove("d/a", &err));
  EXPECT_FALSE(env.HasFile("d/a"));
}

TEST(MemEnv, RenameReplacesInOneStep) {
  MemEnv env;
  int err = 0;
  env.SetFile("stat.vx", "old");
  env.SetFile("temp", "new");
  auto open = env.Open("stat.vx", OpenMode::kRead, &err);
  EXPECT_TRUE(env.Rename("temp", "stat.vx", &err));
  EXPECT_EQ(env.GetFile("stat.vx"), "new");
  EXPECT_FALSE(env.HasFile("temp"));
  // A file opened before keeps its old contents, as on POSIX.
  EXPECT_EQ(ReadFile(*open), "old");
  EXPECT_FALSE(env.Rename("temp", "x", &err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(env.Rename("stat.vx", "nodir/x", &err));
  EXPECT_EQ(err, ENOENT);

  env.SetFile("base/a.msg", "1");
  EXPECT_TRUE(env.Rename("base", "moved", &err));
  EXPECT_EQ(env.GetFile("moved/a.msg"), "1");
  EXPECT_FALSE(env.HasDirectory("base"));
  EXPECT_TRUE(env.HasDirectory("moved"));
}

TEST(MemEnv, SearchMatchesLikeTheRealOne) {
  MemEnv env;
  env.SetFile("in/B.TIC", "b");
  env.SetFile("in/a.tic", "a");
  env.SetFile("in/.hidden.tic", "h");
  env.SetFile("in/c.tic.bak", "c");
  env.SetFile("in/sub/d.tic", "d");
  env.SetFile("in/x1.tic", "x");
  env.SetFile("e.tic", "e");
  env.AddDirectory("in/dir.tic");
  std::vector<std::string> names;
  for (const DirEntry& e : env.Search("in/*.tic")) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"B.TIC", "a.tic", "x1.tic"}));
  names.clear();
  for (const DirEntry& e : env.Search("./in//?.TIC")) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"B.TIC", "a.tic"}));
  ASSERT_EQ(env.Search("*.tic").size(), 1u);
  EXPECT_EQ(env.Search("*.tic")[0].name, "e.tic");
  EXPECT_TRUE(env.Search("none/*").empty());
  EXPECT_EQ(env.Search("in/a.tic")[0].size, 1u);
}

TEST(MemEnv, ClockTimesConsoleAndTitles) {
  MemEnv env;
  ClockTime t;
  t.year = 2002;
  t.month = 3;
  t.day = 5;
  t.hour = 10;
  t.minute = 20;
  t.second = 31;
  env.SetNow(t);
  EXPECT_EQ(env.Now().day, 5);
  env.SetFile("f", "x");
  FileTime ft = env.Stat("f").mtime;
  EXPECT_EQ(ft.year, 2002);
  EXPECT_EQ(ft.second, 30);  // rounded down to even
  FileTime set;
  set.year = 1999;
  set.day = 9;
  env.SetModTime("f", set);
  EXPECT_EQ(env.Search("f")[0].mtime.day, 9);
  int err = 0;
  auto f = env.Open("f", OpenMode::kRead, &err);
  ASSERT_TRUE(f->ModTime(&ft));
  EXPECT_EQ(ft.year, 1999);
  EXPECT_TRUE(f->Sync());
  EXPECT_EQ(env.SyncCount("f"), 1);

  t.year = 1975;
  EXPECT_EQ(ToFileTime(t).year, 1980);
  EXPECT_EQ(ToFileTime(t).month, 1);

  env.ConsoleWrite("\x8E\xE8");
  env.ConsoleWrite("b");
  env.ErrorWrite("e");
  EXPECT_EQ(env.console(), "\x8E\xE8" "b");
  EXPECT_EQ(env.errors(), "e");

  env.SaveTitle();
  env.SetTitle("one");
  env.SetTitle("two");
  EXPECT_EQ(env.title(), "two");
  env.RestoreTitle();
  EXPECT_EQ(env.title(), "");
  EXPECT_EQ(env.titles(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(env.saveTitleCount(), 1);
  EXPECT_EQ(env.restoreTitleCount(), 1);
}

TEST(MemEnv, LockOnFirstByteIsExclusiveUntilClosed) {
  MemEnv env;
  env.SetFile("base.jhr", "x");
  int err = 0;
  auto a = env.Open("base.jhr", OpenMode::kReadWrite, &err);
  auto b = env.Open("base.jhr", OpenMode::kReadWrite, &err);
  EXPECT_TRUE(a->LockFirstByte(0));
  EXPECT_TRUE(a->LockFirstByte(0));
  EXPECT_FALSE(b->LockFirstByte(10));
  a.reset();
  EXPECT_TRUE(b->LockFirstByte(10));
}

TEST(FaultEnv, WritesFailAfterTheBudgetKeepingWhatFits) {
  MemEnv mem;
  FaultEnv env(mem);
  int err = 0;
  auto f = env.Open("out", OpenMode::kCreate, &err);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->WriteAt(0, "abc", 3));
  env.FailWritesAfter(4);
  EXPECT_TRUE(f->WriteAt(3, "de", 2));
  EXPECT_FALSE(f->WriteAt(5, "fghij", 5));
  EXPECT_EQ(f->LastError(), ENOSPC);
  EXPECT_EQ(mem.GetFile("out"), "abcdefg");
  EXPECT_FALSE(f->WriteAt(7, "x", 1));
  EXPECT_EQ(env.bytesWritten(), 7u);
  EXPECT_EQ(env.injectedFailures(), 2);
  env.Reset();
  EXPECT_TRUE(f->WriteAt(7, "h", 1));
  EXPECT_EQ(mem.GetFile("out"), "abcdefgh");
  // An error of the wrapped file comes through unchanged.
  auto r = env.Open("out", OpenMode::kRead, &err);
  EXPECT_FALSE(r->WriteAt(0, "x", 1));
  EXPECT_EQ(r->LastError(), EBADF);
}

TEST(FaultEnv, OpensRenamesRemovesSyncsAndReads) {
  MemEnv mem;
  mem.SetFile("stat.vx", "records");
  mem.SetFile("temp", "new");
  FaultEnv env(mem);
  int err = 0;
  env.FailOpen("stat.vx", EACCES);
  EXPECT_EQ(env.Open("stat.vx", OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(err, EACCES);
  env.FailCreate("temp", ENOSPC);
  EXPECT_NE(env.Open("temp", OpenMode::kRead, &err), nullptr);
  EXPECT_EQ(env.Open("temp", OpenMode::kCreate, &err), nullptr);
  EXPECT_EQ(err, ENOSPC);
  EXPECT_EQ(mem.GetFile("temp"), "new");  // nothing truncated

  env.FailRenames();
  EXPECT_FALSE(env.Rename("temp", "stat.vx", &err));
  EXPECT_EQ(err, EIO);
  EXPECT_EQ(mem.GetFile("stat.vx"), "records");
  env.FailRemoves();
  EXPECT_FALSE(env.Remove("temp", &err));
  EXPECT_TRUE(mem.HasFile("temp"));

  env.Reset();
  auto f = env.Open("stat.vx", OpenMode::kReadWrite, &err);
  ASSERT_NE(f, nullptr);
  env.FailSyncs();
  EXPECT_FALSE(f->Sync());
  env.FailTruncates();
  EXPECT_FALSE(f->Truncate(0));
  EXPECT_EQ(mem.GetFile("stat.vx"), "records");
  env.FailReadsAfter(3);
  char buf[16];
  EXPECT_EQ(f->ReadAt(0, buf, sizeof buf), 3);
  EXPECT_EQ(f->ReadAt(3, buf, sizeof buf), -1);
  EXPECT_EQ(f->LastError(), EIO);

  // Everything else passes through.
  env.ConsoleWrite("c");
  env.SetTitle("t");
  EXPECT_EQ(mem.console(), "c");
  EXPECT_EQ(mem.title(), "t");
  EXPECT_EQ(env.Now().year, mem.Now().year);
  EXPECT_EQ(env.Search("*").size(), 2u);
  EXPECT_TRUE(env.Stat("temp").exists);
}

}  // namespace
}  // namespace vex
