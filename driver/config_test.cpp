#include "driver/config.h"

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "platform/exit.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

// The steps of a config as "kind:line:text" words.
std::string Steps(const Config& c) {
  std::string out;
  for (const ConfigStep& s : c.steps) {
    static const char* const kKind[] = {"log", "cmd", "scan", "err"};
    out += std::string(out.empty() ? "" : " ") + kKind[s.kind] + ":" + std::to_string(s.line) +
           (s.kind == ConfigStep::kScan ? ":" + c.ticPaths[s.index].value : s.text.empty() ? ""
                                                                                           : ":" + s.text);
  }
  return out;
}

TEST(ConfigTest, TheReaderRecordsWhatTheRunDoesInFileOrder) {
  MemEnv env;
  struct Case {
    const char* name;
    std::string cfg;
    std::vector<std::string> args;
    std::string steps, undone;
  };
  const Case cases[] = {
      {"plain",
       "LOGFILE v.log\nFROMADDR x\nTICEXT *.t\nTICPATH a/\nTICEXT *.u\nTICPATH b/\n",
       {},
       "log:1:v.log err:2:Error converting x cmd:4 scan:4:a/ scan:6:b/",
       ""},
      {"no TICPATH", "MAKEANNOUNCE Yes\n", {"-P"}, "cmd:0", ""},
      {"-R reads but scans nothing", "TICPATH a/\nTICPATH b/\n", {"-R"}, "cmd:1", ""},
      {"-K ends at the first TICPATH", "LOGFILE v.log\nTICPATH a/\nLOGFILE w.log\n", {"-K", "-R"},
       "log:1:v.log cmd:2:-K", ""},
      {"options undone below",
       "TICPATH a/\nMAKEANNOUNCE Yes\nKILLTIC No\nRESULTFILE r\nSKIPDUPECH No\nTICPATH b/\n",
       {"-P", "-F", "-O", "-E*.x"},
       "cmd:1 scan:1:a/ scan:6:b/",
       "-P:MAKEANNOUNCE:2 -O:RESULTFILE:4 -F:KILLTIC:3"},
      {"a scan setting with no TICPATH below undoes nothing", "TICPATH a/\nKILLTIC No\n", {"-F"},
       "cmd:1 scan:1:a/", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    env.SetFile("vexstat.cfg", c.cfg);
    const Config config = ReadConfig(env, c.args);
    EXPECT_EQ(Steps(config), c.steps);
    std::string undone;
    for (const UndoneOption& u : config.undone)
      undone += std::string(undone.empty() ? "" : " ") + u.option + ":" + u.keyword + ":" +
                std::to_string(u.line);
    EXPECT_EQ(undone, c.undone);
  }
  // Each scan keeps the settings in force at its line.
  env.SetFile("vexstat.cfg", "TICEXT *.t\nKILLTIC Yes\nTICPATH a/\nTICEXT *.u\nTICPATH b/\n");
  const Config two = ReadConfig(env, {"-E*.e", "-J"});
  ASSERT_EQ(two.ticPaths.size(), 2u);
  EXPECT_EQ(two.ticPaths[0].mask, "*.e");
  EXPECT_EQ(two.ticPaths[1].mask, "*.u");
  EXPECT_FALSE(two.ticPaths[1].dupeCheck);
  EXPECT_TRUE(two.ticPaths[1].killTic);
  EXPECT_EQ(two.LineOf("TICEXT"), 4);
}

TEST(ConfigTest, PostAreasComeFromThePostersOwnLookup) {
  MemEnv env;
  env.SetFile("areas.cfg",
              "EchoArea ONE one -b Jam -a 2:5020/1\nEchoArea TWO two -b Msg\n");
  env.SetFile("vexstat.cfg",
              "ADDRESS 2:5020/9\nMAKEANNOUNCE Yes\nAREADEFINECFG Hareas.cfg\n"
              "TPLFILENAME t a.txt TWO\nTPLFILENAME t b.txt ONE\nTPLFILENAME t c.txt TWO\n"
              "TPLFILENAME t d.txt NONE\n");
  const Config c = ReadConfig(env, {});
  ASSERT_EQ(c.postAreas.size(), 4u);
  EXPECT_EQ(AddressToText(c.postAreas[0].from), "2:5020/9");
  EXPECT_EQ(c.postAreas[0].fromWhy, "the first ADDRESS");
  EXPECT_EQ(AddressToText(c.postAreas[2].from), "2:5020/1");  // carried over from ONE
  EXPECT_EQ(c.postAreas[2].fromWhy, "the -a of area ONE");
  EXPECT_EQ(c.postAreas[1].baseType, "J");
  EXPECT_FALSE(c.postAreas[3].found);
}

TEST(ConfigTest, AMissingConfigurationNamesItsTwinOfAnotherCase) {
  MemEnv env;
  env.SetFile("VEXSTAT.CFG", "TICPATH in/\n");
  App app(env, {"-R"});
  ActOnConfig(app, ReadConfig(env, app.args), true);
  EXPECT_NE(env.console().find("Config file vexstat.cfg not read (No such file or directory), "
                               "running with defaults\n"),
            std::string::npos);
  EXPECT_NE(env.console().find("   VEXSTAT.CFG is there: file names differ in letter case on "
                               "Linux; rename it to vexstat.cfg or give -CVEXSTAT.CFG\n"),
            std::string::npos)
      << env.console();
}

TEST(ConfigTest, ATicPathThatNamesNoReadableDirectoryIsAnErrorAndStillScans) {
  MemEnv env;
  env.SetFile("in/a.tic", "AREA X\n");
  env.SetFile("vexstat.cfg", "TICPATH in\nTICPATH gone/\nTICPATH in/\n");
  App app(env, {});
  ActOnConfig(app, ReadConfig(env, {}), true);
  EXPECT_EQ(app.log.ErrorLines(), 2);
  EXPECT_NE(env.console().find("[err] TICPATH in: the path lacks its final /, so the search is "
                               "for in*.tic, which finds nothing (1 TIC files in in/)"),
            std::string::npos)
      << env.console();
  EXPECT_EQ(env.GetFile("stat.vx").size(), 552u);
}

}  // namespace
}  // namespace vex
