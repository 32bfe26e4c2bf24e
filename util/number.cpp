#include "util/number.h"

#include <cstdint>

namespace vex {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace {

// The sign and the magnitude of a number by the rule; false when the text
// is no number or its magnitude passes limit (checked while accumulating,
// so long texts cannot wrap).
bool ParseMagnitude(std::string_view text, bool* negative, uint64_t* magnitude,
                    uint64_t positiveLimit, uint64_t negativeLimit) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= text.size()) return false;
  const uint64_t limit = *negative ? negativeLimit : positiveLimit;
  uint64_t m = 0;
  for (; i < text.size(); ++i) {
    int d = HexDigit(text[i]);
    if (d < 0 || d >= base) return false;
    m = m * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (m > limit) return false;
  }
  *magnitude = m;
  return true;
}

}  // namespace

bool ParseNumber(std::string_view text, int32_t* value) {
  // The magnitude may reach 2^31 for a negative number.
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ParseMagnitude(text, &negative, &magnitude, (uint64_t{1} << 31) - 1,
                      uint64_t{1} << 31))
    return false;
  if (value) {
    const int64_t v = static_cast<int64_t>(magnitude);
    *value = static_cast<int32_t>(negative ? -v : v);
  }
  return true;
}

uint32_t UnsignedValue(std::string_view text) {
  bool negative = false;
  uint64_t magnitude = 0;
  // "-0" is still 0; any other negative number does not convert.
  if (!ParseMagnitude(text, &negative, &magnitude, 0xFFFFFFFFu, 0)) return 0;
  return static_cast<uint32_t>(magnitude);
}

int32_t NumberValue(std::string_view text) {
  int32_t v = 0;
  return ParseNumber(text, &v) ? v : 0;
}

}  // namespace vex
