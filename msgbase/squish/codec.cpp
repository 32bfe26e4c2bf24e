#include "msgbase/squish/codec.h"

#include "msgbase/fido_date.h"
#include "msgbase/kludges.h"
#include "util/coding.h"

namespace vex::squish {

namespace {

// The Attr* masks a message header stores.
constexpr uint32_t kFlagBits[] = {
    AttrPrivate,      AttrCrash,        AttrReceived,      AttrSent,
    AttrFileAttached, AttrInTransit,    AttrOrphan,        AttrKillSent,
    AttrLocal,        AttrHold,         AttrFileRequest,   AttrReceiptRequest,
    AttrIsReceipt,    AttrAuditRequest, AttrUpdateRequest, AttrScanned,
};

// The bits of the attribute dword that hold the Attr* masks in genericMask.
uint32_t MapAttributes(uint32_t genericMask) {
  uint32_t out = genericMask & 0x03FFu;
  if (genericMask & AttrFileRequest) out |= 0x0800;
  if (genericMask & AttrReceiptRequest) out |= 0x1000;
  if (genericMask & AttrAuditRequest) out |= 0x4000;
  if (genericMask & AttrScanned) out |= 0x10000;
  return out;
}

void PutAddress(char* p, const FtnAddress& a) {  // four words
  PutU16(p + 0, static_cast<uint16_t>(a.zone));
  PutU16(p + 2, static_cast<uint16_t>(a.net));
  PutU16(p + 4, static_cast<uint16_t>(a.node));
  PutU16(p + 6, static_cast<uint16_t>(a.point));
}

// Calls line(text) for each line of t: lines end at a CR (a CR LF counts
// as one) or a NUL.  Returns where the line after the last one calls for
// starts, when line returns false.
template <typename F>
size_t EachLine(const std::string& t, F line) {
  size_t pos = 0;
  while (pos < t.size()) {
    size_t end = pos;
    while (end < t.size() && t[end] != '\r' && t[end] != '\0') ++end;
    if (!line(pos, end)) return pos;
    pos = end;
    if (pos < t.size()) {
      const bool cr = t[pos] == '\r';
      ++pos;
      if (cr && pos < t.size() && t[pos] == '\n') ++pos;
    }
  }
  return pos;
}

// The addresses a reader finds in a text: the first line and the control
// lines, each looked at in its first bytes.
void AddressesOf(const std::string& t, FtnAddress* orig, FtnAddress* dest) {
  *orig = FtnAddress{};
  *dest = FtnAddress{};
  bool first = true;
  EachLine(t, [&](size_t pos, size_t end) {
    if (first || t[pos] == '\x01') {
      const std::string look = t.substr(pos, std::min(end - pos, kKludgeLook));
      ParseOrigKludge(*orig, look);
      ParseDestKludge(*dest, look);
    }
    first = false;
    return true;
  });
}

void AppendLine(std::string& out, const std::string& line) {
  out.append(line, 0, line.find('\0'));
  out.push_back('\r');
}

}  // namespace

StoredMessage EncodeMessage(const Message& m, uint32_t number) {
  // The kludges and the text as one text; its leading control lines become
  // the control information (without their CRs), the rest is the body as
  // it stands.
  std::string t;
  for (const std::string& k : AgreeingKludges(m)) AppendLine(t, "\x01" + k);
  for (const std::string& line : m.text) AppendLine(t, line);
  StoredMessage s;
  const size_t bodyStart = EachLine(t, [&](size_t pos, size_t end) {
    if (t[pos] != '\x01') return false;
    s.control.append(t, pos, end - pos);
    return true;
  });
  s.body = t.substr(bodyStart);

  char* h = s.header.data();
  uint32_t attr = kAttrBase;
  for (uint32_t bit : kFlagBits)
    if (m.attributes & bit) attr |= MapAttributes(bit);
  PutU32(h + kMsgAttr, attr);
  PutZString(h + kMsgFrom, kNameWidth, m.from);
  PutZString(h + kMsgTo, kNameWidth, m.to);
  PutZString(h + kMsgSubject, kSubjectWidth, m.subject);
  FtnAddress orig, dest;
  AddressesOf(t, &orig, &dest);
  PutAddress(h + kMsgOrig, orig);
  PutAddress(h + kMsgDest, dest);
  PutStamp(h + kMsgDateWritten, m.written);
  PutStamp(h + kMsgDateArrived, m.arrived);
  PutU32(h + kMsgUnique, number);
  // The text date keeps the odd second the stamp drops.
  PutZString(h + kMsgTextDate, kTextDateWidth, TextDate(m.written));
  return s;
}

Message DecodeMessage(const StoredMessage& s) {
  Message m;
  const char* h = s.header.data();
  m.from = GetZString(h + kMsgFrom, kNameWidth);
  m.to = GetZString(h + kMsgTo, kNameWidth);
  m.subject = GetZString(h + kMsgSubject, kSubjectWidth);
  m.written = GetStamp(h + kMsgDateWritten);
  m.arrived = GetStamp(h + kMsgDateArrived);
  const uint32_t attr = GetU32(h + kMsgAttr);
  for (uint32_t bit : kFlagBits)
    if (attr & MapAttributes(bit)) m.attributes |= bit;
  // Each control line (up to the first NUL) becomes a line of its own.
  const std::string control = s.control.substr(0, s.control.find('\0'));
  std::string t;
  for (size_t i = 0; i < control.size(); ++i) {
    if (i > 0 && control[i] == '\x01') t.push_back('\r');
    t.push_back(control[i]);
  }
  if (!control.empty()) t.push_back('\r');
  t += s.body;
  AddressesOf(t, &m.orig, &m.dest);
  EachLine(t, [&](size_t pos, size_t end) {
    if (t[pos] == '\x01') {
      m.kludges.push_back(t.substr(pos + 1, end - pos - 1));
    } else {
      m.text.push_back(t.substr(pos, end - pos));
    }
    return true;
  });
  return m;
}

std::string FrameBytes(const FrameHeader& f, const StoredMessage& s) {
  std::string bytes(kFrameHeaderSize, '\0');
  EncodeFrameHeader(f, bytes.data());
  bytes.append(s.header.data(), s.header.size());
  bytes.append(s.control);
  bytes.push_back('\0');
  bytes.append(s.body);
  bytes.push_back('\0');
  return bytes;
}

}  // namespace vex::squish
