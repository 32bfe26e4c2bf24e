#include "msgbase/msg/format.h"

#include <cstdint>
#include <cstring>

#include "msgbase/fido_date.h"
#include "msgbase/kludges.h"
#include "util/address.h"
#include "util/coding.h"
#include "util/number.h"

namespace vex::msg {

namespace {

// Header layout.
constexpr size_t kFromName = 0;
constexpr size_t kToName = 36;
constexpr size_t kSubject = 72;
constexpr size_t kDateText = 144;
constexpr size_t kDestNode = 166;
constexpr size_t kOrigNode = 168;
constexpr size_t kOrigNet = 172;
constexpr size_t kDestNet = 174;
constexpr size_t kDateWritten = 176;
constexpr size_t kDateArrived = 180;
constexpr size_t kAttributes = 186;

// The Attr* masks the attribute word holds.
constexpr uint32_t kFlagBits[] = {
    AttrPrivate,      AttrCrash,        AttrReceived,      AttrSent,
    AttrFileAttached, AttrInTransit,    AttrOrphan,        AttrKillSent,
    AttrLocal,        AttrHold,         AttrFileRequest,   AttrReceiptRequest,
    AttrIsReceipt,    AttrAuditRequest, AttrUpdateRequest, AttrScanned,
};

// Generic attribute mask -> bits of the attribute word.
uint16_t MapAttributes(uint32_t mask) {
  uint32_t word = mask & 0x03FF;
  if (mask & AttrFileRequest) word |= 0x0800;
  if (mask & AttrReceiptRequest) word |= 0x1000;
  if (mask & AttrIsReceipt) word |= 0x2000;
  if (mask & AttrAuditRequest) word |= 0x4000;
  if (mask & AttrUpdateRequest) word |= 0x8000;
  return static_cast<uint16_t>(word);
}

void AppendLine(std::string& out, const std::string& line) {
  out.append(line, 0, line.find('\0'));
  out.push_back('\r');
}

}  // namespace

std::string EncodeMessage(const Message& m) {
  std::string out(kHeaderSize, '\0');
  char* h = out.data();
  PutZString(h + kFromName, 36, m.from);
  PutZString(h + kToName, 36, m.to);
  PutZString(h + kSubject, 72, m.subject);
  PutZString(h + kDateText, 20, TextDate(m.written));
  PutStamp(h + kDateWritten, m.written);
  PutStamp(h + kDateArrived, m.arrived);
  PutU16(h + kOrigNet, static_cast<uint16_t>(m.orig.net));
  PutU16(h + kOrigNode, static_cast<uint16_t>(m.orig.node));
  PutU16(h + kDestNet, static_cast<uint16_t>(m.dest.net));
  PutU16(h + kDestNode, static_cast<uint16_t>(m.dest.node));
  uint16_t word = 0;
  for (uint32_t bit : kFlagBits)
    if (m.attributes & bit) word = static_cast<uint16_t>(word | MapAttributes(bit));
  PutU16(h + kAttributes, word);
  for (const std::string& k : AgreeingKludges(m)) AppendLine(out, "\x01" + k);
  for (const std::string& line : m.text) AppendLine(out, line);
  out.push_back('\0');
  return out;
}

Message DecodeMessage(const std::string& file) {
  Message m;
  const char* h = file.data();
  m.from = GetZString(h + kFromName, 36);
  m.to = GetZString(h + kToName, 36);
  m.subject = GetZString(h + kSubject, 72);
  m.written = ParseTextDate(GetZString(h + kDateText, 20));
  m.arrived = GetStamp(h + kDateArrived);
  const uint16_t word = GetU16(h + kAttributes);
  for (uint32_t bit : kFlagBits) {
    const uint16_t bits = MapAttributes(bit);
    if (bits != 0 && (word & bits) == bits) m.attributes |= bit;
  }
  m.orig.net = static_cast<int16_t>(GetU16(h + kOrigNet));
  m.orig.node = static_cast<int16_t>(GetU16(h + kOrigNode));
  m.dest.net = static_cast<int16_t>(GetU16(h + kDestNet));
  m.dest.node = static_cast<int16_t>(GetU16(h + kDestNode));
  // The text ends with a NUL; a file from a program that left it out keeps
  // its last byte.  Lines end at a CR (a CR LF counts as one) or a NUL.
  size_t end = file.size();
  if (end > kHeaderSize && file[end - 1] == '\0') --end;
  bool first = true;
  for (size_t pos = kHeaderSize; pos < end;) {
    size_t stop = pos;
    while (stop < end && file[stop] != '\0' && file[stop] != '\r') ++stop;
    std::string line = file.substr(pos, stop - pos);
    pos = stop;
    if (pos < end) {
      const bool cr = file[pos] == '\r';
      ++pos;
      if (cr && pos < end && file[pos] == '\n') ++pos;
    }
    const bool kludge = !line.empty() && line[0] == '\x01';
    if (first || kludge) {
      const std::string look = line.substr(0, kKludgeLook);
      ParseOrigKludge(m.orig, look);
      ParseDestKludge(m.dest, look);
    }
    first = false;
    if (kludge) {
      m.kludges.push_back(line.substr(1));
    } else {
      m.text.push_back(std::move(line));
    }
  }
  if (m.orig.zone == 0) m.orig.zone = 2;
  if (m.dest.zone == 0) m.dest.zone = 2;
  return m;
}

}  // namespace vex::msg
