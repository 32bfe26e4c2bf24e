// End-to-end runs over input as other programs and people write it: TIC
// files of a real ticker, configuration files and templates written in
// UTF-8, and the messages a sysop needs when something is missing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/path.h"
#include "tests/e2e_harness.h"

namespace vex {
namespace {

using namespace e2e;
using Lines = std::vector<std::string>;

std::string Cp866(const std::string& utf8) { return Convert(utf8, "CP866", "UTF-8"); }

// Drops the directories of absolute paths: everything lies in one place.
std::string Local(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 5, "/var/") == 0 || text.compare(i, 5, "/etc/") == 0) {
      size_t end = text.find_first_of(" \n", i);
      if (end == std::string::npos) end = text.size();
      i = text.rfind('/', end - 1) + 1;
    } else {
      out += text[i++];
    }
  }
  return out;
}

class RealInputE2eTest : public ::testing::Test {
 protected:
  // Writes a file below the test directory, as UTF-8 or converted to CP866;
  // TIC files are dated on the day of the runs.
  void Put(const std::string& name, const std::string& text, bool cp866 = false) {
    MakeDirs(FolderOf(dir / name));
    WriteFile(dir / name, cp866 ? Cp866(text) : text);
    if (name.ends_with(".tic")) SetModTime(dir / name, "2026-12-08 10:00:00");
  }
  std::string Get(const std::string& name) { return ReadFile(dir / name); }
  TempDir dir;
};

TEST_F(RealInputE2eTest, TicFilesOfARealTicker) {
  Put("in/a.tic", "Area NODEDIFF \r\nTo Test Sysop, 2:5020/9999\r\nFrom 2:5020/1 \r\n"
                  "Origin 2:2/0\t\r\nSize 3221225472\r\n");
  Put("in/b.tic", "Area NODEDIFF\r\nFrom 2:5020/9999\r\nSize 1024\r\n");
  Put("vexstat.cfg", "ADDRESS 2:5020/9999 \nTICPATH in/\nTPLFILENAME t.tpl r.txt\n");
  Put("t.tpl", "#ORDERSTYLE ,\n#REALDOTS 0\n#AREASIZE\n@AREA(9,L)|@SIZEIN(9)|@SIZEOUT(1)\n");
  ASSERT_EQ(RunVexstat(dir.path()).exitCode, 0);
  const std::string stat = Get("stat.vx");
  ASSERT_EQ(stat.size(), 2 * 552u);
  EXPECT_EQ(stat.substr(0, 33), std::string("\2\0\x9C\x13\1\0\0\0" "\2\0\2\0\0\0\0\0"
                                            "\2\0\x9C\x13\x0F\x27\0\0" "\x08NODEDIFF", 33));
  EXPECT_EQ(stat.substr(536, 4), std::string("\0\0\0\xC0", 4));
  // One area row: in from the link, out from the node's own address.
  EXPECT_EQ(Get("r.txt"), "NODEDIFF |3,145,728|1\r\n");
}

TEST_F(RealInputE2eTest, Utf8FilesGiveWhatTheirCp866TwinsGive) {
  for (const std::string sub : {"utf8/", "cp866/"}) {
    const bool cp866 = sub == "cp866/";
    Put(sub + "in/a.tic", "Area NODEDIFF\r\nSize 2048\r\n");
    Put(sub + "vexstat.cfg",
        "LOGFILE v.log\nADDRESS 2:5020/9999\nMAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\n"
        "FROM Робот статистики\nSUBJ Статистика файлэх\nORIGIN Мой узел, Москва\n"
        "USECHAR ■∙*·█\nTICPATH in/\nTPLFILENAME t.tpl r.txt СТАТ\n", cp866);
    Put(sub + "areas.cfg", "EchoArea стат base -b Msg -d \"Статистика\"\n", cp866);
    Put(sub + "t.tpl", "Файлэхи ─ @TOTALFILES\n#AREASIZE\n@AREA(9,L)|@GRAPH(2,L)|@DBLGRAPHS(2,L)\n", cp866);
    ASSERT_EQ(RunVexstat(dir / sub).exitCode, 0);
  }
  EXPECT_EQ(Get("utf8/r.txt"), Cp866("Файлэхи ─ 1\r\nNODEDIFF |■■|██\r\n"));
  EXPECT_EQ(Get("utf8/r.txt"), Get("cp866/r.txt"));
  const std::string msg = Get("utf8/base/2.msg");
  EXPECT_EQ(msg.substr(0, 16), Cp866("Робот статистики"));
  // Posted from the first ADDRESS, without a FROMADDR line.
  EXPECT_NE(msg.find(Cp866(" * Origin: Мой узел, Москва (2:5020/9999)")), std::string::npos);
  const size_t id = msg.find("MSGID: 2:5020/9999 ");
  ASSERT_NE(id, std::string::npos);
  // The two runs may fall in different seconds: the header's date text
  // (offset 144, 20 bytes) and packed dates (176, 8 bytes) are left out.
  const std::string twin = Get("cp866/base/2.msg");
  auto undated = [id](const std::string& m) {
    std::string head = m.substr(0, id + 19);
    head.replace(176, 8, 8, '\0');
    return head.replace(144, 20, 20, ' ');
  };
  EXPECT_EQ(undated(msg), undated(twin));
  EXPECT_EQ(msg.substr(id + 27), twin.substr(id + 27));
  EXPECT_NE(Get("utf8/v.log").find(Cp866("[Статистика]\n")), std::string::npos);
}

TEST_F(RealInputE2eTest, Cp866TextsThatLookLikeUtf8StayBytes) {
  // CP866 "ёлка", "рек" and "тел" are each a well-formed UTF-8 character
  // that CP866 lacks: the files holding them are CP866.
  const std::string tree = "\xF1\xAB\xAA\xA0", words = tree + " \xE0\xA5\xAA \xE2\xA5\xAB";
  Put("in/a.tic", "Area NODEDIFF\r\nSize 2048\r\n");
  Put("vexstat.cfg", "LOGFILE v.log\nMAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\nTICPATH in/\n"
                     "TPLFILENAME t.tpl " + tree + ".txt TREE\nTPLFILENAME e.tpl e.txt\n");
  Put("areas.cfg", "EchoArea TREE base -b Msg -d \"" + tree + "\"\n");
  Put("t.tpl", words + "\n");
  // A UTF-8 file with a character CP866 lacks is read as the bytes it holds.
  Put("e.tpl", "Цена 5 €\n");
  ASSERT_EQ(RunVexstat(dir.path()).exitCode, 0);
  EXPECT_EQ(Get(tree + ".txt"), words + "\r\n");
  EXPECT_NE(Get("v.log").find("[" + tree + "]"), std::string::npos);
  EXPECT_NE(Get("base/2.msg").find(words), std::string::npos);
  EXPECT_EQ(Get("e.txt"), "Цена 5 €\r\n");
}

TEST_F(RealInputE2eTest, SampleConfigurationAndTemplatesGiveWhatTheirCp866TwinsGive) {
  const std::string samples = SourceDir() + "/samples/";
  // utf8out/ has its result files written in UTF-8.
  for (const std::string sub : {"utf8/", "cp866/", "utf8out/"}) {
    const bool cp866 = sub == "cp866/";
    std::string cfg = Local(ReadFile(samples + "vexstat.cfg"));
    // The inbound directories are the node directory itself.
    for (size_t at; (at = cfg.find("TICPATH \n")) != std::string::npos;)
      cfg.replace(at, 9, "TICPATH ./\n");
    Put(sub + "vexstat.cfg",
        cfg +
            (sub == "utf8out/" ? "RESULTCHARSET UTF-8\n" : ""),
        cp866);
    Put(sub + "areas.cfg", Local(ReadFile(samples + "areas/areas-h.cfg")));
    for (const char* t : {"daily.tpl", "links.tpl", "full.tpl", "report.html.tpl"})
      Put(sub + t, ReadFile(samples + "templates/" + t), cp866);
    Put(sub + "a.tic", "Area R50.ARC\r\nAreadesc " + Cp866("Архивы") + "\r\nSize 5000\r\n");
    Put(sub + "b.tic", "Area NODELIST\r\nFrom 2:5020/1\r\nSize 70000\r\n");
    ASSERT_EQ(RunVexstat(dir / sub).exitCode, 0);
  }
  for (const char* name : {"daily.txt", "links.txt", "full.txt", "filestat.html"}) {
    EXPECT_GT(Get(std::string("utf8/") + name).size(), 500u) << name;
    EXPECT_EQ(Get(std::string("utf8/") + name), Get(std::string("cp866/") + name)) << name;
    // The same text in UTF-8; the web page declares it.
    std::string twin = Get(std::string("cp866/") + name);
    const std::string cp866Meta = "<meta charset=\"IBM866\">";
    const size_t meta = twin.find(cp866Meta);
    EXPECT_EQ(meta == std::string::npos, std::string(name) != "filestat.html") << name;
    if (meta != std::string::npos) twin.replace(meta, cp866Meta.size(), "<meta charset=\"UTF-8\">");
    EXPECT_EQ(Get(std::string("utf8out/") + name), Convert(twin, "UTF-8", "CP866")) << name;
  }
}

// The configuration, the options, and consecutive console lines expected
// (without their stamps).
using WhyCase = std::tuple<std::string, Lines, std::string>;
class SayWhyE2eTest : public RealInputE2eTest,
                      public ::testing::WithParamInterface<WhyCase> {};

// Runs as nobody, to whom the result file is write-only (root would read it).
TEST_P(SayWhyE2eTest, ConsoleLineNamesFileAndReason) {
  const auto& [config, args, lines] = GetParam();
  if (!config.empty()) Put("vexstat.cfg", config);
  Put("stat.vx", "");
  Put("t.tpl", "x\n");
  Put("a.cfg", "EchoArea STAT base -b Msg\n");
  Put("r.txt", "old\n");
  chmod((dir / "r.txt").c_str(), 0222);
  chmod(dir.path().c_str(), 0777);
  Lines argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", VexstatPath()};
  if (geteuid() != 0) argv.erase(argv.begin(), argv.begin() + 4);
  argv.insert(argv.end(), args.begin(), args.end());
  RunResult r = e2e::Run(dir.path(), argv, "2026-12-08 12:00:00");
  // Each failure but the maintenance run's missing file ends with code 3.
  EXPECT_EQ(r.exitCode, config.empty() ? 0 : 3) << r.err;
  std::string console;
  for (const std::string& line : UnstampedLines(r.out)) console += line + "\n";
  EXPECT_NE(console.find(lines), std::string::npos) << console;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SayWhyE2eTest,
    ::testing::Values(
        WhyCase{"", {"-K"},
                "Config file vexstat.cfg not read (No such file or directory), running "
                "with defaults\nФайл с дупами не найден..\n"},
        WhyCase{"LOGFILE no/v.log\n", {},
                " ! I can't make log file!!!..\n   no/v.log: No such file or directory\n"},
        WhyCase{"TPLFILENAME t.tpl no/r.txt\n", {},
                "Ошибка создания файла no/r.txt\n   no/r.txt: No such file or directory\n"},
        WhyCase{"MAKEANNOUNCE Yes\nAREADEFINECFG Ha.cfg\nTPLFILENAME t.tpl r.txt NO.SUCH\n", {},
                "[err] Area NO.SUCH not found in a.cfg\n"},
        // Created for writing only: the existing result is overwritten, and
        // only the poster finds it cannot read it.
        WhyCase{"MAKEANNOUNCE Yes\nAREADEFINECFG Ha.cfg\nTPLFILENAME t.tpl r.txt STAT\n", {},
                "[err] File r.txt not found\n"}));

}  // namespace
}  // namespace vex
