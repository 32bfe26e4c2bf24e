#include "posting/schedule.h"

#include "util/number.h"
#include "util/text.h"

namespace vex {

bool DayInList(const std::string& list, int32_t wanted) {
  std::string rest = list;
  while (!rest.empty()) {
    if (NumberValue(FirstWord(rest)) == wanted) return true;
    size_t blank = rest.find(' ');
    if (blank == std::string::npos) {
      rest.clear();
    } else {
      rest.erase(0, blank + 1);
    }
  }
  return false;
}

bool EvaluateSchedule(const std::string& text, const ClockTime& today) {
  const std::string word = FirstWord(text);
  const std::string rest = RestOfLine(text);
  const bool bare = word == rest;

  bool due = UpperCp866(text) == "DAILY";
  if (word == "YEARLY") {
    due = (bare || DayInList(rest, today.year)) && today.month == 1 &&
          today.day == 1;
  }
  if (word == "MONTHLY") {
    due = (bare && today.day == 1) || (!bare && DayInList(rest, today.day));
  }
  if (word == "WEEKLY") {
    due = (bare && today.weekday == 1) ||
          (!bare && DayInList(rest, today.weekday));
  }
  return due;
}

bool EvaluateSchedule(const std::string& text, Env& env) {
  return EvaluateSchedule(text, env.Now());
}

}  // namespace vex
