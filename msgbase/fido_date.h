// Date forms shared by the *.MSG and Squish formats: the packed stamp (a
// date word then a time word, as DOS packs them) and the 19-character text
// date "08 Feb 02  09:05:07".
#pragma once

#include <cstdint>
#include <string>

#include "msgbase/message.h"

namespace vex {

// The 4-byte stamp, little-endian: the date word (year - 1980) * 512 +
// month * 32 + day, then the time word hour * 2048 + minute * 32 +
// second / 2.  Read back, seconds are even and hundredths 0.
void PutStamp(char* p, const MsgDateTime& dt);
MsgDateTime GetStamp(const char* p);

// "DD Mon YY  HH:MM:SS": always exactly 19 characters.  Each number is kept
// to two digits; a month outside 1-12 is written "???".
std::string TextDate(const MsgDateTime& dt);

// Reads a text date in any of the forms other programs write:
//   "08 Feb 02  09:05:07", "08 Feb 02 09:05:07", "Fri  8 Feb 02 09:05"
//   and "08-02-02 09:05:07".
// Fields that cannot be read are 0; a two-digit year of 70 or less is taken
// as 20YY, above 70 as 19YY.
MsgDateTime ParseTextDate(const std::string& text);

}  // namespace vex
