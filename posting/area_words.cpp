#include "posting/area_words.h"

namespace vex {

std::string TextAfterWords(const std::string& text, int n) {
  size_t pos = text.find_first_not_of(' ');
  for (int i = 0; i < n && pos != std::string::npos; ++i) {
    size_t blank = text.find(' ', pos);
    if (blank == std::string::npos) return std::string();
    pos = text.find_first_not_of(' ', blank);
  }
  return pos == std::string::npos ? std::string() : text.substr(pos);
}

std::string NthWord(const std::string& text, int n) {
  const std::string rest = TextAfterWords(text, n - 1);
  return rest.substr(0, rest.find(' '));
}

std::string TrimTrailingBlanks(std::string text) {
  size_t last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

}  // namespace vex
