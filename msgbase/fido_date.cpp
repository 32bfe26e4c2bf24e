#include "msgbase/fido_date.h"

#include <cstdio>

#include "util/address.h"
#include "util/coding.h"
#include "util/number.h"
#include "util/text.h"

namespace vex {

namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int32_t TwoDigits(int32_t v) {
  v %= 100;
  return v < 0 ? v + 100 : v;
}

int32_t MonthFromName(const std::string& name) {
  std::string upper = UpperCp866(name);
  for (int i = 0; i < 12; ++i) {
    if (upper == UpperCp866(kMonthNames[i])) return i + 1;
  }
  return 0;
}

int32_t WidenYear(int32_t year) { return year <= 70 ? 2000 + year : 1900 + year; }

uint16_t PackDateWord(const MsgDateTime& dt) {
  uint32_t v = static_cast<uint32_t>(dt.year - 1980) * 512u +
               static_cast<uint32_t>(dt.month) * 32u +
               static_cast<uint32_t>(dt.day);
  return static_cast<uint16_t>(v);
}

uint16_t PackTimeWord(const MsgDateTime& dt) {
  uint32_t v = static_cast<uint32_t>(dt.hour) * 2048u +
               static_cast<uint32_t>(dt.minute) * 32u +
               static_cast<uint32_t>(dt.second / 2);
  return static_cast<uint16_t>(v);
}

MsgDateTime UnpackDate(uint16_t dateWord, uint16_t timeWord) {
  MsgDateTime dt;
  dt.day = dateWord & 31;
  dt.month = (dateWord >> 5) & 15;
  dt.year = (dateWord >> 9) + 1980;
  dt.hour = timeWord >> 11;
  dt.minute = (timeWord >> 5) & 63;
  dt.second = (timeWord & 31) * 2;
  dt.hundredths = 0;
  return dt;
}

}  // namespace

void PutStamp(char* p, const MsgDateTime& dt) {
  PutU16(p, PackDateWord(dt));
  PutU16(p + 2, PackTimeWord(dt));
}

MsgDateTime GetStamp(const char* p) { return UnpackDate(GetU16(p), GetU16(p + 2)); }

std::string TextDate(const MsgDateTime& dt) {
  const char* month =
      dt.month >= 1 && dt.month <= 12 ? kMonthNames[dt.month - 1] : "???";
  int32_t year = dt.year < 2000 ? dt.year - 1900 : dt.year - 2000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d %s %02d  %02d:%02d:%02d", TwoDigits(dt.day), month,
                TwoDigits(year), TwoDigits(dt.hour), TwoDigits(dt.minute), TwoDigits(dt.second));
  return std::string(buf, 19);
}

MsgDateTime ParseTextDate(const std::string& text) {
  MsgDateTime dt;
  auto at = [&](size_t i) { return i < text.size() ? text[i] : '\0'; };
  auto rest = [&](size_t skip) {
    return skip < text.size() ? text.substr(skip) : std::string();
  };
  if (at(2) == ' ') {
    // "08 Feb 02  09:05:07" or with one blank before the time.
    dt.day = NumberValue(ExtractWord(1, text, " "));
    dt.month = MonthFromName(ExtractWord(2, text, " "));
    dt.year = NumberValue(ExtractWord(3, text, " "));
    std::string time = rest(at(10) == ' ' ? 11 : 10);
    dt.hour = NumberValue(ExtractWord(1, time, ":"));
    dt.minute = NumberValue(ExtractWord(2, time, ":"));
    dt.second = NumberValue(ExtractWord(3, time, ": "));
  } else if (at(3) == ' ') {
    // "Fri  8 Feb 02 09:05": weekday first, no seconds.
    std::string date = rest(4);
    dt.day = NumberValue(ExtractWord(1, date, " "));
    dt.month = MonthFromName(ExtractWord(2, date, " "));
    dt.year = NumberValue(ExtractWord(3, date, " "));
    std::string time = date.size() > 10 ? date.substr(10) : std::string();
    dt.hour = NumberValue(ExtractWord(1, time, ":"));
    dt.minute = NumberValue(ExtractWord(2, time, ":"));
  } else if (at(2) == '-') {
    // "08-02-02 09:05:07": numbers only.
    std::string t = text;
    for (char& c : t) {
      if (c == '-' || c == ':') c = ' ';
    }
    dt.day = NumberValue(ExtractWord(1, t, " "));
    dt.month = NumberValue(ExtractWord(2, t, " "));
    dt.year = NumberValue(ExtractWord(3, t, " "));
    dt.hour = NumberValue(ExtractWord(4, t, " "));
    dt.minute = NumberValue(ExtractWord(5, t, " "));
    dt.second = NumberValue(ExtractWord(6, t, " "));
  } else {
    return dt;
  }
  dt.year = WidenYear(dt.year);
  return dt;
}

}  // namespace vex
