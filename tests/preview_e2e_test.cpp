// The preview of the built program: it shows what the next run posts, and
// it changes nothing, even while another run holds the lock and is halfway
// through a batch.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "intake/intake_journal.h"
#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

using Text = std::vector<std::string>;

// Every file under dir with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files[e.path().string()] = ReadFile(e.path().string());
  return files;
}

// Holds the run lock in a child process until the object goes.
class LockHolder {
 public:
  explicit LockHolder(const std::string& dir) {
    int ready[2];
    if (pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      int fd = open((dir + "/vexstat.lck").c_str(), O_RDWR | O_CREAT, 0644);
      struct flock fl {};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      fl.l_len = 1;
      if (fd < 0 || fcntl(fd, F_SETLKW, &fl) != 0) _exit(1);
      if (write(ready[1], "x", 1) != 1) _exit(1);
      pause();
      _exit(0);
    }
    char c;
    if (read(ready[0], &c, 1) != 1) throw std::runtime_error("lock holder");
    close(ready[0]);
    close(ready[1]);
  }
  ~LockHolder() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_;
};

void Tics(const TempDir& dir, const std::string& area, int count) {
  MakeDirs(dir / "in");
  for (int i = 0; i < count; ++i) {
    const std::string tic = dir / ("in/" + area + std::to_string(i) + ".tic");
    WriteFile(tic, "Area " + area + "\r\nSize 1000\r\nFrom 2:5020/" + std::to_string(10 + i) +
                       "\r\n");
    SetModTime(tic, "2026-12-05 10:00:00");
  }
}

// One message of the preview: its area identifier and number, and what it
// shows of the message.
struct Shown {
  std::string areaId;
  std::string number;
  Text lines;
};

std::vector<Shown> PreviewMessages(const std::string& out) {
  std::vector<Shown> found;
  const Text lines = e2e::Lines(out);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("=== Message", 0) != 0) continue;
    Shown m;
    const std::string& head = lines[++i];
    const size_t at = head.find(" base ");
    const std::string type = head.substr(head.rfind(", ", at) + 2, at - head.rfind(", ", at) - 2);
    m.areaId = (type == "JAM" ? "J" : type == "Squish" ? "S" : "M") + head.substr(at + 6);
    m.number = lines[++i].substr(8);  // "Number: "
    while (++i < lines.size() && lines[i].rfind("Messages the", 0) != 0 &&
           lines[i].rfind("=== Message", 0) != 0)
      m.lines.push_back(lines[i]);
    --i;
    if (!m.lines.empty() && m.lines.back().empty()) m.lines.pop_back();  // between messages
    found.push_back(m);
  }
  return found;
}

// The same message as the base lister shows it, without the lines the
// preview leaves out (dates and attributes are set when the message is
// stored).
Text Stored(const std::string& dir, const Shown& m) {
  RunResult r = Run(dir, {VexmsgPath(), m.areaId, m.number});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  Text out;
  for (const std::string& l : e2e::Lines(r.out))
    if (l.rfind("Message: ", 0) != 0 && l.rfind("Date ", 0) != 0 && l.rfind("Attributes:", 0) != 0)
      out.push_back(l);
  return out;
}

// The lines of a message that two postings share: all but the MSGID serial.
Text WithoutSerial(Text lines) {
  for (std::string& l : lines)
    if (l.rfind("^AMSGID:", 0) == 0) l = l.substr(0, l.rfind(' '));
  return lines;
}

TEST(PreviewE2eTest, ShowsMessageByMessageWhatTheNextRunPosts) {
  TempDir dir;
  WriteFile(dir / "areas.cfg",
            "EchoArea ru.fido msgbase/rufido -b Jam -d \"Russian echo\"\n"
            "LocalArea LOCAL.STAT msgbase/local -b Squish\n"
            "NetmailArea NETMAIL msgbase/netmail -b Msg\n");
  WriteFile(dir / "vexstat.cfg",
            "LOGFILE vexstat.log\nMAKEANNOUNCE Yes\nPATHTOECHOTOSSLOG echotoss.log\n"
            "FROMADDR 2:5020/123.4\nTOADDR 2:5020/1\nSUBJ Statistics\nSECTIONSIZE 30\n"
            "AREADEFINECFG Hareas.cfg\n"
            "TPLFILENAME long.tpl long.txt RU.FIDO\n"
            "TPLFILENAME short.tpl short.txt LOCAL.STAT\n"
            "TPLFILENAME short.tpl net.txt NETMAIL\n"
            "TICPATH in/\n");
  WriteFile(dir / "long.tpl",
            "Files: @TOTALFILES\r\n#AREASIZE\r\n@AREA(20,L) @SIZETOTAL(8)\r\n"
            "\r\n\xd0\x81\xd0\xbb\xd0\xba\xd0\xb0 tail line\r\n");
  WriteFile(dir / "short.tpl", "Local report: @TOTALFILES files\r\n");
  Tics(dir, "AREA", 4);
  ASSERT_EQ(RunVexstat(dir.path(), {"-P"}).exitCode, 0);  // counts, posts nothing
  MakeDirs(dir / "msgbase");
  Tics(dir, "LATER", 2);  // waiting for the next run

  const auto before = Snapshot(dir.path());
  RunResult preview = RunVexstat(dir.path(), {"--preview", "-R"});
  ASSERT_EQ(preview.exitCode, 0) << preview.err;
  EXPECT_EQ(Snapshot(dir.path()), before);
  EXPECT_NE(preview.out.find("TIC files waiting: 0"), std::string::npos) << preview.out;
  EXPECT_NE(RunVexstat(dir.path(), {"--preview"}).out.find("TIC files waiting: 2"),
            std::string::npos);

  std::vector<Shown> shown = PreviewMessages(preview.out);
  ASSERT_GE(shown.size(), 4u) << preview.out;  // the long report in sections
  EXPECT_EQ(shown[0].lines[2], "Subject: [1/" + std::to_string(shown.size() - 2) + "] Statistics");
  ASSERT_EQ(RunVexstat(dir.path(), {"-R"}).exitCode, 0);
  for (const Shown& m : shown) {
    SCOPED_TRACE(m.areaId + " " + m.number);
    EXPECT_EQ(WithoutSerial(Stored(dir.path(), m)), WithoutSerial(m.lines));
  }
  // With the three bases holding messages, the next preview leaves them,
  // and every other file, as they are; its messages take the next numbers.
  const auto after = Snapshot(dir.path());
  RunResult again = RunVexstat(dir.path(), {"--preview", "-R"});
  EXPECT_EQ(Snapshot(dir.path()), after);
  std::vector<Shown> next = PreviewMessages(again.out);
  ASSERT_EQ(next.size(), shown.size());
  EXPECT_EQ(next.back().number, std::to_string(std::stoi(shown.back().number) + 1));
}

// On a new node (no statistics store yet) the preview counts the TIC files
// waiting as the run will, and shows the very messages the run then posts.
TEST(PreviewE2eTest, OnANewNodeShowsWhatTheFirstRunPosts) {
  TempDir dir;
  WriteFile(dir / "areas.cfg", "EchoArea FILESTAT msgbase/filestat -b Jam\n");
  WriteFile(dir / "vexstat.cfg",
            "MAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\nFROMADDR 2:5020/9999\n"
            "TPLFILENAME r.tpl r.txt FILESTAT\nTICPATH in/\n");
  WriteFile(dir / "r.tpl", "Files: @TOTALFILES\r\n#AREASIZE\r\n@AREA(20,L) @TOTALFILES\r\n");
  MakeDirs(dir / "msgbase");
  Tics(dir, "NEW", 3);
  const auto before = Snapshot(dir.path());
  const RunResult preview = RunVexstat(dir.path(), {"--preview"});
  EXPECT_EQ(Snapshot(dir.path()), before);
  EXPECT_NE(preview.out.find("TIC files waiting: 3"), std::string::npos) << preview.out;
  const std::vector<Shown> shown = PreviewMessages(preview.out);
  ASSERT_EQ(shown.size(), 1u) << preview.out;
  EXPECT_NE(preview.out.find("Files: 3"), std::string::npos) << preview.out;
  ASSERT_EQ(RunVexstat(dir.path()).exitCode, 0);
  EXPECT_EQ(WithoutSerial(Stored(dir.path(), shown[0])), WithoutSerial(shown[0].lines));
}

// The preview and the export change nothing and read no half batch, while
// another run holds the lock and is in the middle of a batch: the TIC files
// of that batch, still waiting, count once, as the next run counts them.
TEST(PreviewE2eTest, PreviewAndExportReadNoHalfBatchAndChangeNothingUnderTheLock) {
  TempDir dir;
  WriteFile(dir / "vexstat.cfg",
            "MAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\nSECTIONSIZE 0\n"
            "TPLFILENAME r.tpl r.txt LOCAL\nTICPATH in/\n");
  WriteFile(dir / "areas.cfg", "LocalArea LOCAL base -b Squish\n");
  WriteFile(dir / "r.tpl", "#AREASIZE\r\n@AREA(20,L) @TOTALFILES\r\n");
  Tics(dir, "DONE", 2);
  ASSERT_EQ(RunVexstat(dir.path()).exitCode, 0);  // counts and posts
  ASSERT_TRUE(FileExists(dir / "base.sqd"));
  const std::string stat = ReadFile(dir / "stat.vx"), dupes = ReadFile(dir / "dupes.vx");
  // Another run has begun a batch: its records are in the stores, its
  // journal has no commit record yet, and it holds the lock.
  Tics(dir, "HALF", 3);
  ASSERT_EQ(RunVexstat(dir.path(), {"-P"}).exitCode, 0);
  WriteFile(dir / "vexstat.jnl", EncodeJournalBegin(stat.size(), dupes.size()));
  LockHolder lock(dir.path());

  const auto before = Snapshot(dir.path());
  for (const char* option : {"--preview", "--export=json", "--export=csv", "--export=metrics"}) {
    SCOPED_TRACE(option);
    RunResult r = RunVexstat(dir.path(), {option});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_NE(r.out.find("DONE"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("HALF"), std::string::npos) << r.out;
    if (std::string(option) == "--export=json") {
      EXPECT_NE(r.out.find("\"tag\": \"HALF\", \"description\": \"\", \"files_in\": 3,"),
                std::string::npos);
    }
    if (std::string(option) == "--preview") {
      EXPECT_NE(r.out.find("TIC files waiting: 3"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace vex::e2e
