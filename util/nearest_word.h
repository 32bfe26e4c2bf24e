// The known word nearest to a misspelt one, for "did you mean" hints.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

// The number of single-byte insertions, deletions, substitutions and
// swaps of two neighbours that turn a into b.
size_t EditDistance(std::string_view a, std::string_view b);

// The candidate nearest to word (the first of equals), compared in CP866
// upper case, when it is at most maxDistance edits away; empty otherwise.
std::string NearestWord(std::string_view word,
                        const std::vector<std::string>& candidates,
                        size_t maxDistance);

}  // namespace vex
