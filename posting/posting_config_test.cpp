#include <gtest/gtest.h>

#include "posting/flags.h"
#include "posting/posting.h"
#include "posting/posting_test_support.h"
#include "posting/schedule.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

using testing_support::Day;
using testing_support::LogLines;

// 2002-03-01 was a Friday.
const ClockTime kFriday1st = Day(2002, 3, 1, 5);
const ClockTime kMonday4th = Day(2002, 3, 4, 1);
const ClockTime kSunday3rd = Day(2002, 3, 3, 0);
const ClockTime kNewYear2003 = Day(2003, 1, 1, 3);

TEST(ScheduleTest, DailyIsCaseInsensitiveOnlyAsTheWholeText) {
  EXPECT_TRUE(EvaluateSchedule("DAILY", kFriday1st));
  EXPECT_TRUE(EvaluateSchedule("daily", kFriday1st));
  EXPECT_TRUE(EvaluateSchedule("Daily", kMonday4th));
  EXPECT_FALSE(EvaluateSchedule("DAILY 5", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("HOURLY", kFriday1st));
}

TEST(ScheduleTest, WeekdayWordsAreUpperCaseOnly) {
  EXPECT_TRUE(EvaluateSchedule("WEEKLY", kMonday4th));
  EXPECT_FALSE(EvaluateSchedule("WEEKLY", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("WEEKLY", kSunday3rd));
  EXPECT_FALSE(EvaluateSchedule("weekly", kMonday4th));
  EXPECT_FALSE(EvaluateSchedule("Monthly", kFriday1st));
}

TEST(ScheduleTest, DayListsIncludingASingleNumber) {
  EXPECT_TRUE(EvaluateSchedule("WEEKLY 1 5", kMonday4th));
  EXPECT_TRUE(EvaluateSchedule("WEEKLY 1 5", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("WEEKLY 1 5", kSunday3rd));
  EXPECT_TRUE(EvaluateSchedule("WEEKLY 5", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("WEEKLY 5", kMonday4th));
  EXPECT_TRUE(EvaluateSchedule("MONTHLY 15", Day(2002, 3, 15, 5)));
  EXPECT_TRUE(EvaluateSchedule("MONTHLY 1 15", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("MONTHLY 1 15", kMonday4th));
  EXPECT_TRUE(EvaluateSchedule("MONTHLY", kFriday1st));
  EXPECT_FALSE(EvaluateSchedule("MONTHLY", kMonday4th));
  // Words that are not numbers count as 0, which is Sunday.
  EXPECT_TRUE(EvaluateSchedule("WEEKLY Mon Fri", kSunday3rd));
  EXPECT_FALSE(EvaluateSchedule("WEEKLY Mon Fri", kMonday4th));
  // Extra blanks between the numbers do not matter.
  EXPECT_TRUE(EvaluateSchedule("WEEKLY 1   5", kFriday1st));
}

TEST(ScheduleTest, EmptyListAfterTheKeywordIsNeverDue) {
  EXPECT_FALSE(EvaluateSchedule("WEEKLY ", kMonday4th));
  EXPECT_FALSE(EvaluateSchedule("WEEKLY ", kSunday3rd));
  EXPECT_FALSE(EvaluateSchedule("MONTHLY ", kFriday1st));
}

TEST(ScheduleTest, YearlyOnlyOnTheFirstOfJanuary) {
  EXPECT_TRUE(EvaluateSchedule("YEARLY", kNewYear2003));
  EXPECT_FALSE(EvaluateSchedule("YEARLY", Day(2003, 1, 2, 4)));
  EXPECT_FALSE(EvaluateSchedule("YEARLY", Day(2003, 2, 1, 6)));
  EXPECT_TRUE(EvaluateSchedule("YEARLY 2002 2003", kNewYear2003));
  EXPECT_TRUE(EvaluateSchedule("YEARLY 2003", kNewYear2003));
  EXPECT_FALSE(EvaluateSchedule("YEARLY 2002 2004", kNewYear2003));
  EXPECT_FALSE(EvaluateSchedule("YEARLY 2003", Day(2003, 6, 1, 0)));
}

TEST(ScheduleTest, DayInList) {
  EXPECT_TRUE(DayInList("7", 7));
  EXPECT_TRUE(DayInList("1 2 $1F", 31));
  EXPECT_FALSE(DayInList("", 0));
  EXPECT_FALSE(DayInList("  ", 1));
  EXPECT_TRUE(DayInList("x", 0));
  EXPECT_FALSE(DayInList("12x 5", 12));
}

TEST(FlagsTest, WordsSetTheirBits) {
  EXPECT_EQ(ParseFlags("pvt k/s"), 0x0081u);
  EXPECT_EQ(ParseFlags("Loc"), 0x0100u);
  EXPECT_EQ(ParseFlags("PVT CRA RCV SNT ATT TRS ORP K/S LOC HLD FRQ RRQ RRC "
                       "ARQ URQ SCA"),
            0xFFFFu);
  EXPECT_EQ(ParseFlags("Pvt Pvt"), 0x0001u);
  EXPECT_EQ(ParseFlags("Private Local"), 0u);
  EXPECT_EQ(ParseFlags(""), 0u);
  EXPECT_EQ(ParseFlags("Hld  Cra "), 0x0202u);
}

class PostingConfigTest : public ::testing::Test {
 protected:
  PostingConfigTest() : log(env) {
    env.SetNow(kFriday1st);
    InitPostingSettings(settings, env);
  }
  void Apply(const std::string& line) {
    ApplyPostingLine(settings, log, env, line);
  }
  MemEnv env;
  LogContext log;
  PostingSettings settings;
};

TEST_F(PostingConfigTest, Defaults) {
  const PostEntry& e = settings.entry;
  EXPECT_EQ(e.fromName, "Sysop");
  EXPECT_EQ(e.toName, "All");
  EXPECT_EQ(e.subject, "");
  EXPECT_EQ(e.origin, "Autoposted message");
  EXPECT_EQ(e.tearLine, "");
  EXPECT_TRUE(e.fromAddress.IsZero());
  EXPECT_TRUE(e.toAddress.IsZero());
  EXPECT_EQ(e.sectionSize, 16384);
  EXPECT_EQ(e.flags, 0x100u);
  EXPECT_TRUE(e.dueToday);
  EXPECT_TRUE(settings.useAsKludge);
  EXPECT_FALSE(settings.useEncodedMessage);
  EXPECT_FALSE(settings.useEncodedString);
  EXPECT_EQ(settings.encodedMessage, "For decode use \"Unrunnel.exe /decode\"");
  EXPECT_EQ(settings.beginEncodedString, "Text.Section % of % of file %");
  EXPECT_EQ(settings.endEncodedString, "Text.End");
  EXPECT_EQ(settings.areaDefineCfg, "");
  EXPECT_FALSE(settings.libraryReady);
}

TEST_F(PostingConfigTest, AddressKeywordsOnlyInUpperCase) {
  Apply("fromaddr 2:5020/123");
  EXPECT_TRUE(settings.entry.fromAddress.IsZero());
  Apply("FromAddr 2:5020/123");
  EXPECT_TRUE(settings.entry.fromAddress.IsZero());
  DefaultFromAddress(settings, {FtnAddress{2, 5020, 9, 1}});  // first ADDRESS
  EXPECT_EQ(settings.entry.fromAddress, (FtnAddress{2, 5020, 9, 1}));
  Apply("FROMADDR 2:5020/123 \t");  // wins, whatever the order
  DefaultFromAddress(settings, {FtnAddress{2, 5020, 9, 1}});
  EXPECT_EQ(settings.entry.fromAddress, (FtnAddress{2, 5020, 123, 0}));
  Apply("TOADDR 2:5020/1.7");
  EXPECT_EQ(settings.entry.toAddress, (FtnAddress{2, 5020, 1, 7}));
  EXPECT_EQ(env.console(), "");
}

TEST_F(PostingConfigTest, BadAddressIsLoggedAndKeepsThePreviousOne) {
  Apply("FROMADDR 2:5020/123");
  Apply("FROMADDR 2:5020/12x");
  EXPECT_EQ(settings.entry.fromAddress, (FtnAddress{2, 5020, 123, 0}));
  Apply("TOADDR nowhere");
  EXPECT_TRUE(settings.entry.toAddress.IsZero());
  EXPECT_EQ(LogLines(env.console()),
            (std::vector<std::string>{"[err] Error converting 2:5020/12x",
                                      "[err] Error converting nowhere"}));
}

TEST_F(PostingConfigTest, StringKeywordsAnyCaseQuotedOrPlain) {
  Apply("From Vexstat robot");
  Apply("to \"All members\" of the area");
  Apply("SUBJ File echo statistics");
  Apply("origin \"Somewhere\"");
  Apply("TearLine vexstat");
  Apply("FILE report.txt");
  Apply("AreaDefineCfg H/etc/fido/areas");
  Apply("PathToEchoTossLog /var/fido/echotoss.log");
  Apply("EncodedMessage hint");
  Apply("BeginEncodedString Part % of %");
  Apply("EndEncodedString The end");
  const PostEntry& e = settings.entry;
  EXPECT_EQ(e.fromName, "Vexstat robot");
  EXPECT_EQ(e.toName, "All members");
  EXPECT_EQ(e.subject, "File echo statistics");
  EXPECT_EQ(e.origin, "Somewhere");
  EXPECT_EQ(e.tearLine, "vexstat");
  EXPECT_EQ(e.fileName, "report.txt");
  EXPECT_EQ(settings.areaDefineCfg, "H/etc/fido/areas");
  EXPECT_EQ(settings.echoTossLog, "/var/fido/echotoss.log");
  EXPECT_EQ(settings.encodedMessage, "hint");
  EXPECT_EQ(settings.beginEncodedString, "Part % of %");
  EXPECT_EQ(settings.endEncodedString, "The end");
  // FROM does not take the FROMADDR line, nor TO the TOADDR line.
  Apply("FROMADDR 2:5020/123");
  Apply("TOADDR 2:5020/1");
  EXPECT_EQ(e.fromName, "Vexstat robot");
  EXPECT_EQ(e.toName, "All members");
}

TEST_F(PostingConfigTest, NumbersBooleansWhenAndFlags) {
  Apply("SectionSize 8k");
  EXPECT_EQ(settings.entry.sectionSize, 0);
  Apply("SECTIONSIZE $4000");
  EXPECT_EQ(settings.entry.sectionSize, 16384);
  Apply("SECPERAREACOUNT 3");
  Apply("SECSINGLEFILECOUNT 4");
  EXPECT_EQ(settings.entry.secPerAreaCount, 3);
  EXPECT_EQ(settings.entry.secSingleFileCount, 4);

  Apply("UseAsKludge No");
  Apply("UseEncodedMessage Yes");
  Apply("useencodedstring y");
  EXPECT_FALSE(settings.useAsKludge);
  EXPECT_TRUE(settings.useEncodedMessage);
  EXPECT_TRUE(settings.useEncodedString);

  Apply("When WEEKLY 1");  // a Friday
  EXPECT_FALSE(settings.entry.dueToday);
  Apply("WHEN WEEKLY 5");
  EXPECT_TRUE(settings.entry.dueToday);
  Apply("when weekly");
  EXPECT_FALSE(settings.entry.dueToday);

  Apply("flags pvt k/s");
  EXPECT_EQ(settings.entry.flags, 0x81u);
  Apply("FLAGS Crash");
  EXPECT_EQ(settings.entry.flags, 0u);
}

TEST_F(PostingConfigTest, InitResetsEverything) {
  Apply("FROM Someone");
  Apply("SECTIONSIZE 0");
  settings.libraryReady = true;
  InitPostingSettings(settings, env);
  EXPECT_EQ(settings.entry.fromName, "Sysop");
  EXPECT_EQ(settings.entry.sectionSize, 16384);
  EXPECT_FALSE(settings.libraryReady);
}

}  // namespace
}  // namespace vex
