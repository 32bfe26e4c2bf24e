// Settings that template directives change; they carry over from one
// template to the next within a run.
#pragma once

#include <cstdint>
#include <string>

namespace vex {

// The words the program itself writes into a report: a template gives its
// own with "#WORD NAME text" (names in the comments), so a report reads in
// one language.  Like #HTMLESCAPE they start as below in every template.
struct ReportWords {
  std::string changeNew = "new";     // NEW: a change from nothing
  std::string changeGone = "gone";   // GONE: a change to nothing
  std::string partial = "partial";   // PARTIAL: a week or month cut short
  std::string files = "Files";       // FILES: the chart's upper panel
  std::string size = "Size";         // SIZE: its lower panel
  std::string in = "in";             // IN: incoming series
  std::string out = "out";           // OUT: outgoing series
  std::string noDays = "None days";  // NODAYS: an empty trend or chart
  std::string noChanges = "No changes";          // NOCHANGES
  // BYTES, KB, MB, GB, TB: the units of sizes written for people.
  std::string units[5] = {"bytes", "KB", "MB", "GB", "TB"};
};

struct ReportSettings {
  char dotStyle = '.';        // #DOTSTYLE
  std::string orderStyle;     // #ORDERSTYLE: empty or one character
  uint8_t percDots = 2;       // #PERCDOTS
  uint8_t realDots = 2;       // #REALDOTS
  int32_t kbSize = 1024;      // #KBSIZE
  std::string useChar = "\xFE\xF9\x2A\xFA\xDB";  // #USECHAR, five bytes
  // #HTMLESCAPE: values are written HTML-safe.  Unlike the settings above it
  // starts off in every template, so a web page never leaks its escaping
  // into the text reports after it.
  bool htmlEscape = false;
  // #READABLE ON: sizes in the largest unit that keeps them at 1 or more
  // (with the unit's word), counts grouped like sizes.  Starts off in every
  // template, so text reports keep their columns.
  bool readable = false;
  ReportWords words;  // #WORD
};

}  // namespace vex
