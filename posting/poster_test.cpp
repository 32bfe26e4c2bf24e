#include "posting/poster.h"

#include <gtest/gtest.h>

#include "platform/cp866.h"
#include "platform/env_wrapper.h"
#include "posting/echo_toss_log.h"
#include "posting/posting.h"
#include "posting/posting_test_support.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

using testing_support::Day;
using testing_support::LogLines;
using Lines = std::vector<std::string>;

const std::string kChrs = "\x01" "CHRS: CP866 2";

struct StoredMessage {
  std::string from, to, subject, text;
  FtnAddress orig, dest;
  uint32_t attributes = 0;
};

// Every message of a base, read back through the library (the text with
// its kludges first, each line ended by a CR).
std::vector<StoredMessage> ReadBase(Env& env, const std::string& areaId) {
  std::unique_ptr<Base> base;
  std::vector<StoredMessage> out;
  std::vector<uint32_t> numbers;
  if (!OpenBase(env, areaId, BaseMode::kWrite, &base).ok() || !base->List(&numbers).ok())
    return out;
  for (uint32_t n : numbers) {
    Message got;
    EXPECT_TRUE(base->Read(n, &got).ok());
    StoredMessage m;
    m.from = got.from;
    m.to = got.to;
    m.subject = got.subject;
    m.orig = got.orig;
    m.dest = got.dest;
    m.attributes = got.attributes & 0xFFFF;
    for (const std::string& k : got.kludges) m.text += "\x01" + k + "\r";
    for (const std::string& l : got.text) m.text += l + "\r";
    out.push_back(m);
  }
  return out;
}

Lines TextLines(const std::string& text) {
  Lines lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\r', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The lines of a message from the PID line on (the library's own header
// kludges before it differ by format).
Lines LinesFromPid(const std::string& text) {
  Lines all = TextLines(text);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == kPidLine) return Lines(all.begin() + i, all.end());
  }
  return all;
}

class PosterTest : public ::testing::Test {
 protected:
  PosterTest() : log(env) {
    env.SetNow(Day(2002, 3, 1, 5));
    InitPostingSettings(settings, env);
    Apply("FROMADDR 2:5020/123");
    Apply("TOADDR 2:5020/1");
    Apply("SUBJ File echo statistics");
    Apply("PATHTOECHOTOSSLOG echotoss.log");
    env.SetFile("echotoss.log", "");
  }
  void Apply(const std::string& line) {
    ApplyPostingLine(settings, log, env, line);
  }
  void Areas(const std::string& text) {
    env.SetFile("areas", text);
    Apply("AREADEFINECFG Hareas");
  }
  void Post(const std::string& tag, const std::string& file) {
    env.ClearConsole();
    PostAnnouncement(settings, log, env, tag, file);
  }
  Lines Log() { return LogLines(env.console()); }

  MemEnv env;
  LogContext log;
  PostingSettings settings;
};

TEST_F(PosterTest, OneMessageIntoAnEchoArea) {
  Areas("EchoArea RU.FIDO fido/rufido -b Jam -d \"Russian echo\"\n");
  env.SetFile("report.txt", "Line one\r\nLine two\r\n");
  Post("RU.FIDO", "report.txt");

  EXPECT_EQ(Log(), (Lines{" -> Putting report.txt into RU.FIDO [Russian echo]",
                          "    From Sysop [2:5020/123]",
                          "   -> trying ...   - Ok..."}));
  std::vector<StoredMessage> msgs = ReadBase(env, "Jfido/rufido");
  ASSERT_EQ(msgs.size(), 1u);
  const StoredMessage& m = msgs[0];
  EXPECT_EQ(m.from, "Sysop");
  EXPECT_EQ(m.to, "All");
  EXPECT_EQ(m.subject, "File echo statistics");
  EXPECT_EQ(m.orig, (FtnAddress{2, 5020, 123, 0}));
  EXPECT_EQ(m.attributes, AttrLocal);
  Lines text = TextLines(m.text);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text[0].substr(0, 19), "\x01MSGID: 2:5020/123 ");
  EXPECT_EQ(text[1], kPidLine);
  EXPECT_EQ(LinesFromPid(m.text),
            (Lines{kPidLine, kChrs, "Line one", "Line two", "", "--- ",
                   " * Origin: Autoposted message (2:5020/123)"}));
  EXPECT_EQ(env.GetFile("echotoss.log"), "RU.FIDO\r\n");
  EXPECT_EQ(env.titles().back(), "RU.FIDO - report.txt - File echo statistics - ");
}

TEST_F(PosterTest, NetmailFlagsTearLineAndDotsLastLine) {
  Areas("NetmailArea NETMAIL fido/netmail -b Msg\n");
  Apply("TOADDR 2:5020/1.7");
  Apply("FLAGS Pvt K/s");
  Apply("TEARLINE vexstat");
  Apply("ORIGIN Somewhere far");
  env.SetFile("report.txt", "Text\n... and so on\n");
  Post("netmail", "report.txt");

  std::vector<StoredMessage> msgs = ReadBase(env, "Mfido/netmail");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].attributes, AttrPrivate | AttrKillSent);
  EXPECT_EQ(msgs[0].dest, (FtnAddress{2, 5020, 1, 7}));
  Lines text = TextLines(msgs[0].text);
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text[0].substr(0, 7), "\x01MSGID:");
  EXPECT_EQ(text[1], "\x01INTL 2:5020/1 2:5020/123");
  EXPECT_EQ(text[2], "\x01TOPT 7");
  EXPECT_EQ(text[3], kPidLine);
  EXPECT_EQ(LinesFromPid(msgs[0].text),
            (Lines{kPidLine, kChrs, "Text", "... and so on", "--- vexstat",
                   " * Origin: Somewhere far (2:5020/123)"}));
}

TEST_F(PosterTest, SectionsWithMarkersPrefixedOnce) {
  Areas("LocalArea STAT fido/stat -b Squish\n");
  Apply("SECTIONSIZE 100");
  Apply("USEENCODEDMESSAGE Yes");
  Apply("USEENCODEDSTRING Yes");
  // 4 lines of 48 bytes + CR LF: 200 bytes, announced as 3 sections; the
  // cut comes after the line that passes 100 bytes.
  std::string line(48, 'x');
  env.SetFile("dir/report.txt", line + "\r\n" + line + "\r\n" + line +
                                    "\r\n" + line + "\r\n");
  Post("STAT", "dir/report.txt");
  EXPECT_EQ(Log(), (Lines{" -> Putting dir/report.txt into STAT",
                          "    From Sysop [2:5020/123]",
                          "   -> [1/3]  - Ok...", "   -> [2/3]  - Ok..."}));
  Post("STAT", "dir/report.txt");

  std::vector<StoredMessage> msgs = ReadBase(env, "Sfido/stat");
  ASSERT_EQ(msgs.size(), 4u);
  EXPECT_EQ(msgs[0].subject, "[1/3] File echo statistics");
  EXPECT_EQ(msgs[1].subject, "[2/3] File echo statistics");
  EXPECT_EQ(msgs[3].subject, "[2/3] File echo statistics");
  const std::string hint = "\x01" "For decode use \"Unrunnel.exe /decode\"";
  const std::string tail = " * Origin: Autoposted message (2:5020/123)";
  EXPECT_EQ(LinesFromPid(msgs[0].text),
            (Lines{kPidLine, kChrs, hint, "\x01Text.Section 1 of 3 of file report.txt",
                   line, line, line, "", "--- ", tail}));
  EXPECT_EQ(LinesFromPid(msgs[1].text),
            (Lines{kPidLine, kChrs, hint, "\x01Text.Section 2 of 3 of file report.txt",
                   line, "", "--- ", tail}));
  // The second posting of the run does not add a second kludge byte.
  EXPECT_EQ(LinesFromPid(msgs[2].text), LinesFromPid(msgs[0].text));
  EXPECT_EQ(env.GetFile("echotoss.log"), "STAT\r\n");
}

TEST_F(PosterTest, VisibleMarkersWithoutKludgePrefix) {
  Areas("EchoArea A fido/a -b Msg\n");
  Apply("USEASKLUDGE No");
  Apply("USEENCODEDSTRING Yes");
  Apply("BEGINENCODEDSTRING Part % of file");
  env.SetFile("r.txt", "body\n");
  Post("A", "r.txt");
  std::vector<StoredMessage> msgs = ReadBase(env, "Mfido/a");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(LinesFromPid(msgs[0].text)[2], "r.txt1Part 1 of file");
}

TEST_F(PosterTest, CharsetKludgeTextOrNone) {
  Areas("EchoArea A fido/a -b Msg\n");
  env.SetFile("r.txt", "body\n");
  for (const char* value : {"CHRS UTF-8 4", "CHRS", "CHRS \"\""}) {
    Apply(value);
    Post("A", "r.txt");
  }
  std::vector<StoredMessage> msgs = ReadBase(env, "Mfido/a");
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(LinesFromPid(msgs[0].text)[1], "\x01" "CHRS: UTF-8 4");
  for (size_t i : {1u, 2u}) EXPECT_EQ(LinesFromPid(msgs[i].text)[1], "body");
}

// With CHRS UTF-8 the message is written in UTF-8: header fields are cut
// on whole characters to what the base holds, and sections are measured in
// the bytes written.  A result file in UTF-8 is posted in the message's
// own character set.
TEST_F(PosterTest, Utf8MessagesAndUtf8ResultFiles) {
  Areas("EchoArea A fido/a -b Msg\nEchoArea J fido/j -b Jam\n");
  const std::string name = Cp866("Длинное имя Отправителя Сообщения");
  const std::string line = Cp866("абвгдежзий");                          // 10
  Apply("CHRS UTF-8 4");
  Apply("FROM " + name);
  Apply("SUBJ " + Cp866("Статистика"));
  Apply("SECTIONSIZE 40");  // three lines: 36 bytes in CP866, 66 in UTF-8
  env.SetFile("r.txt", line + "\r\n" + line + "\r\n" + line + "\r\n");
  Post("A", "r.txt");
  Post("J", "r.txt");
  std::vector<StoredMessage> msg = ReadBase(env, "Mfido/a");
  std::vector<StoredMessage> jam = ReadBase(env, "Jfido/j");
  ASSERT_EQ(msg.size(), 2u);
  ASSERT_EQ(jam.size(), 2u);
  const std::string utf8Name = Cp866ToUtf8(name);
  EXPECT_EQ(msg[0].from, utf8Name.substr(0, 34));  // 35 bytes would split "я"
  EXPECT_EQ(jam[0].from, utf8Name);
  EXPECT_EQ(msg[1].subject, "[2/2] " + Cp866ToUtf8(Cp866("Статистика")));
  EXPECT_EQ(LinesFromPid(msg[0].text),
            (Lines{kPidLine, "\x01" "CHRS: UTF-8 4", Cp866ToUtf8(line),
                   Cp866ToUtf8(line), "", "--- ",
                   " * Origin: Autoposted message (2:5020/123)"}));

  Apply("CHRS CP866 2");
  settings.resultUtf8 = true;
  env.SetFile("u.txt", Cp866ToUtf8(line) + "\r\n");
  Post("A", "u.txt");
  msg = ReadBase(env, "Mfido/a");
  ASSERT_EQ(msg.size(), 3u);
  EXPECT_EQ(msg[2].from, name.substr(0, 35));
  EXPECT_EQ(LinesFromPid(msg[2].text)[2], line);
}

TEST_F(PosterTest, LongLinesAreCutAndEmptyFilePostsNothing) {
  Areas("EchoArea A fido/a -b Msg\n");
  env.SetFile("r.txt", std::string(300, 'y') + "\n");
  env.SetFile("empty.txt", "");
  Post("A", "empty.txt");
  EXPECT_EQ(Log(), (Lines{" -> Putting empty.txt into A",
                          "    From Sysop [2:5020/123]"}));
  EXPECT_EQ(env.GetFile("echotoss.log"), "A\r\n");
  int err = 0;
  env.Remove("echotoss.log", &err);
  Post("A", "r.txt");
  EXPECT_EQ(Log().back(),
            "[err] Creating new echo-exportation file echotoss.log");
  EXPECT_EQ(env.GetFile("echotoss.log"), "A\r\n");
  std::vector<StoredMessage> msgs = ReadBase(env, "Mfido/a");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(LinesFromPid(msgs[0].text)[2], std::string(255, 'y'));
}

TEST_F(PosterTest, NotDueTodayDoesNothingElse) {
  Areas("EchoArea RU.FIDO fido/rufido -b Jam\n");
  Apply("WHEN WEEKLY 1");  // today is a Friday
  env.SetFile("report.txt", "x\n");
  Post("RU.FIDO", "report.txt");
  EXPECT_EQ(Log(), (Lines{"Not due today: RU.FIDO"}));
  EXPECT_FALSE(env.HasDirectory("fido"));
  EXPECT_EQ(env.GetFile("echotoss.log"), "");
  Post("", "report.txt");
  EXPECT_EQ(env.console(), "");
}

TEST_F(PosterTest, MissingResultFile) {
  Areas("EchoArea RU.FIDO fido/rufido -b Jam\n");
  Post("RU.FIDO", "absent.txt");
  EXPECT_EQ(Log(),
            (Lines{"There are some errors in your settings of post area:",
                   "[err] File absent.txt not found"}));
  // The base is opened (here created) all the same, and closed again.
  EXPECT_TRUE(env.HasFile("fido/rufido.jhr"));
  EXPECT_EQ(env.OpenFileCount(), 0);
  EXPECT_TRUE(ReadBase(env, "Jfido/rufido").empty());
  EXPECT_EQ(env.GetFile("echotoss.log"), "");
}

TEST_F(PosterTest, UnknownAreaAndUnsupportedTypes) {
  Areas("EchoArea RU.FIDO fido/rufido -b Jam\n"
        "EchoArea HUDSON fido/hudson -b Hudson\n");
  env.SetFile("report.txt", "x\n");
  Post("NO.SUCH", "report.txt");
  EXPECT_EQ(Log(),
            (Lines{"[err] Area NO.SUCH not found in areas",
                   "There are some errors in your settings of post area:",
                   "[err] Unable to open/create msgbase , maybe you not "
                   "define area file properly"}));
  Post("HUDSON", "report.txt");
  EXPECT_EQ(Log(),
            (Lines{"[err] Internal error while reading areas",
                   "There are some errors in your settings of post area:",
                   "[err] Unable to open/create msgbase fido/hudson, maybe you "
                   "not define area file properly"}));
  Apply("AREADEFINECFG Qareas");
  Post("RU.FIDO", "report.txt");
  EXPECT_EQ(Log()[1], "[err] Unable to open/create msgbase , maybe you not "
                      "define area file properly");
  EXPECT_EQ(env.GetFile("echotoss.log"), "");
  EXPECT_EQ(env.Files(), (std::vector<std::string>{"areas", "echotoss.log",
                                                   "report.txt"}));
}

TEST_F(PosterTest, WriteFailureKeepsStoredMessagesAndSkipsTossLog) {
  FaultEnv faulty(env);
  LogContext faultyLog(faulty);
  Areas("EchoArea A fido/a -b Jam\n");
  env.SetFile("r.txt", "first\n");
  PostAnnouncement(settings, faultyLog, faulty, "A", "r.txt");
  ASSERT_EQ(ReadBase(env, "Jfido/a").size(), 1u);
  const std::string before = env.GetFile("fido/a.jdt");
  env.SetFile("echotoss.log", "");

  // The MSGID counter cannot be written: no message is begun.
  env.ClearConsole();
  faulty.FailWritesAfter(0);
  PostAnnouncement(settings, faultyLog, faulty, "A", "r.txt");
  EXPECT_EQ(Log().back(), "   vexstat.seq: No space left on device");
  EXPECT_EQ(env.GetFile("fido/a.jdt"), before);

  // Only the counter's four bytes go through.
  env.ClearConsole();
  faulty.FailWritesAfter(4);
  PostAnnouncement(settings, faultyLog, faulty, "A", "r.txt");
  Lines log = Log();
  ASSERT_GE(log.size(), 4u);
  // The unfinished "trying" line ends; the report and the file that failed
  // follow on lines of their own.
  EXPECT_EQ(log[log.size() - 4], "   -> trying ... ");
  EXPECT_EQ(log[log.size() - 3], "There are some errors in your settings of post area:");
  EXPECT_EQ(log[log.size() - 2], "[err] Unable to write message, check area!");
  EXPECT_EQ(log.back(), "   fido/a.jdt: No space left on device");
  faulty.Reset();
  std::vector<StoredMessage> msgs = ReadBase(env, "Jfido/a");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(LinesFromPid(msgs[0].text)[2], "first");
  EXPECT_EQ(env.GetFile("fido/a.jdt"), before);
  EXPECT_EQ(env.GetFile("echotoss.log"), "");

  // A header file emptied beside the messages: the base is refused, named
  // and left as it is.
  env.SetFile("fido/a.jhr", "");
  env.ClearConsole();
  PostAnnouncement(settings, faultyLog, env, "A", "r.txt");
  EXPECT_EQ(Log().back(), "   fido/a.jhr is damaged: it is empty while fido/a.jdx holds messages");
  EXPECT_EQ(env.GetFile("fido/a.jhr"), "");
  EXPECT_EQ(env.GetFile("fido/a.jdt"), before);
}

// Appends a line to a file whenever its size is taken, as a tosser might.
struct TosserEnv : EnvWrapper {
  using EnvWrapper::EnvWrapper;
  struct Tossing : FileWrapper {
    Tossing(std::unique_ptr<File> f, Env& e) : FileWrapper(std::move(f)), e(e) {}
    bool Size(uint64_t* n) override {
      return FileWrapper::Size(n) &&
             e.Open(Path(), OpenMode::kAppend, nullptr)->Append("T\r\n", 3);
    }
    Env& e;
  };
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* err) override {
    std::unique_ptr<File> f = target().Open(p, m, err);
    return f ? std::make_unique<Tossing>(std::move(f), target()) : nullptr;
  }
};

TEST(EchoTossLogTest, CreatedListedOnceAndNeverJoinedToALastLine) {
  MemEnv env;
  LogContext log(env);
  UpdateEchoTossLog(log, env, "toss.log", "RU.FIDO");
  EXPECT_EQ(LogLines(env.console()),
            (Lines{"[err] Creating new echo-exportation file toss.log"}));
  EXPECT_EQ(env.GetFile("toss.log"), "RU.FIDO\r\n");
  env.ClearConsole();
  UpdateEchoTossLog(log, env, "toss.log", "ru.fido");
  EXPECT_EQ(env.GetFile("toss.log"), "RU.FIDO\r\n");
  EXPECT_EQ(env.console(), "");

  env.SetFile("toss.log", "OTHER");
  UpdateEchoTossLog(log, env, "toss.log", "RU.FIDO");
  EXPECT_EQ(env.GetFile("toss.log"), "OTHER\r\nRU.FIDO\r\n");
  TosserEnv tosser(env);  // lines added meanwhile are kept
  UpdateEchoTossLog(log, tosser, "toss.log", "B");
  EXPECT_EQ(env.GetFile("toss.log"), "OTHER\r\nRU.FIDO\r\nT\r\nB\r\n");

  UpdateEchoTossLog(log, env, "", "RU.FIDO");
  EXPECT_EQ(env.Files().size(), 1u);

  UpdateEchoTossLog(log, env, "nodir/toss.log", "RU.FIDO");
  EXPECT_EQ(LogLines(env.console()).back(),
            "[err] Path to file nodir/toss.log not found");
}

TEST(EchoTossLogTest, UnreadableFileIsNeverEmptied) {
  MemEnv mem;
  mem.SetFile("toss.log", "KEEP\r\n");
  FaultEnv env(mem);
  env.FailOpen("toss.log", EACCES);
  LogContext log(env);
  UpdateEchoTossLog(log, env, "toss.log", "RU.FIDO");
  EXPECT_EQ(LogLines(mem.console()),
            (Lines{"[err] Creating new echo-exportation file toss.log",
                   "[err] Access to file toss.log denied"}));
  EXPECT_EQ(mem.GetFile("toss.log"), "KEEP\r\n");
}

TEST_F(PosterTest, DirectoriesInPlaceOfFilesAreReportedNotRead) {
  env.AddDirectory("areas");
  env.AddDirectory("report.txt");
  Apply("AREADEFINECFG Hareas");
  Post("RU.FIDO", "report.txt");
  EXPECT_EQ(Log(),
            (Lines{"[err] File areas can't be read",
                   "There are some errors in your settings of post area:",
                   "[err] Unable to open/create msgbase , maybe you not "
                   "define area file properly"}));

  env.SetFile("areas2", "EchoArea RU.FIDO fido/rufido -b Msg\n");
  Apply("AREADEFINECFG Hareas2");
  Post("RU.FIDO", "report.txt");
  EXPECT_EQ(Log().back(), "[err] File report.txt not found");

  env.SetFile("r.txt", "x\n");
  int err = 0;
  env.Remove("echotoss.log", &err);
  env.AddDirectory("echotoss.log");
  Post("RU.FIDO", "r.txt");
  Lines log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2],
            "[err] Creating new echo-exportation file echotoss.log");
  // Either the create or the second open reports it; nothing is thrown.
  EXPECT_EQ(log.back().substr(0, 6), "[err] ");
  EXPECT_TRUE(env.HasDirectory("echotoss.log"));
}

TEST(EchoTossLogTest, IoErrorTexts) {
  EXPECT_EQ(IoErrorText("f", 2), "File f not found");
  EXPECT_EQ(IoErrorText("f", 3), "Path to file f not found");
  EXPECT_EQ(IoErrorText("f", 5), "Access to file f denied");
  EXPECT_EQ(IoErrorText("f", 6), "Invalid handle");
  EXPECT_EQ(IoErrorText("f", 8), "Not enough memory");
  EXPECT_EQ(IoErrorText("f", 10), "Invalid environment");
  EXPECT_EQ(IoErrorText("f", 11), "Invalid format");
  EXPECT_EQ(IoErrorText("f", 18), "No more files");
  EXPECT_EQ(IoErrorText("f", 4), "Unknown error... =)");
}

}  // namespace
}  // namespace vex
