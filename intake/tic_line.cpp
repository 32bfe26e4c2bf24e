#include "intake/tic_line.h"

#include "util/address.h"
#include "util/number.h"
#include "util/text.h"

namespace vex {

std::string TicAddressText(std::string_view value) {
  size_t comma = value.rfind(',');
  if (comma == std::string_view::npos) return std::string(value);
  std::string_view address = value.substr(comma + 1);
  size_t first = address.find_first_not_of(" \t");
  return first == std::string_view::npos ? std::string()
                                         : std::string(address.substr(first));
}

void ApplyTicLine(const std::string& line, StatRecord& record) {
  // The keyword is the text before the first space; a line without a space,
  // or one that begins with a space, has no keyword.
  size_t space = line.find(' ');
  if (space == std::string::npos || space == 0) return;
  std::string key = UpperCp866(std::string_view(line).substr(0, space));
  const std::string value(TrimTrailingBlanksAndTabs(RestOfLine(line)));
  if (key == "FROM") {
    ParseFieldAddressValue(TicAddressText(value), record.from);
  } else if (key == "ORIGIN") {
    ParseFieldAddressValue(TicAddressText(value), record.origin);
  } else if (key == "TO") {
    ParseFieldAddressValue(TicAddressText(value), record.to);
  } else if (key == "AREA") {
    record.area = Cut(value);
  } else if (key == "AREADESC") {
    record.areadesc = Cut(value);
  } else if (key == "SIZE") {
    record.size = UnsignedValue(value);
  }
}

}  // namespace vex
