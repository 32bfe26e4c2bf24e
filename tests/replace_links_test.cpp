// Another local user who may write to a folder a run writes to (the web
// folder of the reports, the collector's folder of the metrics, the node
// folder) plants symbolic links to a file of the sysop's: at the name of
// every temporary file a run makes, just as the run makes it, and at a
// result path.  The runs are the program's own, in this process, on the
// real file system.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "driver/driver.h"
#include "platform/env_wrapper.h"
#include "platform/exit.h"
#include "platform/path.h"
#include "tests/e2e_harness.h"

namespace vex {
namespace {

using e2e::ReadFile;
using e2e::WriteFile;

// Every file a run replaces, and its temporary name when that is fixed
// (else ".NAME.<random>.tmp").
const std::pair<const char*, const char*> kReplaced[] = {
    {"out/week.txt", nullptr},     {"out/vexstat.json", nullptr}, {"out/vexstat.csv", nullptr},
    {"out/vexstat.prom", nullptr}, {"vexstat.seq", nullptr},      {"stat.vx", "temp"},
};

// Plants a link to the victim, owned by `owner`, at the first temporary
// name of each replaced file, just before the run creates it.
class PlantingEnv : public EnvWrapper {
 public:
  PlantingEnv(std::string victim, uid_t owner)
      : EnvWrapper(*DefaultEnv()), victim_(std::move(victim)), owner_(owner) {}
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode, int* err) override {
    for (const auto& [file, fixed] : kReplaced) {
      const std::string name = NameOf(path);
      if (mode == OpenMode::kCreateExclusive && FolderOf(path) == FolderOf(file) && !planted[file] &&
          (fixed ? name == fixed : name.starts_with("." + NameOf(file) + ".")))
        planted[file] = ::symlink(victim_.c_str(), path.c_str()) == 0 && ::lchown(path.c_str(), owner_, owner_) == 0;
    }
    return EnvWrapper::Open(path, mode, err);
  }
  std::map<std::string, bool> planted;

 private:
  std::string victim_;
  uid_t owner_;
};

// One run in the current folder; the count of its error lines.
int RunProgram(Env& env, std::vector<std::string> args) {
  App app(env, std::move(args));
  try {
    RunDriver(app);
  } catch (const ProgramExit&) {
  }
  return app.log.ErrorLines();
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(ReplaceLinksTest, NoRunWritesThroughAnotherUsersLinkOrLeavesATemporaryFile) {
  const struct passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "another user's link needs lchown, so root";
  e2e::TempDir dir;
  char home[4096];
  ASSERT_TRUE(::getcwd(home, sizeof home) && ::chdir(dir.path().c_str()) == 0);
  struct Back {
    const char* to;
    ~Back() { EXPECT_EQ(::chdir(to), 0); }
  } back{home};
  e2e::MakeDirs("in");
  e2e::MakeDirs("out/real");
  WriteFile("victim", "the sysop's own file\n");
  for (const char* tic : {"in/a.tic", "in/b.tic", "in/c.tic"}) WriteFile(tic, "Area RU.TEST\r\nSize 100\r\n");
  WriteFile("areas.cfg", "EchoArea RU.TEST msgbase/test -b Msg\n");
  WriteFile("week.tpl", "@TOTALFILES files this week\r\n");
  WriteFile("vexstat.cfg",
            "LOGFILE vexstat.log\nADDRESS 2:5020/1\nTICPATH in/\nMAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\n"
            "EXPORT json out/vexstat.json\nEXPORT csv out/vexstat.csv\nEXPORT metrics out/vexstat.prom\n"
            "TPLFILENAME week.tpl out/week.txt RU.TEST\nTPLFILENAME week.tpl out/theirs.txt\n"
            "TPLFILENAME week.tpl out/own.txt\nTPLFILENAME week.tpl out/private.txt\n");
  // At result paths: another user's link, the sysop's own, and a file only
  // its group may read.
  ASSERT_EQ(::symlink("../victim", "out/theirs.txt"), 0);
  ASSERT_EQ(::lchown("out/theirs.txt", nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_EQ(::symlink("real/own-report.txt", "out/own.txt"), 0);
  WriteFile("out/private.txt", "old\r\n");
  ASSERT_EQ(::chmod("out/private.txt", 0640), 0);

  PlantingEnv env(dir / "victim", nobody->pw_uid);
  EXPECT_EQ(RunProgram(env, {}), 1);  // the refused result path
  EXPECT_NE(ReadFile("vexstat.log").find("out/theirs.txt: a symbolic link of another user, not followed"),
            std::string::npos);
  RunProgram(env, {"-L30"});  // the purge
  EXPECT_EQ(ReadFile("victim"), "the sysop's own file\n");
  for (const auto& [file, fixed] : kReplaced) {
    EXPECT_TRUE(env.planted[file]) << file << ": no link planted at its temporary name";
    EXPECT_FALSE(ReadFile(file).empty()) << file;
  }
  EXPECT_TRUE(IsLink("out/theirs.txt") && IsLink("out/own.txt"));
  for (const char* result : {"out/week.txt", "out/real/own-report.txt", "out/private.txt"})
    EXPECT_EQ(ReadFile(result), "3 files this week\r\n") << result;
  struct stat st {};
  EXPECT_TRUE(::stat("out/private.txt", &st) == 0 && (st.st_mode & 07777) == 0640);
  // Only the planted links are left at temporary names, and the next run
  // clears them.
  for (const char* folder : {".", "out"}) {
    for (const std::string& name : DefaultEnv()->HiddenNames(folder)) EXPECT_TRUE(IsLink(JoinPath(folder, name)));
  }
  RunProgram(*DefaultEnv(), {});
  for (const char* folder : {".", "out", "out/real"}) EXPECT_EQ(DefaultEnv()->HiddenNames(folder).size(), 0u) << folder;
  EXPECT_FALSE(e2e::FileExists("temp"));
  EXPECT_EQ(ReadFile("victim"), "the sysop's own file\n");
}

}  // namespace
}  // namespace vex
