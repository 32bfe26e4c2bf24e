// What every base format promises: headers, text and kludges read back as
// they were posted, numbers are never given twice, a message never written
// leaves no trace, two processes posting in turns leave a whole base, a
// locked or incomplete base is refused and left alone, and a post killed
// before any of its file operations, or with any write failing or cut
// short, leaves the earlier messages as they were and the new one
// whole or absent, and the next post works.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>

#include "msgbase/base.h"
#include "platform/env_wrapper.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex {
namespace {

std::string Body(int n) { return "body-" + std::to_string(n) + std::string(300, 'a' + n); }

class BaseConformanceTest : public ::testing::TestWithParam<char> {
 protected:
  // The environment the helpers below open bases in.
  Env* env_ = DefaultEnv();
  void UseEnv(Env& e) { env_ = &e; }
  Status lastStatus;  // of the last post
  bool Post(const std::string& areaId, int n) {
    std::unique_ptr<Base> b;
    lastStatus = OpenBase(*env_, areaId, BaseMode::kWrite, &b);
    if (!lastStatus.ok()) return false;
    Message m;
    m.attributes = AttrTypeEcho;
    m.orig = FtnAddress{2, 5020, 1, 0};
    m.dest = FtnAddress{2, 5020, 1, 0};
    m.to = "All";
    m.kludges = AddressKludges(m.orig, m.dest, false, 0x12345678);
    m.text = {Body(n)};
    uint32_t number = 0;
    lastStatus = b->Append(m, &number);
    const Status closed = b->Close();
    if (lastStatus.ok()) lastStatus = closed;
    return lastStatus.ok();
  }
  // The body line of every message in order ("unreadable" where reading
  // fails).
  std::vector<std::string> Bodies(const std::string& areaId) {
    std::unique_ptr<Base> b;
    if (!OpenBase(*env_, areaId, BaseMode::kWrite, &b).ok()) return {"unopenable"};
    std::vector<uint32_t> numbers;
    if (!b->List(&numbers).ok()) return {"unlistable"};
    std::vector<std::string> out;
    for (uint32_t n : numbers) {
      Message m;
      std::string t = "unreadable";
      if (b->Read(n, &m).ok()) {
        t.clear();
        for (const std::string& line : m.text) t += line + "\r";
      }
      size_t at = t.find("body-");
      out.push_back(at == std::string::npos ? t : t.substr(at, t.find('\r', at) - at));
    }
    b->Close();
    return out;
  }
  // Earlier messages unchanged, message `added` whole or absent, and the
  // next post works.
  void ExpectWhole(const std::string& areaId, std::vector<std::string> want, int added) {
    std::vector<std::string> got = Bodies(areaId);
    if (got.size() == want.size() + 1 && got.back() == Body(added)) want.push_back(Body(added));
    EXPECT_EQ(got, want);
    ASSERT_TRUE(Post(areaId, 9));
    want.push_back(Body(9));
    EXPECT_EQ(Bodies(areaId), want);
  }
  std::string Area(const std::string& dir) { return GetParam() + dir + "/area"; }
  // *.MSG never gives number 1.
  int32_t First() const { return GetParam() == 'M' ? 2 : 1; }
  static std::map<std::string, std::string> Files(MemEnv& mem) {
    std::map<std::string, std::string> out;
    for (const std::string& f : mem.Files()) out[f] = mem.GetFile(f);
    return out;
  }
};

// A fixed clock; an even second, as every format keeps it.
void SetClock(MemEnv& mem) {
  ClockTime t;
  t.year = 2024, t.month = 2, t.day = 29, t.hour = 13, t.minute = 45, t.second = 10;
  mem.SetNow(t);
}

TEST_P(BaseConformanceTest, HeadersTextAndKludgesReadBackAsPosted) {
  MemEnv mem;
  SetClock(mem);
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem, Area("b"), BaseMode::kWrite, &b).ok());
  Message net;
  net.attributes = AttrTypeNet | AttrLocal | AttrPrivate;
  net.orig = FtnAddress{2, 5020, 1042, 3};
  net.dest = FtnAddress{2, 463, 68, 0};
  net.from = "\x82\xA5\xAA\xE1\xE1\xE2\xA0\xE2";  // CP866 Cyrillic
  net.to = "\x91\xA8\xE1\xAE\xAF";
  net.subject = "\x8E\xE2\xE7\xF1\xE2";
  net.written = ToMsgDateTime(mem.Now());
  net.arrived.year = 2003, net.arrived.month = 12, net.arrived.day = 31;
  net.arrived.hour = 23, net.arrived.minute = 59, net.arrived.second = 58;
  net.kludges = {"MSGID: 2:5020/1042.3 0badcafe", "PID: Vexstat", "INTL 1:1/1 1:1/1"};
  net.text = {"\x8F\xE0\xA8\xA2\xA5\xE2!", "", "Line 3"};
  uint32_t n = 0;
  ASSERT_TRUE(b->Append(net, &n).ok());
  EXPECT_EQ(n, static_cast<uint32_t>(First()));
  Message echo;
  echo.attributes = AttrTypeEcho;
  echo.orig = net.orig;
  echo.to = "All";
  echo.written = net.written;
  echo.text = {"Echo body", "SEEN-BY: 5020/1"};
  ASSERT_TRUE(b->Append(echo, &n).ok());
  EXPECT_EQ(n, static_cast<uint32_t>(First() + 1));
  EXPECT_TRUE(b->Close().ok());
  EXPECT_EQ(mem.OpenFileCount(), 0);

  // Open again, by the type letter in either case.
  ASSERT_TRUE(OpenBase(mem, std::string(1, static_cast<char>(std::tolower(GetParam()))) + "b/area",
                       BaseMode::kReadOnly, &b).ok());
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(b->List(&numbers).ok());
  ASSERT_EQ(numbers, (std::vector<uint32_t>{n - 1, n}));
  Message got;
  ASSERT_TRUE(b->Read(n - 1, &got).ok());
  EXPECT_EQ(got.from, net.from);
  EXPECT_EQ(got.to, net.to);
  EXPECT_EQ(got.subject, net.subject);
  // Only JAM stores the kind of area.
  EXPECT_EQ(got.attributes, (AttrLocal | AttrPrivate) | (GetParam() == 'J' ? AttrTypeNet : 0u));
  EXPECT_EQ(got.written, net.written);
  EXPECT_EQ(std::vector<int>({got.arrived.year, got.arrived.month, got.arrived.day, got.arrived.hour,
                              got.arrived.minute, got.arrived.second}),
            std::vector<int>({2003, 12, 31, 23, 59, 58}));
  EXPECT_EQ(got.orig, net.orig);
  EXPECT_EQ(got.dest, net.dest);
  // The address kludges agree with the header; the MSGID keeps its serial.
  EXPECT_EQ(got.kludges, (std::vector<std::string>{"MSGID: 2:5020/1042.3 0badcafe", "PID: Vexstat",
                                                   "INTL 2:463/68 2:5020/1042", "FMPT 3"}));
  EXPECT_EQ(got.text, net.text);
  ASSERT_TRUE(b->Read(n, &got).ok());
  EXPECT_EQ(got.kludges, std::vector<std::string>{});  // stored without a MSGID
  EXPECT_EQ(got.text, echo.text);
  EXPECT_TRUE(b->Read(n + 1, &got).IsNotFound());
  EXPECT_TRUE(b->Close().ok());
  EXPECT_EQ(mem.OpenFileCount(), 0);
}

TEST_P(BaseConformanceTest, DeletionKeepsEveryNumberAndNumbersAreNeverGivenTwice) {
  MemEnv mem;
  UseEnv(mem);
  for (int i = 1; i <= 4; ++i) ASSERT_TRUE(Post(Area("b"), i));
  const uint32_t n1 = static_cast<uint32_t>(First()), n2 = n1 + 1, n3 = n1 + 2, n4 = n1 + 3;
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem, Area("b"), BaseMode::kWrite, &b).ok());
  ASSERT_TRUE(b->Delete(n2).ok());
  // A second call finds the message deleted.
  EXPECT_TRUE(b->Delete(n2).IsNotFound());
  EXPECT_TRUE(b->Delete(99).IsNotFound());
  Message m;
  EXPECT_TRUE(b->Read(n2, &m).IsNotFound());
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(b->List(&numbers).ok());
  EXPECT_EQ(numbers, (std::vector<uint32_t>{n1, n3, n4}));
  b->Close();

  // Opening neither compacts nor renumbers; the next message takes the
  // number after the highest.
  ASSERT_TRUE(Post(Area("b"), 5));
  ASSERT_TRUE(OpenBase(mem, Area("b"), BaseMode::kReadOnly, &b).ok());
  ASSERT_TRUE(b->List(&numbers).ok());
  EXPECT_EQ(numbers, (std::vector<uint32_t>{n1, n3, n4, n4 + 1}));
  b->Close();
  EXPECT_EQ(Bodies(Area("b")), (std::vector<std::string>{Body(1), Body(3), Body(4), Body(5)}));
}

TEST_P(BaseConformanceTest, AClosedBaseTakesNoMessage) {
  MemEnv mem;
  UseEnv(mem);
  ASSERT_TRUE(Post(Area("b"), 1));
  const auto files = Files(mem);
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem, Area("b"), BaseMode::kWrite, &b).ok());
  ASSERT_TRUE(b->Close().ok());
  Message m;
  m.text = {"never written"};
  uint32_t n = 0;
  EXPECT_TRUE(b->Append(m, &n).IsRefused());
  EXPECT_TRUE(b->Read(static_cast<uint32_t>(First()), &m).IsRefused());
  EXPECT_EQ(Files(mem), files);
  // A base opened for reading takes none either.
  ASSERT_TRUE(OpenBase(mem, Area("b"), BaseMode::kReadOnly, &b).ok());
  EXPECT_TRUE(b->Append(m, &n).IsRefused());
  EXPECT_TRUE(b->Delete(static_cast<uint32_t>(First())).IsRefused());
  b->Close();
  EXPECT_EQ(Files(mem), files);
  EXPECT_EQ(Bodies(Area("b")), std::vector<std::string>{Body(1)});
}

TEST_P(BaseConformanceTest, TwoProcessesPostingInTurnsLeaveAWholeBase) {
  char tmpl[] = "/tmp/vex-turns-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl, area = Area(dir);
  UseEnv(*DefaultEnv());
  constexpr int kEach = 8;
  auto writer = [&](int w) {
    for (int i = 0; i < kEach; ++i) {
      std::unique_ptr<Base> b;
      if (!OpenBase(*DefaultEnv(), area, BaseMode::kWrite, &b).ok()) return 10;
      Message m;
      m.attributes = AttrTypeEcho;
      m.orig = FtnAddress{2, 5020, 1, 0};
      m.to = "Writer " + std::to_string(w);
      m.kludges = AddressKludges(m.orig, m.dest, false, static_cast<uint32_t>(w * 100 + i));
      m.text = {"Message " + std::to_string(i) + " of writer " + std::to_string(w)};
      uint32_t number = 0;
      if (!b->Append(m, &number).ok()) return 11;
      ::usleep(2000);
      if (!b->Close().ok()) return 12;
    }
    return 0;
  };
  ASSERT_TRUE(Post(area, 0));  // the base exists before either starts
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(writer(1));
  EXPECT_EQ(writer(0), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(*DefaultEnv(), area, BaseMode::kReadOnly, &b).ok());
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(b->List(&numbers).ok());
  ASSERT_EQ(numbers.size(), 1u + 2 * kEach);
  EXPECT_EQ(numbers.back(), static_cast<uint32_t>(First() + 2 * kEach));
  int seen[2] = {0, 0};
  for (size_t i = 1; i < numbers.size(); ++i) {
    Message m;
    ASSERT_TRUE(b->Read(numbers[i], &m).ok()) << numbers[i];
    const int w = m.to == "Writer 1" ? 1 : 0;
    const std::string want = "Message " + std::to_string(seen[w]++) + " of writer " + std::to_string(w);
    EXPECT_EQ(m.text, std::vector<std::string>{want}) << numbers[i];
  }
  EXPECT_EQ(seen[0], kEach);
  EXPECT_EQ(seen[1], kEach);
  b->Close();
  if (GetParam() == 'J') {  // the modification counter counts every write
    FILE* f = std::fopen((dir + "/area.jhr").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char head[16];
    ASSERT_EQ(std::fread(head, 1, sizeof head, f), sizeof head);
    std::fclose(f);
    EXPECT_EQ(GetU32(head + 8), 1u + 2 * kEach);
  }
  std::filesystem::remove_all(dir);
}

TEST_P(BaseConformanceTest, PostKilledAtAnyFileOperation) {
  for (int existing : {2, 0}) {
    bool finished = false;
    for (int k = 1; !finished && k < 300; ++k) {
      SCOPED_TRACE("messages before: " + std::to_string(existing) + ", killed at " + std::to_string(k));
      // In memory where there is such a file system: the syncs cost nothing.
      std::string dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
      dir += "/vex-conform-XXXXXX";
      ASSERT_NE(::mkdtemp(dir.data()), nullptr);
      UseEnv(*DefaultEnv());
      std::vector<std::string> before;
      for (int i = 1; i <= existing; ++i, before.push_back(Body(i - 1))) ASSERT_TRUE(Post(Area(dir), i));
      pid_t pid = ::fork();
      if (pid == 0) {
        FaultEnv crash(*DefaultEnv());
        crash.CrashBeforeOperation(k);
        UseEnv(crash);
        _exit(Post(Area(dir), 3) ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      EXPECT_TRUE(finished || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL));
      ExpectWhole(Area(dir), before, 3);
      EXPECT_EQ(DefaultEnv()->HiddenNames(dir + "/area"), std::vector<std::string>{});
      std::filesystem::remove_all(dir);
    }
    EXPECT_TRUE(finished);
  }
}

TEST_P(BaseConformanceTest, PostWithAnyWriteFailingOrCutShort) {
  for (int existing : {2, 0}) {
    bool posted = false;
    for (uint64_t budget = 0; !posted; ++budget) {
      SCOPED_TRACE("messages before: " + std::to_string(existing) + ", bytes written: " + std::to_string(budget));
      MemEnv mem;
      FaultEnv faults(mem);
      UseEnv(mem);
      std::vector<std::string> before;
      for (int i = 1; i <= existing; ++i, before.push_back(Body(i - 1))) ASSERT_TRUE(Post(Area("b"), i));
      const auto files = Files(mem);
      UseEnv(faults);
      faults.FailOneWriteAfter(budget);
      posted = Post(Area("b"), 3);
      UseEnv(mem);
      if (!posted) {
        EXPECT_TRUE(lastStatus.IsIoError()) << lastStatus.ToString();
      }
      if (!posted && existing > 0) {
        ASSERT_EQ(Files(mem), files);  // everything written was put back
      }
      ExpectWhole(Area("b"), before, 3);
      ASSERT_LT(budget, 100000u);
    }
  }
}

// What a creation or a post that never finished left: an empty header file,
// a hidden temporary of a writer that is gone.
TEST_P(BaseConformanceTest, LeftoversOfAnUnfinishedCreationOrPost) {
  MemEnv mem;
  UseEnv(mem);
  mem.SetFile(GetParam() == 'J' ? "b/area.jhr" : GetParam() == 'S' ? "b/area.sqd" : "b/area/.vexstat-0.tmp", "");
  ASSERT_TRUE(Post(Area("b"), 1));
  EXPECT_EQ(Bodies(Area("b")), std::vector<std::string>{Body(1)});
  EXPECT_FALSE(mem.HasFile("b/area/.vexstat-0.tmp"));
  // A JAM creation stopped after naming its header file left the hidden one.
  if (GetParam() != 'J') return;
  mem.SetFile("b/.area.jhr-new", mem.GetFile("b/area.jhr"));
  ASSERT_TRUE(Post(Area("b"), 2));
  EXPECT_FALSE(mem.HasFile("b/.area.jhr-new"));
  EXPECT_EQ(Bodies(Area("b")), (std::vector<std::string>{Body(1), Body(2)}));
}

// Records the names made or removed and the data written since the last
// sync: a name published over data not yet synced, or a post reported done
// while a name or data of it could still vanish with the power, is a fault.
class DurabilityEnv : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  struct TrackedFile : FileWrapper {
    TrackedFile(std::unique_ptr<File> f, std::set<std::string>& d) : FileWrapper(std::move(f)), dirty(d) {}
    bool WriteAt(uint64_t o, const void* b, size_t n) override { return dirty.insert(Path()), FileWrapper::WriteAt(o, b, n); }
    bool Truncate(uint64_t n) override { return dirty.insert(Path()), FileWrapper::Truncate(n); }
    bool Sync() override { return dirty.erase(Path()), FileWrapper::Sync(); }
    std::set<std::string>& dirty;
  };
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* err) override {
    const bool made = m != OpenMode::kRead && m != OpenMode::kReadWrite && m != OpenMode::kWrite && !Stat(p).exists;
    auto f = EnvWrapper::Open(p, m, err);
    if (f && made) Named(p);
    return f ? std::make_unique<TrackedFile>(std::move(f), dirty) : nullptr;
  }
  bool Remove(const std::string& p, int* err) override { return EnvWrapper::Remove(p, err) && Named(p); }
  bool MakeDirectory(const std::string& p, int* err) override { return EnvWrapper::MakeDirectory(p, err) && Named(p); }
  bool Link(const std::string& from, const std::string& to, int* err) override {
    if (dirty.count(from)) faults += "published unsynced " + from + "\n";
    return EnvWrapper::Link(from, to, err) && Named(to);
  }
  bool SyncDirectory(const std::string& p, int* err) override {
    return unsyncedNames.erase(p.back() == '/' ? p.substr(0, p.size() - 1) : p), EnvWrapper::SyncDirectory(p, err);
  }
  bool Named(const std::string& p) {
    return unsyncedNames.insert(p.rfind('/') == std::string::npos ? "" : p.substr(0, p.rfind('/'))).second || true;
  }
  std::set<std::string> dirty, unsyncedNames;
  std::string faults;
};

TEST_P(BaseConformanceTest, APostIsDurableWhenItReturns) {
  for (const char* area : {"new/sub/area", "old/area"}) {
    SCOPED_TRACE(area);
    MemEnv mem;
    UseEnv(mem);
    ASSERT_TRUE(Post(GetParam() + std::string("old/area"), 1));
    DurabilityEnv env(mem);
    UseEnv(env);
    ASSERT_TRUE(Post(GetParam() + std::string(area), 2));
    EXPECT_EQ(env.faults, "");
    EXPECT_EQ(env.dirty, std::set<std::string>{});
    EXPECT_EQ(env.unsyncedNames, std::set<std::string>{});
  }
}

// Another program makes the base between two of the open's looks for it
// (Stat or Search, before anything is created): the base is opened as the
// other program left it, never refused, and the post goes in beside it.
TEST_P(BaseConformanceTest, ABaseMadeBetweenTwoLooksIsOpened) {
  struct MakerEnv : EnvWrapper {
    MakerEnv(MemEnv& m, std::map<std::string, std::string> f, int k) : EnvWrapper(m), mem(m), files(std::move(f)), countdown(k) {}
    void Look() {
      if (--countdown == 0 && !created && (made = true))
        for (const auto& [path, bytes] : files) path.back() == '/' ? mem.AddDirectory(path) : mem.SetFile(path, bytes);
    }
    FileInfo Stat(const std::string& p) override { return Look(), EnvWrapper::Stat(p); }
    std::vector<DirEntry> Search(const std::string& p) override { return Look(), EnvWrapper::Search(p); }
    std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* err) override {
      created = created || (m != OpenMode::kRead && m != OpenMode::kReadWrite && m != OpenMode::kWrite);
      return EnvWrapper::Open(p, m, err);
    }
    MemEnv& mem;
    std::map<std::string, std::string> files;
    int countdown;
    bool created = false, made = false;
  };
  MemEnv made;  // the other program's bases: one message, none, a bare header file
  UseEnv(made);
  ASSERT_TRUE(Post(Area("one"), 1));
  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(made, Area("none"), BaseMode::kWrite, &b).ok() && b->Close().ok());
  std::vector<std::map<std::string, std::string>> variants(2);
  for (const std::string& f : made.Files()) variants[f.rfind("one", 0) == 0 ? 0 : 1]["b/area" + f.substr(f.find('/') + 5)] = made.GetFile(f);
  if (GetParam() == 'M') variants[1] = {{"b/area/", ""}};
  if (GetParam() != 'M') variants.push_back({{GetParam() == 'J' ? "b/area.jhr" : "b/area.sqd", ""}});
  for (size_t v = 0; v < variants.size(); ++v) {
    bool injected = true;
    for (int k = 1; injected; ++k) {
      SCOPED_TRACE("variant " + std::to_string(v) + ", made at look " + std::to_string(k));
      MemEnv mem;
      MakerEnv env(mem, variants[v], k);
      UseEnv(env);
      ASSERT_TRUE(Post(Area("b"), 2));
      injected = env.made;
      UseEnv(mem);
      std::vector<std::string> want{Body(2)};
      if (v == 0 && injected) want.insert(want.begin(), Body(1));
      EXPECT_EQ(Bodies(Area("b")), want);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, BaseConformanceTest, ::testing::Values('J', 'S', 'M'),
                         [](const auto& info) { return std::string(1, info.param); });

}  // namespace
}  // namespace vex
