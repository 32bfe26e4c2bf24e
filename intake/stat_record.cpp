#include "intake/stat_record.h"

#include "util/coding.h"

namespace vex {

namespace {

// Offsets of the fields inside a record.
constexpr size_t kFromAt = 0;
constexpr size_t kOriginAt = 8;
constexpr size_t kToAt = 16;
constexpr size_t kAreaAt = 24;
constexpr size_t kAreaDescAt = 280;
constexpr size_t kShortStringCapacity = 255;
constexpr size_t kSizeAt = 536;
constexpr size_t kYearAt = 540;

void PutAddress(char* p, const FtnAddress& a) {
  PutU16(p, static_cast<uint16_t>(a.zone));
  PutU16(p + 2, static_cast<uint16_t>(a.net));
  PutU16(p + 4, static_cast<uint16_t>(a.node));
  PutU16(p + 6, static_cast<uint16_t>(a.point));
}

FtnAddress GetAddress(const char* p) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(GetU16(p));
  a.net = static_cast<int16_t>(GetU16(p + 2));
  a.node = static_cast<int16_t>(GetU16(p + 4));
  a.point = static_cast<int16_t>(GetU16(p + 6));
  return a;
}

}  // namespace

std::string EncodeStatRecord(const StatRecord& r) {
  std::string out(kStatRecordSize, '\0');
  char* p = out.data();
  PutAddress(p + kFromAt, r.from);
  PutAddress(p + kOriginAt, r.origin);
  PutAddress(p + kToAt, r.to);
  PutShortString(p + kAreaAt, kShortStringCapacity, r.area);
  PutShortString(p + kAreaDescAt, kShortStringCapacity, r.areadesc);
  PutU32(p + kSizeAt, r.size);
  const uint16_t date[6] = {r.year, r.month, r.day, r.hour, r.minute, r.second};
  for (int i = 0; i < 6; ++i) PutU16(p + kYearAt + 2 * i, date[i]);
  return out;
}

StatRecord DecodeStatRecord(const char* p) {
  StatRecord r;
  r.from = GetAddress(p + kFromAt);
  r.origin = GetAddress(p + kOriginAt);
  r.to = GetAddress(p + kToAt);
  r.area = GetShortString(p + kAreaAt, kShortStringCapacity);
  r.areadesc = GetShortString(p + kAreaDescAt, kShortStringCapacity);
  r.size = GetU32(p + kSizeAt);
  uint16_t* date[6] = {&r.year, &r.month, &r.day, &r.hour, &r.minute, &r.second};
  for (int i = 0; i < 6; ++i) *date[i] = GetU16(p + kYearAt + 2 * i);
  return r;
}

DateTime RecordDateTime(const StatRecord& r) {
  DateTime t;
  t.year = r.year;
  t.month = r.month;
  t.day = r.day;
  t.hour = r.hour;
  t.minute = r.minute;
  t.second = r.second;
  return t;
}

}  // namespace vex
