// The lock of a JAM base: its header file's first byte, held from an open
// for writing to its close, against this process and others.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "msgbase/base.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

// A second opener, in this or another process, waits for the lock, then
// says Busy and leaves the base alone; once the lock is free it opens.
TEST(JamLockTest, ABaseOpenElsewhereMakesOpenWaitThenSayBusy) {
  MemEnv mem;
  const OpenOptions shortWait{300};
  std::unique_ptr<Base> holder, second;
  ASSERT_TRUE(OpenBase(mem, "Jb/area", BaseMode::kWrite, &holder, shortWait).ok());
  EXPECT_TRUE(OpenBase(mem, "Jb/area", BaseMode::kWrite, &second, shortWait).IsBusy());
  holder->Close();
  EXPECT_TRUE(OpenBase(mem, "Jb/area", BaseMode::kWrite, &second, shortWait).ok());

  // Another process holds a classic record lock, as other FidoNet programs
  // take it, or an open-file lock on the first byte.
  char tmpl[] = "/tmp/vex-lock-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl, path = dir + "/area";
  ASSERT_TRUE(OpenBase(*DefaultEnv(), "J" + path, BaseMode::kWrite, &second).ok());
  second->Close();
  for (int command : {F_SETLK, F_OFD_SETLK}) {
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int fd = ::open((path + ".jhr").c_str(), O_RDWR);
      struct flock fl {};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      fl.l_len = 1;
      char c = fd >= 0 && ::fcntl(fd, command, &fl) == 0 ? 'y' : 'n';
      if (::write(ready[1], &c, 1) != 1 || ::read(release[0], &c, 1) != 1) _exit(1);
      _exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    const auto start = std::chrono::steady_clock::now();
    const Status st = OpenBase(*DefaultEnv(), "J" + path, BaseMode::kWrite, &second, OpenOptions{400});
    EXPECT_TRUE(st.IsBusy()) << st.ToString();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(350));
    EXPECT_TRUE(OpenBase(*DefaultEnv(), "J" + path, BaseMode::kReadOnly, &second).ok());
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(OpenBase(*DefaultEnv(), "J" + path, BaseMode::kWrite, &second).ok());
    second.reset();
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vex
