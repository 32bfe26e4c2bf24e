// One record of the statistics store stat.vx: 552 bytes, little-endian,
// encoded and decoded byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "util/address.h"
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

// Writes exactly kStatRecordSize bytes; unused bytes of the short strings
// are zero.
std::string EncodeStatRecord(const StatRecord& r);
// Reads kStatRecordSize bytes at p.
StatRecord DecodeStatRecord(const char* p);
DateTime RecordDateTime(const StatRecord& r);

}  // namespace vex
