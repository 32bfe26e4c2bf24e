#include "util/known_words.h"

#include "util/text.h"

namespace vex {
namespace {

thread_local WordListing* current = nullptr;

}  // namespace

WordListing::WordListing() : outer_(current) { current = this; }

WordListing::~WordListing() { current = outer_; }

void WordListing::Note(std::string_view name, WordKind kind) {
  if (!current) return;
  for (const KnownWord& w : current->words_)
    if (w.name == name) return;
  current->words_.push_back({std::string(name), kind});
}

bool KeywordIs(std::string_view line, std::string_view key) {
  WordListing::Note(key, WordKind::kAnyCase);
  return UpperCp866(FirstWord(line)) == key;
}

bool KeywordIsExactly(std::string_view line, std::string_view key) {
  WordListing::Note(key, WordKind::kExactCase);
  return FirstWord(line) == key;
}

bool WordIs(std::string_view word, std::string_view name) {
  WordListing::Note(name, WordKind::kAnyCase);
  return word == name;
}

}  // namespace vex
