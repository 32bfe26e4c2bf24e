#include "report/template.h"

#include "platform/cp866.h"
#include "report/expand.h"
#include "report/graphs.h"
#include "report/sort_table.h"
#include "report/trend_svg.h"
#include "util/known_words.h"
#include "util/number.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {

namespace {

std::string Trimmed(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return std::string();
  return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

// "#TREND" alone or with a field argument "(unit[,SIZE|FILE])", unit DAY,
// WEEK or MONTH; anything else opens no section.
Section TrendDirective(std::string_view upperLine) {
  constexpr std::string_view kTrend = "#TREND";
  if (upperLine.substr(0, kTrend.size()) != kTrend) return Section{};
  std::string_view rest = upperLine.substr(kTrend.size());
  Section trend{kTrendTable, kBySize, TrendUnit::kDay};
  if (WordIs(upperLine, kTrend)) return trend;
  if (rest.front() != '(' || rest.back() != ')') return Section{};
  std::string args(rest.substr(1, rest.size() - 2));
  size_t comma = args.find(',');
  std::string unit = Trimmed(args.substr(0, comma));
  std::string key = comma == std::string::npos ? "" : Trimmed(args.substr(comma + 1));
  if (unit == "WEEK")
    trend.unit = TrendUnit::kWeek;
  else if (unit == "MONTH")
    trend.unit = TrendUnit::kMonth;
  else if (!unit.empty() && unit != "DAY")
    return Section{};
  if (key == "FILE")
    trend.key = kByFiles;
  else if (!key.empty() && key != "SIZE")
    return Section{};
  return trend;
}

}  // namespace

bool ApplySettingDirective(ReportSettings& settings,
                           std::string_view upperLine) {
  std::string word = FirstWord(upperLine);
  if (word.empty() || word[0] != '#') return false;
  // Without a space the directive's own word is its value.
  std::string value = RestOfLine(upperLine);
  if (WordIs(word, "#DOTSTYLE")) {
    // An empty value keeps the decimal point as it is printed.
    settings.dotStyle = value.empty() ? '.' : value[0];
  } else if (WordIs(word, "#PERCDOTS")) {
    settings.percDots = static_cast<uint8_t>(NumberValue(value));
  } else if (WordIs(word, "#REALDOTS")) {
    settings.realDots = static_cast<uint8_t>(NumberValue(value));
  } else if (WordIs(word, "#KBSIZE")) {
    // A divisor of 0 (or a value that is not a number) is ignored.
    int32_t kb = NumberValue(value);
    if (kb != 0) settings.kbSize = kb;
  } else if (WordIs(word, "#ORDERSTYLE")) {
    if (value == "EMPTY" || value.empty())
      settings.orderStyle.clear();
    else
      settings.orderStyle = value.substr(0, 1);
  } else if (WordIs(word, "#HTMLESCAPE")) {
    settings.htmlEscape = value == "ON";
  } else if (WordIs(word, "#READABLE")) {
    settings.readable = value == "ON";
  } else if (WordIs(word, "#USECHAR")) {
    settings.useChar = NormalizeUseChar(value == "EMPTY" ? std::string() : value);
  } else {
    return false;
  }
  return true;
}

bool ApplyWordDirective(ReportSettings& settings, std::string_view line) {
  const std::string upper = UpperCp866(line);
  if (!WordIs(FirstWord(upper), "#WORD")) return false;
  const std::string rest = RestOfLine(line);
  const std::string name = UpperCp866(FirstWord(rest));
  // A name alone gives an empty word.
  const std::string text = rest.find(' ') == std::string::npos ? "" : RestOfLine(rest);
  ReportWords& w = settings.words;
  struct Entry {
    const char* name;
    std::string* word;
  };
  const Entry entries[] = {
      {"NEW", &w.changeNew},   {"GONE", &w.changeGone}, {"PARTIAL", &w.partial},
      {"FILES", &w.files},     {"SIZE", &w.size},       {"IN", &w.in},
      {"OUT", &w.out},         {"NODAYS", &w.noDays},   {"NOCHANGES", &w.noChanges},
      {"BYTES", &w.units[0]},  {"KB", &w.units[1]},     {"MB", &w.units[2]},
      {"GB", &w.units[3]},     {"TB", &w.units[4]},
  };
  for (const Entry& e : entries)
    if (WordIs(name, e.name)) *e.word = text;
  return true;
}

Section SectionDirective(std::string_view upperLine) {
  struct Entry {
    const char* directive;
    Section section;
  };
  static const Entry kSections[] = {
      {"#AREASIZE", {kAreaTable, kBySize}},
      {"#AREAFILE", {kAreaTable, kByFiles}},
      {"#LINKSIZE", {kLinkTable, kBySize}},
      {"#LINKFILE", {kLinkTable, kByFiles}},
      {"#ORIGINALLINKSIZE", {kOriginalLinkTable, kBySize}},
      {"#ORIGINALLINKFILE", {kOriginalLinkTable, kByFiles}},
      {"#EXPLINKSIZE", {kExpLinkTable, kBySize}},
      {"#EXPLINKFILE", {kExpLinkTable, kByFiles}},
  };
  for (const Entry& e : kSections)
    if (WordIs(upperLine, e.directive)) return e.section;
  if (WordIs(upperLine, "#NOTES")) return Section{kNoteTable, kNoKey};
  // "#NOTES(KIND)": the notes of one kind, so that a template writes each
  // kind's sentence in its own words.
  for (NoteKind k : {NoteKind::kSilentArea, NoteKind::kSilentLink, NoteKind::kNewArea,
                     NoteKind::kNewOrigin, NoteKind::kSpike}) {
    const std::string directive = "#NOTES(" + UpperCp866(NoteKindName(k)) + ")";
    if (WordIs(upperLine, directive)) {
      Section s{kNoteTable, kNoKey};
      s.notes = static_cast<int>(k);
      return s;
    }
  }
  if (WordIs(upperLine, "#NOTES(NONE)")) {
    Section s{kNoteTable, kNoKey};
    s.notes = Section::kNoNotes;
    return s;
  }
  return TrendDirective(upperLine);
}

namespace {

// The trend and note sections: rows in date order or the notes' order.
void RunHistorySection(ReportContext& ctx, const Section& section,
                       const std::string& rowLine) {
  static const PeriodHistory kNone;
  const PeriodHistory& history = ctx.history ? *ctx.history : kNone;
  size_t rows = history.notes.size();
  std::string none = ctx.settings.words.noChanges;
  if (section.kind == kTrendTable) {
    ctx.trendRows = TrendRows(history.days, section.unit);
    rows = ctx.trendRows.size();
    none = ctx.settings.words.noDays;
  }
  if (section.notes == Section::kNoNotes) {
    if (rows == 0) ctx.write(ExpandLine(ctx, 0, rowLine, kNoTable, kNoKey));
    return;
  }
  if (rows == 0 && section.notes == Section::kAllNotes) {
    ctx.write(ExpandLine(ctx, 0, none, kNoTable, kNoKey));
    return;
  }
  if (rowLine.empty()) return;
  for (size_t i = 1; i <= rows; ++i) {
    if (section.kind == kNoteTable && section.notes != Section::kAllNotes &&
        static_cast<int>(history.notes[i - 1].kind) != section.notes)
      continue;
    ctx.write(ExpandLine(ctx, static_cast<int64_t>(i), rowLine, section.kind,
                         section.key));
  }
}

void RunSection(ReportContext& ctx, const Section& section, LineReader& reader) {
  std::string rowLine;
  if (!reader.Next(rowLine)) rowLine.clear();
  if (section.kind == kTrendTable || section.kind == kNoteTable)
    return RunHistorySection(ctx, section, rowLine);
  SortTable(ctx.tables, section.kind, section.key);
  size_t rows = TableRowCount(ctx.tables, section.kind);
  if (rows == 0) {
    const char* none = section.kind == kAreaTable ? "None areas" : "None links";
    ctx.write(ExpandLine(ctx, 0, none, section.kind, kBySize));
    return;
  }
  if (section.kind == kAreaTable && rowLine.empty()) return;
  for (size_t i = 1; i <= rows; ++i)
    ctx.write(ExpandLine(ctx, static_cast<int64_t>(i), rowLine, section.kind,
                         section.key));
}

// A line holding @TRENDSVG: the text before the macro, the chart's lines
// and the text after it each come out as lines of their own, so no line
// grows past what a line holds.  "(WEEK)" or "(MONTH)" after the macro
// draws weeks or months.
bool WriteTrendSvg(ReportContext& ctx, const std::string& line) {
  constexpr std::string_view kSvg = "@TRENDSVG";
  const std::string upper = UpperCp866(line);
  const size_t at = upper.find(kSvg);
  if (at == std::string::npos) return false;
  size_t end = at + kSvg.size();
  TrendUnit unit = TrendUnit::kDay;
  for (auto [arg, u] : {std::pair{"(DAY)", TrendUnit::kDay},
                        std::pair{"(WEEK)", TrendUnit::kWeek},
                        std::pair{"(MONTH)", TrendUnit::kMonth}}) {
    if (upper.compare(end, std::string_view(arg).size(), arg) == 0) {
      unit = u;
      end += std::string_view(arg).size();
    }
  }
  const std::string before = line.substr(0, at);
  if (!Trimmed(before).empty())
    ctx.write(ExpandLine(ctx, 0, before, kNoTable, kNoKey));
  static const PeriodHistory kNone;
  for (const std::string& svg :
       TrendSvgLines(TrendRows((ctx.history ? *ctx.history : kNone).days, unit),
                     ctx.settings))
    ctx.write(svg);
  const std::string after = line.substr(end);
  if (!Trimmed(after).empty() && !WriteTrendSvg(ctx, after))
    ctx.write(ExpandLine(ctx, 0, after, kNoTable, kNoKey));
  return true;
}

}  // namespace

void ProcessTemplate(ReportContext& ctx, const TemplateEntry& entry) {
  int err = 0;
  std::unique_ptr<File> file = ctx.env.Open(entry.templateFile, OpenMode::kRead, &err);
  if (!file) {
    ctx.log.LogFailure(Cp866("Не могу прочитать шаблон ") + entry.templateFile);
    return;
  }
  LineReader reader(*file, TextEncoding::kUtf8OrCp866);
  std::string line;
  ctx.settings.htmlEscape = false;
  ctx.settings.readable = false;
  ctx.settings.words = ReportWords{};
  while (reader.Next(line)) {
    if (!line.empty() && line[0] == ';') continue;
    std::string upper = UpperCp866(line);
    if (ApplySettingDirective(ctx.settings, upper)) continue;
    if (ApplyWordDirective(ctx.settings, line)) continue;
    Section section = SectionDirective(upper);
    if (section.kind != kNoTable) {
      RunSection(ctx, section, reader);
      continue;
    }
    if (!WriteTrendSvg(ctx, line))
      ctx.write(ExpandLine(ctx, 0, line, kNoTable, kNoKey));
  }
}

}  // namespace vex
