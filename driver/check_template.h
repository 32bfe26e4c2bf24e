// The template part of the configuration check: directive lines and macro
// words that are one or two letters away from ones the report knows.
#pragma once

#include <string>
#include <vector>

#include "driver/check_report.h"
#include "platform/env.h"

namespace vex {

struct TemplateWords {
  std::vector<std::string> directives;  // "#AREASIZE", ...
  std::vector<std::string> macros;      // "@TOTALFILES", ...
  std::vector<std::string> wordNames;   // the names of #WORD: "NEW", ...
};

// Every directive, macro and #WORD name the template reader and the expander compare
// with, taken from them.
TemplateWords KnownTemplateWords(Env& env);

void LintTemplate(CheckReport& report, Env& env, const std::string& file,
                  const TemplateWords& known);

}  // namespace vex
