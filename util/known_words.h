// The words the readers know: configuration keywords, template directives
// and macros.  A reader compares a word with one of its names through the
// helpers below (or the setters of util/text.h, which use them); while a
// WordListing lives on the thread, every name so compared is noted in it.
// The configuration check lists what the readers know by letting them
// compare an empty line, so a keyword added to a reader is known to the
// check without a second table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vex {

// How a reader takes a name and its value.
enum class WordKind {
  kAnyCase,    // compared in CP866 upper case; any value
  kExactCase,  // compared as written: only the upper-case spelling counts
  kNumber,     // any case; the value is a number, anything else reads 0
  kYesNo,      // any case; a value beginning with Y is yes, anything else no
};

struct KnownWord {
  std::string name;  // upper case
  WordKind kind = WordKind::kAnyCase;
};

class WordListing {
 public:
  WordListing();
  ~WordListing();
  WordListing(const WordListing&) = delete;
  WordListing& operator=(const WordListing&) = delete;

  // Every name noted so far, each once, in the order first noted.
  const std::vector<KnownWord>& Words() const { return words_; }

  // Notes name in the listing that is alive on this thread, if any.
  static void Note(std::string_view name, WordKind kind);

 private:
  std::vector<KnownWord> words_;
  WordListing* outer_;
};

// True when the first word of line, in CP866 upper case, is key.
bool KeywordIs(std::string_view line, std::string_view key);
// True when the first word of line is key exactly as written.
bool KeywordIsExactly(std::string_view line, std::string_view key);
// True when word equals name (both as given); notes name.
bool WordIs(std::string_view word, std::string_view name);

}  // namespace vex
