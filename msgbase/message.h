// A message as a value: its header fields, its kludges and its text lines.
// This is what a poster hands to a base and what a reader gets back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"
#include "util/address.h"

namespace vex {

// Generic attribute masks; each format maps them to its own bits.
enum : uint32_t {
  AttrPrivate = 0x0001,
  AttrCrash = 0x0002,
  AttrReceived = 0x0004,
  AttrSent = 0x0008,
  AttrFileAttached = 0x0010,
  AttrInTransit = 0x0020,
  AttrOrphan = 0x0040,
  AttrKillSent = 0x0080,
  AttrLocal = 0x0100,
  AttrHold = 0x0200,
  AttrFileRequest = 0x0400,
  AttrReceiptRequest = 0x0800,
  AttrIsReceipt = 0x1000,
  AttrAuditRequest = 0x2000,
  AttrUpdateRequest = 0x4000,
  AttrScanned = 0x8000,
  // The kind of area the message was written for (netmail, echomail,
  // local); only JAM stores them.
  AttrTypeLocal = 0x800000,
  AttrTypeEcho = 0x1000000,
  AttrTypeNet = 0x2000000,
};

// A date and time as the headers hold it.
struct MsgDateTime {
  int32_t hour = 0, minute = 0, second = 0, hundredths = 0;
  int32_t day = 0, month = 0, year = 0;
  bool operator==(const MsgDateTime&) const = default;
};

// The clock reading as a header date.
MsgDateTime ToMsgDateTime(const ClockTime& t);

struct Message {
  std::string from;
  std::string to;
  std::string subject;
  FtnAddress orig;
  FtnAddress dest;
  MsgDateTime written;
  MsgDateTime arrived;
  uint32_t attributes = 0;  // Attr* masks
  // Control lines without their leading 0x01, in order ("MSGID: 2:5020/1 1a2b3c4d").
  std::vector<std::string> kludges;
  // The text, one line each, without line ends.
  std::vector<std::string> text;

  bool operator==(const Message&) const = default;
};

// The address kludges of a new message from orig to dest, in the order a
// base stores them: MSGID (with the serial), and for netmail INTL, FMPT and
// TOPT (the last two only for points).
std::vector<std::string> AddressKludges(const FtnAddress& orig, const FtnAddress& dest,
                                        bool netmail, uint32_t msgIdSerial);

}  // namespace vex
