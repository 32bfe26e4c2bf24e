#include "msgbase/kludges.h"

#include "util/address.h"
#include "util/number.h"

namespace vex {

namespace {

// Takes zone, net and node from an address text; the point is kept.
void ApplyZoneNetNode(FtnAddress& addr, const std::string& word) {
  FtnAddress parsed = addr;
  if (ParseAddress(word, parsed)) {
    addr.zone = parsed.zone;
    addr.net = parsed.net;
    addr.node = parsed.node;
  }
}

}  // namespace

void ParseOrigKludge(FtnAddress& addr, const std::string& line) {
  if (line.starts_with("\x01MSGID:")) {
    ParseAddress(ExtractWord(2, line, " "), addr);
  } else if (line.starts_with("\x01INTL")) {
    ApplyZoneNetNode(addr, ExtractWord(3, line, " "));
  } else if (line.starts_with("\x01" "FMPT")) {
    addr.point = static_cast<int16_t>(NumberValue(ExtractWord(2, line, " ")));
  }
}

void ParseDestKludge(FtnAddress& addr, const std::string& line) {
  if (line.starts_with("\x01INTL")) {
    ApplyZoneNetNode(addr, ExtractWord(2, line, " "));
  } else if (line.starts_with("\x01TOPT")) {
    addr.point = static_cast<int16_t>(NumberValue(ExtractWord(2, line, " ")));
  }
}

std::vector<std::string> AgreeingKludges(const Message& m) {
  std::vector<std::string> k;
  for (const std::string& s : m.kludges) k.push_back(s.substr(0, s.find('\0')));
  auto find = [&](const char* name) {
    for (size_t i = 0; i < k.size(); ++i)
      if (k[i].starts_with(name)) return static_cast<long>(i);
    return -1L;
  };
  auto set = [&](const char* name, std::string line) {
    const long i = find(name);
    if (i >= 0) {
      k[static_cast<size_t>(i)] = std::move(line);
    } else {
      k.push_back(std::move(line));
    }
  };
  auto drop = [&](const char* name) {
    const long i = find(name);
    if (i >= 0) k.erase(k.begin() + i);
  };
  if (const long i = find("MSGID:"); i >= 0) {
    const std::string old = ("\x01" + k[static_cast<size_t>(i)]).substr(0, kKludgeLook);
    k[static_cast<size_t>(i)] = "MSGID: " + AddressToText(m.orig) + " " + ExtractWord(3, old, " ");
  }
  if ((m.attributes & AttrTypeNet) == 0) return k;
  // The INTL line first names the header's origin; its destination is set
  // once the origin a reader finds is known.
  set("INTL", "INTL - " + AddressToText3D(m.orig));
  if (m.orig.point == 0) {
    drop("FMPT");
  } else {
    set("FMPT", "FMPT " + std::to_string(m.orig.point));
  }
  // The origin as a reader finds it: the header's net and node, then what
  // the control lines say.
  FtnAddress orig;
  orig.net = m.orig.net;
  orig.node = m.orig.node;
  for (const std::string& line : k) ParseOrigKludge(orig, ("\x01" + line).substr(0, kKludgeLook));
  if (orig.zone == 0) orig.zone = 2;
  set("INTL", "INTL " + AddressToText3D(m.dest) + " " + AddressToText3D(orig));
  if (m.dest.point == 0) {
    drop("TOPT");
  } else {
    set("TOPT", "TOPT " + std::to_string(m.dest.point));
  }
  return k;
}

}  // namespace vex
