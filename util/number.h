// The number rule used for every number read from text: leading spaces
// skipped, an optional "+" or "-", then decimal digits or "$" and hex digits.
// Anything left over, no digit, an empty text or a value outside the signed
// 32-bit range converts to 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace vex {

// True when the whole text is a number by the rule; *value gets it.
bool ParseNumber(std::string_view text, int32_t* value);
// The number, or 0 when the text does not convert.
int32_t NumberValue(std::string_view text);
// The same rule with the range 0..4,294,967,295: a negative number, one
// beyond that range or a text that is no number gives 0.
uint32_t UnsignedValue(std::string_view text);

}  // namespace vex
