#include "report/expand.h"

#include <algorithm>
#include <string>

#include "report/expand_history.h"
#include "report/graphs.h"
#include "report/macro_line.h"
#include "report/number_format.h"
#include "report/sort_table.h"
#include "util/address.h"
#include "util/dates.h"
#include "util/known_words.h"

namespace vex {
namespace {

// Replaces name (given in upper case) only when the line holds it, so a
// value is computed only for the lines that show it.  The value is computed
// from the line as it stands (a graph reads its length there) before
// "@Space" and "\n" grow the line; a line that grows past its limit keeps
// what fits.
template <typename Compute>
void Set(MacroLine& line, std::string_view name, Compute&& compute) {
  WordListing::Note(name, WordKind::kAnyCase);
  if (line.Find(name) == std::string::npos) return;
  SetMacro(name, compute(), line);
}

// Combined graphs take their width modulo 256.
int64_t CombinedWidth(std::string_view name, const MacroLine& line) {
  return static_cast<int64_t>(static_cast<uint32_t>(GraphWidth(name, line)) & 0xFF);
}

std::string CombinedGraph(const ReportSettings& s, int64_t width, double part1,
                          double whole1, double part2, double whole2,
                          char variant) {
  std::string bar1 = MakeBar(UseChar(s, 1), UseChar(s, 2), width, part1, whole1);
  std::string bar2 = MakeBar(UseChar(s, 3), UseChar(s, 4), width, part2, whole2);
  return CombineBars(bar1, bar2, variant, UseChar(s, 5));
}

constexpr char kVariants[3] = {'1', '2', 'S'};

void ReplaceReportWide(ReportContext& ctx, MacroLine& line) {
  const ReportSettings& s = ctx.settings;
  const PeriodTotals& t = ctx.tables.totals;
  const double sizeIn = static_cast<double>(t.sizeIn);
  const double sizeOut = static_cast<double>(t.sizeOut);
  const double filesIn = static_cast<double>(t.filesIn);
  const double filesOut = static_cast<double>(t.filesOut);
  const double totalSize = static_cast<double>(t.totalSize);
  const double totalFiles = static_cast<double>(t.totalFiles);

  struct Bar {
    const char* name;
    const char* reversed;
    double part, whole;
  };
  const Bar bars[4] = {
      {"@INSGRAPH", "@REVINSGRAPH", sizeIn, totalSize},
      {"@OUTSGRAPH", "@REVOUTSGRAPH", sizeOut, totalSize},
      {"@INFGRAPH", "@REVINFGRAPH", filesIn, totalFiles},
      {"@OUTFGRAPH", "@REVOUTFGRAPH", filesOut, totalFiles},
  };
  for (const Bar& b : bars)
    Set(line, b.name, [&] {
      return MakeBar(UseChar(s, 1), UseChar(s, 2), GraphWidth(b.name, line),
                     b.part, b.whole);
    });
  for (const Bar& b : bars)
    Set(line, b.reversed, [&] {
      return Reverse(MakeBar(UseChar(s, 1), UseChar(s, 2),
                             GraphWidth(b.reversed, line), b.part, b.whole));
    });

  struct Combined {
    const char* prefix;
    double size, files;
  };
  const Combined combined[2] = {{"EXTINGRAPH", sizeIn, filesIn},
                                {"EXTOUTGRAPH", sizeOut, filesOut}};
  for (bool reversed : {false, true}) {
    for (const Combined& c : combined) {
      for (char v : kVariants) {
        std::string name = std::string(reversed ? "@REV" : "@") + c.prefix + v;
        Set(line, name, [&] {
          std::string graph =
              CombinedGraph(s, CombinedWidth(name, line), c.size, totalSize,
                            c.files, totalFiles, v);
          return reversed ? Reverse(graph) : graph;
        });
      }
    }
  }

  Set(line, "@FILETOTALOUT", [&] { return FormatCount(s, t.filesOut); });
  Set(line, "@SIZETOTALOUT", [&] { return FormatSize(s, t.sizeOut); });
  Set(line, "@FILETOTALIN", [&] { return FormatCount(s, t.filesIn); });
  Set(line, "@SIZETOTALIN", [&] { return FormatSize(s, t.sizeIn); });
  Set(line, "@TOTALSIZE", [&] { return FormatSize(s, t.totalSize); });
  Set(line, "@TOTALFILES", [&] { return FormatCount(s, t.totalFiles); });
  Set(line, "@BEGINDATE", [&] { return DateText(ctx.tables.periodStart); });
  Set(line, "@ENDDATE", [&] { return DateText(ctx.tables.periodEnd); });
  // The character set of the result file, by its registered name.
  Set(line, "@CHARSET", [&] {
    return std::string(ctx.run.resultUtf8 ? "UTF-8" : "IBM866");
  });
  Set(line, "@ID", [] { return std::string(kProgramName); });
  Set(line, "@VER", [] { return std::string(kProgramName); });
  ReplacePreviousTotals(ctx, line);
}

// The row macros shared by every table kind.
struct RowView {
  ReportContext& ctx;
  int kind;
  size_t row;  // 0-based
  int64_t Size() const { return RowSize(ctx.tables, kind, row); }
  int64_t Files() const { return RowFiles(ctx.tables, kind, row); }
  int64_t FirstSize() const { return RowSize(ctx.tables, kind, 0); }
  int64_t FirstFiles() const { return RowFiles(ctx.tables, kind, 0); }
};

void ReplaceExtended(const RowView& r, MacroLine& line) {
  const ReportSettings& s = r.ctx.settings;
  for (char v : kVariants) {
    std::string name = std::string("@EXTGRAPH") + v;
    Set(line, name, [&] {
      const auto& counts = FileCountsDescending(r.ctx, r.kind);
      return CombinedGraph(s, CombinedWidth(name, line),
                           static_cast<double>(r.Size()),
                           static_cast<double>(r.FirstSize()),
                           static_cast<double>(counts[r.row]),
                           static_cast<double>(counts[0]), v);
    });
  }
}

void ReplaceDouble(const RowView& r, MacroLine& line) {
  const ReportSettings& s = r.ctx.settings;
  for (char v : kVariants) {
    std::string name = std::string("@DBLGRAPH") + v;
    Set(line, name, [&] {
      const auto& counts = FileCountsDescending(r.ctx, r.kind);
      return CombinedGraph(s, CombinedWidth(name, line),
                           static_cast<double>(r.Size()),
                           static_cast<double>(r.FirstSize()),
                           static_cast<double>(r.Files()),
                           static_cast<double>(counts[0]), v);
    });
  }
}

void ReplaceGraphAndPercent(const RowView& r, int key, MacroLine& line) {
  if (key != kBySize && key != kByFiles) return;
  const ReportSettings& s = r.ctx.settings;
  const PeriodTotals& t = r.ctx.tables.totals;
  bool bySize = key == kBySize;
  double part = static_cast<double>(bySize ? r.Size() : r.Files());
  double first = static_cast<double>(bySize ? r.FirstSize() : r.FirstFiles());
  double total = static_cast<double>(bySize ? t.totalSize : t.totalFiles);
  Set(line, "@GRAPH", [&] {
    return MakeBar(UseChar(s, 1), UseChar(s, 2), GraphWidth("@GRAPH", line),
                   part, first);
  });
  Set(line, "@PERC", [&] {
    return FixedText(Percent(part, total), s.percDots) + "%";
  });
}

template <typename Row>
void ReplaceInOut(const ReportSettings& s, const Row& row, MacroLine& line) {
  Set(line, "@SIZEIN", [&] { return FormatSize(s, row.sizeIn); });
  Set(line, "@SIZEOUT", [&] { return FormatSize(s, row.sizeOut); });
  Set(line, "@SIZETOTAL", [&] { return FormatSize(s, row.sizeIn + row.sizeOut); });
  Set(line, "@FILEIN", [&] { return FormatCount(s, row.filesIn); });
  Set(line, "@FILEOUT", [&] { return FormatCount(s, row.filesOut); });
  Set(line, "@FILETOTAL", [&] { return FormatCount(s, row.filesIn + row.filesOut); });
}

}  // namespace

void ReplaceNames(const ReportContext& ctx, const FtnAddress* address, MacroLine& line) {
  const NodeNames* n = ctx.names && address ? ctx.names->Find(*address) : nullptr;
  static const NodeNames kNone;
  if (!n) n = &kNone;
  Set(line, "@SYSNAME", [&] { return n->system; });
  Set(line, "@SYSOP", [&] { return n->sysop; });
  Set(line, "@LOCATION", [&] { return n->location; });
}

namespace {

void ReplaceRow(ReportContext& ctx, size_t row, int kind, int key,
                MacroLine& line) {
  RowView r{ctx, kind, row};
  const ReportSettings& s = ctx.settings;
  ReplacePreviousRow(ctx, kind, row, line);
  switch (kind) {
    case kAreaTable: {
      const AreaStat& area = ctx.tables.areas[row];
      Set(line, "@AREA", [&] {
        int64_t width = GraphWidth("@AREA", line);
        if (static_cast<int64_t>(area.name.size()) < width) return area.name;
        size_t keep = width > 1 ? static_cast<size_t>(width - 1) : 0;
        return area.name.substr(0, keep) + ">";
      });
      ReplaceInOut(s, area, line);
      ReplaceExtended(r, line);
      ReplaceDouble(r, line);
      ReplaceGraphAndPercent(r, key, line);
      break;
    }
    case kLinkTable:
    case kOriginalLinkTable: {
      const LinkStat& link = kind == kLinkTable ? ctx.tables.links[row]
                                                : ctx.tables.originalLinks[row];
      Set(line, "@LINK", [&] { return AddressToTextUnsigned(link.address); });
      ReplaceNames(ctx, &link.address, line);
      ReplaceInOut(s, link, line);
      ReplaceGraphAndPercent(r, key, line);
      ReplaceExtended(r, line);
      ReplaceDouble(r, line);
      break;
    }
    case kExpLinkTable: {
      const ExpLinkStat& exp = ctx.tables.expLinks[row];
      Set(line, "@EXPLINK", [&] {
        return exp.address.IsZero() ? std::string("Unknown")
                                    : AddressToTextUnsigned(exp.address);
      });
      ReplaceNames(ctx, &exp.address, line);
      Set(line, "@EXPSIZE", [&] { return FormatSize(s, exp.size); });
      Set(line, "@EXPFILE", [&] { return FormatCount(s, exp.files); });
      ReplaceExtended(r, line);
      ReplaceDouble(r, line);
      ReplaceGraphAndPercent(r, key, line);
      break;
    }
    default:
      ReplaceHistoryRow(ctx, kind, row, key, line);
      break;
  }
}

}  // namespace

std::string MissingRowText(int kind) {
  switch (kind) {
    case kAreaTable:
      return "Internal error while parsing area macro string, may be no enough memory";
    case kLinkTable:
      return "Internal error while parsing links macro string, may be no enough memory";
    case kOriginalLinkTable:
      return "Internal error while parsing original links macro string, may be no enough memory";
    case kExpLinkTable:
      return "Internal error while parsing downlinks macro string, may be no enough memory";
    default:
      return std::string();
  }
}

std::string ExpandLine(ReportContext& ctx, int64_t index,
                       std::string_view text, int kind, int key) {
  MacroLine line(text);
  line.htmlEscape = ctx.settings.htmlEscape;
  ReplaceReportWide(ctx, line);

  std::string result;
  if (index != 0) {
    Set(line, "@NUMB", [&] { return std::to_string(index); });
    if (kind != kNoTable) {
      size_t rows = HistoryRowCount(ctx, kind);
      if (index < 1 || static_cast<uint64_t>(index) > rows) {
        std::string missing = MissingRowText(kind);
        line = MacroLine(missing);
      } else {
        ReplaceRow(ctx, static_cast<size_t>(index - 1), kind, key, line);
      }
    }
  }
  // A line without a macro still has its "@Space" and "\n" expanded.
  ReplaceAll(line, " ", "@SPACE");
  ReplaceAll(line, "\n\r", "\\N");
  // Only the operator's own "%" or "#" justifies a line, never the first
  // character of a value.
  result = std::move(line.text);
  bool firstIsTemplate = !result.empty() && !line.IsValue(0);
  int64_t width = ctx.run.screenLength;
  if (firstIsTemplate && result[0] == '%') {
    std::string rest = result.substr(1);
    firstIsTemplate = result.size() > 1 && !line.IsValue(1);
    result = JustifyLine(rest, width, "RIGHT");
    if (result.size() != rest.size()) firstIsTemplate = false;  // padded
  }
  if (firstIsTemplate && !result.empty() && result[0] == '#')
    result = JustifyLine(result.substr(1), width, "CENTER");
  return result;
}

}  // namespace vex
