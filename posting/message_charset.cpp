#include "posting/message_charset.h"

#include "platform/cp866.h"
#include "util/text.h"

namespace vex {

bool NamesUtf8(const std::string& charset) {
  const std::string word = UpperCp866(FirstWord(TrimTrailingBlanksAndTabs(charset)));
  return word == "UTF-8" || word == "UTF8";
}

std::string InMessageCharset(const std::string& cp866, bool utf8) {
  return utf8 ? Cp866ToUtf8(cp866) : cp866;
}

std::string HeaderField(const std::string& cp866, bool utf8, size_t width) {
  if (!utf8) return cp866;
  std::string text = Cp866ToUtf8(cp866);
  if (text.size() <= width) return text;
  size_t n = width;
  // Back over the continuation bytes of the character that does not fit.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

HeaderWidths HeaderWidthsOf(const std::string& baseType) {
  // JAM keeps each field as a subfield of up to 255 bytes; *.MSG and
  // Squish have fixed fields of 36 and 72 bytes with their closing NUL.
  if (!baseType.empty() && (baseType[0] == 'J' || baseType[0] == 'j'))
    return HeaderWidths{255, 255};
  return HeaderWidths{};
}

}  // namespace vex
