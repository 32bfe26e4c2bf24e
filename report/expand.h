// Macro expansion of one template line into one result line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report/macro_line.h"
#include "report/report_context.h"

namespace vex {

// Replaces the report-wide macros, then (index not 0) @NUMB and the row
// macros of row `index` (1-based) of the table `kind`; justifies lines
// beginning with "%" (right) or "#" (centre) to SCREENLENGTH.  Returns the
// line without its line end.  A row that does not exist gives the kind's
// error text instead of the line.
std::string ExpandLine(ReportContext& ctx, int64_t index,
                       std::string_view line, int kind, int key);

// @SYSNAME, @SYSOP and @LOCATION of an address from the nodelist; empty
// when it is not listed (or address is nullptr).
void ReplaceNames(const ReportContext& ctx, const FtnAddress* address, MacroLine& line);

// The text a line becomes when its row does not exist.
std::string MissingRowText(int kind);

}  // namespace vex
