// The lint of --check line by line: what each configuration or template
// line gives, with the keywords, directives and macros the readers know.
#include <gtest/gtest.h>

#include "driver/check_config.h"
#include "driver/check_template.h"
#include "driver/check_text.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

struct LintRow {
  const char* line;
  const char* problem;  // a part of the one problem line; "" for none
};

class LintTest : public ::testing::Test {
 protected:
  // The console output of linting text (as a configuration line, or as a
  // template file when template is set).
  std::string Lint(const std::string& text, bool asTemplate) {
    MemEnv env;
    CheckReport report(env);
    if (asTemplate) {
      env.SetFile("t.tpl", text);
      LintTemplate(report, env, "t.tpl", KnownTemplateWords(env));
    } else {
      LintConfigLine(report, "c:1", text, KnownConfigKeywords(env));
    }
    EXPECT_EQ(report.Problems() > 0, !env.console().empty());
    return env.console();
  }
  void Check(const LintRow& r, bool asTemplate) {
    const std::string out = Lint(r.line, asTemplate);
    if (*r.problem == '\0') {
      EXPECT_EQ(out, "") << r.line;
    } else {
      EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
      EXPECT_NE(out.find(r.problem), std::string::npos) << r.line << "\n" << out;
      EXPECT_NE(out.find("; fix: "), std::string::npos) << out;
    }
  }
};

TEST_F(LintTest, ConfigurationLines) {
  for (const LintRow& r : {
           LintRow{"ADDRESS 2:5020/9999.1@fidonet", ""},
           LintRow{"address 2:5020/9999 \t", ""},
           LintRow{"FROMADDR 2:5020/9999", ""},
           LintRow{"WHEN daily", ""},
           LintRow{"WHEN MONTHLY 1 15", ""},
           LintRow{"WHEN YEARLY", ""},
           LintRow{"killtic no", ""},
           LintRow{"SECTIONSIZE $4000", ""},
           LintRow{"RESULTFILE \"my stat.txt\"", ""},
           LintRow{"FLAGS Pvt k/s", ""},
           LintRow{"   ;ADDRESS 2:5020/1", ""},
           LintRow{"ADDRESS 2:5020", "reads it as 2:0/5020"},
           LintRow{"ADDRESS 0:0/0", "no usable address"},
           LintRow{"TOADDR nowhere", "keeps the address it had"},
           LintRow{"ToAddr 2:5020/1", "fix: write TOADDR"},
           LintRow{"TPLFILNAME a.tpl a.txt", "fix: write TPLFILENAME"},
           LintRow{"SOMETHING ELSE", "unknown keyword SOMETHING, the line is ignored; fix: correct"},
           LintRow{"ADDRESS\t2:5020/1", "a tab follows ADDRESS"},
           LintRow{"KILLTIC", "fix: write KILLTIC Yes or KILLTIC No"},
           LintRow{"MAKEANNOUNCE On", "is read as No"},
           LintRow{"SECTIONSIZE 8k", "is read as 0"},
           LintRow{"WHEN DAILY ", "fix: write WHEN DAILY with nothing behind it"},
           LintRow{"WHEN weekly 1 5", "fix: write WHEN WEEKLY 1 5"},
           LintRow{"WHEN MONTHLY 1 32", "32 is not one of the days of the month 1-31"},
           LintRow{"WHEN WEEKLY Monday Sat", "fix: write WHEN WEEKLY 1 6"},
           LintRow{"WHEN WEEKLY ", "no list, so it is never due"},
           LintRow{"WHEN HOURLY", "fix: write WHEN DAILY, or WEEKLY"},
           LintRow{"FLAGS Pvt Crash", "Crash set no attribute"},
           LintRow{"AREADEFINECFG /etc/fido/areas", "format letter"},
       })
    Check(r, false);
}

TEST_F(LintTest, TemplateLines) {
  for (const LintRow& r : {
           LintRow{"@TOTALFILES @SizeTotalIn @Space(3) @NUMB sysop@fidonet.org", ""},
           LintRow{"#AREASIZE\n@AREA(20,L) @GRAPH(10,L)", ""},
           LintRow{"#HTMLESCAPE on\n#KBSIZE 1000", ""},
           LintRow{"#Centered title", ""},
           LintRow{"; @TOTALFLIES in a comment", ""},
           LintRow{"@BEGINDTE", "fix: write @BEGINDATE"},
           LintRow{"x\n#ORDERSTILE ,", "t.tpl:2: unknown directive #ORDERSTILE"},
           LintRow{"#LINKFILE ", "fix: write #LINKFILE alone on its line"},
           LintRow{"#word kb Кб\n#WORD NoChanges\n#WORD GB  Гб @x", ""},
           LintRow{"#WORD NOCHANGE Без изменений",
                   "unknown #WORD name NOCHANGE, the line is ignored; fix: write #WORD NOCHANGES"},
           LintRow{"#WORD SPEED fast", "fix: write one of NEW, GONE,"},
       })
    Check(r, true);
}

TEST(LintCharsetTest, NamesEachCharacterCp866Lacks) {
  MemEnv env;
  CheckReport report(env);
  env.SetFile("cp866.cfg", "\xF1\xAB\xAA\xA0 \xE0\xA5\xAA\n");  // CP866 text
  env.SetFile("utf8.cfg", "Ёлка ■\n");
  LintCharset(report, env, "cp866.cfg");
  LintCharset(report, env, "utf8.cfg");
  EXPECT_EQ(env.console(), "");
  env.SetFile("mixed.cfg", "a\nЦена — 5 €\n日");
  LintCharset(report, env, "mixed.cfg");
  EXPECT_EQ(report.Problems(), 3);
  for (const char* part : {"mixed.cfg:2: character U+2014 (em dash)",
                           "mixed.cfg:2: character U+20AC (euro sign)",
                           "mixed.cfg:3: character U+65E5 does not exist in CP866"})
    EXPECT_NE(env.console().find(part), std::string::npos) << part << "\n" << env.console();
}

}  // namespace
}  // namespace vex
