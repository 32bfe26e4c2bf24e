#include "report/number_format.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vex {
namespace {

// The exact binary value correctly rounded at the last digit (as glibc's
// printf gives it, digit for digit).  Fixed notation of a double at the
// greatest precision used here fits the buffer.
std::string PrintFixed(double magnitude, int precision) {
  char buf[1536];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude,
                                 std::chars_format::fixed, precision);
  if (ec != std::errc()) return "0";
  return std::string(buf, end);
}

// Splits a printed magnitude into integer digits and fraction digits.
void Split(const std::string& printed, std::string& intPart,
           std::string& frac) {
  size_t point = printed.find('.');
  intPart = printed.substr(0, point);
  frac = point == std::string::npos ? "" : printed.substr(point + 1);
}

}  // namespace

std::string FixedText(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 255) decimals = 255;
  if (std::isnan(value)) value = 0;
  if (std::isinf(value))
    value = value > 0 ? std::numeric_limits<double>::max()
                      : -std::numeric_limits<double>::max();
  bool negative = std::signbit(value);
  double magnitude = std::fabs(value);

  // Print a few guard digits beyond the wanted ones.  The decision digit is
  // reliable unless the guard digits read exactly "5000...": the exact value
  // may then lie just below the half, so it is printed exactly (a double has
  // at most 1074 fraction digits).
  constexpr int kGuard = 30;
  std::string intPart, frac;
  Split(PrintFixed(magnitude, decimals + kGuard), intPart, frac);
  bool ambiguous = frac[decimals] == '5' &&
                   frac.find_first_not_of('0', decimals + 1) == std::string::npos;
  if (ambiguous) Split(PrintFixed(magnitude, 1100), intPart, frac);

  bool roundUp = frac[decimals] >= '5';
  std::string digits = intPart + frac.substr(0, decimals);
  if (roundUp) {
    size_t i = digits.size();
    bool carry = true;
    while (carry && i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        carry = false;
      }
    }
    if (carry) digits.insert(digits.begin(), '1');
  }
  size_t intLen = digits.size() - static_cast<size_t>(decimals);
  std::string text = digits.substr(0, intLen);
  if (decimals > 0) text += "." + digits.substr(intLen);
  if (negative && digits.find_first_not_of('0') != std::string::npos)
    text.insert(text.begin(), '-');
  return text;
}

std::string ApplyDotStyle(const ReportSettings& settings, std::string text) {
  for (size_t i = 1; i < text.size(); ++i)
    if (text[i] == '.') text[i] = settings.dotStyle;
  if (!settings.orderStyle.empty()) {
    // q: 1-based position of the first decimal character, or length + 1.
    size_t found = text.find(settings.dotStyle);
    long q = found == std::string::npos ? static_cast<long>(text.size()) + 1
                                        : static_cast<long>(found) + 1;
    long i = q - 1;
    for (;;) {
      i -= 3;
      if (i <= 0) break;
      text.insert(static_cast<size_t>(i), 1, settings.orderStyle[0]);
    }
  }
  return text;
}

std::string ReadableSize(const ReportSettings& settings, int64_t bytes) {
  double v = static_cast<double>(bytes);
  int unit = 0;
  while (unit < 4 && (v >= 1024 || v <= -1024)) v /= 1024, ++unit;
  return ApplyDotStyle(settings, FixedText(v, unit == 0 ? 0 : settings.realDots)) + " " +
         settings.words.units[unit];
}

std::string FormatCount(const ReportSettings& settings, int64_t count) {
  if (!settings.readable) return std::to_string(count);
  return ApplyDotStyle(settings, std::to_string(count));
}

std::string FormatSize(const ReportSettings& settings, int64_t bytes) {
  if (settings.readable) return ReadableSize(settings, bytes);
  // A divisor of 0 is never accepted by the directive; guard all the same.
  double divisor = settings.kbSize != 0 ? settings.kbSize : 1024;
  return ApplyDotStyle(
      settings, FixedText(static_cast<double>(bytes) / divisor,
                          settings.realDots));
}

}  // namespace vex
