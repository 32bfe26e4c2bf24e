// The manual page names every configuration keyword, template directive and
// macro the program understands, and every macro it names really expands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Words of the manual page source, upper-cased ("\-" and font escapes do
// not split a word of letters, digits, "@", "#" and "/").
std::set<std::string> ManualWords() {
  std::string text = ReadFile(SourceDir() + "/man/vexstat.1");
  std::set<std::string> words;
  auto wordChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '/';
  };
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    if ((text[i] == '@' || text[i] == '#') && i + 1 < text.size() &&
        std::isalpha(static_cast<unsigned char>(text[i + 1])))
      ++i;
    else if (!std::isalpha(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    while (i < text.size() && wordChar(text[i])) ++i;
    words.insert(Upper(text.substr(start, i - start)));
  }
  return words;
}

// The quoted names a program source file compares against, e.g. "TICPATH"
// or "@FILEIN".
// The quoted names a program source file compares against, e.g. "TICPATH"
// or "@FILEIN": string literals that begin with `lead` (any, when empty)
// followed by at least `minLetters` characters of `letters`.
std::set<std::string> Literals(const std::string& file, const std::string& lead,
                               const std::string& letters, size_t minLetters) {
  std::string text = ReadFile(SourceDir() + "/" + file);
  EXPECT_FALSE(text.empty()) << file;
  std::set<std::string> found;
  for (size_t q = text.find('"'); q != std::string::npos; q = text.find('"', q + 1)) {
    size_t end = text.find('"', q + 1);
    if (end == std::string::npos) break;
    std::string lit = text.substr(q + 1, end - q - 1);
    q = end;
    if (lit.compare(0, lead.size(), lead) != 0) continue;
    std::string rest = lit.substr(lead.size());
    if (rest.size() < minLetters || !std::isalpha(static_cast<unsigned char>(rest[0]))) continue;
    if (rest.find_first_not_of(letters) != std::string::npos) continue;
    found.insert(Upper(lit));
  }
  return found;
}

TEST(ManualKeywordsTest, EveryConfigurationKeywordIsDocumented) {
  std::set<std::string> manual = ManualWords();
  const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::set<std::string> keywords = Literals("driver/driver.cpp", "", upper, 3);
  for (const auto& k : Literals("posting/posting_config.cpp", "", upper, 3)) keywords.insert(k);
  for (const auto& k : Literals("posting/schedule.cpp", "", upper, 3)) keywords.insert(k);
  for (const auto& k : Literals("posting/flags.cpp", "", upper + "abcdefghijklmnopqrstuvwxyz/", 3))
    keywords.insert(k);
  EXPECT_GE(keywords.size(), 40u);  // main and posting keywords, schedules, flags
  for (const auto& k : keywords) EXPECT_TRUE(manual.count(k)) << k << " is not in the manual";
}

TEST(ManualKeywordsTest, EveryDirectiveAndMacroIsDocumented) {
  std::set<std::string> manual = ManualWords();
  const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::string alnum = upper + "abcdefghijklmnopqrstuvwxyz0123456789";
  std::set<std::string> directives = Literals("report/template.cpp", "#", upper, 2);
  EXPECT_EQ(directives.size(), 19u);
  for (const auto& d : directives) EXPECT_TRUE(manual.count(d)) << d << " is not in the manual";

  std::set<std::string> macros = Literals("report/expand.cpp", "@", alnum, 2);
  for (const auto& m : Literals("report/macro_line.cpp", "@", alnum, 2)) macros.insert(m);
  EXPECT_GE(macros.size(), 30u);
  for (const auto& m : macros) {
    // A name built from parts ("@EXTGRAPH" and a variant) is found by its
    // beginning.
    bool documented = std::any_of(manual.begin(), manual.end(),
                                  [&](const std::string& w) { return w.rfind(m, 0) == 0; });
    EXPECT_TRUE(documented) << m << " is not in the manual";
  }
}

TEST(ManualKeywordsTest, EveryDocumentedMacroExpands) {
  std::string text = ReadFile(SourceDir() + "/man/vexstat.1");
  std::set<std::string> documented;
  for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
    size_t end = at + 1;
    while (end < text.size() && (std::isupper(static_cast<unsigned char>(text[end])) ||
                                 std::isdigit(static_cast<unsigned char>(text[end]))))
      ++end;
    if (end - at > 2) documented.insert(text.substr(at, end - at));
  }
  ASSERT_GE(documented.size(), 50u);

  // One record, so that every table has a row.
  TempDir dir;
  std::string record(552, '\0');
  record[0] = 2;                      // from zone
  record[24] = 3;                     // area length
  record.replace(25, 3, "ABC");
  record[536] = 0x00;
  record[537] = 0x10;                 // size 4096
  record[540] = static_cast<char>(2026 & 0xFF);
  record[541] = static_cast<char>(2026 >> 8);
  record[542] = 12;
  record[544] = 8;
  WriteFile(dir / "stat.vx", record);

  // Each macro on a line of its own and as the row line of every kind of
  // section: 1 + 4 + 2 (the period's two months) + 1 (the one note) lines.
  const char* const sections[] = {"#AREASIZE", "#LINKFILE", "#ORIGINALLINKSIZE",
                                  "#EXPLINKFILE", "#TREND(MONTH)", "#TREND(MONTH)",
                                  "#NOTES"};
  documented.erase("@TRENDSVG");  // lines of its own (report tests)
  std::string tpl;
  for (const auto& m : documented) {
    tpl += m + "(3,L)\n";
    for (size_t k = 0; k < std::size(sections); ++k)
      if (k != 5) tpl += std::string(sections[k]) + "\n" + m + "(3,L)\n";
  }
  WriteFile(dir / "all.tpl", tpl);
  WriteFile(dir / "vexstat.cfg", "TPLFILENAME all.tpl all.txt\nSCREENLENGTH 20\n");
  RunResult r = RunVexstat(dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::vector<std::string> rows = Lines(ReadFile(dir / "all.txt"), "\r\n");
  ASSERT_EQ(rows.size(), 8 * documented.size());
  // The rows of the sections (file echoes, links, originating systems,
  // addressees, trend, notes) that expand a macro: the report-wide ones
  // expand in every row; outside a section only they expand.
  auto expandsIn = [](const std::string& m) -> std::string {
    std::string base = m;
    for (const std::string prefix : {"@PREV", "@CHANGE"})
      if (m.rfind(prefix, 0) == 0) base = "@" + m.substr(prefix.size());
    const bool previous = base != m;
    if (base == "@AREA") return "a";
    if (base == "@LINK") return "lo";
    if (base.rfind("@EXP", 0) == 0) return "e";
    if (base == "@TRENDDATE" || base == "@TRENDEND" || base == "@TRENDPARTIAL") return "tt";
    if (base == "@SYSNAME" || base == "@SYSOP" || base == "@LOCATION") return "loen";
    if (base.rfind("@NOTE", 0) == 0) return "n";
    for (const char* figure : {"@SIZEIN", "@SIZEOUT", "@SIZETOTAL", "@FILEIN", "@FILEOUT",
                               "@FILETOTAL"})
      if (base == figure) return previous ? "alo" : "alott";
    if (base == "@GRAPH" || base == "@PERC" || base.rfind("@EXTGRAPH", 0) == 0 ||
        base.rfind("@DBLGRAPH", 0) == 0)
      return "aloett";
    return "aloettn";
  };
  const std::string kinds = "aloettn";
  size_t at = 0;
  for (const auto& m : documented) {
    const std::string where = expandsIn(m);
    ++at;  // the line outside any section
    for (size_t k = 0; k < kinds.size(); ++k, ++at) {
      const bool expands = where.find(kinds[k]) != std::string::npos;
      EXPECT_EQ(rows[at].find(m + "(") == std::string::npos, expands)
          << m << " in " << sections[k] << ": " << rows[at];
    }
  }
}

}  // namespace
}  // namespace vex::e2e
