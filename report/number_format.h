// Numbers as the reports print them: fixed notation with a chosen number of
// decimals, sizes divided by KBSIZE with the template's decimal and
// thousands separators.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_settings.h"

namespace vex {

// The integer part, a point and exactly `decimals` digits (no point for 0),
// never an exponent.  Rounds half away from zero on the exact value of the
// double: 0.125 with two decimals gives 0.13.  A result that rounds to zero
// carries no minus sign.
std::string FixedText(double value, int decimals);

// Every "." after the first character becomes the DOTSTYLE character; with
// an ORDERSTYLE character the integer part is grouped in threes.
std::string ApplyDotStyle(const ReportSettings& settings, std::string text);

// bytes / KBSIZE with REALDOTS decimals, through ApplyDotStyle; with
// #READABLE ON, ReadableSize.
std::string FormatSize(const ReportSettings& settings, int64_t bytes);
// A file count: plain decimal; with #READABLE ON grouped by ORDERSTYLE.
std::string FormatCount(const ReportSettings& settings, int64_t count);
// Bytes in the largest unit of 1024 that keeps the number at 1 or more,
// with REALDOTS decimals (none for bytes), through ApplyDotStyle, and the
// unit's word: "1.5 MB", "512 bytes".
std::string ReadableSize(const ReportSettings& settings, int64_t bytes);

}  // namespace vex
