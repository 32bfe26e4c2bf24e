#include "msgbase/jam/codec.h"

#include <string_view>

#include "msgbase/kludges.h"
#include "util/address.h"

namespace vex::jam {

namespace {

// Names and the subject are stored and read up to this length.
constexpr size_t kMaxField = 255;

constexpr uint32_t kTypeBits = AttrTypeLocal | AttrTypeEcho | AttrTypeNet;

// The control lines that have subfields of their own, by their start.
struct LineKind {
  std::string_view prefix;
  uint16_t id;
};
constexpr LineKind kLineKinds[] = {
    {"\x01MSGID: ", kSfMsgId}, {"\x01REPLY: ", kSfReply},   {"\x01PID: ", kSfPid},
    {"\x01" "FLAGS: ", kSfFlags}, {"\x01Via ", kSfVia},      {"SEEN-BY: ", kSfSeenBy},
    {"\x01PATH: ", kSfPath},
};

std::string_view PrefixOf(uint16_t id) {
  for (const LineKind& k : kLineKinds)
    if (k.id == id) return k.prefix;
  return "\x01";  // a kludge of any other kind
}

bool IsKludge(const std::string& line) { return !line.empty() && line[0] == '\x01'; }

// The origin and destination a reader finds in control lines (with their
// 0x01).
void ParseAddresses(const std::vector<std::string>& lines, FtnAddress* orig, FtnAddress* dest) {
  *orig = FtnAddress{};
  *dest = FtnAddress{};
  for (const std::string& line : lines) {
    if (!IsKludge(line)) continue;
    const std::string look = line.substr(0, kKludgeLook);
    ParseOrigKludge(*orig, look);
    ParseDestKludge(*dest, look);
  }
}

std::vector<std::string> WithMarks(const std::vector<std::string>& kludges) {
  std::vector<std::string> lines;
  for (const std::string& k : kludges) lines.push_back("\x01" + k);
  return lines;
}

// Lines end at a CR or a NUL; an LF right after a CR belongs to the ending.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < bytes.size();) {
    size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\0') ++end;
    lines.emplace_back(bytes, pos, end - pos);
    pos = end;
    if (pos < bytes.size()) {
      const bool cr = bytes[pos] == '\r';
      ++pos;
      if (cr && pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
  }
  return lines;
}

}  // namespace

Encoded EncodeMessage(const Message& m) {
  Encoded e;
  std::vector<std::string> lines = WithMarks(AgreeingKludges(m));
  for (const std::string& t : m.text) lines.push_back(t.substr(0, t.find('\0')));
  FtnAddress orig, dest;
  ParseAddresses(lines, &orig, &dest);
  const std::string from = m.from.substr(0, kMaxField), to = m.to.substr(0, kMaxField);
  const std::string subject = m.subject.substr(0, kMaxField);
  AppendSubfield(e.subfields, kSfSender, from);
  AppendSubfield(e.subfields, kSfOrigAddress, AddressToText4D(orig));
  AppendSubfield(e.subfields, kSfReceiver, to);
  AppendSubfield(e.subfields, kSfDestAddress, AddressToText4D(dest.IsZero() ? orig : dest));
  if (!subject.empty()) AppendSubfield(e.subfields, kSfSubject, subject);
  if (m.attributes & AttrFileAttached) AppendSubfield(e.subfields, kSfAttachedFile, subject);
  if (m.attributes & AttrFileRequest) AppendSubfield(e.subfields, kSfRequestedFile, subject);
  // Control lines become subfields wherever they stand; the rest is text.
  for (const std::string& line : lines) {
    const LineKind* kind = nullptr;
    for (const LineKind& k : kLineKinds)
      if (line.starts_with(k.prefix)) kind = &k;
    if (kind) {
      const std::string value = line.substr(kind->prefix.size());
      AppendSubfield(e.subfields, kind->id, value);
      if (kind->id == kSfMsgId) e.header.msgIdCrc = NameCrc(value);
      if (kind->id == kSfReply) e.header.replyCrc = NameCrc(value);
    } else if (line.starts_with("\x01INTL") || line.starts_with("\x01" "FMPT") ||
               line.starts_with("\x01TOPT")) {
      // The addresses live in the address subfields.
    } else if (IsKludge(line)) {
      AppendSubfield(e.subfields, kSfKludge, line.substr(1));
    } else {
      e.text += line;
      e.text += '\r';
    }
  }
  e.header.subfieldLen = static_cast<uint32_t>(e.subfields.size());
  e.header.textLength = static_cast<uint32_t>(e.text.size());
  e.header.dateWritten = UnixTime(m.written);
  e.header.dateProcessed = UnixTime(m.arrived);
  e.header.attributes = StoredAttributes(m.attributes & (0xFFFF | kTypeBits));
  e.toCrc = NameCrc(to);
  return e;
}

Message DecodeMessage(const MsgHeader& header, const std::vector<Subfield>& subfields,
                      const std::string& text) {
  Message m;
  FtnAddress fieldOrig, fieldDest;
  std::vector<std::string> lead, trail;
  for (const Subfield& sf : subfields) {
    const std::string value = sf.data.substr(0, kMaxField);
    switch (sf.id) {
      case kSfOrigAddress: ParseAddress(value, fieldOrig); break;
      case kSfDestAddress: ParseAddress(value, fieldDest); break;
      case kSfSender: m.from = value; break;
      case kSfReceiver: m.to = value; break;
      case kSfSubject: m.subject = value; break;
      case kSfAttachedFile:
        if (header.attributes & StoredAttributes(AttrFileAttached)) m.subject = value;
        break;
      case kSfRequestedFile:
        if (header.attributes & StoredAttributes(AttrFileRequest)) m.subject = value;
        break;
      case kSfMsgId: case kSfReply: case kSfPid: case kSfKludge: case kSfFlags:
        lead.push_back(std::string(PrefixOf(sf.id)) + sf.data);
        break;
      default: break;
    }
  }
  // SEEN-BY, PATH and Via lines follow the text, each kind together.
  for (uint16_t id : {kSfVia, kSfSeenBy, kSfPath})
    for (const Subfield& sf : subfields)
      if (sf.id == id) trail.push_back(std::string(PrefixOf(id)) + sf.data);

  for (uint32_t bit = 1; bit <= 0x8000; bit <<= 1)
    if (header.attributes & StoredAttributes(bit)) m.attributes |= bit;
  m.attributes |= header.attributes & kTypeBits;
  m.written = FromUnixTime(header.dateWritten);
  m.arrived = FromUnixTime(header.dateProcessed);

  for (std::string& line : SplitLines(text)) (IsKludge(line) ? lead : m.text).push_back(std::move(line));
  for (std::string& line : trail) (IsKludge(line) ? m.kludges : m.text).push_back(line.substr(IsKludge(line)));
  std::vector<std::string> kludges;
  for (const std::string& line : lead) kludges.push_back(line.substr(1));
  if (fieldOrig.zone != 0) {
    Message probe;
    probe.kludges = std::move(kludges);
    probe.attributes = m.attributes;
    probe.orig = fieldOrig;
    FtnAddress ignored;
    ParseAddresses(lead, &ignored, &probe.dest);
    if (fieldDest.zone != 0) probe.dest = fieldDest;
    kludges = AgreeingKludges(probe);
  }
  kludges.insert(kludges.end(), m.kludges.begin(), m.kludges.end());
  m.kludges = std::move(kludges);
  ParseAddresses(WithMarks(m.kludges), &m.orig, &m.dest);
  // Without a MSGID an echomail's control lines name no origin: the header's.
  if (m.orig.zone == 0 && fieldOrig.zone != 0) m.orig = fieldOrig;
  return m;
}

}  // namespace vex::jam
