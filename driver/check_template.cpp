#include "driver/check_template.h"

#include <cctype>

#include "core/log.h"
#include "report/expand.h"
#include "report/period_history.h"
#include "report/template.h"
#include "util/known_words.h"
#include "util/nearest_word.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {
namespace {

bool IsMacroChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

void LintDirective(CheckReport& report, const std::string& where, const std::string& upper,
                   const TemplateWords& known) {
  ReportSettings scratch;
  if (ApplySettingDirective(scratch, upper) || SectionDirective(upper).kind != kNoTable) return;
  const std::string word = FirstWord(upper);
  for (const std::string& d : known.directives) {
    if (d != word) continue;
    // A section directive is the whole line; anything after it (a blank
    // too) makes it an ordinary line.
    report.Problem(where, word + " has text after it, so the line is printed, not read as the "
                               "section",
                   "write " + word + " alone on its line, with no trailing blank");
    return;
  }
  const std::string hint = NearestWord(word, known.directives, 2);
  if (hint.empty() || word.size() < 4) return;  // a line of text that begins with "#"
  report.Problem(where, "unknown directive " + word + ", the line is printed as text",
                 "write " + hint);
}

// "#WORD NAME text": a name the report does not know is ignored, so the
// word the line means to change keeps its default.
void LintWordName(CheckReport& report, const std::string& where, const std::string& line,
                  const TemplateWords& known) {
  const std::string name = UpperCp866(FirstWord(RestOfLine(line)));
  for (const std::string& n : known.wordNames)
    if (n == name) return;
  const std::string hint = NearestWord(name, known.wordNames, 2);
  std::string all;
  for (const std::string& n : known.wordNames) all += (all.empty() ? "" : ", ") + n;
  const std::string what = name.empty() ? "#WORD without a name" : "unknown #WORD name " + name;
  report.Problem(where, what + ", the line is ignored",
                 hint.empty() ? "write one of " + all : "write #WORD " + hint);
}

void LintMacros(CheckReport& report, const std::string& where, const std::string& upper,
                const TemplateWords& known) {
  for (size_t at = upper.find('@'); at != std::string::npos; at = upper.find('@', at + 1)) {
    // An "@" inside a word (an e-mail address) begins no macro word.
    if (at > 0 && IsMacroChar(upper[at - 1])) continue;
    size_t end = at + 1;
    while (end < upper.size() && IsMacroChar(upper[end])) ++end;
    const std::string word = upper.substr(at, end - at);
    if (word.size() < 4) continue;
    bool matched = false;
    for (const std::string& m : known.macros) matched = matched || StartsWith(word, m);
    if (matched) continue;
    const std::string hint = NearestWord(word, known.macros, 2);
    if (!hint.empty())
      report.Problem(where, "unknown macro " + word + ", it is printed as it stands",
                     "write " + hint);
  }
}

}  // namespace

TemplateWords KnownTemplateWords(Env& env) {
  WordListing listing;
  ReportSettings settings;
  ApplySettingDirective(settings, "#");
  SectionDirective("#");
  LogContext log(env);
  RunSettings run;
  PeriodTables tables;
  tables.areas.resize(1);
  tables.links.resize(1);
  tables.originalLinks.resize(1);
  tables.expLinks.resize(1);
  PeriodHistory history;
  history.notes.push_back(Note{});
  ReportContext ctx{env, log, run, settings, tables, [](const std::string&) {}, {}};
  ctx.history = &history;
  ctx.trendRows.resize(1);
  // A line without a macro computes nothing, but every name is compared.
  ExpandLine(ctx, 0, "x", kNoTable, kNoKey);
  for (int kind : {kAreaTable, kLinkTable, kOriginalLinkTable, kExpLinkTable, kTrendTable,
                   kNoteTable})
    ExpandLine(ctx, 1, "x", kind, kBySize);
  TemplateWords words;
  {
    // The names #WORD compares a name with, apart from the directives.
    WordListing names;
    ReportSettings scratch;
    ApplyWordDirective(scratch, "#WORD");
    for (const KnownWord& w : names.Words())
      (w.name[0] == '#' ? words.directives : words.wordNames).push_back(w.name);
  }
  for (const KnownWord& w : listing.Words()) {
    if (w.name.size() < 2) continue;
    if (w.name[0] == '#') words.directives.push_back(w.name);
    if (w.name[0] == '@') words.macros.push_back(w.name);
  }
  return words;
}

void LintTemplate(CheckReport& report, Env& env, const std::string& file,
                  const TemplateWords& known) {
  int err = 0;
  if (env.Stat(file).isDirectory) return;
  std::unique_ptr<File> f = env.Open(file, OpenMode::kRead, &err);
  if (!f) return;
  LineReader reader(*f, TextEncoding::kUtf8OrCp866);
  std::string line;
  for (int number = 1; reader.Next(line); ++number) {
    if (!line.empty() && line[0] == ';') continue;
    const std::string upper = UpperCp866(line);
    ReportSettings scratch;
    if (ApplyWordDirective(scratch, line)) {
      LintWordName(report, At(file, number), line, known);
      continue;
    }
    if (!upper.empty() && upper[0] == '#') {
      LintDirective(report, At(file, number), upper, known);
      if (ApplySettingDirective(scratch, upper) || SectionDirective(upper).kind != kNoTable)
        continue;
    }
    LintMacros(report, At(file, number), upper, known);
  }
}

}  // namespace vex
