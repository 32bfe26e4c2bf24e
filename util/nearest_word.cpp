#include "util/nearest_word.h"

#include <algorithm>

#include "util/text.h"

namespace vex {

size_t EditDistance(std::string_view a, std::string_view b) {
  // Three rows of the optimal-string-alignment table.
  std::vector<size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) last[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], before[j - 2] + 1);
    }
    before.swap(last);
    last.swap(row);
  }
  return last[b.size()];
}

std::string NearestWord(std::string_view word,
                        const std::vector<std::string>& candidates,
                        size_t maxDistance) {
  const std::string upper = UpperCp866(word);
  std::string best;
  size_t bestDistance = maxDistance + 1;
  for (const std::string& c : candidates) {
    size_t d = EditDistance(upper, UpperCp866(c));
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

}  // namespace vex
