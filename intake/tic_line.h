// The lines of a TIC file that make a statistics record.
#pragma once

#include <string>
#include <string_view>

#include "core/stat_record.h"

namespace vex {

// Applies one TIC line to the record (FROM, ORIGIN, TO, AREA, AREADESC,
// SIZE; every other line is ignored).  The keyword is the text before the
// first space, so a line that begins with a blank, or whose keyword is
// followed by a tab, is ignored.  Blanks and tabs at the end of the line are
// not part of the value.
void ApplyTicLine(const std::string& line, StatRecord& record);

// The address text of a FROM, ORIGIN or TO value: a value that names the
// system as well ("Test Sysop, 2:5020/9999") holds the address after its
// last comma.
std::string TicAddressText(std::string_view value);

}  // namespace vex
