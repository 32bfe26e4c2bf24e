#include "msgbase/squish/format.h"

#include "util/coding.h"

namespace vex::squish {

namespace {

// Where the base header keeps what BaseHeader does not hold.
constexpr size_t kBhName = 24;
constexpr size_t kBhSizeField = 130;

// Reads or writes one little-endian field, by the field's width.
struct Reader {
  const char* p;
  void operator()(size_t off, uint32_t& v) const { v = GetU32(p + off); }
  void operator()(size_t off, uint16_t& v) const { v = GetU16(p + off); }
};
struct Writer {
  char* p;
  void operator()(size_t off, uint32_t v) const { PutU32(p + off, v); }
  void operator()(size_t off, uint16_t v) const { PutU16(p + off, v); }
};

// Each record's fields with their offsets, one list for reading and writing.
template <typename H, typename Op>
void BaseFields(H& h, Op op) {
  op(0, h.headerLength);
  op(4, h.numMessages);
  op(8, h.highMessage);
  op(12, h.skipCount);
  op(16, h.highWater);
  op(20, h.nextUnique);
  op(104, h.firstFrame);
  op(108, h.lastFrame);
  op(112, h.firstFree);
  op(116, h.lastFree);
  op(120, h.endOfData);
  op(124, h.maxMessages);
  op(128, h.keepDays);
}

template <typename F, typename Op>
void FrameFields(F& f, Op op) {
  op(0, f.id);
  op(4, f.next);
  op(8, f.prev);
  op(12, f.frameLength);
  op(16, f.messageLength);
  op(20, f.controlLength);
  op(24, f.type);
  op(26, f.reserved);
}

template <typename R, typename Op>
void IndexFields(R& r, Op op) {
  op(0, r.frameOffset);
  op(4, r.unique);
  op(8, r.hash);
}

}  // namespace

BaseHeader DecodeBaseHeader(const RawBaseHeader& raw) {
  BaseHeader h;
  BaseFields(h, Reader{raw.data()});
  return h;
}

void EncodeBaseHeader(const BaseHeader& h, RawBaseHeader& raw) { BaseFields(h, Writer{raw.data()}); }

RawBaseHeader NewBaseHeader(const std::string& name) {
  RawBaseHeader raw{};
  EncodeBaseHeader(BaseHeader{}, raw);
  PutZString(raw.data() + kBhName, kBaseNameSize, name);
  PutU16(raw.data() + kBhSizeField, kNewSizeField);
  return raw;
}

void EncodeFrameHeader(const FrameHeader& f, char* p) { FrameFields(f, Writer{p}); }

FrameHeader DecodeFrameHeader(const char* p) {
  FrameHeader f;
  FrameFields(f, Reader{p});
  return f;
}

void EncodeIndexRecord(const IndexRecord& r, char* p) { IndexFields(r, Writer{p}); }

IndexRecord DecodeIndexRecord(const char* p) {
  IndexRecord r;
  IndexFields(r, Reader{p});
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

}  // namespace vex::squish
