#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_targets.h"

namespace vex::fuzz {

const std::vector<Target>& Targets() {
  static const std::vector<Target> targets = {
      {"tic", FuzzTic},       {"config", FuzzConfig},
      {"template", FuzzTemplate}, {"area_h", FuzzAreaH},
      {"area_s", FuzzAreaS},  {"area_t", FuzzAreaT},
      {"jam", FuzzJam},       {"squish", FuzzSquish},
      {"msg", FuzzMsg},
  };
  return targets;
}

std::vector<std::string> SplitInput(const uint8_t* data, size_t size,
                                    size_t maxParts) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::string_view sep(kFileSeparator);
  std::vector<std::string> parts;
  while (parts.size() + 1 < maxParts) {
    size_t at = in.find(sep);
    if (at == std::string_view::npos) break;
    parts.emplace_back(in.substr(0, at));
    in.remove_prefix(at + sep.size());
  }
  parts.emplace_back(in);
  return parts;
}

ClockTime FuzzNow() {
  ClockTime t;
  t.year = 2026, t.month = 12, t.day = 8, t.hour = 12, t.weekday = 2;
  return t;
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace vex::fuzz
