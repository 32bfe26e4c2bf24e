#include "msgbase/squish/format.h"

#include <cstring>

#include "util/coding.h"

namespace vex::squish {

namespace {

// Byte offsets inside the base header.
enum : size_t {
  kBhHeaderLength = 0,
  kBhNumMessages = 4,
  kBhHighMessage = 8,
  kBhSkipCount = 12,
  kBhHighWater = 16,
  kBhNextUnique = 20,
  kBhName = 24,
  kBhFirstFrame = 104,
  kBhLastFrame = 108,
  kBhFirstFree = 112,
  kBhLastFree = 116,
  kBhEndOfData = 120,
  kBhMaxMessages = 124,
  kBhKeepDays = 128,
  kBhSizeField = 130,
};

}  // namespace

BaseHeader DecodeBaseHeader(const RawBaseHeader& raw) {
  const char* p = raw.data();
  BaseHeader h;
  h.headerLength = GetU16(p + kBhHeaderLength);
  h.numMessages = GetU32(p + kBhNumMessages);
  h.highMessage = GetU32(p + kBhHighMessage);
  h.skipCount = GetU32(p + kBhSkipCount);
  h.highWater = GetU32(p + kBhHighWater);
  h.nextUnique = GetU32(p + kBhNextUnique);
  h.firstFrame = GetU32(p + kBhFirstFrame);
  h.lastFrame = GetU32(p + kBhLastFrame);
  h.firstFree = GetU32(p + kBhFirstFree);
  h.lastFree = GetU32(p + kBhLastFree);
  h.endOfData = GetU32(p + kBhEndOfData);
  h.maxMessages = GetU32(p + kBhMaxMessages);
  h.keepDays = GetU16(p + kBhKeepDays);
  return h;
}

void EncodeBaseHeader(const BaseHeader& h, RawBaseHeader& raw) {
  char* p = raw.data();
  PutU16(p + kBhHeaderLength, h.headerLength);
  PutU32(p + kBhNumMessages, h.numMessages);
  PutU32(p + kBhHighMessage, h.highMessage);
  PutU32(p + kBhSkipCount, h.skipCount);
  PutU32(p + kBhHighWater, h.highWater);
  PutU32(p + kBhNextUnique, h.nextUnique);
  PutU32(p + kBhFirstFrame, h.firstFrame);
  PutU32(p + kBhLastFrame, h.lastFrame);
  PutU32(p + kBhFirstFree, h.firstFree);
  PutU32(p + kBhLastFree, h.lastFree);
  PutU32(p + kBhEndOfData, h.endOfData);
  PutU32(p + kBhMaxMessages, h.maxMessages);
  PutU16(p + kBhKeepDays, h.keepDays);
}

RawBaseHeader NewBaseHeader(const std::string& name) {
  RawBaseHeader raw{};
  EncodeBaseHeader(BaseHeader{}, raw);
  PutZString(raw.data() + kBhName, kBaseNameSize, name);
  PutU16(raw.data() + kBhSizeField, kNewSizeField);
  return raw;
}

void EncodeFrameHeader(const FrameHeader& f, char* p) {
  PutU32(p + 0, f.id);
  PutU32(p + 4, f.next);
  PutU32(p + 8, f.prev);
  PutU32(p + 12, f.frameLength);
  PutU32(p + 16, f.messageLength);
  PutU32(p + 20, f.controlLength);
  PutU16(p + 24, f.type);
  PutU16(p + 26, f.reserved);
}

FrameHeader DecodeFrameHeader(const char* p) {
  FrameHeader f;
  f.id = GetU32(p + 0);
  f.next = GetU32(p + 4);
  f.prev = GetU32(p + 8);
  f.frameLength = GetU32(p + 12);
  f.messageLength = GetU32(p + 16);
  f.controlLength = GetU32(p + 20);
  f.type = GetU16(p + 24);
  f.reserved = GetU16(p + 26);
  return f;
}

void PutAddress(char* p, const FtnAddress& a) {
  PutU16(p + 0, static_cast<uint16_t>(a.zone));
  PutU16(p + 2, static_cast<uint16_t>(a.net));
  PutU16(p + 4, static_cast<uint16_t>(a.node));
  PutU16(p + 6, static_cast<uint16_t>(a.point));
}

void EncodeIndexRecord(const IndexRecord& r, char* p) {
  PutU32(p + 0, r.frameOffset);
  PutU32(p + 4, r.unique);
  PutU32(p + 8, r.hash);
}

IndexRecord DecodeIndexRecord(const char* p) {
  IndexRecord r;
  r.frameOffset = GetU32(p + 0);
  r.unique = GetU32(p + 4);
  r.hash = GetU32(p + 8);
  return r;
}

uint32_t NameHash(const std::string& name) {
  uint32_t h = 0;
  size_t n = name.size() < 255 ? name.size() : 255;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = static_cast<uint8_t>(name[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    h = (h << 4) + c;
    uint32_t g = h & 0xF0000000u;
    if (g != 0) h |= (g >> 24) | g;
  }
  return h & 0x7FFFFFFFu;
}

uint32_t MapAttributes(uint32_t genericMask) {
  uint32_t out = genericMask & 0x03FFu;
  if (genericMask & AttrFileRequest) out |= 0x0800;
  if (genericMask & AttrReceiptRequest) out |= 0x1000;
  if (genericMask & AttrAuditRequest) out |= 0x4000;
  if (genericMask & AttrScanned) out |= 0x10000;
  return out;
}

}  // namespace vex::squish
