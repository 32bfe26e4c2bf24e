#include "report/template.h"

#include "platform/cp866.h"
#include "report/expand.h"
#include "report/graphs.h"
#include "report/sort_table.h"
#include "util/known_words.h"
#include "util/number.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {

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
  } else if (WordIs(word, "#USECHAR")) {
    settings.useChar = NormalizeUseChar(value == "EMPTY" ? std::string() : value);
  } else {
    return false;
  }
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
  return Section{};
}

namespace {

void RunSection(ReportContext& ctx, const Section& section, LineReader& reader) {
  std::string rowLine;
  if (!reader.Next(rowLine)) rowLine.clear();
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
  while (reader.Next(line)) {
    if (!line.empty() && line[0] == ';') continue;
    std::string upper = UpperCp866(line);
    if (ApplySettingDirective(ctx.settings, upper)) continue;
    Section section = SectionDirective(upper);
    if (section.kind != kNoTable) {
      RunSection(ctx, section, reader);
      continue;
    }
    ctx.write(ExpandLine(ctx, 0, line, kNoTable, kNoKey));
  }
}

}  // namespace vex
