#include "report/graphs.h"

#include <algorithm>
#include <cmath>

namespace vex {
namespace {
// A line holds at most 255 characters; one more full cell keeps the tail of
// a reversed bar right after the line is cut.
constexpr double kMaxCells = 256;
}  // namespace

std::string MakeBar(char full, char half, int64_t width, double part,
                    double whole) {
  double x = whole != 0 ? part * static_cast<double>(width) / whole : 0;
  if (!(x > 0)) return std::string();  // zero, negative or not a number
  double rounded = std::round(x);      // half away from zero
  size_t cells = static_cast<size_t>(std::min(rounded, kMaxCells));
  std::string bar(cells, full);
  double fraction = x - std::trunc(x);
  if ((x >= 0.1 && x <= 0.5) || (x > 0.5 && fraction >= 0.1 && fraction < 0.5))
    bar += half;
  return bar;
}

std::string CombineBars(const std::string& bar1, const std::string& bar2,
                        char variant, char both) {
  if (variant == 'S') variant = bar1.size() <= bar2.size() ? '1' : '2';
  const std::string& base = variant == '1' ? bar2 : bar1;
  const std::string& over = variant == '1' ? bar1 : bar2;
  std::string result = base;
  size_t covered = std::min(over.size(), result.size());
  for (size_t i = 0; i < covered; ++i) result[i] = both;
  return result;
}

double Percent(double part, double whole) {
  if (part == 0 || whole == 0) return 0;
  return part / whole * 100;
}

std::string Reverse(std::string text) {
  std::reverse(text.begin(), text.end());
  return text;
}

char UseChar(const ReportSettings& settings, int n) {
  size_t i = static_cast<size_t>(n - 1);
  return i < settings.useChar.size() ? settings.useChar[i] : ' ';
}

std::string NormalizeUseChar(const std::string& value) {
  std::string chars = value.substr(0, std::min<size_t>(value.size(), 5));
  chars.resize(5, ' ');
  return chars;
}

}  // namespace vex
