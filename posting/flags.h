// The FLAGS attribute words of posted messages.
#pragma once

#include <cstdint>
#include <string>

namespace vex {

// Each blank-separated word (Pvt, Cra, Rcv, Snt, Att, Trs, Orp, K/s, Loc, Hld,
// FRq, RRq, RRc, ARq, URq, Sca; any case) sets its bit; other words are
// ignored.
uint32_t ParseFlags(const std::string& text);

}  // namespace vex
