// FidoNet addresses zone:net/node.point, four signed 16-bit fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vex {

struct FtnAddress {
  int16_t zone = 0, net = 0, node = 0, point = 0;
  bool operator==(const FtnAddress&) const = default;
  bool IsZero() const { return zone == 0 && net == 0 && node == 0 && point == 0; }
};

// Strict parser for configuration values and kludges.  Rejects (false,
// address unchanged) empty texts and texts with characters other than
// "-./0123456789:" once a leading "/" and a domain suffix "@..." are
// dropped.  Fields that the text's form does not name keep their values.
bool ParseAddress(std::string_view text, FtnAddress& address);

// Lenient parser for `ADDRESS` lines and TIC lines: takes the value after the
// first word of line (the whole line when it has no space); never fails.
void ParseFieldAddress(std::string_view line, FtnAddress& address);
// The same for the value alone (the text after the keyword).
void ParseFieldAddressValue(std::string_view value, FtnAddress& address);

std::string AddressToText(const FtnAddress& a);    // point only when not 0
std::string AddressToText4D(const FtnAddress& a);  // always with point
std::string AddressToText3D(const FtnAddress& a);  // never with point
std::string AddressToTextUnsigned(const FtnAddress& a);  // fields 0..65535
int CompareAddress(const FtnAddress& a, const FtnAddress& b);

// The n-th word (from 1) of text, words separated by runs of any of the
// delimiter bytes; empty when there is no such word.
std::string ExtractWord(int n, std::string_view text,
                        std::string_view delimiters);

}  // namespace vex
