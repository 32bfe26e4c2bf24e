#include "util/address.h"

#include "util/number.h"
#include "util/text.h"

namespace vex {

namespace {

// A component keeps the low 16 bits of its number (two's complement).
int16_t Component(std::string_view word) {
  return static_cast<int16_t>(
      static_cast<uint16_t>(static_cast<uint32_t>(NumberValue(word))));
}

bool HasChar(std::string_view s, char c) {
  return s.find(c) != std::string_view::npos;
}

// Takes the text before the first `sep` as a component and removes it with
// the separator; without `sep` the component text is empty and nothing is
// removed.
int16_t TakeBefore(std::string& rest, char sep) {
  size_t pos = rest.find(sep);
  if (pos == std::string::npos) return 0;
  int16_t v = Component(std::string_view(rest).substr(0, pos));
  rest.erase(0, pos + 1);
  return v;
}

}  // namespace

std::string ExtractWord(int n, std::string_view text,
                        std::string_view delimiters) {
  int count = 0;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && HasChar(delimiters, text[i])) ++i;
    if (i >= text.size()) break;
    size_t start = i;
    while (i < text.size() && !HasChar(delimiters, text[i])) ++i;
    if (++count == n) return std::string(text.substr(start, i - start));
  }
  return std::string();
}

bool ParseAddress(std::string_view text, FtnAddress& address) {
  std::string s = Cut(std::string(text));
  if (s.empty()) return false;
  if (s[0] == '/') s.erase(0, 1);
  size_t at = s.find('@');
  if (at != std::string::npos) s.erase(at);
  if (s.empty()) return false;
  for (char c : s) {
    if (c != '-' && c != '.' && c != '/' && c != ':' && !(c >= '0' && c <= '9'))
      return false;
  }
  bool colon = HasChar(s, ':');
  bool slash = HasChar(s, '/');
  if (colon && slash) {
    address.zone = Component(ExtractWord(1, s, ".:/"));
    address.net = Component(ExtractWord(2, s, ".:/"));
    address.node = Component(ExtractWord(3, s, ".:/"));
    address.point = Component(ExtractWord(4, s, ".:/"));
  } else if (colon) {
    // Zone and net alone: accepted, nothing assigned.
  } else if (slash) {
    address.net = Component(ExtractWord(1, s, "/"));
    address.node = Component(ExtractWord(2, s, "./"));
    address.point = Component(ExtractWord(3, s, "./"));
  } else if (s[0] == '.') {
    address.point = Component(std::string_view(s).substr(1));
  } else {
    address.node = Component(ExtractWord(1, s, "."));
    address.point = Component(ExtractWord(2, s, "."));
  }
  return true;
}

void ParseFieldAddress(std::string_view line, FtnAddress& address) {
  ParseFieldAddressValue(RestOfLine(line), address);
}

void ParseFieldAddressValue(std::string_view value, FtnAddress& address) {
  address = FtnAddress{};
  std::string rest(value);
  address.zone = TakeBefore(rest, ':');
  address.net = TakeBefore(rest, '/');
  size_t dot = rest.find('.');
  if (dot != std::string::npos) {
    address.node = Component(std::string_view(rest).substr(0, dot));
    rest.erase(0, dot + 1);
    size_t at = rest.find('@');
    if (at != std::string::npos) rest.erase(at);
    address.point = Component(rest);
  } else {
    size_t at = rest.find('@');
    if (at != std::string::npos) rest.erase(at);
    address.node = Component(rest);
  }
}

namespace {

std::string Join(long long zone, long long net, long long node,
                 long long point, bool withPoint) {
  std::string s = std::to_string(zone);
  s += ':';
  s += std::to_string(net);
  s += '/';
  s += std::to_string(node);
  if (withPoint) {
    s += '.';
    s += std::to_string(point);
  }
  return s;
}

}  // namespace

std::string AddressToText(const FtnAddress& a) {
  return Join(a.zone, a.net, a.node, a.point, a.point != 0);
}

std::string AddressToText4D(const FtnAddress& a) {
  return Join(a.zone, a.net, a.node, a.point, true);
}

std::string AddressToText3D(const FtnAddress& a) {
  return Join(a.zone, a.net, a.node, a.point, false);
}

std::string AddressToTextUnsigned(const FtnAddress& a) {
  auto u = [](int16_t v) { return static_cast<long long>(static_cast<uint16_t>(v)); };
  return Join(u(a.zone), u(a.net), u(a.node), u(a.point), a.point != 0);
}

int CompareAddress(const FtnAddress& a, const FtnAddress& b) {
  const int16_t fa[4] = {a.zone, a.net, a.node, a.point};
  const int16_t fb[4] = {b.zone, b.net, b.node, b.point};
  for (int i = 0; i < 4; ++i) {
    if (fa[i] < fb[i]) return -1;
    if (fa[i] > fb[i]) return 1;
  }
  return 0;
}

}  // namespace vex
