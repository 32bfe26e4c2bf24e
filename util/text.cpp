#include "util/text.h"

#include "util/known_words.h"
#include "util/number.h"

namespace vex {

std::string Cut(std::string s, size_t max) {
  if (s.size() > max) s.resize(max);
  return s;
}

std::string UpperCp866(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = UpperCp866Char(ch);
  return out;
}

void StripLeadingSpaces(std::string& s) {
  size_t i = s.find_first_not_of(' ');
  if (i == std::string::npos) {
    s.clear();
  } else if (i > 0) {
    s.erase(0, i);
  }
}

namespace {

std::string_view Stripped(std::string_view s) {
  size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}

// The text before the first space of the (already stripped) line; empty
// when the line has no space.
std::string_view TextBeforeSpace(std::string_view s) {
  size_t sp = s.find(' ');
  return sp == std::string_view::npos ? std::string_view() : s.substr(0, sp);
}

}  // namespace

std::string_view TrimTrailingBlanksAndTabs(std::string_view text) {
  size_t last = text.find_last_not_of(" \t");
  return last == std::string_view::npos ? std::string_view()
                                        : text.substr(0, last + 1);
}

std::string FirstWord(std::string_view s) {
  s = Stripped(s);
  size_t sp = s.find(' ');
  if (sp != std::string_view::npos) s = s.substr(0, sp);
  return Cut(std::string(s));
}

std::string RestOfLine(std::string_view s) {
  s = Stripped(s);
  size_t sp = s.find(' ');
  if (sp != std::string_view::npos) s = Stripped(s.substr(sp + 1));
  return Cut(std::string(s));
}

std::string OptionValue(std::string_view line, size_t max) {
  std::string_view rest = line;
  size_t quote = rest.find('"');
  if (quote != std::string_view::npos) {
    rest = rest.substr(quote + 1);
  } else {
    size_t sp = rest.find(' ');
    if (sp != std::string_view::npos) rest = rest.substr(sp + 1);
    rest = Stripped(rest);
  }
  quote = rest.find('"');
  if (quote != std::string_view::npos) rest = rest.substr(0, quote);
  return Cut(std::string(rest), max);
}

bool SetStringOption(std::string_view line, std::string_view key,
                     std::string& dest, size_t max) {
  WordListing::Note(key, WordKind::kAnyCase);
  line = Stripped(line);
  if (UpperCp866(FirstWord(line)) != UpperCp866(key)) return false;
  dest = OptionValue(line, max);
  return true;
}

bool SetNumberOption(std::string_view line, std::string_view key,
                     int32_t& dest) {
  WordListing::Note(key, WordKind::kNumber);
  line = Stripped(line);
  if (UpperCp866(TextBeforeSpace(line)) != key) return false;
  dest = NumberValue(OptionValue(line, kMaxString));
  return true;
}

bool SetBoolOption(std::string_view line, std::string_view key, bool& dest) {
  WordListing::Note(key, WordKind::kYesNo);
  line = Stripped(line);
  if (UpperCp866(TextBeforeSpace(line)) != key) return false;
  dest = ParseYes(line, key);
  return true;
}

bool ParseYes(std::string_view line, std::string_view key) {
  std::string v = RestOfLine(line);
  if (v.empty()) return false;
  if (UpperCp866(v) == UpperCp866(key)) return false;
  return v[0] == 'Y' || v[0] == 'y';
}

bool IsConfigLine(std::string_view line) {
  if (line.empty()) return true;
  if (line[0] == ';' || line[0] == '#') return false;
  if (line.size() >= 2 && line[0] == '\\' && line[1] == '\\') return false;
  return true;
}

}  // namespace vex
