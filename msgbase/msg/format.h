// The file of a *.MSG message: a 190-byte header (names, subject, the date
// as text and as a stamp, two-dimensional addresses, attribute word), then
// the control lines and the text, each ended by a CR, and a closing NUL.
#pragma once

#include <cstddef>
#include <string>

#include "msgbase/message.h"

namespace vex::msg {

constexpr size_t kHeaderSize = 190;
// The bytes before the times-read word: names, subject and date text.  A
// program that marks a message read or sent changes only the words after.
constexpr size_t kTimesRead = 164;

// The whole file of a new message.  The header's addresses are the
// message's; the address kludges are made to agree with them.
std::string EncodeMessage(const Message& m);

// The message in a file of at least kHeaderSize bytes.
Message DecodeMessage(const std::string& file);

}  // namespace vex::msg
