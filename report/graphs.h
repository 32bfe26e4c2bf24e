// Text bar graphs drawn with the USECHAR characters, the overlay of two
// bars, and percentages.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_settings.h"

namespace vex {

// A bar of up to `width` cells measuring part against whole: Round(x) full
// cells for x = part * width / whole, plus one half cell for small
// remainders.  The bar never holds more cells than a line can show.
std::string MakeBar(char full, char half, int64_t width, double part,
                    double whole);

// Overlays two bars: variant '1' keeps bar2's length, '2' bar1's, 'S' picks
// '1' when bar1 is not longer than bar2.  Cells covered by both bars become
// `both`.
std::string CombineBars(const std::string& bar1, const std::string& bar2,
                        char variant, char both);

// part / whole * 100; 0 when either is 0.
double Percent(double part, double whole);

std::string Reverse(std::string text);

// Graph character n (1-5) of USECHAR; a space when the setting is shorter.
char UseChar(const ReportSettings& settings, int n);

// A USECHAR value as stored: its first five characters, missing ones
// spaces.
std::string NormalizeUseChar(const std::string& value);

}  // namespace vex
