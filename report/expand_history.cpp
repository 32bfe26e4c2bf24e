#include "report/expand_history.h"

#include <algorithm>
#include <cstring>

#include "report/expand.h"
#include "report/graphs.h"
#include "report/number_format.h"
#include "report/sort_table.h"
#include "util/dates.h"

#include "util/known_words.h"

namespace vex {
namespace {

// Replaces name only when the line holds it.
template <typename Compute>
void Set(MacroLine& line, std::string_view name, Compute&& compute) {
  WordListing::Note(name, WordKind::kAnyCase);
  if (line.Find(name) == std::string::npos) return;
  ReplaceAll(line, compute(), name);
}

const PeriodHistory& History(const ReportContext& ctx) {
  static const PeriodHistory kNone;
  return ctx.history ? *ctx.history : kNone;
}

// The six figures of a row as the in/out tables keep them.
struct Figures {
  int64_t sizeIn = 0, sizeOut = 0, filesIn = 0, filesOut = 0;
};

template <typename Row>
Figures Of(const Row* row) {
  if (!row) return Figures{};
  return Figures{row->sizeIn, row->sizeOut, row->filesIn, row->filesOut};
}

// The @PREV and @CHANGE macros of a line, found in one scan of its "@"s
// (made for every line of a report): bit i of `previous` when "@PREV" is
// followed by names[i], of `change` for "@CHANGE"; `any` when either
// prefix is there at all.
struct Named {
  unsigned previous = 0, change = 0;
  bool any = false;
};

Named FindNamed(const MacroLine& line, const std::string_view names[6]) {
  Named named;
  const std::string_view upper = line.upper;
  // Most lines hold neither prefix, as text or as a value.
  if (upper.find("@PREV") == std::string_view::npos &&
      upper.find("@CHANGE") == std::string_view::npos)
    return named;
  // The prefix must be template text, as MacroLine::Find has it.
  auto prefix = [&](size_t at, std::string_view p) {
    if (!upper.substr(at).starts_with(p)) return false;
    for (size_t i = 1; i < p.size(); ++i)
      if (line.IsValue(at + i)) return false;
    return true;
  };
  for (size_t at = line.Find("@"); at != std::string::npos; at = line.Find("@", at + 1)) {
    unsigned* bits = nullptr;
    size_t length = 0;
    if (prefix(at, "@PREV"))
      bits = &named.previous, length = 5;
    else if (prefix(at, "@CHANGE"))
      bits = &named.change, length = 7;
    else
      continue;
    named.any = true;
    const std::string_view rest = upper.substr(at + length);
    for (unsigned i = 0; i < 6; ++i)
      if (rest.starts_with(names[i])) *bits |= 1u << i;
  }
  return named;
}

// @PREV<name> and @CHANGE<name> for the six figures, names given without
// their prefix; none of them begins another.
void ReplaceFigures(ReportContext& ctx, MacroLine& line, const std::string_view names[6],
                    const Named& named, const Figures& now, const Figures& before) {
  const ReportSettings& s = ctx.settings;
  const int64_t nowValues[6] = {now.filesOut, now.sizeOut, now.filesIn,
                                now.sizeIn, now.sizeIn + now.sizeOut,
                                now.filesIn + now.filesOut};
  const int64_t beforeValues[6] = {before.filesOut, before.sizeOut,
                                   before.filesIn, before.sizeIn,
                                   before.sizeIn + before.sizeOut,
                                   before.filesIn + before.filesOut};
  const bool isSize[6] = {false, true, false, true, true, false};
  const unsigned previous = named.previous, change = named.change;
  for (int i = 0; i < 6; ++i) {
    if (previous & (1u << i))
      ReplaceAll(line,
                 isSize[i] ? FormatSize(s, beforeValues[i])
                           : FormatCount(s, beforeValues[i]),
                 "@PREV" + std::string(names[i]));
    if (change & (1u << i))
      ReplaceAll(line, ChangeText(nowValues[i], beforeValues[i], s),
                 "@CHANGE" + std::string(names[i]));
  }
}

}  // namespace

std::string ChangeText(int64_t now, int64_t before, const ReportSettings& s) {
  const int decimals = s.percDots;
  if (before == 0) return now == 0 ? FixedText(0, decimals) + "%" : s.words.changeNew;
  if (now == 0) return s.words.changeGone;
  double change = (static_cast<double>(now) - static_cast<double>(before)) /
                  static_cast<double>(before) * 100;
  std::string text = FixedText(change, decimals);
  if (change > 0 && text.find_first_of("123456789") != std::string::npos)
    text = "+" + text;
  return text + "%";
}

void ReplacePreviousTotals(ReportContext& ctx, MacroLine& line) {
  static constexpr std::string_view kNames[6] = {"FILETOTALOUT", "SIZETOTALOUT",
                                        "FILETOTALIN",  "SIZETOTALIN",
                                        "TOTALSIZE",    "TOTALFILES"};
  const Named named = FindNamed(line, kNames);
  if (!named.any) return;
  const PeriodHistory& h = History(ctx);
  const PeriodTotals& t = ctx.tables.totals;
  const PeriodTotals& p = h.previous.totals;
  ReplaceFigures(ctx, line, kNames, named, Figures{t.sizeIn, t.sizeOut, t.filesIn, t.filesOut},
                 Figures{p.sizeIn, p.sizeOut, p.filesIn, p.filesOut});
  Set(line, "@PREVBEGINDATE", [&] { return DateText(h.previous.periodStart); });
  Set(line, "@PREVENDDATE", [&] { return DateText(h.previous.periodEnd); });
}

void ReplacePreviousRow(ReportContext& ctx, int kind, size_t row,
                        MacroLine& line) {
  static constexpr std::string_view kNames[6] = {"FILEOUT", "SIZEOUT", "FILEIN",
                                        "SIZEIN",  "SIZETOTAL", "FILETOTAL"};
  const Named named = FindNamed(line, kNames);
  if (!named.any) return;
  const PeriodHistory& h = History(ctx);
  const PeriodTables& t = ctx.tables;
  if (kind == kExpLinkTable) {
    const ExpLinkStat& now = t.expLinks[row];
    const ExpLinkStat* before = h.PreviousExpLink(now.address);
    const int64_t size = before ? before->size : 0, files = before ? before->files : 0;
    const ReportSettings& s = ctx.settings;
    Set(line, "@PREVEXPSIZE", [&] { return FormatSize(s, size); });
    Set(line, "@PREVEXPFILE", [&] { return FormatCount(s, files); });
    Set(line, "@CHANGEEXPSIZE", [&] { return ChangeText(now.size, size, s); });
    Set(line, "@CHANGEEXPFILE", [&] { return ChangeText(now.files, files, s); });
    return;
  }
  Figures now, before;
  if (kind == kAreaTable) {
    now = Of(&t.areas[row]);
    before = Of(h.PreviousArea(t.areas[row].name));
  } else if (kind == kLinkTable) {
    now = Of(&t.links[row]);
    before = Of(h.PreviousLink(t.links[row].address));
  } else if (kind == kOriginalLinkTable) {
    now = Of(&t.originalLinks[row]);
    before = Of(h.PreviousOrigin(t.originalLinks[row].address));
  } else {
    return;
  }
  ReplaceFigures(ctx, line, kNames, named, now, before);
}

size_t HistoryRowCount(const ReportContext& ctx, int kind) {
  if (kind == kTrendTable) return ctx.trendRows.size();
  if (kind == kNoteTable) return History(ctx).notes.size();
  return TableRowCount(ctx.tables, kind);
}

void ReplaceHistoryRow(ReportContext& ctx, int kind, size_t row, int key,
                       MacroLine& line) {
  const ReportSettings& s = ctx.settings;
  if (kind == kNoteTable) {
    const Note& note = History(ctx).notes[row];
    Set(line, "@NOTEKIND", [&] { return std::string(NoteKindName(note.kind)); });
    Set(line, "@NOTESUBJECT", [&] { return note.subject; });
    // The figures of the sentence, so a template writes it in its language.
    Set(line, "@NOTEDAYS", [&] { return std::to_string(note.days); });
    Set(line, "@NOTEDATE", [&] { return DateText(note.date); });
    Set(line, "@NOTEVOLUME", [&] { return ReadableSize(s, note.perDay); });
    Set(line, "@NOTEFACTOR", [&] { return ApplyDotStyle(s, FixedText(note.factor, 1)); });
    const bool system = note.kind == NoteKind::kSilentLink || note.kind == NoteKind::kNewOrigin;
    ReplaceNames(ctx, system ? &note.address : nullptr, line);
    Set(line, "@NOTE", [&] { return note.text; });
    return;
  }
  if (kind != kTrendTable) return;
  const std::vector<TrendRow>& rows = ctx.trendRows;
  const PeriodTotals& r = rows[row].totals;
  Set(line, "@TRENDDATE", [&] { return DateText(rows[row].first); });
  Set(line, "@TRENDEND", [&] { return DateText(rows[row].last); });
  Set(line, "@TRENDPARTIAL", [&] { return rows[row].partial ? s.words.partial : std::string(); });
  Set(line, "@SIZEIN", [&] { return FormatSize(s, r.sizeIn); });
  Set(line, "@SIZEOUT", [&] { return FormatSize(s, r.sizeOut); });
  Set(line, "@SIZETOTAL", [&] { return FormatSize(s, r.totalSize); });
  Set(line, "@FILEIN", [&] { return FormatCount(s, r.filesIn); });
  Set(line, "@FILEOUT", [&] { return FormatCount(s, r.filesOut); });
  Set(line, "@FILETOTAL", [&] { return FormatCount(s, r.totalFiles); });
  // The rows are in date order: bars measure against the largest row.
  double maxSize = 0, maxFiles = 0;
  for (const TrendRow& t : rows) {
    maxSize = std::max(maxSize, static_cast<double>(t.totals.totalSize));
    maxFiles = std::max(maxFiles, static_cast<double>(t.totals.totalFiles));
  }
  const double size = static_cast<double>(r.totalSize);
  const double files = static_cast<double>(r.totalFiles);
  for (const char* prefix : {"@EXTGRAPH", "@DBLGRAPH"}) {
    for (char v : {'1', '2', 'S'}) {
      std::string name = std::string(prefix) + v;
      Set(line, name, [&] {
        int64_t width = static_cast<uint32_t>(GraphWidth(name, line)) & 0xFF;
        return CombineBars(
            MakeBar(UseChar(s, 1), UseChar(s, 2), width, size, maxSize),
            MakeBar(UseChar(s, 3), UseChar(s, 4), width, files, maxFiles), v,
            UseChar(s, 5));
      });
    }
  }
  if (key != kBySize && key != kByFiles) return;
  const bool bySize = key == kBySize;
  const double part = bySize ? size : files;
  Set(line, "@GRAPH", [&] {
    return MakeBar(UseChar(s, 1), UseChar(s, 2), GraphWidth("@GRAPH", line),
                   part, bySize ? maxSize : maxFiles);
  });
  Set(line, "@PERC", [&] {
    const PeriodTotals& t = ctx.tables.totals;
    return FixedText(Percent(part, static_cast<double>(bySize ? t.totalSize
                                                              : t.totalFiles)),
                     s.percDots) + "%";
  });
}

}  // namespace vex
