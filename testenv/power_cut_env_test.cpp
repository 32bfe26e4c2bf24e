#include "testenv/power_cut_env.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

// The files of a state as "name=contents" words.
std::string Files(const MemEnv& fs) {
  std::string out;
  for (const auto& [name, node] : fs.FileNodes()) {
    out += (out.empty() ? "" : " ") + name + "=" + node->data;
  }
  return out;
}

// A new file made durable (data, then its name), then an old file replaced
// by a rename that nothing syncs, written in two pieces across a 4 KiB
// boundary.
struct Recorded {
  MemEnv live;
  std::unique_ptr<PowerCutEnv> env;
  Recorded() {
    live.SetFile("d/old", "old");
    env = std::make_unique<PowerCutEnv>(live);
    int err = 0;
    auto f = env->Open("d/new", OpenMode::kCreate, &err);
    f->Append("abc", 3);
    f->Sync();
    env->ConsoleWrite("new is safe\n");
    env->SyncDirectory("d", &err);
    auto t = env->Open("d//tmp", OpenMode::kCreateExclusive, &err);
    t->WriteAt(0, std::string(4094, 'x').data(), 4094);
    t->WriteAt(4094, "yyyy", 4);
    env->Rename("d/tmp", "d/old", &err);
  }
};

TEST(PowerCutEnv, RecordsEveryMutationAndReplaysThePrefixes) {
  Recorded r;
  const auto& ops = r.env->ops();
  ASSERT_EQ(ops.size(), 8u);
  EXPECT_EQ(ops[0].kind, PowerCutOp::kCreate);
  EXPECT_EQ(ops[1].kind, PowerCutOp::kWrite);
  EXPECT_EQ(ops[6].offset, 4094u);
  EXPECT_EQ(ops[7].path2, "d/old");
  // Console text counts from the operation after it on.
  EXPECT_EQ(r.env->ConsoleBefore(2), "");
  EXPECT_EQ(r.env->ConsoleBefore(3), "new is safe\n");
  CrashState all;
  all.cut = ops.size();
  all.keep.assign(all.cut, 1);
  MemEnv fs;
  r.env->Materialise(all, fs);
  EXPECT_EQ(Files(fs), Files(r.live));
  EXPECT_EQ(r.env->unsupported(), "");
}

TEST(PowerCutEnv, StatesKeepOnlyWhatSyncsMadeDurable) {
  Recorded r;
  std::map<std::string, std::set<std::string>> byModel;  // outcomes
  std::set<std::string> seen;
  const std::string x(4094, 'x');
  const std::vector<CrashState> states = r.env->CrashStates({});
  for (const CrashState& s : states) {
    MemEnv fs;
    r.env->Materialise(s, fs);
    const std::string files = Files(fs);
    seen.insert(files);
    byModel[s.model.substr(0, 4)].insert(files);
    // Synced data under a synced name survives every cut after the sync.
    if (s.cut > 3) {
      EXPECT_NE(files.find("d/new=abc"), std::string::npos) << r.env->Describe(s);
    }
  }
  // Visited once each: distinct by files and console text.
  const size_t n = r.env->ForEachCrashState({}, [](const CrashState&, MemEnv&) {});
  EXPECT_GE(n, seen.size());
  EXPECT_LT(n, states.size());
  // The new file's name is lost before its directory sync.
  EXPECT_TRUE(seen.count("d/old=old"));
  // The rename landed without the data of the renamed file (strict POSIX),
  // never in the ext4-like order; the second write torn at the 4 KiB mark.
  EXPECT_TRUE(seen.count("d/new=abc d/old="));
  EXPECT_FALSE(byModel["ext4"].count("d/new=abc d/old="));
  EXPECT_TRUE(byModel["ext4"].count("d/new=abc d/old=" + x + "yyyy"));
  EXPECT_TRUE(seen.count("d/new=abc d/old=old d/tmp=" + x + "yy"));
  EXPECT_TRUE(seen.count("d/new=abc d/old=old d/tmp=" + x + std::string(2, '\0') + "yy"));
  EXPECT_TRUE(seen.count("d/new=abc d/old=old d/tmp=" + x + "y"));
  // The same seed gives the same states.
  PowerCutOptions few;
  few.subsetBound = 1;
  few.samples = 5;
  auto keeps = [&] {
    std::vector<std::vector<char>> out;
    for (const CrashState& s : r.env->CrashStates(few)) out.push_back(s.keep);
    return out;
  };
  EXPECT_EQ(keeps(), keeps());
  CrashState torn = r.env->CrashStates({})[0];
  for (const CrashState& s : r.env->CrashStates({})) {
    if (s.torn == 6) torn = s;
  }
  EXPECT_NE(r.env->Describe(torn).find("torn: #6 write d/tmp@4094+4"), std::string::npos)
      << r.env->Describe(torn);
}

TEST(PowerCutEnv, OverwritesTearOnlyAtSectorBoundaries) {
  MemEnv live;
  live.SetFile("f", std::string(1000, 'a'));
  PowerCutEnv env(live);
  int err = 0;
  env.Open("f", OpenMode::kReadWrite, &err)->WriteAt(700, std::string(400, 'b').data(), 400);
  std::set<std::pair<uint64_t, uint64_t>> torn;
  for (const CrashState& s : env.CrashStates({})) {
    if (s.torn == 0) torn.insert({s.tornBegin, s.tornEnd});
  }
  // Over the old bytes only at the sector boundary 1024, past the old end
  // (1000) after any byte.
  EXPECT_EQ(torn.count({0, 100}) + torn.count({0, 299}), 0u);
  EXPECT_EQ(torn.count({0, 324}) + torn.count({0, 300}) + torn.count({0, 301}) + torn.count({0, 399}), 4u);
}

}  // namespace
}  // namespace vex
