// Settings that template directives change; they carry over from one
// template to the next within a run.
#pragma once

#include <cstdint>
#include <string>

namespace vex {

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
};

}  // namespace vex
