// Wildcard masks as the directory search uses them.
#pragma once

#include <string_view>

namespace vex {

// "*" matches any run of characters, "?" any one character; ASCII letters
// match without regard to case, every other byte only itself.
bool WildcardMatch(std::string_view mask, std::string_view name);

}  // namespace vex
