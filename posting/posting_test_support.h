// Helpers shared by the poster's unit tests.
#pragma once

#include <string>
#include <vector>

#include "platform/env.h"

namespace vex::testing_support {

// A clock reading; weekday 0 = Sunday.
inline ClockTime Day(int year, int month, int day, int weekday) {
  ClockTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.weekday = weekday;
  t.hour = 12;
  return t;
}

// Console text split into lines without their " DD.MM.YY HH:MM:SS " stamps.
inline std::vector<std::string> LogLines(const std::string& console) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < console.size()) {
    size_t end = console.find('\n', start);
    if (end == std::string::npos) end = console.size();
    std::string line = console.substr(start, end - start);
    if (line.size() >= 19 && line[0] == ' ' && line[3] == '.' &&
        line[9] == ' ' && line[12] == ':' && line[18] == ' ') {
      line = line.substr(19);
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace vex::testing_support
