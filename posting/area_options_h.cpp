// The dash options of a format-H area line.
#include "posting/area_readers.h"
#include "util/text.h"

namespace vex {
namespace {

// Options that carry a value nobody here needs.
constexpr const char* kTwoWordOptions[] = {
    "-LR", "-LW", "-P", "-$M", "-DUPEHISTORY", "-DUPECHECK", "-G",
};
constexpr const char* kOneWordOptions[] = {
    "-SBADD",  "-SBIGN",    "-MANDATORY", "-NOPACK",  "-KILLREAD",
    "-KEEPUNREAD", "-KEEPSB", "-TINYSB",  "-KILLSB",  "-MANUAL",
    "-DOSFILE", "-H",        "-NOPAUSE",  "-CCOFF",   "-NOLINK",
    "-DEBUG",
};

template <size_t N>
bool IsOneOf(const std::string& word, const char* const (&names)[N]) {
  for (const char* name : names) {
    if (word == name) return true;
  }
  return false;
}

}  // namespace

std::string BaseTypeFromWord(const std::string& word) {
  const std::string w = UpperCp866(word);
  if (w == "SQUISH") return "S";
  if (w == "MSG") return "M";
  if (w == "JAM") return "J";
  return std::string();
}

std::string SkipQuotedText(const std::string& s) {
  int quotes = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"' && ++quotes == 2) return s.substr(i + 1);
  }
  return s;
}

void ParseAreaOptionsH(std::string text, AreaRecord& area, int& result) {
  area.description.clear();
  // A last single word is not examined; every consumed word shortens the
  // text, so the loop ends.
  while (text.find(' ') != std::string::npos) {
    const std::string option = UpperCp866(FirstWord(text));
    if (option == "-A") {
      area.address = FirstWord(RestOfLine(text));
      text = RestOfLine(RestOfLine(text));
    } else if (option == "-B") {
      area.baseType = BaseTypeFromWord(FirstWord(RestOfLine(text)));
      if (area.baseType.empty()) result = kAreaBaseTypeUnsupported;
      text = RestOfLine(RestOfLine(text));
    } else if (option == "-D") {
      area.description = OptionValue(text, kMaxString);
      text = SkipQuotedText(RestOfLine(text));
    } else if (IsOneOf(option, kTwoWordOptions)) {
      text = RestOfLine(RestOfLine(text));
    } else if (IsOneOf(option, kOneWordOptions)) {
      text = RestOfLine(text);
    } else {
      break;
    }
  }
}

}  // namespace vex
