#include "posting/area_readers.h"

#include <gtest/gtest.h>

#include "posting/posting.h"
#include "posting/posting_test_support.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

using testing_support::LogLines;

TEST(AreaOptionsTest, OptionsOfAFormatHLine) {
  struct Row {
    const char* text;
    int result;
    const char* baseType;
    const char* address;
    const char* description;
  };
  const Row rows[] = {
      {"-b Jam -a 2:5020/123 -d \"Russian echo\" -nopack -lr 5 ", 0, "J", "2:5020/123",
       "Russian echo"},
      // An unquoted description ends the scan.
      {"-d Russian echo -b Jam", 0, "", "", "Russian echo -b Jam"},
      // The scan stops at an unknown word and before a last single word.
      {"-x 1 -b Jam", 0, "", "", ""},
      {"-DupeHistory 10 -KEEPSB -b squish", 0, "S", "", ""},
      {"-nopack -b", 0, "", "", ""},
      {"-b Hudson -a 1:2/3", kAreaBaseTypeUnsupported, "", "1:2/3", ""},
  };
  for (const Row& r : rows) {
    AreaRecord a;
    int result = 0;
    ParseAreaOptionsH(r.text, a, result);
    EXPECT_EQ(result, r.result) << r.text;
    EXPECT_EQ(a.baseType, r.baseType) << r.text;
    EXPECT_EQ(a.address, r.address) << r.text;
    EXPECT_EQ(a.description, r.description) << r.text;
  }
}

TEST(AreaOptionsTest, HelpersOfTheScan) {
  for (auto [text, rest] : {std::pair<const char*, const char*>{"\"a b\" rest", " rest"},
                            {"no quotes", "no quotes"}, {"one \" quote", "one \" quote"}})
    EXPECT_EQ(SkipQuotedText(text), rest);
  for (auto [word, type] : {std::pair<const char*, const char*>{"squish", "S"}, {"Msg", "M"},
                            {"JAM", "J"}, {"Jam2", ""}})
    EXPECT_EQ(BaseTypeFromWord(word), type);
}

// One lookup by one reader in the files given: its result and record.
struct ReaderRow {
  const char* name;
  char format;  // H, S or T
  std::vector<std::pair<std::string, std::string>> files;
  const char* config;  // the file handed to the reader
  const char* tag;
  int result;
  const char* path;
  const char* baseType;
  char kind;
  const char* address;
  const char* description;
};

void PrintTo(const ReaderRow& r, std::ostream* os) { *os << r.name; }

class AreaFileTest : public ::testing::TestWithParam<ReaderRow> {};

TEST_P(AreaFileTest, Reads) {
  const ReaderRow& r = GetParam();
  MemEnv env;
  for (const auto& [name, text] : r.files) env.SetFile(name, text);
  AreaRecord a;
  a.tag = r.tag;
  a.description = "left over";
  auto reader = r.format == 'H' ? ReadAreaFormatH : r.format == 'S' ? ReadAreaFormatS
                                                                     : ReadAreaFormatT;
  EXPECT_EQ(reader(env, r.config, a), r.result);
  EXPECT_EQ(a.path, r.path);
  EXPECT_EQ(a.baseType, r.baseType);
  EXPECT_EQ(a.kind, r.kind);
  EXPECT_EQ(a.address, r.address);
  EXPECT_EQ(a.description, r.description);
}

std::string RowName(const ::testing::TestParamInfo<ReaderRow>& info) { return info.param.name; }

const std::string kAreasH =
    "; comment\r\n"
    "NetmailArea NETMAIL /fido/netmail -b Msg\r\n"
    "   EchoArea ru.fido /fido/msg/rufido -b Jam -a 2:5020/123 -d \"Russian echo\"\r\n"
    "LocalArea BADMAIL /fido/bad -b Squish\r\n";
const std::string kLastDefaults =
    "EchoAreaDefaults -b Squish -d \"Default\"\n"
    "EchoAreaDefaults -a 2:5020/9\n"
    "EchoArea RU.FIDO /fido/rufido -b Jam -a 2:5020/123\n"
    "EchoAreaDefaults -b Msg\n";
const std::string kComments =
    ";EchoArea RU.FIDO /fido/a -b Jam\n"
    "#EchoArea RU.FIDO /fido/b -b Jam\n"
    "\\\\EchoArea RU.FIDO /fido/c -b Jam\n"
    "LocalArea OTHER /fido/d -b Jam\n"
    "Something RU.FIDOX /fido/e\n";
const std::string kAreasS =
    "NetArea NETMAIL /fido/netmail\n"
    ";EchoArea RU.FIDO /fido/rufido -$\n"
    "EchoArea RU.FIDO /fido/other\n";
const std::string kAreasSOptions =
    "echoarea RU.FIDO /fido/rufido -$ -p2:5020/123 -x\n"
    "LocalArea BAD /fido/bad -P1:2/3 -$\n";
const std::string kListT =
    "@LINE RU.FIDO Jam\n"
    "/fido/jam/first RU.FIDO Msg\n"
    "/fido/jam/rufido ru.fido Jam\n"
    "/fido/jam/other OTHER jam\n";
const std::pair<std::string, std::string> kCfgT = {
    "cfg", "AREAFILE old.lst\nareafile /fido/areas.lst  \n"};

INSTANTIATE_TEST_SUITE_P(
    Formats, AreaFileTest,
    ::testing::Values(
        ReaderRow{"HFindsTheAreaLineIgnoringCase", 'H', {{"areas", kAreasH}}, "areas", "RU.FIDO",
                  0, "/fido/msg/rufido", "J", 'E', "2:5020/123", "Russian echo"},
        ReaderRow{"HDefaultsTakePrecedence", 'H',
                  {{"areas", "EchoAreaDefaults -b Squish\n"
                             "EchoArea RU.FIDO /fido/rufido -b Jam -d \"Own\"\n"}},
                  "areas", "RU.FIDO", 0, "/fido/rufido", "S", 'E', "", "Own"},
        // Only the last defaults line counts, and only lines before the area.
        ReaderRow{"HOnlyTheLastDefaultsBeforeTheArea", 'H', {{"areas", kLastDefaults}}, "areas",
                  "RU.FIDO", 0, "/fido/rufido", "J", 'E', "2:5020/9", ""},
        ReaderRow{"HCommentsNeverMatchAndKindFollowsLastAreaLine", 'H', {{"areas", kComments}},
                  "areas", "RU.FIDO", 0, "", "", 'L', "", "left over"},
        ReaderRow{"HAnyFirstWordAndUnsupportedType", 'H',
                  {{"areas", "Whatever RU.FIDO /fido/x -b Hudson\n"}}, "areas", "ru.fido",
                  kAreaBaseTypeUnsupported, "/fido/x", "", 'N', "", ""},
        ReaderRow{"HMissingFile", 'H', {}, "missing", "RU.FIDO", kAreaConfigUnreadable, "", "",
                  'N', "", "left over"},
        // The second line matches but names no path.
        ReaderRow{"HLineOfTheTagAloneIsNoAreaLine", 'H',
                  {{"areas", "RU.FIDO\nEchoArea RU.FIDO\n"}}, "areas", "RU.FIDO", 0, "", "",
                  'E', "", ""},
        // Format S has no comments; the comment line is no area line of
        // its own.
        ReaderRow{"SHasNoComments", 'S', {{"areas", kAreasS}}, "areas", "RU.FIDO", 0,
                  "/fido/rufido", "S", 'N', "", "left over"},
        ReaderRow{"SNetmail", 'S', {{"areas", kAreasS}}, "areas", "NETMAIL", 0, "/fido/netmail",
                  "M", 'N', "", "left over"},
        ReaderRow{"SReadsEveryOption", 'S', {{"areas", kAreasSOptions}}, "areas", "ru.fido", 0,
                  "/fido/rufido", "S", 'E', "2:5020/123", "left over"},
        ReaderRow{"SAddressBeforeSquish", 'S', {{"areas", kAreasSOptions}}, "areas", "BAD", 0,
                  "/fido/bad", "S", 'L', "1:2/3", "left over"},
        ReaderRow{"SMissingFile", 'S', {}, "nothing", "BAD", kAreaConfigUnreadable, "", "", 'N',
                  "", "left over"},
        ReaderRow{"TListFileLastDefinitionWins", 'T', {kCfgT, {"/fido/areas.lst", kListT}}, "cfg",
                  "RU.FIDO", 0, "/fido/jam/rufido", "J", 'E', "", ""},
        ReaderRow{"TTypeLetterAsWritten", 'T', {kCfgT, {"/fido/areas.lst", kListT}}, "cfg",
                  "OTHER", 0, "/fido/jam/other", "j", 'E', "", ""},
        ReaderRow{"TUnsupportedType", 'T',
                  {{"cfg", "AREAFILE list\n"}, {"list", "/fido/sq RU.FIDO Squish\n"}}, "cfg",
                  "RU.FIDO", kAreaBaseTypeUnsupported, "/fido/sq", "S", 'E', "", ""},
        ReaderRow{"TNoAreaFileLine", 'T', {{"nolist", "; AREAFILE list\n"}}, "nolist", "RU.FIDO",
                  kAreaConfigUnreadable, "", "", 'N', "", "left over"},
        ReaderRow{"TMissingFile", 'T', {}, "missing", "RU.FIDO", kAreaConfigUnreadable, "", "",
                  'N', "", "left over"},
        ReaderRow{"TListUnreadable", 'T', {{"badlist", "AREAFILE /nowhere/list\n"}}, "badlist",
                  "RU.FIDO", kAreaListUnreadable, "", "", 'E', "", ""}),
    RowName);

class LookUpAreaTest : public ::testing::Test {
 protected:
  LookUpAreaTest() : log(env) { InitPostingSettings(settings, env); }
  std::vector<std::string> Log() { return LogLines(env.console()); }
  MemEnv env;
  LogContext log;
  PostingSettings settings;
};

TEST_F(LookUpAreaTest, AreaAddressReplacesFromAddress) {
  env.SetFile("fido/areas",
              "EchoArea RU.FIDO /fido/rufido -b Jam -a 2:5020/123 "
              "-d \"Russian echo\"\n"
              "EchoArea RU.OTHER /fido/other -b Squish\n");
  settings.areaDefineCfg = "hfido/areas";
  settings.entry.fromAddress = FtnAddress{2, 5020, 1, 0};
  settings.entry.areaTag = "RU.FIDO";
  LookUpArea(settings, log, env);
  EXPECT_EQ(settings.entry.areaPath, "/fido/rufido");
  EXPECT_EQ(settings.entry.baseType, "J");
  EXPECT_EQ(settings.entry.areaKind, 'E');
  EXPECT_EQ(settings.entry.areaDescription, "Russian echo");
  EXPECT_EQ(settings.entry.fromAddress, (FtnAddress{2, 5020, 123, 0}));

  // An area without an address of its own keeps the one in place.
  settings.entry.areaTag = "RU.OTHER";
  LookUpArea(settings, log, env);
  EXPECT_EQ(settings.entry.baseType, "S");
  EXPECT_EQ(settings.entry.areaDescription, "");
  EXPECT_EQ(settings.entry.fromAddress, (FtnAddress{2, 5020, 123, 0}));
  EXPECT_TRUE(Log().empty());
}

TEST_F(LookUpAreaTest, ResultMessages) {
  settings.entry.areaTag = "RU.FIDO";
  settings.areaDefineCfg = "H/etc/none";
  settings.entry.areaPath = "/old";
  settings.entry.areaKind = 'E';
  LookUpArea(settings, log, env);
  EXPECT_EQ(settings.entry.areaPath, "");
  EXPECT_EQ(settings.entry.areaKind, 'N');

  env.SetFile("areas", "EchoArea RU.FIDO /x -b Hudson\n");
  settings.areaDefineCfg = "Hareas";
  LookUpArea(settings, log, env);
  EXPECT_EQ(settings.entry.areaPath, "/x");

  env.SetFile("tcfg", "AREAFILE missing.lst\n");
  settings.areaDefineCfg = "ttcfg";
  LookUpArea(settings, log, env);

  EXPECT_EQ(Log(),
            (std::vector<std::string>{
                "[err] File /etc/none can't be read",
                "[err] Internal error while reading areas",
                "[err] Error reading your area-define file, wich setted in "
                "tcfg"}));
}

TEST_F(LookUpAreaTest, OtherLetterAndEmptySetting) {
  settings.entry.areaTag = "RU.FIDO";
  settings.entry.areaPath = "/kept";
  LookUpArea(settings, log, env);  // no AREADEFINECFG: nothing changes
  EXPECT_EQ(settings.entry.areaPath, "/kept");

  env.SetFile("areas", "EchoArea RU.FIDO /x -b Jam\n");
  settings.areaDefineCfg = "Xareas";
  settings.entry.baseType = "J";
  LookUpArea(settings, log, env);
  EXPECT_EQ(settings.entry.areaPath, "");
  EXPECT_EQ(settings.entry.baseType, "");
  EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace vex
