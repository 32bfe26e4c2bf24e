// End-to-end runs of the built program over TIC directories and the two
// stores: exact log lines, exact store bytes, and the maintenance options.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex {
namespace {

using e2e::Convert;
std::string Cp866(const std::string& utf8) { return Convert(utf8, "CP866", "UTF-8"); }
std::string Cp866ToUtf8(const std::string& cp866) { return Convert(cp866, "UTF-8", "CP866"); }

using e2e::FileExists;
using e2e::MakeDirs;
using e2e::ReadFile;
using e2e::RunResult;
using e2e::RunVexstat;
using e2e::SetModTime;
using e2e::TempDir;
using e2e::UnstampedLines;
using e2e::WriteFile;

// Written here byte by byte, independently of the program's encoder.
std::string U16(int v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string Address(int zone, int net, int node, int point) {
  return U16(zone) + U16(net) + U16(node) + U16(point);
}
std::string ShortString(const std::string& s, size_t capacity) {
  std::string out(1, static_cast<char>(s.size()));
  out += s;
  out.resize(capacity + 1, '\0');
  return out;
}
std::string Record(const std::string& from, const std::string& origin,
                   const std::string& to, const std::string& area,
                   const std::string& desc, uint32_t size,
                   std::vector<int> date) {
  std::string r = from + origin + to + ShortString(area, 255) +
                  ShortString(desc, 255) + U16(size & 0xFFFF) + U16(size >> 16);
  for (int v : date) r += U16(v);
  return r;
}
std::string Zero() { return Address(0, 0, 0, 0); }
std::string Dated(int y, int m, int d, const std::string& area) {
  return Record(Zero(), Zero(), Zero(), area, "", 0, {y, m, d, 0, 0, 0});
}

class IntakeE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // faketime would otherwise shift the file times the program reads.
    setenv("NO_FAKE_STAT", "1", 1);
    // A sanitizer build must accept faketime's library loaded before it.
    std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    if (asan.find("verify_asan_link_order") == std::string::npos)
      setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0").c_str(), 1);
  }
  RunResult Vexstat(std::vector<std::string> args = {}) {
    return RunVexstat(dir.path(), std::move(args));
  }
  std::string File(const std::string& name) { return ReadFile(dir / name); }
  void Put(const std::string& name, const std::string& bytes) {
    WriteFile(dir / name, bytes);
  }
  std::vector<std::string> LogLines() { return UnstampedLines(File("vex.log")); }
  std::string LastLogLine() {
    std::vector<std::string> lines = LogLines();
    return lines.empty() ? std::string("<no log>") : lines.back();
  }

  TempDir dir;
};

const char kFullConfig[] =
    "LOGFILE vex.log\n"
    "; the first scan: mask and dupe check come from the command line\n"
    "SKIPDUPECH no\n"
    "TICPATH in1/\n"
    "KILLTIC Yes\n"
    "TICEXT *.t?c\n"
    "TICPATH in2/\n";

TEST_F(IntakeE2eTest, ScansTwoDirectoriesIntoExactStoresAndLog) {
  MakeDirs(dir / "in1");
  MakeDirs(dir / "in2");
  Put("vexstat.cfg", kFullConfig);
  Put("in1/a1.tic",
      "Area RU.FILES\r\nAreadesc " + Cp866("Файлы") + "\r\nFrom 2:5020/1.2\r\n"
      "Origin 2:5020/3@fidonet\r\nTo 2:5020/4\r\nFile x.zip\r\nSize 12345\r\n");
  Put("in1/b1.tic", "Area OTHER\r\n");
  Put("in2/c2.tic", "AREA SECOND\nSIZE 70000\n");
  Put("in2/d2.tqc", "seenby 2:5020/1\n");
  Put("in2/e2.txt", "AREA NOT.A.TIC\n");
  SetModTime(dir / "in1/a1.tic", "2026-12-01 10:11:13");
  SetModTime(dir / "in2/c2.tic", "1979-05-05 05:05:05");
  SetModTime(dir / "in2/d2.tqc", "2026-12-08 23:59:58");

  RunResult r = Vexstat({"-Ea*.tic", "-J"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");

  const std::vector<std::string> want = {
      " * Made new log file",
      "Vexstat {v4.5.Win.rc}: started..",
      std::string(79, '\xC4'),
      Cp866("Загружаем конфиг..."),
      Cp866("Анализирую a1.tic"),
      Cp866("Анализирую c2.tic"),
      Cp866(" ... файл удален.."),
      Cp866("Анализирую d2.tqc"),
      Cp866(" ... файл удален.."),
  };
  // The intake lines, then (after whatever the report run writes) the end.
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), want.size() + 2);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(want.size())),
            want);
  EXPECT_EQ(lines[lines.size() - 2], "End..");
  EXPECT_EQ(lines.back(), "");
  size_t firstRun = lines.size();
  // Every log line reaches the console too, in UTF-8.
  EXPECT_EQ(r.out, Cp866ToUtf8(File("vex.log")));
  EXPECT_EQ(File("vex.log").rfind(" 08.12.26 12:00:", 0), 0u);

  std::string stat = File("stat.vx");
  ASSERT_EQ(stat.size(), 3 * 552u);
  EXPECT_EQ(stat.substr(0, 552),
            Record(Address(2, 5020, 1, 2), Address(2, 5020, 3, 0),
                   Address(2, 5020, 4, 0), "RU.FILES", Cp866("Файлы"), 12345,
                   {2026, 12, 1, 10, 11, 12}));
  EXPECT_EQ(stat.substr(552, 552),
            Record(Zero(), Zero(), Zero(), "SECOND", "", 70000,
                   {1980, 1, 1, 0, 0, 0}));
  EXPECT_EQ(stat.substr(1104, 552),
            Record(Zero(), Zero(), Zero(), "", "", 0, {2026, 12, 8, 23, 59, 58}));
  EXPECT_EQ(File("dupes.vx"), std::string("\x06" "a1.tic\0\0\0\0\0\0"
                                          "\x06" "c2.tic\0\0\0\0\0\0"
                                          "\x06" "d2.tqc\0\0\0\0\0\0", 39));
  EXPECT_TRUE(FileExists(dir / "in1/a1.tic"));
  EXPECT_TRUE(FileExists(dir / "in1/b1.tic"));
  EXPECT_FALSE(FileExists(dir / "in2/c2.tic"));
  EXPECT_FALSE(FileExists(dir / "in2/d2.tqc"));
  EXPECT_TRUE(FileExists(dir / "in2/e2.txt"));

  // Second run: the dupes are skipped (and kept even though KILLTIC is on).
  Put("in2/C2.TIC", "AREA AGAIN\n");
  r = Vexstat({"-Ea*.tic", "-J"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  lines = LogLines();
  const std::vector<std::string> second = {
      "Vexstat {v4.5.Win.rc}: started..",
      std::string(79, '\xC4'),
      Cp866("Загружаем конфиг..."),
      Cp866("Файл a1.tic уже обрабатывался..."),
      Cp866("Файл C2.TIC уже обрабатывался..."),
  };
  ASSERT_GE(lines.size(), firstRun + second.size() + 2);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(firstRun),
                                     lines.begin() + static_cast<long>(firstRun + second.size())),
            second);
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(File("stat.vx"), stat);
  EXPECT_TRUE(FileExists(dir / "in2/C2.TIC"));
}

TEST_F(IntakeE2eTest, ResetOfTheDupeStore) {
  MakeDirs(dir / "in");
  Put("vexstat.cfg", "LOGFILE vex.log\nTICPATH in/\n");
  Put("in/a.tic", "AREA A\n");
  Put("dupes.vx", std::string("\x05" "a.tic\0\0\0\0\0\0\0", 13));

  // -K at the first TICPATH: no scan, and the options after it are not
  // applied (no help screen).
  RunResult r = Vexstat({"-K", "-?"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(FileExists(dir / "dupes.vx"));
  EXPECT_FALSE(FileExists(dir / "stat.vx"));
  EXPECT_EQ(r.out.find("-D<N1"), std::string::npos);
  r = Vexstat({"-k"});
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[4], Cp866("Удаляем файл с дупами..."));
  EXPECT_EQ(lines[5], "End..");
  EXPECT_EQ(lines[10], Cp866("Файл с дупами не найден.."));
  EXPECT_EQ(lines[11], "End..");
  EXPECT_EQ(lines[12], "");
}

TEST_F(IntakeE2eTest, PurgeOfTheStatisticsStore) {
  Put("vexstat.cfg", "LOGFILE vex.log\n");
  // Today is 8 December 2026 under faketime.
  std::string store = Dated(2026, 11, 8, "D30") + Dated(2026, 11, 7, "D31") +
                      Dated(2026, 12, 9, "FUTURE") + Dated(2026, 12, 32, "BADDAY") +
                      Dated(2026, 12, 8, "TODAY");
  Put("stat.vx", store);

  // A bad parameter: message, no "End..", nothing changed.
  for (const char* bad : {"-L", "-Lx", "-L3d"}) {
    RunResult r = Vexstat({bad});
    EXPECT_EQ(r.exitCode, 0) << bad;
    EXPECT_EQ(LastLogLine(), Cp866("Ошибка в параметре для пуржинга статистики.."));
    EXPECT_EQ(File("stat.vx"), store) << bad;
    EXPECT_FALSE(FileExists(dir / "temp"));
  }

  RunResult r = Vexstat({"-L30", "-h"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find("-D<N1"), std::string::npos);
  EXPECT_EQ(File("stat.vx"), Dated(2026, 11, 8, "D30") + Dated(2026, 12, 9, "FUTURE") +
                                 Dated(2026, 12, 32, "BADDAY") + Dated(2026, 12, 8, "TODAY"));
  EXPECT_FALSE(FileExists(dir / "temp"));
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], Cp866("Пуржим статистику за 30 дней.."));
  EXPECT_EQ(lines[lines.size() - 2], "End..");

  unlink((dir / "stat.vx").c_str());
  r = Vexstat({"-L0"});
  EXPECT_EQ(r.exitCode, 0);
  lines = LogLines();
  EXPECT_EQ(lines[lines.size() - 4], Cp866("Пуржим статистику за 0 дней.."));
  EXPECT_EQ(lines[lines.size() - 3], Cp866("Файл со статистикой stat.vx пуст.."));
  EXPECT_EQ(lines[lines.size() - 2], "End..");
  EXPECT_FALSE(FileExists(dir / "temp"));
  EXPECT_FALSE(FileExists(dir / "stat.vx"));
}

TEST_F(IntakeE2eTest, HelpScreenIsUtf8OnTheConsoleOnly) {
  Put("vexstat.cfg", "LOGFILE vex.log\n");
  RunResult r = Vexstat({"/h"});
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::string> out = e2e::Lines(r.out);
  // The log lines of LOGFILE, then the 19 help lines.
  ASSERT_EQ(out.size(), 4u + 19u);
  EXPECT_EQ(out[4], " -D<N1[/N2]>      - период, за который делать статистику");
  EXPECT_EQ(out[10], "");
  EXPECT_EQ(out[16], " -R               ─ отменить сканирование TIC");
  EXPECT_EQ(out[19], "                    за последние <n> дней");
  EXPECT_EQ(LastLogLine(), Cp866("Загружаем конфиг..."));
}

TEST_F(IntakeE2eTest, BadInputNeverCrashesNorLosesARecord) {
  MakeDirs(dir / "in");
  Put("afile", "AREA NOT.A.DIR\n");
  Put("vexstat.cfg",
      "LOGFILE vex.log\n"
      "TICPATH afile\n"   // names a file: searches "afile*.tic"
      "TICPATH in/\n"
      "TICPATH missing/\n");
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 73 + 11) & 0xFF);
  Put("in/garbage.tic", garbage);
  Put("in/long.tic", "AREA LONG\n" + std::string(10000, 'x') + "\nSIZE 7\n");
  // An incomplete last record left by an earlier cut-short write.
  std::string old = Dated(2026, 12, 1, "OLD");
  Put("stat.vx", old + old.substr(0, 300));

  // The file and the missing directory are each an error line; the scans
  // still run as written.
  RunResult r = Vexstat();
  ASSERT_EQ(r.exitCode, 3) << r.err;
  const std::string log = File("vex.log");
  EXPECT_NE(log.find("[err] TICPATH afile: the path lacks its final / and afile is not a directory"),
            std::string::npos) << log;
  EXPECT_NE(log.find("[err] TICPATH missing/: directory missing/ does not exist"),
            std::string::npos) << log;
  std::string stat = File("stat.vx");
  ASSERT_EQ(stat.size(), 3 * 552u);
  EXPECT_EQ(stat.substr(0, 552), old);
  EXPECT_EQ(stat.substr(1104 + 24, 10), ShortString("LONG", 255).substr(0, 10));
  EXPECT_EQ(stat.substr(1104 + 536, 4), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(File("dupes.vx").size(), 26u);
}

TEST_F(IntakeE2eTest, UnreadableTicFileIsSkippedAndKept) {
  MakeDirs(dir / "in");
  Put("vexstat.cfg", "KILLTIC Yes\nTICPATH in/\n");
  Put("in/a.tic", "AREA A\n");
  Put("in/b.tic", "AREA B\n");
  chmod((dir / "in/a.tic").c_str(), 0);
  std::vector<std::string> argv = {e2e::VexstatPath()};
  if (geteuid() == 0) {
    // root reads a file whatever its mode: run the program as nobody, in a
    // directory that nobody may write to.
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";
    chmod(dir.path().c_str(), 0777);
    chmod((dir / "in").c_str(), 0777);
    argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  RunResult r = e2e::Run(dir.path(), argv, "2026-12-08 12:00:00");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Ошибка при открытии файла: закрыт доступ"), std::string::npos);
  EXPECT_TRUE(FileExists(dir / "in/a.tic"));
  EXPECT_FALSE(FileExists(dir / "in/b.tic"));
  EXPECT_EQ(File("stat.vx").size(), 552u);
  EXPECT_EQ(File("dupes.vx"), std::string("\x05" "b.tic\0\0\0\0\0\0\0", 13));
}

TEST_F(IntakeE2eTest, UnhandledIoFailureIsOneLineOnStandardError) {
  MakeDirs(dir / "in");
  MakeDirs(dir / "stat.vx");  // the store cannot be opened for writing
  Put("vexstat.cfg", "LOGFILE vex.log\nTICPATH in/\n");
  RunResult r = Vexstat();
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(e2e::Lines(r.err).size(), 1u);
  EXPECT_NE(r.err.find("stat.vx"), std::string::npos);
  // The log keeps what was written before, and then the same line.
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], Cp866("Загружаем конфиг..."));
  EXPECT_EQ(lines.back() + "\n", "[err] " + r.err);
}

}  // namespace
}  // namespace vex
