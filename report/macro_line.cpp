#include "report/macro_line.h"

#include <algorithm>

#include "util/number.h"
#include "util/text.h"

namespace vex {

MacroLine::MacroLine(std::string_view line)
    : text(line.substr(0, std::min(line.size(), kMaxLine))),
      upper(UpperCp866(text)),
      value(text.size(), '\0') {}

size_t MacroLine::Find(std::string_view upperName, size_t from) const {
  if (upperName.empty()) return std::string::npos;
  for (;;) {
    size_t pos = upper.find(upperName, from);
    if (pos == std::string::npos) return pos;
    bool clean = true;
    for (size_t i = pos; i < pos + upperName.size() && clean; ++i)
      clean = value[i] == 0;
    if (clean) return pos;
    from = pos + 1;
  }
}

void MacroLine::Erase(size_t pos, size_t count) {
  text.erase(pos, count);
  upper.erase(pos, count);
  value.erase(pos, count);
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
  upper.insert(pos, UpperCp866(inserted));
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
  std::string upperName = UpperCp866(name);
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
