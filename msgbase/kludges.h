// The address kludges of a message: reading the origin and destination a
// reader finds in them, and making them agree with the header.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "msgbase/message.h"

namespace vex {

// Address kludges are looked at in their first 255 bytes.
constexpr size_t kKludgeLook = 255;

// The origin and destination parts of a control line (with its 0x01): a
// MSGID gives the whole origin, an INTL zone, net and node of both ends,
// FMPT and TOPT the points.  Other lines change nothing.
void ParseOrigKludge(FtnAddress& addr, const std::string& line);
void ParseDestKludge(FtnAddress& addr, const std::string& line);

// The control lines of m as stored: the MSGID names the header's origin
// (its serial kept), and netmail gets INTL, FMPT and TOPT that agree with
// the header.  A line that is there is replaced in place; a new one goes
// after the others.
std::vector<std::string> AgreeingKludges(const Message& m);

}  // namespace vex
