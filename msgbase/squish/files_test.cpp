// The files of a Squish base: creation, names, case, the lock, deletion.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "msgbase/squish/squish.h"
#include "msgbase/squish/squish_test_base.h"
#include "platform/env_wrapper.h"
#include "testenv/fault_env.h"

namespace vex {
namespace {

using namespace squish_testing;

TEST_F(SquishTest, DeleteFreesTheFrameAndANewMessageGoesAtTheEnd) {
  auto b = Open();
  Post(*b, "All", {std::string(300, 'a')});
  const uint32_t at2 = static_cast<uint32_t>(Sqd().size());
  Post(*b, "All", {std::string(50, 'b')});
  const uint32_t at3 = static_cast<uint32_t>(Sqd().size());
  Post(*b, "All", {std::string(200, 'c')});
  const uint32_t large = FrameAt(Sqd(), 256).frameLength;
  ASSERT_TRUE(b->Delete(2).ok());
  ASSERT_TRUE(b->Delete(1).ok());
  EXPECT_TRUE(b->Delete(1).IsNotFound());
  std::string sqd = Sqd();
  EXPECT_EQ(U32(sqd, kNumMsgs), 1u);
  EXPECT_EQ(U32(sqd, kHighMsg), 1u);
  EXPECT_EQ(U32(sqd, kNextUid), 4u);  // numbers are never given twice
  EXPECT_EQ(U32(sqd, kFirst), at3);
  EXPECT_EQ(FrameAt(sqd, at3).prev, 0u);
  // Free chain: 2 then 1, in the order they were freed.
  EXPECT_EQ(U32(sqd, kFirstFree), at2);
  EXPECT_EQ(U32(sqd, kLastFree), 256u);
  EXPECT_EQ(FrameAt(sqd, at2).type, 1);
  EXPECT_EQ(FrameAt(sqd, at2).next, 256u);
  EXPECT_EQ(FrameAt(sqd, 256).prev, at2);
  EXPECT_EQ(Sqi().size(), 12u);
  // Free frames are never written over (a damaged free chain could name
  // live bytes): a new message goes at the end, the free chain stays.
  const size_t end = sqd.size();
  EXPECT_EQ(Post(*b, "All", {"d"}), 4u);
  sqd = Sqd();
  EXPECT_EQ(U32(Sqi(), 12), end);
  EXPECT_EQ(FrameAt(sqd, at3).next, end);
  EXPECT_EQ(U32(sqd, kEnd), sqd.size());
  EXPECT_EQ(U32(sqd, kFirstFree), at2);
  EXPECT_EQ(FrameAt(sqd, 256).frameLength, large);
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(b->List(&numbers).ok());
  EXPECT_EQ(numbers, (std::vector<uint32_t>{3, 4}));
}

// Bytes this program does not use (the size field, the reserved area)
// stay; control information at the readers' limit is refused whole.
TEST_F(SquishTest, ForeignHeaderBytesStayAndControlInformationStaysBelowTheLimit) {
  Open();
  std::string sqd = Sqd();
  PutU16(sqd.data() + 130, 238);
  sqd[200] = 'r';
  env_.SetFile("/fido/area.sqd", sqd);
  auto b = Open();
  uint32_t n = 0;
  EXPECT_TRUE(b->Append(Note("All", {"body"}, {std::string(65518, 'k')}), &n).IsRefused());
  EXPECT_EQ(Sqd(), sqd);
  EXPECT_EQ(Sqi(), "");
  EXPECT_EQ(Post(*b, "All", {"body"}, {std::string(65517, 'k')}), 1u);
  EXPECT_EQ(FrameAt(Sqd(), 256).controlLength, 65519u);
  EXPECT_EQ(U16(Sqd(), 130), 238);
  EXPECT_EQ(Sqd()[200], 'r');
  Message m;
  ASSERT_TRUE(b->Read(1, &m).ok());
  EXPECT_EQ(m.kludges[0].size(), 65517u);
}

// A base missing its index is never created over; without its data file
// the base does not exist, and creating it must neither write over nor
// add to the files that are left.  Extensions are found in any case.
TEST_F(SquishTest, MissingFilesAndExtensionsInAnyCase) {
  Post(*Open(), "All", {"one"});
  const std::string sqd = Sqd(), sqi = Sqi();
  int err = 0;
  ASSERT_TRUE(env_.Remove("/fido/area.sqi", &err));
  std::unique_ptr<Base> b;
  Status st = OpenBase(env_, kArea, BaseMode::kWrite, &b);
  EXPECT_TRUE(st.IsDamaged()) << st.ToString();
  EXPECT_EQ(st.file(), "/fido/area.sqi");
  EXPECT_EQ(env_.Files(), std::vector<std::string>{"/fido/area.sqd"});
  ASSERT_TRUE(env_.Remove("/fido/area.sqd", &err));
  env_.SetFile("/fido/area.SQI", "index bytes!");
  st = OpenBase(env_, kArea, BaseMode::kWrite, &b);
  EXPECT_TRUE(st.IsDamaged()) << st.ToString();
  EXPECT_EQ(st.file(), "/fido/area.SQI");
  EXPECT_EQ(env_.Files(), std::vector<std::string>{"/fido/area.SQI"});

  for (const auto& [name, d, i] : {std::tuple{"UP", "SQD", "SQI"}, std::tuple{"Mixed", "Sqd", "sQi"}}) {
    SCOPED_TRACE(name);
    const std::string base = std::string("/fido/") + name;
    env_.SetFile(base + "." + d, sqd);
    env_.SetFile(base + "." + i, sqi);
    ASSERT_TRUE(OpenBase(env_, "S" + base, BaseMode::kWrite, &b).ok());
    EXPECT_EQ(Post(*b, "All", {"two"}), 2u);
    b.reset();
    ASSERT_TRUE(OpenBase(env_, "S" + base, BaseMode::kReadOnly, &b).ok());
    std::vector<uint32_t> numbers;
    ASSERT_TRUE(b->List(&numbers).ok());
    EXPECT_EQ(numbers.size(), 2u);
    EXPECT_FALSE(env_.HasFile(base + ".sqd"));
  }
  EXPECT_TRUE(OpenBase(env_, "S/fido/mixed", BaseMode::kReadOnly, &b).IsNotFound());
}

// What a creation stopped by a power cut can leave, and what the next open
// makes of it.
TEST_F(SquishTest, OpenFinishesAnInterruptedCreation) {
  const std::string header = (Open(), Sqd());
  // The data file: 1 = one byte, 2 = whole, 0 = missing; the index empty
  // or missing.
  const std::pair<int, bool> states[] = {{1, false}, {1, true}, {2, false}, {0, true}};
  for (const auto& [sqd, sqi] : states) {
    SCOPED_TRACE(std::to_string(sqd) + (sqi ? " with" : " without") + " an index");
    int err = 0;
    env_.Remove("/fido/area.sqd", &err);
    env_.Remove("/fido/area.sqi", &err);
    if (sqd > 0) env_.SetFile("/fido/area.sqd", sqd == 2 ? header : std::string(1, '\0'));
    if (sqi) env_.SetFile("/fido/area.sqi", "");
    auto b = Open();
    EXPECT_EQ(Post(*b, "All", {"first"}), 1u);
    b.reset();
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(Sqi().size(), 12u);
  }
}

// A creation that finds another one running (its hidden data file locked)
// or another program naming the base first opens that base; without hard
// links the hidden file is renamed.  No hidden file is left.
TEST_F(SquishTest, CreationRacesAndFileSystemsWithoutLinks) {
  const std::string empty = (Open(), Sqd());
  Post(*Open(), "All", {"theirs"});
  struct Racer : EnvWrapper {
    Racer(MemEnv& m) : EnvWrapper(m), mem(m), sqd(m.GetFile("/fido/area.sqd")), sqi(m.GetFile("/fido/area.sqi")) {}
    void SleepMs(int) override { mem.SetFile("/fido/area.sqd", sqd), mem.SetFile("/fido/area.sqi", sqi); }
    bool Link(const std::string& a, const std::string& b, int* err) override {
      if (mode == 1) SleepMs(0);
      return mode == 2 ? (*err = EPERM, false) : EnvWrapper::Link(a, b, err);
    }
    MemEnv& mem;
    const std::string sqd, sqi;
    int mode = 0;
  } racer(env_);
  int err = 0;
  for (int& mode = racer.mode; mode < 3; ++mode) {  // another creation running, named first, no links
    env_.Remove("/fido/area.sqd", &err), env_.Remove("/fido/area.sqi", &err);
    env_.SetFile("/fido/.area.sqd-new", "");
    auto held = env_.Open("/fido/.area.sqd-new", OpenMode::kReadWrite, &err);
    ASSERT_TRUE(held && (mode != 0 || held->LockFirstByte(0)));
    ASSERT_NE(Open(&racer), nullptr) << mode;
    EXPECT_EQ(Sqd() + Sqi(), mode == 2 ? empty : racer.sqd + racer.sqi) << mode;
    EXPECT_EQ(env_.HiddenNames("/fido"), std::vector<std::string>{}) << mode;
  }
}

// Records the operations that publish names and the directory syncs.
class NameLog : public EnvWrapper {
 public:
  explicit NameLog(Env& e) : EnvWrapper(e) {}
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* err) override {
    return (m == OpenMode::kCreateExclusive ? log += "create " + p + "; " : log), EnvWrapper::Open(p, m, err);
  }
  bool Rename(const std::string& a, const std::string& b, int* err) override {
    return (log += "rename " + a + " " + b + "; "), EnvWrapper::Rename(a, b, err);
  }
  bool Link(const std::string& a, const std::string& b, int* err) override {
    return (log += "link " + a + " " + b + "; "), EnvWrapper::Link(a, b, err);
  }
  bool SyncDirectory(const std::string& p, int* err) override {
    return (log += "sync " + p + "; "), EnvWrapper::SyncDirectory(p, err);
  }
  std::string log;
};

// A new base's data file is named only when whole; its names and a
// deletion's new index are made durable by a sync of their directory.
TEST_F(SquishTest, NamesAreSynced) {
  NameLog names(env_);
  auto b = Open(&names);
  EXPECT_EQ(names.log,
            "create /fido/.area.sqd-new; create /fido/area.sqi; link /fido/.area.sqd-new /fido/area.sqd; sync /fido; ");
  for (const char* body : {"one", "two", "three"}) Post(*b, "All", {body});
  names.log.clear();
  ASSERT_TRUE(b->Delete(2).ok());
  EXPECT_EQ(names.log, "create /fido/.area.sqi-new; rename /fido/.area.sqi-new /fido/area.sqi; sync /fido; ");
  b.reset();
  EXPECT_EQ(Walk(), "1one 3three ");
  EXPECT_EQ(ChainProblem(Sqd()), "");
  EXPECT_EQ(env_.HiddenNames("/fido"), std::vector<std::string>{});
}

// A post or a deletion with every write from the n-th on failing, whole or
// cut short, names the file; the base then takes no more posts, and the
// next open finds the message there or gone and a chain that agrees with
// the header.
TEST_F(SquishTest, WritesFailingFromTheNthOn) {
  {
    auto b = Open();
    for (const char* body : {"one", "two", "three"}) Post(*b, "All", {body});
  }
  const std::string sqd = Sqd(), sqi = Sqi();
  for (int i = 0; i < 24; ++i) {  // write i / 2 on fails, cut short when i is odd
    for (bool post : {true, false}) {
      SCOPED_TRACE(std::to_string(i) + (post ? " post" : " deletion"));
      env_.SetFile("/fido/area.sqd", sqd);
      env_.SetFile("/fido/area.sqi", sqi);
      FaultEnv faults(env_);
      faults.FailWritesFrom(i / 2, i % 2, EIO);
      auto b = Open(&faults);
      uint32_t n = 0;
      const Status st = post ? b->Append(Note("All", {"four"}), &n) : b->Delete(2);
      if (!st.ok()) {
        EXPECT_EQ(st.file().rfind("/fido/", 0), 0u) << st.ToString();
        EXPECT_EQ(st.systemError(), EIO) << st.ToString();
        if (post) {
          EXPECT_TRUE(b->Append(Note("All", {"five"}), &n).IsRefused());
        }
      }
      b.reset();
      const std::string listed = Walk(BaseMode::kWrite);
      EXPECT_TRUE(listed == "1one 2two 3three " || listed == (post ? "1one 2two 3three 4four " : "1one 3three "))
          << listed;
      EXPECT_EQ(ChainProblem(Sqd()), "");
      EXPECT_EQ(Sqi().size(), 12 * U32(Sqd(), kNumMsgs));
    }
  }
}

// Real files and processes: a second opener waits for the lock and sees
// what the holder wrote; a deletion killed before any of its file
// operations leaves the message there or gone and a whole base.
class SquishProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vex-squish-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    area_ = "S" + dir_ + "/area";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Sqd() {
    std::ifstream in(dir_ + "/area.sqd", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static int Wait(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  std::string dir_, area_;
};

TEST_F(SquishProcessTest, OpenWaitsForTheLockThenFailsOrSeesTheHoldersWrites) {
  Env& env = *DefaultEnv();
  std::unique_ptr<Base> holder, second;
  ASSERT_TRUE(OpenBase(env, area_, BaseMode::kWrite, &holder).ok());
  auto start = std::chrono::steady_clock::now();
  Status st = OpenBase(env, area_, BaseMode::kWrite, &second, OpenOptions{300});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_TRUE(st.IsBusy()) << st.ToString();
  EXPECT_EQ(st.file(), dir_ + "/area.sqd");
  holder.reset();
  // Another process holds a classic record lock, as other FidoNet programs
  // take it, or an open-file lock on the first byte.
  for (int command : {F_SETLK, F_OFD_SETLK}) {
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t child = ::fork();
    if (child == 0) {
      int fd = ::open((dir_ + "/area.sqd").c_str(), O_RDWR);
      struct flock fl {};
      fl.l_type = F_WRLCK, fl.l_whence = SEEK_SET, fl.l_len = 1;
      char c = fd >= 0 && ::fcntl(fd, command, &fl) == 0 ? 'y' : 'n';
      _exit(::write(ready[1], &c, 1) == 1 && ::read(release[0], &c, 1) == 1 ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_TRUE(OpenBase(env, area_, BaseMode::kWrite, &second, OpenOptions{300}).IsBusy());
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    EXPECT_EQ(Wait(child), 0);
    EXPECT_TRUE(OpenBase(env, area_, BaseMode::kWrite, &second).ok());
    second.reset();
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
  }

  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::unique_ptr<Base> b;
    uint32_t n = 0;
    if (!OpenBase(env, area_, BaseMode::kWrite, &b).ok() || ::write(ready[1], "r", 1) != 1) _exit(1);
    ::usleep(400 * 1000);
    _exit(b->Append(Note("All", {"child"}), &n).ok() ? 0 : 2);  // the lock goes with the process
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  start = std::chrono::steady_clock::now();
  ASSERT_TRUE(OpenBase(env, area_, BaseMode::kWrite, &second, OpenOptions{5000}).ok());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(Wait(pid), 0);
  uint32_t n = 0;
  ASSERT_TRUE(second->Append(Note("All", {"parent"}), &n).ok());
  EXPECT_EQ(n, 2u);  // the child's message was seen
  ::close(ready[0]), ::close(ready[1]);
}

TEST_F(SquishProcessTest, DeletionKilledAtAnyFileOperation) {
  Env& env = *DefaultEnv();
  bool finished = false;
  for (int k = 1; !finished && k < 100; ++k) {
    SCOPED_TRACE("killed at " + std::to_string(k));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    std::unique_ptr<Base> b;
    uint32_t n = 0;
    ASSERT_TRUE(OpenBase(env, area_, BaseMode::kWrite, &b).ok());
    for (const char* body : {"one", "two", "three"}) ASSERT_TRUE(b->Append(Note("All", {body}), &n).ok());
    b.reset();
    pid_t pid = ::fork();
    if (pid == 0) {
      FaultEnv crash(env);
      crash.CrashBeforeOperation(k);
      _exit(OpenBase(crash, area_, BaseMode::kWrite, &b).ok() && b->Delete(2).ok() ? 0 : 1);
    }
    finished = Wait(pid) == 0;
    ASSERT_TRUE(OpenBase(env, area_, BaseMode::kWrite, &b).ok());
    std::vector<uint32_t> numbers;
    ASSERT_TRUE(b->List(&numbers).ok());
    EXPECT_TRUE(numbers == (std::vector<uint32_t>{1, 3}) || numbers == (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_TRUE(b->Delete(1).ok());
    EXPECT_TRUE(b->Append(Note("All", {"four"}), &n).ok());
    b.reset();
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(env.HiddenNames(dir_), std::vector<std::string>{});
  }
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace vex
