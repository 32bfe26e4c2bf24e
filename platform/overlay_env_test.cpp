#include "platform/overlay_env.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "platform/path.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

std::string Contents(Env& env, const std::string& path) {
  int err = 0;
  auto f = env.Open(path, OpenMode::kRead, &err);
  if (!f) return "<missing " + std::to_string(err) + ">";
  uint64_t size = 0;
  f->Size(&size);
  std::string s(size, '\0');
  EXPECT_EQ(f->ReadAt(0, s.data(), s.size()), static_cast<long long>(size));
  return s;
}

// What a program sees of a directory: names, sizes and contents.
std::string Listing(Env& env, const std::string& pattern) {
  std::string out;
  const std::string dir = pattern.substr(0, pattern.size() - NameOf(pattern).size());
  for (const DirEntry& e : env.Search(pattern))
    out += e.name + "=" + Contents(env, dir + e.name) + ";";
  for (const std::string& n : env.HiddenNames(dir)) out += n + ";";
  return out;
}

void Seed(MemEnv& env) {
  env.SetFile("d/big", std::string(10000, 'b'));
  env.SetFile("d/small", "small");
  env.SetFile("d/.hidden", "h");
  env.SetFile("gone", "x");
}

// Each step is run on a plain in-memory Env and on an overlay over another
// one: the overlay must show what the plain Env holds afterwards, and its
// target must be left exactly as it was.
struct Step {
  const char* name;
  std::function<void(Env&)> run;
};

void Write(Env& env, const std::string& path, OpenMode mode, uint64_t at,
           const std::string& bytes) {
  int err = 0;
  auto f = env.Open(path, mode, &err);
  ASSERT_NE(f, nullptr) << path << " " << err;
  ASSERT_TRUE(f->WriteAt(at, bytes.data(), bytes.size()));
}

const Step kSteps[] = {
    {"write across pages of a target file",
     [](Env& e) { Write(e, "d/big", OpenMode::kReadWrite, 4090, std::string(20, 'w')); }},
    {"grow past the end with a gap",
     [](Env& e) { Write(e, "d/small", OpenMode::kWrite, 9000, "end"); }},
    {"truncate then grow reads zeros, not the old bytes",
     [](Env& e) {
       int err = 0;
       auto f = e.Open("d/big", OpenMode::kReadWrite, &err);
       ASSERT_TRUE(f->Truncate(100));
       ASSERT_TRUE(f->WriteAt(5000, "z", 1));
     }},
    {"append to a target file",
     [](Env& e) { Write(e, "d/small", OpenMode::kAppend, 0, "+more"); }},
    {"create, exclusive create and empty",
     [](Env& e) {
       Write(e, "d/new", OpenMode::kCreateExclusive, 0, "n");
       int err = 0;
       EXPECT_EQ(e.Open("d/new", OpenMode::kCreateExclusive, &err), nullptr);
       EXPECT_EQ(err, EEXIST);
       EXPECT_EQ(e.Open("d/small", OpenMode::kCreateExclusive, &err), nullptr);
       Write(e, "d/small", OpenMode::kCreateWriteOnly, 0, "re");
       EXPECT_EQ(e.Open("nodir/x", OpenMode::kCreate, &err), nullptr);
       EXPECT_EQ(err, ENOENT);
     }},
    {"rename, link and remove",
     [](Env& e) {
       int err = 0;
       ASSERT_TRUE(e.Rename("d/big", "d/moved", &err));
       ASSERT_TRUE(e.Link("d/small", "d/linked", &err));
       EXPECT_FALSE(e.Link("d/small", "d/linked", &err));
       EXPECT_EQ(err, EEXIST);
       Write(e, "d/linked", OpenMode::kAppend, 0, "!");  // both names see it
       ASSERT_TRUE(e.Remove("gone", &err));
       EXPECT_FALSE(e.Remove("gone", &err));
       EXPECT_EQ(e.Open("gone", OpenMode::kRead, &err), nullptr);
       ASSERT_TRUE(e.Remove("d/.hidden", &err));
       Write(e, "d/.temp", OpenMode::kCreate, 0, "t");
     }},
    {"make a directory and a file in it",
     [](Env& e) {
       int err = 0;
       ASSERT_TRUE(e.MakeDirectory("d/sub", &err));
       ASSERT_TRUE(e.MakeDirectory("d/sub", &err));
       Write(e, "./d//sub/f.msg", OpenMode::kCreate, 0, "m");
       EXPECT_TRUE(e.Stat("d/sub").isDirectory);
     }},
};

TEST(OverlayEnv, ShowsEveryChangeAndLeavesTheTargetAsItWas) {
  MemEnv plain, target;
  Seed(plain);
  Seed(target);
  OverlayEnv overlay(target);
  for (const Step& step : kSteps) {
    SCOPED_TRACE(step.name);
    step.run(plain);
    step.run(overlay);
    for (const char* pattern : {"d/*", "d/sub/*", "*"})
      EXPECT_EQ(Listing(overlay, pattern), Listing(plain, pattern)) << pattern;
    for (const char* path : {"d/big", "d/small", "d/moved", "gone"}) {
      EXPECT_EQ(overlay.Stat(path).exists, plain.Stat(path).exists) << path;
      EXPECT_EQ(overlay.Stat(path).size, plain.Stat(path).size) << path;
    }
  }
  // Console output and locks stay in the overlay too.
  overlay.ConsoleWrite("line\n");
  int err = 0;
  EXPECT_TRUE(overlay.Open("d/small", OpenMode::kReadWrite, &err)->LockFirstByte(0));
  EXPECT_EQ(overlay.console(), "line\n");
  EXPECT_EQ(target.console(), "");
  MemEnv fresh;
  Seed(fresh);
  EXPECT_EQ(target.Files(), fresh.Files());
  for (const std::string& f : fresh.Files())
    EXPECT_EQ(target.GetFile(f), fresh.GetFile(f)) << f;
}

}  // namespace
}  // namespace vex
