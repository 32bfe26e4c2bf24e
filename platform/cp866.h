// CP866 <-> UTF-8.  Inside the program every text is CP866 bytes; the
// console is UTF-8.  Program texts are written in the sources as UTF-8
// literals and converted once with Cp866().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vex {

// Byte by byte through a 128-entry table for 0x80-0xFF; bytes below 0x80
// pass unchanged.
std::string Cp866ToUtf8(std::string_view cp866);
// The reverse; a character that CP866 lacks becomes "?".
std::string Utf8ToCp866(std::string_view utf8);
// The CP866 byte of a Unicode code point; -1 when CP866 lacks it.
int Cp866Byte(uint32_t codePoint);
// Shorthand for program texts written in UTF-8 in the sources.
inline std::string Cp866(std::string_view utf8) { return Utf8ToCp866(utf8); }

}  // namespace vex
