#include "report/expand_history.h"

#include <gtest/gtest.h>

#include "report/period_load.h"
#include "report/report_test_util.h"
#include "report/template.h"

namespace vex {
namespace {

using namespace testing_report;
using Lines = std::vector<std::string>;

TEST(ChangeTextTest, PercentNewGoneAndNoChange) {
  struct Case {
    int64_t now, before;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {125, 100, 2, "+25.00%"}, {97, 100, 1, "-3.0%"},   {5, 0, 2, "new"},
      {0, 5, 2, "gone"},        {0, 0, 2, "0.00%"},      {7, 7, 0, "0%"},
      {100001, 100000, 2, "0.00%"}, {3, 1, 0, "+200%"},
  };
  for (const Case& c : cases) {
    ReportSettings s;
    s.percDots = static_cast<uint8_t>(c.decimals);
    EXPECT_EQ(ChangeText(c.now, c.before, s), c.text) << c.now << " " << c.before;
  }
  // The template's words for new and gone.
  ReportSettings s;
  s.words.changeNew = "NEU", s.words.changeGone = "weg";
  EXPECT_EQ(ChangeText(5, 0, s) + ChangeText(0, 5, s), "NEUweg");
}

// Templates over the acceptance store: 57 files in the period, 72 in the
// previous one.
class HistoryTemplateTest : public ::testing::Test {
 protected:
  HistoryTemplateTest() {
    f.env.SetFile("stat.vx", Store(AcceptanceStore()));
    f.settings.useChar = "#+*-X";
    EXPECT_TRUE(LoadPeriod(f.env, f.log, f.run, f.tables,
                           CurrentDateTime(f.env), &history));
    f.ctx.history = &history;
  }
  Lines Run(const std::string& text) {
    f.lines.clear();
    f.env.SetFile("t.tpl", text);
    ProcessTemplate(f.ctx, TemplateEntry{"t.tpl", "", ""});
    return f.lines;
  }
  Fixture f;
  PeriodHistory history;
};

TEST_F(HistoryTemplateTest, SectionsAndMacros) {
  struct Case {
    const char* tpl;
    Lines out;
  };
  const Case cases[] = {
      {"@TOTALFILES/@PREVTOTALFILES @CHANGETOTALFILES @PREVBEGINDATE-@PREVENDDATE",
       {"57/72 -20.83% 06.10.2026-06.11.2026"}},
      {"#AREAFILE\n@AREA(12,L)@PREVFILETOTAL(3) @CHANGEFILETOTAL",
       {"Stable.B     16 +6.25%", "STABLE.A     24 -33.33%",
        "SPIKE.AREA   16 0.00%", "SILENT.AREA  16 -62.50%", "NEW.AREA      0 new"}},
      {"#LINKSIZE\n@LINK @PREVFILEIN @CHANGEFILEIN",
       {"2:5020/1 40 -20.00%", "2:5020/2 24 +4.17%"}},
      {"#TREND(MONTH)\n@NUMB @TRENDDATE @TRENDEND @FILETOTAL @GRAPH(4,L)|",
       {"1 07.11.2026 30.11.2026 42 ####|", "2 01.12.2026 08.12.2026 15 #+  |"}},
      {"#trend(week, file)\n@TRENDDATE @FILEIN @GRAPH(2,L)|",
       {"07.11.2026 4 # |", "09.11.2026 12 ##|", "16.11.2026 14 ##|",
        "23.11.2026 9 #+|", "30.11.2026 15 ##|", "07.12.2026 3 + |"}},
      {"#NOTES\n- @NOTEKIND @NOTESUBJECT",
       {"- silent_area SILENT.AREA", "- silent_link 2:5020/3",
        "- new_area NEW.AREA", "- new_origin 2:5020/99", "- spike SPIKE.AREA"}},
      // Not a section: printed as an ordinary centred line.
      {"#TREND(YEAR)", {std::string(34, ' ') + "TREND(YEAR)" + std::string(34, ' ')}},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.tpl), c.out) << c.tpl;
}

TEST_F(HistoryTemplateTest, WithoutHistoryOrNotes) {
  f.run.noteSilentDays = f.run.noteSpike = 0;
  f.run.periodStart = 2;  // the last three days: one new origin
  ASSERT_TRUE(LoadPeriod(f.env, f.log, f.run, f.tables, CurrentDateTime(f.env),
                         &history));
  EXPECT_EQ(Run("#NOTES\n@NOTE\n"),
            Lines{"new originating system 2:5020/99, first file on 2026-12-06"});
  f.ctx.history = nullptr;
  EXPECT_EQ(Run("#NOTES\n@NOTE\n#TREND\n@TRENDDATE\n@PREVTOTALFILES @CHANGETOTALFILES"),
            (Lines{"No changes", "None days", "0 new"}));
}

// The chart comes out as lines of its own between the text around it, none
// longer than a line may be.
TEST_F(HistoryTemplateTest, TrendSvgLines) {
  Lines out = Run("<p>@TrendSvg</p>\n@TRENDSVG(MONTH)\n");
  ASSERT_GT(out.size(), 40u);
  EXPECT_EQ(out.front(), "<p>");
  EXPECT_EQ(out[1].rfind("<svg ", 0), 0u);
  EXPECT_EQ(out.back(), "</svg>");
  size_t close = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_LE(out[i].size(), 79u);
    if (out[i] == "</svg>") ++close;
    if (out[i] == "</p>") {
      EXPECT_EQ(out[i - 1], "</svg>");
    }
  }
  EXPECT_EQ(close, 2u);
  std::string all;
  for (const std::string& l : out) all += l + "\n";
  for (const char* label : {">07.11<", ">08.12<", ">01.12<", ">Files<", ">Size<"})
    EXPECT_NE(all.find(label), std::string::npos) << label;
}

// The template's words replace every word the program writes: the chart's,
// the change column's, the partial mark and the units of readable sizes
// (which last only for their template).
TEST_F(HistoryTemplateTest, TemplateWordsAndReadableSizes) {
  const std::string words =
      "#WORD FILES Dateien\n#WORD SIZE Umfang\n#WORD IN ein\n#WORD OUT aus\n"
      "#WORD PARTIAL teilweise\n#WORD NEW neu\n#WORD KB KiB\n#WORD BYTES Byte\n"
      "#ORDERSTYLE '\n#REALDOTS 1\n";
  Lines out = Run(words + "@TRENDSVG(WEEK)\n#TREND(WEEK)\n@TRENDDATE @TRENDPARTIAL|\n"
                  "#READABLE ON\n@TOTALSIZE @TOTALFILES\n#AREASIZE\n@AREA(12,L) @CHANGESIZETOTAL\n");
  std::string all;
  for (const std::string& l : out) all += l + "\n";
  for (const char* want : {">Dateien<", ">Umfang<", ">ein<", ">aus<", ">teilweise<", " KiB<",
                           "07.11.2026 teilweise|", "09.11.2026 |", "NEW.AREA     neu",
                           "131.1 KiB 57\n"})
    EXPECT_NE(all.find(want), std::string::npos) << want << "\n" << all;
  for (const char* english : {">Files<", ">Size<", ">in<", ">out<", ">partial<", " KB<", "new"})
    EXPECT_EQ(all.find(english), std::string::npos) << english;
  // The next template starts with the English words and the Parts' sizes.
  Lines plain = Run("@TOTALSIZE @CHANGETOTALSIZE\n#NOTES\n@NOTE\n");
  EXPECT_EQ(plain.front().find("KiB"), std::string::npos) << plain.front();
  EXPECT_EQ(plain.front().find(" "), plain.front().rfind(" ")) << plain.front();
}

}  // namespace
}  // namespace vex
