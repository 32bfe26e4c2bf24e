// A message as a JAM base stores it: the fields of its header, its
// subfields (names, addresses, subject and control lines) and its text.
#pragma once

#include <string>
#include <vector>

#include "msgbase/jam/format.h"
#include "msgbase/message.h"

namespace vex::jam {

struct Encoded {
  // Everything but the number and the text's place in the text file.
  MsgHeader header;
  std::string subfields;
  std::string text;
  // The index record's CRC of the receiver's name.
  uint32_t toCrc = kNone;
};

// A new message as stored.  The header's addresses are the message's: the
// address kludges are made to agree with them, INTL, FMPT and TOPT then
// live in the address subfields, and SEEN-BY, PATH and Via lines become
// subfields of their own.
Encoded EncodeMessage(const Message& m);

// The message a header, its subfields and its text hold: the control lines
// first, SEEN-BY, PATH and Via last.  The address kludges are made to agree
// with the address subfields; none is invented.
Message DecodeMessage(const MsgHeader& header, const std::vector<Subfield>& subfields,
                      const std::string& text);

}  // namespace vex::jam
