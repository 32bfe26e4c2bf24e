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

struct ScheduleRow {
  const char* text;
  ClockTime day;
  bool due;
};

class ScheduleTest : public ::testing::TestWithParam<ScheduleRow> {};

TEST_P(ScheduleTest, DueOrNot) {
  EXPECT_EQ(EvaluateSchedule(GetParam().text, GetParam().day), GetParam().due)
      << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    DailyIsCaseInsensitiveOnlyAsTheWholeText, ScheduleTest,
    ::testing::Values(ScheduleRow{"DAILY", kFriday1st, true}, ScheduleRow{"daily", kFriday1st, true},
                      ScheduleRow{"Daily", kMonday4th, true},
                      ScheduleRow{"DAILY 5", kFriday1st, false}, ScheduleRow{"", kFriday1st, false},
                      ScheduleRow{"HOURLY", kFriday1st, false}));

INSTANTIATE_TEST_SUITE_P(
    WeekdayWordsAreUpperCaseOnly, ScheduleTest,
    ::testing::Values(ScheduleRow{"WEEKLY", kMonday4th, true},
                      ScheduleRow{"WEEKLY", kFriday1st, false},
                      ScheduleRow{"WEEKLY", kSunday3rd, false},
                      ScheduleRow{"weekly", kMonday4th, false},
                      ScheduleRow{"Monthly", kFriday1st, false}));

INSTANTIATE_TEST_SUITE_P(
    DayListsIncludingASingleNumber, ScheduleTest,
    ::testing::Values(ScheduleRow{"WEEKLY 1 5", kMonday4th, true},
                      ScheduleRow{"WEEKLY 1 5", kFriday1st, true},
                      ScheduleRow{"WEEKLY 1 5", kSunday3rd, false},
                      ScheduleRow{"WEEKLY 5", kFriday1st, true},
                      ScheduleRow{"WEEKLY 5", kMonday4th, false},
                      ScheduleRow{"MONTHLY 15", Day(2002, 3, 15, 5), true},
                      ScheduleRow{"MONTHLY 1 15", kFriday1st, true},
                      ScheduleRow{"MONTHLY 1 15", kMonday4th, false},
                      ScheduleRow{"MONTHLY", kFriday1st, true},
                      ScheduleRow{"MONTHLY", kMonday4th, false},
                      // Words that are not numbers count as 0, which is Sunday.
                      ScheduleRow{"WEEKLY Mon Fri", kSunday3rd, true},
                      ScheduleRow{"WEEKLY Mon Fri", kMonday4th, false},
                      // Extra blanks between the numbers do not matter.
                      ScheduleRow{"WEEKLY 1   5", kFriday1st, true}));

INSTANTIATE_TEST_SUITE_P(
    EmptyListAfterTheKeywordIsNeverDue, ScheduleTest,
    ::testing::Values(ScheduleRow{"WEEKLY ", kMonday4th, false},
                      ScheduleRow{"WEEKLY ", kSunday3rd, false},
                      ScheduleRow{"MONTHLY ", kFriday1st, false}));

INSTANTIATE_TEST_SUITE_P(
    YearlyOnlyOnTheFirstOfJanuary, ScheduleTest,
    ::testing::Values(ScheduleRow{"YEARLY", kNewYear2003, true},
                      ScheduleRow{"YEARLY", Day(2003, 1, 2, 4), false},
                      ScheduleRow{"YEARLY", Day(2003, 2, 1, 6), false},
                      ScheduleRow{"YEARLY 2002 2003", kNewYear2003, true},
                      ScheduleRow{"YEARLY 2003", kNewYear2003, true},
                      ScheduleRow{"YEARLY 2002 2004", kNewYear2003, false},
                      ScheduleRow{"YEARLY 2003", Day(2003, 6, 1, 0), false}));

TEST(DayInListTest, NumbersOfTheList) {
  struct Row {
    const char* list;
    int32_t wanted;
    bool in;
  };
  for (const Row& r : {Row{"7", 7, true}, Row{"1 2 $1F", 31, true}, Row{"", 0, false},
                       Row{"  ", 1, false}, Row{"x", 0, true}, Row{"12x 5", 12, false}})
    EXPECT_EQ(DayInList(r.list, r.wanted), r.in) << '"' << r.list << "\" " << r.wanted;
}

TEST(FlagsTest, WordsSetTheirBits) {
  struct Row {
    const char* text;
    uint32_t flags;
  };
  for (const Row& r :
       {Row{"pvt k/s", 0x0081u}, Row{"Loc", 0x0100u},
        Row{"PVT CRA RCV SNT ATT TRS ORP K/S LOC HLD FRQ RRQ RRC ARQ URQ SCA", 0xFFFFu},
        Row{"Pvt Pvt", 0x0001u}, Row{"Private Local", 0u}, Row{"", 0u},
        Row{"Hld  Cra ", 0x0202u}})
    EXPECT_EQ(ParseFlags(r.text), r.flags) << '"' << r.text << '"';
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
  struct Row {
    const char* line;
    std::string PostingSettings::*field;  // or, when null, the entry's
    std::string PostEntry::*entryField;
    const char* value;
  };
  const Row rows[] = {
      {"From Vexstat robot", nullptr, &PostEntry::fromName, "Vexstat robot"},
      {"to \"All members\" of the area", nullptr, &PostEntry::toName, "All members"},
      {"SUBJ File echo statistics", nullptr, &PostEntry::subject, "File echo statistics"},
      {"origin \"Somewhere\"", nullptr, &PostEntry::origin, "Somewhere"},
      {"TearLine vexstat", nullptr, &PostEntry::tearLine, "vexstat"},
      {"FILE report.txt", nullptr, &PostEntry::fileName, "report.txt"},
      {"AreaDefineCfg H/etc/fido/areas", &PostingSettings::areaDefineCfg, nullptr,
       "H/etc/fido/areas"},
      {"PathToEchoTossLog /var/fido/echotoss.log", &PostingSettings::echoTossLog, nullptr,
       "/var/fido/echotoss.log"},
      {"EncodedMessage hint", &PostingSettings::encodedMessage, nullptr, "hint"},
      {"BeginEncodedString Part % of %", &PostingSettings::beginEncodedString, nullptr,
       "Part % of %"},
      {"EndEncodedString The end", &PostingSettings::endEncodedString, nullptr, "The end"},
  };
  for (const Row& r : rows) Apply(r.line);
  for (const Row& r : rows)
    EXPECT_EQ(r.field ? settings.*r.field : settings.entry.*r.entryField, r.value) << r.line;
  // FROM does not take the FROMADDR line, nor TO the TOADDR line.
  Apply("FROMADDR 2:5020/123");
  Apply("TOADDR 2:5020/1");
  EXPECT_EQ(settings.entry.fromName, "Vexstat robot");
  EXPECT_EQ(settings.entry.toName, "All members");
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
  InitPostingSettings(settings, env);
  EXPECT_EQ(settings.entry.fromName, "Sysop");
  EXPECT_EQ(settings.entry.sectionSize, 16384);
}

}  // namespace
}  // namespace vex
