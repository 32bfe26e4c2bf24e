#include "msgbase/jam/format.h"

#include <array>

#include "util/coding.h"

namespace vex::jam {

namespace {

const char kSignature[4] = {'J', 'A', 'M', '\0'};

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

// The 32-bit words of a message header after its revision, in stored order.
template <typename Header>
auto WordsOf(Header& h) {
  return std::array{&h.subfieldLen, &h.timesRead,    &h.msgIdCrc,      &h.replyCrc,  &h.replyTo,
                    &h.firstReply,  &h.nextReply,    &h.dateWritten,   &h.dateReceived,
                    &h.dateProcessed, &h.messageNumber, &h.attributes, &h.attributes2,
                    &h.textOffset,  &h.textLength,   &h.passwordCrc,   &h.cost};
}

}  // namespace

uint32_t NameCrc(std::string_view text) {
  const auto& table = CrcTable();
  uint32_t crc = 0xFFFFFFFFu;
  for (char ch : text) {
    uint8_t b = static_cast<uint8_t>(ch);
    if (b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b - 'A' + 'a');
    crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF];
  }
  return crc;
}

uint32_t UnixTime(const MsgDateTime& dt) {
  // Julian day number by the Gregorian rule, counting months from March.
  int64_t year = dt.year;
  int64_t month = dt.month;
  if (month > 2) {
    month -= 3;
  } else {
    month += 9;
    year -= 1;
  }
  int64_t century = year / 100;
  int64_t yearOfCentury = year - 100 * century;
  int64_t julianDay = (146097 * century) / 4 + (1461 * yearOfCentury) / 4 +
                      (153 * month + 2) / 5 + dt.day + 1721119;
  int64_t seconds = julianDay * 86400 + int64_t{dt.hour} * 3600 +
                    int64_t{dt.minute} * 60 + dt.second -
                    int64_t{2440588} * 86400;
  return static_cast<uint32_t>(static_cast<uint64_t>(seconds));
}

MsgDateTime FromUnixTime(uint32_t t) {
  MsgDateTime dt;
  int64_t days = t / 86400;
  int64_t rest = t % 86400;
  dt.hour = static_cast<int32_t>(rest / 3600);
  dt.minute = static_cast<int32_t>(rest / 60 % 60);
  dt.second = static_cast<int32_t>(rest % 60);
  // Civil date from a day count since 1970-01-01 (eras of 400 years).
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  dt.day = static_cast<int32_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
  dt.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  dt.year = static_cast<int32_t>(yearOfEra + era * 400 + (dt.month <= 2 ? 1 : 0));
  return dt;
}

std::string BaseHeader::Encode() const {
  std::string out(kSignature, 4);
  AppendU32(out, dateCreated);
  AppendU32(out, modCounter);
  AppendU32(out, activeMsgs);
  AppendU32(out, passwordCrc);
  AppendU32(out, baseMsgNum);
  out += reserved;
  out.resize(kBaseHeaderSize, '\0');
  return out;
}

bool BaseHeader::Decode(std::string_view data) {
  if (data.size() < kBaseHeaderSize) return false;
  if (data.compare(0, 4, std::string_view(kSignature, 4)) != 0) return false;
  const char* p = data.data();
  dateCreated = GetU32(p + 4);
  modCounter = GetU32(p + 8);
  activeMsgs = GetU32(p + 12);
  passwordCrc = GetU32(p + 16);
  baseMsgNum = GetU32(p + 20);
  reserved.assign(p + 24, kBaseHeaderSize - 24);
  return true;
}

std::string MsgHeader::Encode() const {
  std::string out(kSignature, 4);
  AppendU16(out, revision);
  AppendU16(out, reservedWord);
  for (const uint32_t* word : WordsOf(*this)) AppendU32(out, *word);
  return out;
}

bool MsgHeader::Decode(std::string_view data) {
  if (data.size() < kMsgHeaderSize) return false;
  if (data.compare(0, 4, std::string_view(kSignature, 4)) != 0) return false;
  const char* p = data.data();
  revision = GetU16(p + 4);
  reservedWord = GetU16(p + 6);
  size_t offset = 8;
  for (uint32_t* word : WordsOf(*this)) {
    *word = GetU32(p + offset);
    offset += 4;
  }
  return true;
}

void AppendSubfield(std::string& area, uint16_t id, std::string_view data) {
  AppendU16(area, id);
  AppendU16(area, 0);
  AppendU32(area, static_cast<uint32_t>(data.size()));
  area.append(data.data(), data.size());
}

bool ParseSubfields(std::string_view area, std::vector<Subfield>& out) {
  out.clear();
  size_t pos = 0;
  while (pos < area.size()) {
    if (area.size() - pos < 8) return false;
    Subfield sf;
    sf.id = GetU16(area.data() + pos);
    uint32_t len = GetU32(area.data() + pos + 4);
    pos += 8;
    if (len > area.size() - pos) return false;
    sf.data.assign(area.data() + pos, len);
    pos += len;
    out.push_back(std::move(sf));
  }
  return true;
}

std::string IndexRecord::Encode() const {
  std::string out;
  AppendU32(out, toCrc);
  AppendU32(out, headerOffset);
  return out;
}

IndexRecord IndexRecord::Decode(const char* p) {
  IndexRecord r;
  r.toCrc = GetU32(p);
  r.headerOffset = GetU32(p + 4);
  return r;
}

uint32_t StoredAttributes(uint32_t genericMask) {
  struct Pair {
    uint32_t generic, stored;
  };
  static const Pair kMap[] = {
      {AttrPrivate, 0x4},          {AttrCrash, 0x100},
      {AttrReceived, 0x8},         {AttrSent, 0x10},
      {AttrFileAttached, 0x2000},  {AttrInTransit, 0x2},
      {AttrOrphan, 0x40000},       {AttrKillSent, 0x20},
      {AttrLocal, 0x1},            {AttrHold, 0x80},
      {AttrFileRequest, 0x1000},   {AttrReceiptRequest, 0x10000},
      {AttrAuditRequest, 0x20000}, {AttrTypeLocal, AttrTypeLocal},
      {AttrTypeEcho, AttrTypeEcho}, {AttrTypeNet, AttrTypeNet},
  };
  uint32_t stored = 0;
  for (const Pair& p : kMap) {
    if (genericMask & p.generic) stored |= p.stored;
  }
  return stored;
}

}  // namespace vex::jam
