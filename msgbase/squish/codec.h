// A message as a Squish frame holds it: the message header, the control
// information (the kludges, each led by 0x01, closed by a NUL) and the text
// (each line ended by a CR, closed by a NUL).
#pragma once

#include <cstdint>
#include <string>

#include "msgbase/message.h"
#include "msgbase/squish/format.h"

namespace vex::squish {

struct StoredMessage {
  RawMsgHeader header{};
  std::string control;  // without its closing NUL
  std::string body;     // without its closing NUL
};

// The stored form of a new message numbered `number`.  The kludges are
// made to agree with the header's addresses; the header's addresses are
// then the ones a reader finds in the kludges.
StoredMessage EncodeMessage(const Message& m, uint32_t number);

// The message a frame holds.
Message DecodeMessage(const StoredMessage& s);

// A whole frame: frame header, message header, control information and
// text, the last two each closed by a NUL.
std::string FrameBytes(const FrameHeader& f, const StoredMessage& s);

}  // namespace vex::squish
