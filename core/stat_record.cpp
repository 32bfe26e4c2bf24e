#include "core/stat_record.h"

#include "util/coding.h"

namespace vex {

namespace {

using L = StatRecordView;
constexpr size_t kFromAt = L::kFromAt, kOriginAt = L::kOriginAt;
constexpr size_t kToAt = L::kToAt, kAreaAt = L::kAreaAt;
constexpr size_t kAreaDescAt = L::kAreaDescAt, kSizeAt = L::kSizeAt;
constexpr size_t kYearAt = L::kYearAt;
constexpr size_t kShortStringCapacity = L::kShortStringCapacity;

void PutAddress(char* p, const FtnAddress& a) {
  PutU16(p, static_cast<uint16_t>(a.zone));
  PutU16(p + 2, static_cast<uint16_t>(a.net));
  PutU16(p + 4, static_cast<uint16_t>(a.node));
  PutU16(p + 6, static_cast<uint16_t>(a.point));
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
  StatRecordView v(p);
  StatRecord r;
  r.from = v.From();
  r.origin = v.Origin();
  r.to = v.To();
  r.area = std::string(v.Area());
  r.areadesc = std::string(v.AreaDesc());
  r.size = v.Size();
  uint16_t* date[6] = {&r.year, &r.month, &r.day, &r.hour, &r.minute, &r.second};
  for (int i = 0; i < 6; ++i) *date[i] = v.DateField(i);
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
