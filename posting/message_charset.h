// The character set a message is written in: CP866, the program's own, or
// UTF-8 when the CHRS kludge names it.  Header fields in UTF-8 are cut to
// what the base's field holds without splitting a character.
#pragma once

#include <cstddef>
#include <string>

namespace vex {

// True when a charset text (the CHRS value, RESULTCHARSET) names UTF-8:
// its first word is UTF-8 or UTF8, in any case.
bool NamesUtf8(const std::string& charset);

// A CP866 text in the message's character set.
std::string InMessageCharset(const std::string& cp866, bool utf8);

// A header field (names, subject) in the message's character set; in UTF-8
// at most `width` bytes, ending on a whole character.  CP866 text is left
// to the base, which cuts it at its field width.
std::string HeaderField(const std::string& cp866, bool utf8, size_t width);

// The byte widths of the header fields of a base type (J, S, M).
struct HeaderWidths {
  size_t name = 35, subject = 71;
};
HeaderWidths HeaderWidthsOf(const std::string& baseType);

}  // namespace vex
