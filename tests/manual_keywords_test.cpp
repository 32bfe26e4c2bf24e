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
  EXPECT_EQ(directives.size(), 15u);
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

  std::string line;
  for (const auto& m : documented) line += m + "(3,L) ";
  std::string tpl = line + "\n";
  for (const char* section : {"#AREASIZE", "#LINKFILE", "#ORIGINALLINKSIZE", "#EXPLINKFILE"})
    tpl += std::string(section) + "\n" + line + "\n";
  WriteFile(dir / "all.tpl", tpl);
  WriteFile(dir / "vexstat.cfg", "TPLFILENAME all.tpl all.txt\nSCREENLENGTH 20\n");
  RunResult r = RunVexstat(dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::vector<std::string> rows = Lines(ReadFile(dir / "all.txt"), "\r\n");
  ASSERT_EQ(rows.size(), 5u);
  // Outside a section only the report-wide macros expand; in the rows of
  // every section nothing the manual names is left.
  for (size_t i = 1; i < rows.size(); ++i) {
    for (const auto& m : documented) {
      // @AREA belongs to file echo rows, @LINK to link rows, @EXP* to
      // addressee rows: each section leaves the others' macros alone.
      if (m == "@AREA" && i != 1) continue;
      if (m == "@LINK" && i != 2 && i != 3) continue;
      if (m.rfind("@EXP", 0) == 0 && i != 4) continue;
      if ((m == "@SIZEIN" || m == "@SIZEOUT" || m == "@FILEIN" || m == "@FILEOUT" ||
           m == "@SIZETOTAL" || m == "@FILETOTAL") && i == 4)
        continue;
      EXPECT_EQ(rows[i].find(m + "("), std::string::npos) << m << " left in row " << i << ": " << rows[i];
    }
  }
}

}  // namespace
}  // namespace vex::e2e
