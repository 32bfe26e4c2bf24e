// An inline SVG chart of a period's series for web pages: files and size
// per row (day, week or month), incoming and outgoing stacked, with value
// and date axes.  No script, no external file; sized by its box, readable
// from 400 pixels wide.
#pragma once

#include <string>
#include <vector>

#include "report/period_history.h"
#include "report/report_settings.h"

namespace vex {

// The chart as lines of text, none longer than 79 characters (a posted
// report is read in 80 columns, and no result line may pass 255).  Its
// words (panels, series, units, "partial") are the template's (#WORD);
// rows marked partial are drawn paler, and the legend says so.
std::vector<std::string> TrendSvgLines(const std::vector<TrendRow>& rows,
                                       const ReportSettings& settings);

}  // namespace vex
