// The on-disk records of a Squish base: the base header at the start of the
// data file, the frame header that begins every frame, the message header,
// the index record and the hash of the addressee's name kept in the index.
// All integers are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vex::squish {

constexpr size_t kBaseHeaderSize = 256;
constexpr size_t kFrameHeaderSize = 28;
constexpr size_t kMsgHeaderSize = 238;
constexpr size_t kIndexRecordSize = 12;
constexpr size_t kBaseNameSize = 80;

constexpr uint32_t kFrameId = 0xAFAE4453;
constexpr uint16_t kFrameMessage = 0;
constexpr uint16_t kFrameFree = 1;

// Control information (kludges and their NUL) must stay below this size.
constexpr uint32_t kControlLimit = 65521;

// Attribute bit every message written here carries.
constexpr uint32_t kAttrBase = 0x20000;

// Values of a new base header.
constexpr uint32_t kNewMaxMessages = 65535;
constexpr uint16_t kNewKeepDays = 32767;
// The frame-header size that readers take from the base header to find the
// message header inside a frame.
constexpr uint16_t kNewSizeField = 28;

// Known fields of the base header.  The raw 256 bytes are kept beside it so
// that bytes this program does not use (the base name, the size field, the
// reserved areas) are written back exactly as they were read.
struct BaseHeader {
  uint16_t headerLength = 256;
  uint32_t numMessages = 0;
  uint32_t highMessage = 0;
  uint32_t skipCount = 0;
  uint32_t highWater = 0;
  uint32_t nextUnique = 1;
  uint32_t firstFrame = 0;
  uint32_t lastFrame = 0;
  uint32_t firstFree = 0;
  uint32_t lastFree = 0;
  uint32_t endOfData = 256;
  uint32_t maxMessages = kNewMaxMessages;
  uint16_t keepDays = kNewKeepDays;
};

using RawBaseHeader = std::array<char, kBaseHeaderSize>;

BaseHeader DecodeBaseHeader(const RawBaseHeader& raw);
// Writes the known fields into raw; the name, the size field and the
// reserved bytes stay as they are.
void EncodeBaseHeader(const BaseHeader& h, RawBaseHeader& raw);
// The raw header of a new base with the given name (cut to 79 characters).
RawBaseHeader NewBaseHeader(const std::string& name);

struct FrameHeader {
  uint32_t id = kFrameId;
  uint32_t next = 0;
  uint32_t prev = 0;
  uint32_t frameLength = 0;
  uint32_t messageLength = 0;
  uint32_t controlLength = 0;
  uint16_t type = kFrameMessage;
  uint16_t reserved = 0;
};

void EncodeFrameHeader(const FrameHeader& f, char* p);  // 28 bytes
FrameHeader DecodeFrameHeader(const char* p);

// The message header is kept as its raw bytes; these are the field offsets.
using RawMsgHeader = std::array<char, kMsgHeaderSize>;
enum MsgHeaderOffset : size_t {
  kMsgAttr = 0,
  kMsgFrom = 4,
  kMsgTo = 40,
  kMsgSubject = 76,
  kMsgOrig = 148,
  kMsgDest = 156,
  kMsgDateWritten = 164,
  kMsgDateArrived = 168,
  kMsgUnique = 214,
  kMsgTextDate = 218,
};
constexpr size_t kNameWidth = 36;
constexpr size_t kSubjectWidth = 72;
constexpr size_t kTextDateWidth = 20;

struct IndexRecord {
  uint32_t frameOffset = 0;
  uint32_t unique = 0;
  uint32_t hash = 0;
};

void EncodeIndexRecord(const IndexRecord& r, char* p);  // 12 bytes
IndexRecord DecodeIndexRecord(const char* p);

// Hash of the addressee's name: the name's bytes (at most 255) with A-Z
// lowered, folded four bits at a time; bit 31 is always clear.
uint32_t NameHash(const std::string& name);

}  // namespace vex::squish
