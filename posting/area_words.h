// Word access for the area configuration readers.  Unlike RestOfLine, these
// give an empty text when the line has fewer words than asked for.
#pragma once

#include <string>

namespace vex {

// The n-th blank-separated word (from 1); empty when there is none.
std::string NthWord(const std::string& text, int n);
// The text after the first n words, leading blanks removed; empty when the
// text has no more than n words.
std::string TextAfterWords(const std::string& text, int n);
// text without its trailing blanks.
std::string TrimTrailingBlanks(std::string text);

}  // namespace vex
