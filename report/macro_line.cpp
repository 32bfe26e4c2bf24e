#include "report/macro_line.h"

#include <algorithm>
#include <cstring>

#include "util/known_words.h"
#include "util/number.h"
#include "util/text.h"

namespace vex {

namespace {

uint32_t LetterBit(char upperByte) {
  return upperByte >= 'A' && upperByte <= 'Z' ? 1u << (upperByte - 'A') : 1u << 26;
}

}  // namespace

MacroLine::MacroLine(std::string_view line)
    : text(line.substr(0, std::min(line.size(), kMaxLine))),
      upper(UpperCp866(text)),
      value(text.size(), '\0') {
  for (size_t i = 0; i + 1 < upper.size(); ++i)
    if (upper[i] == '@') afterAt |= LetterBit(upper[i + 1]);
}

// Called for every macro name on every line: candidates are found by their
// first byte and compared in place.
size_t MacroLine::Find(std::string_view upperName, size_t from) const {
  const size_t n = upperName.size();
  if (n == 0 || upper.size() < n) return std::string::npos;
  if (n >= 2 && upperName[0] == '@' && !(afterAt & LetterBit(upperName[1])))
    return std::string::npos;
  const char* data = upper.data();
  const size_t last = upper.size() - n;  // the last possible start
  for (size_t pos = from; pos <= last; ++pos) {
    const void* hit = std::memchr(data + pos, upperName[0], last - pos + 1);
    if (!hit) break;
    pos = static_cast<size_t>(static_cast<const char*>(hit) - data);
    size_t i = 1;
    while (i < n && data[pos + i] == upperName[i] && value[pos + i] == 0) ++i;
    if (i == n && value[pos] == 0) return pos;
  }
  return std::string::npos;
}

void MacroLine::Erase(size_t pos, size_t count) {
  text.erase(pos, count);
  upper.erase(pos, count);
  value.erase(pos, count);
  // An "@" before the gap now has another byte after it.
  if (pos > 0 && pos < upper.size() && upper[pos - 1] == '@')
    afterAt |= LetterBit(upper[pos]);
}

namespace {

std::string HtmlEscaped(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

void MacroLine::Insert(size_t pos, std::string_view raw) {
  // Field widths were measured on the raw value; escaping comes last.
  const std::string escaped = htmlEscape ? HtmlEscaped(raw) : std::string();
  std::string_view inserted = htmlEscape ? std::string_view(escaped) : raw;
  if (pos > text.size()) pos = text.size();
  text.insert(pos, inserted);
  upper.insert(pos, inserted);
  for (size_t i = pos; i < pos + inserted.size(); ++i)
    upper[i] = UpperCp866Char(upper[i]);
  value.insert(pos, inserted.size(), '\1');
  if (text.size() > kMaxLine) {
    text.resize(kMaxLine);
    upper.resize(kMaxLine);
    value.resize(kMaxLine);
  }
}

void FormatField(MacroLine& line, size_t pos, const std::string& value) {
  // The argument ends at the first ")" of template text after the "(".
  size_t close = pos + 1;
  while (close < line.text.size() &&
         !(line.text[close] == ')' && !line.IsValue(close)))
    ++close;
  bool closed = close < line.text.size();
  std::string args = line.text.substr(pos + 1, close - pos - 1);
  line.Erase(pos, (closed ? close + 1 : close) - pos);

  int64_t width = 0;
  char mode = 'R';
  size_t comma = args.find(',');
  if (comma == std::string::npos) {
    width = NumberValue(args);
    if (!args.empty()) mode = args[0];
  } else {
    width = NumberValue(FirstWord(args.substr(0, comma)));
    std::string second = FirstWord(args.substr(comma + 1));
    if (!second.empty()) mode = second[0];
  }
  if (mode >= 'a' && mode <= 'z') mode = static_cast<char>(mode - 'a' + 'A');
  // No field is wider than a line.
  width = std::min<int64_t>(width, kMaxLine);
  size_t target = width > 0 ? static_cast<size_t>(width) : 0;

  std::string padded = value;
  if (padded.size() < target) {
    size_t missing = target - padded.size();
    if (mode == 'L') {
      padded.append(missing, ' ');
    } else if (mode == 'C') {
      // The first added space goes on the right, then the sides alternate.
      size_t right = (missing + 1) / 2;
      padded = std::string(missing - right, ' ') + padded +
               std::string(right, ' ');
    } else {
      padded.insert(0, missing, ' ');
    }
  }
  line.Insert(pos, padded);
}

void ReplaceAll(MacroLine& line, const std::string& value,
                std::string_view name) {
  WordListing::Note(name, WordKind::kAnyCase);
  // Macro names come in upper case: they are copied only when they are not.
  std::string copy;
  std::string_view upperName = name;
  if (std::any_of(name.begin(), name.end(),
                  [](char c) { return UpperCp866Char(c) != c; }))
    upperName = copy = UpperCp866(name);
  for (;;) {
    size_t pos = line.Find(upperName);
    if (pos == std::string::npos) return;
    line.Erase(pos, upperName.size());
    if (pos < line.text.size() && line.text[pos] == '(' && !line.IsValue(pos))
      FormatField(line, pos, value);
    else
      line.Insert(pos, value);
  }
}

void SetMacro(std::string_view name, const std::string& value,
              MacroLine& line) {
  ReplaceAll(line, " ", "@SPACE");
  ReplaceAll(line, "\n\r", "\\N");
  ReplaceAll(line, value, name);
}

int32_t GraphWidth(std::string_view name, const MacroLine& line) {
  if (line.text.empty()) return 0;
  std::string upperName = UpperCp866(name);
  size_t pos = line.Find(upperName);
  if (pos == std::string::npos) return 0;
  std::string_view rest(line.text);
  rest.remove_prefix(pos + upperName.size());
  if (!rest.empty() && rest[0] == '(') rest.remove_prefix(1);
  size_t comma = rest.find(',');
  if (comma == std::string_view::npos) return 0;
  return NumberValue(rest.substr(0, comma));
}

std::string JustifyLine(std::string text, int64_t width,
                        std::string_view mode) {
  char m = mode.empty() ? ' ' : mode[0];
  if (m >= 'a' && m <= 'z') m = static_cast<char>(m - 'a' + 'A');
  size_t target = width > 0 ? static_cast<size_t>(std::min<int64_t>(width, kMaxLine)) : 0;
  if (m == 'R') {
    if (text.size() < target) text.insert(0, target - text.size(), ' ');
  } else if (m == 'L') {
    if (text.size() < target) text.append(target - text.size(), ' ');
  } else if (m == 'C') {
    while (text.size() < target) {
      text.insert(text.begin(), ' ');
      if (text.size() < kMaxLine) text.push_back(' ');
    }
  }
  return text;
}

}  // namespace vex
