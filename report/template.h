// The template reader: setting directives, table sections and ordinary
// lines.
#pragma once

#include <string>
#include <string_view>

#include "core/run_settings.h"
#include "report/report_context.h"

namespace vex {

// Applies a setting directive (#DOTSTYLE, #PERCDOTS, #REALDOTS, #KBSIZE,
// #ORDERSTYLE, #USECHAR, #HTMLESCAPE, #READABLE) given the upper-cased line.  False when the line's
// first word is none of them.
bool ApplySettingDirective(ReportSettings& settings, std::string_view upperLine);

// "#WORD NAME text": the word the program writes for NAME (see
// ReportWords), case kept.  False when the line is no #WORD line.
bool ApplyWordDirective(ReportSettings& settings, std::string_view line);

struct Section {
  int kind = kNoTable;
  int key = kNoKey;
  TrendUnit unit = TrendUnit::kDay;  // of a trend section
  // Of a note section: the kind it lists (#NOTES(SPIKE), ...), kAllNotes,
  // or kNoNotes (#NOTES(NONE): its line once when there is no note at all).
  int notes = kAllNotes;
  static constexpr int kAllNotes = -1, kNoNotes = -2;
};
// The section an upper-cased line opens; kind 0 when it opens none.
Section SectionDirective(std::string_view upperLine);

// Reads the entry's template and hands every output line to ctx.write.
// A template that cannot be read is logged and nothing is written.
void ProcessTemplate(ReportContext& ctx, const TemplateEntry& entry);

}  // namespace vex
