// The line-by-line part of the configuration check: keywords the readers do
// not know or ignore, and values that a reader takes otherwise than meant.
#pragma once

#include <string>
#include <vector>

#include "driver/app.h"
#include "driver/check_report.h"
#include "util/known_words.h"

namespace vex {

// Every keyword the configuration readers compare a line with, taken from
// the readers themselves.
std::vector<KnownWord> KnownConfigKeywords(Env& env);

// Checks one configuration line (not a comment) at where ("file:line").
void LintConfigLine(CheckReport& report, const std::string& where,
                    const std::string& line, const std::vector<KnownWord>& known);

// True when text is an address written in full, zone:net/node with an
// optional .point and @domain, each number 0..32767.
bool IsCleanAddress(const std::string& text);

}  // namespace vex
