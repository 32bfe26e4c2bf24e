#include "util/number.h"

#include <cstdint>
#include <limits>

namespace vex {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseNumber(std::string_view text, int32_t* value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= text.size()) return false;
  // The magnitude may reach 2^31 for a negative number; anything beyond
  // is out of range.  Stop accumulating early so long texts cannot wrap.
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int d = HexDigit(text[i]);
    if (d < 0 || d >= base) return false;
    magnitude = magnitude * base + d;
    if (magnitude > limit) return false;
  }
  if (value) {
    *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  }
  return true;
}

int32_t NumberValue(std::string_view text) {
  int32_t v = 0;
  return ParseNumber(text, &v) ? v : 0;
}

}  // namespace vex
