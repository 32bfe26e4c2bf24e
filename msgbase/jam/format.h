// The stored records of a JAM message base: base header, message header and
// its subfields, index records, the name CRC and the time
// stamps.  Everything is encoded byte by byte, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "msgbase/message.h"

namespace vex::jam {

constexpr size_t kBaseHeaderSize = 1024;
constexpr size_t kMsgHeaderSize = 76;
constexpr size_t kIndexRecordSize = 8;
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kAttrDeleted = 0x80000000;

// Offsets in the message header of the words a deletion changes.
constexpr size_t kHeaderAttributes = 52;

// Subfield identifiers.
enum : uint16_t {
  kSfOrigAddress = 0,
  kSfDestAddress = 1,
  kSfSender = 2,
  kSfReceiver = 3,
  kSfMsgId = 4,
  kSfReply = 5,
  kSfSubject = 6,
  kSfPid = 7,
  kSfVia = 8,
  kSfAttachedFile = 9,
  kSfRequestedFile = 11,
  kSfKludge = 2000,
  kSfSeenBy = 2001,
  kSfPath = 2002,
  kSfFlags = 2003,
};

// CRC-32 (reflected 0xEDB88320) of the text with 'A'-'Z' lowered, started at
// 0xFFFFFFFF and not inverted: an empty text gives 0xFFFFFFFF.
uint32_t NameCrc(std::string_view text);

// Seconds since 1970-01-01 00:00:00 of the given fields, taken as they are
// (no time-zone correction), in 32-bit wrap-around arithmetic.
uint32_t UnixTime(const MsgDateTime& dt);
// The reverse; hundredths are 0.
MsgDateTime FromUnixTime(uint32_t t);

struct BaseHeader {
  uint32_t dateCreated = 0;
  uint32_t modCounter = 0;
  uint32_t activeMsgs = 0;
  uint32_t passwordCrc = kNone;
  uint32_t baseMsgNum = 1;
  // The reserved bytes as read, kept when the header is written back.
  std::string reserved = std::string(kBaseHeaderSize - 24, '\0');

  std::string Encode() const;
  // False when the data is short or lacks the signature.
  bool Decode(std::string_view data);
};

struct MsgHeader {
  uint16_t revision = 1;
  uint16_t reservedWord = 0;
  uint32_t subfieldLen = 0;
  uint32_t timesRead = 0;
  uint32_t msgIdCrc = kNone;
  uint32_t replyCrc = kNone;
  uint32_t replyTo = 0;
  uint32_t firstReply = 0;
  uint32_t nextReply = 0;
  uint32_t dateWritten = 0;
  uint32_t dateReceived = 0;
  uint32_t dateProcessed = 0;
  uint32_t messageNumber = 0;
  uint32_t attributes = 0;
  uint32_t attributes2 = 0;
  uint32_t textOffset = 0;
  uint32_t textLength = 0;
  uint32_t passwordCrc = kNone;
  uint32_t cost = 0;

  std::string Encode() const;  // the 76 bytes
  bool Decode(std::string_view data);
};

struct Subfield {
  uint16_t id = 0;
  std::string data;
};

// Appends one subfield (identifier, high word 0, length, data).
void AppendSubfield(std::string& area, uint16_t id, std::string_view data);
// Splits a subfield area; false when a subfield runs past its end.
bool ParseSubfields(std::string_view area, std::vector<Subfield>& out);

struct IndexRecord {
  uint32_t toCrc = kNone;
  uint32_t headerOffset = kNone;
  bool Deleted() const { return headerOffset == kNone; }
  std::string Encode() const;
  static IndexRecord Decode(const char* p);
};

// Generic attribute masks -> the stored attribute bits (unmapped masks give
// nothing).
uint32_t StoredAttributes(uint32_t genericMask);

}  // namespace vex::jam
