// Recognises UTF-8 text.  Text files that people write in today's editors
// are UTF-8; the program's own texts are CP866, where Cyrillic letters and
// box-drawing characters are bytes 0x80-0xFF that almost never form
// well-formed UTF-8 sequences.
#pragma once

#include <cstdint>
#include <string_view>

namespace vex {

// Checks text fed in pieces of any size (a sequence may be split between two
// pieces).  Well-formed means RFC 3629 UTF-8: no overlong forms, no
// surrogates, nothing beyond U+10FFFF, no sequence cut off at the end.
class Utf8Check {
 public:
  void Feed(std::string_view piece);
  // True when everything fed so far is well-formed and ends on a character
  // boundary.
  bool WellFormed() const { return valid_ && pending_ == 0; }
  // True when a character of two or more bytes was met.
  bool HasMultiByte() const { return multiByte_; }
  // False once the text can no longer be well-formed.
  bool StillValid() const { return valid_; }
  // True while every character met exists in CP866.
  bool AllInCp866() const { return allInCp866_; }

 private:
  bool valid_ = true;
  bool multiByte_ = false;
  bool allInCp866_ = true;
  uint32_t codePoint_ = 0;   // the character being decoded
  int pending_ = 0;          // continuation bytes still expected
  uint8_t low_ = 0x80;       // range of the next continuation byte
  uint8_t high_ = 0xBF;
};

// The UTF-8 byte-order mark.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace vex
