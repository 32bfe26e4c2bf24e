// Tokens and configuration values of CP866 text lines.  Every result is cut
// to 255 bytes (or to the smaller maximum the caller gives).  The only word
// separator is the space character; tabs are ordinary characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vex {

constexpr size_t kMaxString = 255;

// Cuts s to at most max bytes.
std::string Cut(std::string s, size_t max = kMaxString);

// a-z -> A-Z, CP866 a..p (A0-AF) -> 80-8F, r..ya (E0-EF) -> 90-9F; every
// other byte (yo, F1, included) is kept.
std::string UpperCp866(std::string_view s);
// One byte of it.
inline char UpperCp866Char(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') {
    c = static_cast<unsigned char>(c - 0x20);
  } else if (c >= 0xA0 && c <= 0xAF) {
    c = static_cast<unsigned char>(c - 0x20);
  } else if (c >= 0xE0 && c <= 0xEF) {
    c = static_cast<unsigned char>(c - 0x50);
  }
  return static_cast<char>(c);
}

void StripLeadingSpaces(std::string& s);
std::string FirstWord(std::string_view s);
// The text after the first word; a text without a space is returned whole
// (stripped of leading spaces).  Trailing spaces are kept.
std::string RestOfLine(std::string_view s);
// text without the blanks and tabs at its end.
std::string_view TrimTrailingBlanksAndTabs(std::string_view text);
// Value of a keyword line: plain (rest of the line) or between the first two
// double quotes.
std::string OptionValue(std::string_view line, size_t max = kMaxString);

// Each setter returns true when the line's keyword matched the key (and the
// destination was set).
bool SetStringOption(std::string_view line, std::string_view key,
                     std::string& dest, size_t max = kMaxString);
bool SetNumberOption(std::string_view line, std::string_view key,
                     int32_t& dest);
bool SetBoolOption(std::string_view line, std::string_view key, bool& dest);
bool ParseYes(std::string_view line, std::string_view key);

// False for comment lines: first character ";" or "#", or first two "\\".
bool IsConfigLine(std::string_view line);

}  // namespace vex
