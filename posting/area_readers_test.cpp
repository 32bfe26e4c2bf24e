#include "posting/area_readers.h"

#include <gtest/gtest.h>

#include "posting/posting.h"
#include "posting/posting_test_support.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

using testing_support::LogLines;

AreaRecord ForTag(const std::string& tag) {
  AreaRecord a;
  a.tag = tag;
  return a;
}

TEST(AreaOptionsTest, AddressTypeAndQuotedDescription) {
  AreaRecord a;
  int result = 0;
  ParseAreaOptionsH("-b Jam -a 2:5020/123 -d \"Russian echo\" -nopack -lr 5 ",
                    a, result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(a.baseType, "J");
  EXPECT_EQ(a.address, "2:5020/123");
  EXPECT_EQ(a.description, "Russian echo");
}

TEST(AreaOptionsTest, UnquotedDescriptionEndsTheScan) {
  AreaRecord a;
  int result = 0;
  ParseAreaOptionsH("-d Russian echo -b Jam", a, result);
  EXPECT_EQ(a.description, "Russian echo -b Jam");
  EXPECT_EQ(a.baseType, "");
  EXPECT_EQ(result, 0);
}

TEST(AreaOptionsTest, ScanStopsAtUnknownWordAndLastSingleWord) {
  AreaRecord a;
  int result = 0;
  ParseAreaOptionsH("-x 1 -b Jam", a, result);
  EXPECT_EQ(a.baseType, "");
  ParseAreaOptionsH("-DupeHistory 10 -KEEPSB -b squish", a, result);
  EXPECT_EQ(a.baseType, "S");
  AreaRecord b;
  ParseAreaOptionsH("-nopack -b", b, result);  // "-b" alone is not examined
  EXPECT_EQ(b.baseType, "");
  EXPECT_EQ(result, 0);
}

TEST(AreaOptionsTest, UnsupportedTypeGivesResult2) {
  AreaRecord a;
  int result = 0;
  ParseAreaOptionsH("-b Hudson -a 1:2/3", a, result);
  EXPECT_EQ(result, kAreaBaseTypeUnsupported);
  EXPECT_EQ(a.baseType, "");
  EXPECT_EQ(a.address, "1:2/3");
}

TEST(AreaOptionsTest, HelpersOfTheScan) {
  EXPECT_EQ(SkipQuotedText("\"a b\" rest"), " rest");
  EXPECT_EQ(SkipQuotedText("no quotes"), "no quotes");
  EXPECT_EQ(SkipQuotedText("one \" quote"), "one \" quote");
  EXPECT_EQ(BaseTypeFromWord("squish"), "S");
  EXPECT_EQ(BaseTypeFromWord("Msg"), "M");
  EXPECT_EQ(BaseTypeFromWord("JAM"), "J");
  EXPECT_EQ(BaseTypeFromWord("Jam2"), "");
}

class AreaFileTest : public ::testing::Test {
 protected:
  MemEnv env;
};

TEST_F(AreaFileTest, FormatHFindsTheAreaLineIgnoringCase) {
  env.SetFile("areas",
              "; comment\r\n"
              "NetmailArea NETMAIL /fido/netmail -b Msg\r\n"
              "   EchoArea ru.fido /fido/msg/rufido -b Jam -a 2:5020/123 "
              "-d \"Russian echo\"\r\n"
              "LocalArea BADMAIL /fido/bad -b Squish\r\n");
  AreaRecord a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatH(env, "areas", a), 0);
  EXPECT_EQ(a.path, "/fido/msg/rufido");
  EXPECT_EQ(a.kind, 'E');
  EXPECT_EQ(a.baseType, "J");
  EXPECT_EQ(a.address, "2:5020/123");
  EXPECT_EQ(a.description, "Russian echo");
}

TEST_F(AreaFileTest, FormatHDefaultsTakePrecedence) {
  env.SetFile("areas",
              "EchoAreaDefaults -b Squish\n"
              "EchoArea RU.FIDO /fido/rufido -b Jam -d \"Own\"\n");
  AreaRecord a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatH(env, "areas", a), 0);
  EXPECT_EQ(a.baseType, "S");
  EXPECT_EQ(a.description, "Own");  // the defaults have none

  // Only the last defaults line counts, and only lines before the area.
  env.SetFile("areas",
              "EchoAreaDefaults -b Squish -d \"Default\"\n"
              "EchoAreaDefaults -a 2:5020/9\n"
              "EchoArea RU.FIDO /fido/rufido -b Jam -a 2:5020/123\n"
              "EchoAreaDefaults -b Msg\n");
  a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatH(env, "areas", a), 0);
  EXPECT_EQ(a.baseType, "J");
  EXPECT_EQ(a.address, "2:5020/9");
  EXPECT_EQ(a.description, "");
}

TEST_F(AreaFileTest, FormatHCommentsNeverMatchAndKindFollowsLastAreaLine) {
  env.SetFile("areas",
              ";EchoArea RU.FIDO /fido/a -b Jam\n"
              "#EchoArea RU.FIDO /fido/b -b Jam\n"
              "\\\\EchoArea RU.FIDO /fido/c -b Jam\n"
              "LocalArea OTHER /fido/d -b Jam\n"
              "Something RU.FIDOX /fido/e\n");
  AreaRecord a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatH(env, "areas", a), 0);
  EXPECT_EQ(a.path, "");
  EXPECT_EQ(a.baseType, "");
  EXPECT_EQ(a.kind, 'L');
}

TEST_F(AreaFileTest, FormatHAnyFirstWordAndUnsupportedType) {
  env.SetFile("areas", "Whatever RU.FIDO /fido/x -b Hudson\n");
  AreaRecord a = ForTag("ru.fido");
  EXPECT_EQ(ReadAreaFormatH(env, "areas", a), kAreaBaseTypeUnsupported);
  EXPECT_EQ(a.path, "/fido/x");
  EXPECT_EQ(a.baseType, "");
  EXPECT_EQ(a.kind, 'N');
  EXPECT_EQ(ReadAreaFormatH(env, "missing", a), kAreaConfigUnreadable);
}

TEST_F(AreaFileTest, FormatHLineOfTheTagAloneIsNoAreaLine) {
  env.SetFile("areas", "RU.FIDO\nEchoArea RU.FIDO\n");
  AreaRecord a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatH(env, "areas", a), 0);
  EXPECT_EQ(a.path, "");  // the second line matched but names no path
  EXPECT_EQ(a.kind, 'E');
}

TEST_F(AreaFileTest, FormatSHasNoCommentsAndReadsEveryOption) {
  env.SetFile("areas",
              "NetArea NETMAIL /fido/netmail\n"
              ";EchoArea RU.FIDO /fido/rufido -$\n"
              "EchoArea RU.FIDO /fido/other\n");
  AreaRecord a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatS(env, "areas", a), 0);
  EXPECT_EQ(a.path, "/fido/rufido");
  EXPECT_EQ(a.baseType, "S");
  EXPECT_EQ(a.kind, 'N');  // the comment line is no area line of its own

  a = ForTag("NETMAIL");
  EXPECT_EQ(ReadAreaFormatS(env, "areas", a), 0);
  EXPECT_EQ(a.path, "/fido/netmail");
  EXPECT_EQ(a.baseType, "M");
  EXPECT_EQ(a.kind, 'N');

  env.SetFile("areas",
              "echoarea RU.FIDO /fido/rufido -$ -p2:5020/123 -x\n"
              "LocalArea BAD /fido/bad -P1:2/3 -$\n");
  a = ForTag("ru.fido");
  EXPECT_EQ(ReadAreaFormatS(env, "areas", a), 0);
  EXPECT_EQ(a.baseType, "S");
  EXPECT_EQ(a.address, "2:5020/123");
  EXPECT_EQ(a.kind, 'E');
  a = ForTag("BAD");
  EXPECT_EQ(ReadAreaFormatS(env, "areas", a), 0);
  EXPECT_EQ(a.baseType, "S");
  EXPECT_EQ(a.address, "1:2/3");
  EXPECT_EQ(a.kind, 'L');
  EXPECT_EQ(ReadAreaFormatS(env, "nothing", a), kAreaConfigUnreadable);
}

TEST_F(AreaFileTest, FormatTListFileLastDefinitionWins) {
  env.SetFile("cfg", "AREAFILE old.lst\nareafile /fido/areas.lst  \n");
  env.SetFile("/fido/areas.lst",
              "@LINE RU.FIDO Jam\n"
              "/fido/jam/first RU.FIDO Msg\n"
              "/fido/jam/rufido ru.fido Jam\n"
              "/fido/jam/other OTHER jam\n");
  AreaRecord a = ForTag("RU.FIDO");
  a.description = "left over";
  EXPECT_EQ(ReadAreaFormatT(env, "cfg", a), 0);
  EXPECT_EQ(a.path, "/fido/jam/rufido");
  EXPECT_EQ(a.baseType, "J");
  EXPECT_EQ(a.kind, 'E');
  EXPECT_EQ(a.description, "");

  a = ForTag("OTHER");
  EXPECT_EQ(ReadAreaFormatT(env, "cfg", a), 0);
  EXPECT_EQ(a.baseType, "j");
}

TEST_F(AreaFileTest, FormatTResultCodes) {
  env.SetFile("cfg", "AREAFILE list\n");
  env.SetFile("list", "/fido/sq RU.FIDO Squish\n");
  AreaRecord a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatT(env, "cfg", a), kAreaBaseTypeUnsupported);
  EXPECT_EQ(a.baseType, "S");
  EXPECT_EQ(a.path, "/fido/sq");

  env.SetFile("nolist", "; AREAFILE list\n");
  a = ForTag("RU.FIDO");
  EXPECT_EQ(ReadAreaFormatT(env, "nolist", a), kAreaConfigUnreadable);
  EXPECT_EQ(a.kind, 'N');
  EXPECT_EQ(ReadAreaFormatT(env, "missing", a), kAreaConfigUnreadable);

  env.SetFile("badlist", "AREAFILE /nowhere/list\n");
  EXPECT_EQ(ReadAreaFormatT(env, "badlist", a), kAreaListUnreadable);
  EXPECT_EQ(a.kind, 'E');
}

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
