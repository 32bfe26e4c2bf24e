// The macros of the history: the previous period beside the current one
// (@PREV..., @CHANGE...), the rows of trend sections and of the notes.
#pragma once

#include <cstddef>
#include <string>

#include "report/macro_line.h"
#include "report/report_context.h"

namespace vex {

// The change from `before` to `now`: a signed percentage with PERCDOTS
// decimals ("+25.00%", "-3.10%", "0.00%"), the template's word for new
// ("new") when there was nothing before, for gone ("gone") when there is
// nothing now.
std::string ChangeText(int64_t now, int64_t before, const ReportSettings& settings);

// The report-wide macros of the previous period: its totals, their change,
// its dates.
void ReplacePreviousTotals(ReportContext& ctx, MacroLine& line);
// The previous figures and the change of row `row` (0-based) of an area,
// link, originating-system or addressee table.
void ReplacePreviousRow(ReportContext& ctx, int kind, size_t row,
                        MacroLine& line);
// Row macros of the trend and note sections.
void ReplaceHistoryRow(ReportContext& ctx, int kind, size_t row, int key,
                       MacroLine& line);
// Rows of a table kind, the trend and note sections included.
size_t HistoryRowCount(const ReportContext& ctx, int kind);

}  // namespace vex
