// One record of the statistics store stat.vx: 552 bytes, little-endian,
// encoded and decoded byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/address.h"
#include "util/coding.h"
#include "util/dates.h"

namespace vex {

constexpr size_t kStatRecordSize = 552;

struct StatRecord {
  FtnAddress from, origin, to;
  std::string area;      // at most 255 bytes, case kept
  std::string areadesc;  // at most 255 bytes
  uint32_t size = 0;  // bytes, 0..4,294,967,295
  uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The fields of an encoded record read in place, one at a time, for readers
// that look at the date first and at the rest only when it matters.
class StatRecordView {
 public:
  static constexpr size_t kFromAt = 0, kOriginAt = 8, kToAt = 16;
  static constexpr size_t kAreaAt = 24, kAreaDescAt = 280;
  static constexpr size_t kShortStringCapacity = 255;
  static constexpr size_t kSizeAt = 536, kYearAt = 540;

  explicit StatRecordView(const char* p) : p_(p) {}

  FtnAddress From() const { return AddressAt(kFromAt); }
  FtnAddress Origin() const { return AddressAt(kOriginAt); }
  FtnAddress To() const { return AddressAt(kToAt); }
  std::string_view Area() const { return ShortStringAt(kAreaAt); }
  std::string_view AreaDesc() const { return ShortStringAt(kAreaDescAt); }
  uint32_t Size() const { return GetU32(p_ + kSizeAt); }
  // Field i of year, month, day, hour, minute, second.
  uint16_t DateField(int i) const { return GetU16(p_ + kYearAt + 2 * i); }
  // The eight bytes of the address at `at` as one number: equal numbers,
  // equal addresses.
  uint64_t AddressKeyAt(size_t at) const {
    return uint64_t{GetU32(p_ + at)} | uint64_t{GetU32(p_ + at + 4)} << 32;
  }
  FtnAddress AddressAt(size_t at) const {
    FtnAddress a;
    a.zone = static_cast<int16_t>(GetU16(p_ + at));
    a.net = static_cast<int16_t>(GetU16(p_ + at + 2));
    a.node = static_cast<int16_t>(GetU16(p_ + at + 4));
    a.point = static_cast<int16_t>(GetU16(p_ + at + 6));
    return a;
  }
  DateTime Date() const {
    DateTime t;
    t.year = DateField(0), t.month = DateField(1), t.day = DateField(2);
    t.hour = DateField(3), t.minute = DateField(4), t.second = DateField(5);
    return t;
  }

 private:
  std::string_view ShortStringAt(size_t at) const {
    size_t n = static_cast<uint8_t>(p_[at]);
    if (n > kShortStringCapacity) n = kShortStringCapacity;
    return std::string_view(p_ + at + 1, n);
  }

  const char* p_;
};

// Writes exactly kStatRecordSize bytes; unused bytes of the short strings
// are zero.
std::string EncodeStatRecord(const StatRecord& r);
// Reads kStatRecordSize bytes at p.
StatRecord DecodeStatRecord(const char* p);
DateTime RecordDateTime(const StatRecord& r);

}  // namespace vex
