// A message base seen as a store of numbered messages: list the numbers,
// read one, append one, delete one.  Every call returns a Status.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/message.h"
#include "msgbase/status.h"
#include "platform/env.h"

namespace vex {

class Base {
 public:
  virtual ~Base() = default;

  // The numbers of the messages present, ascending.
  virtual Status List(std::vector<uint32_t>* numbers) = 0;
  // Message `number` whole; NotFound when there is none, Damaged (with a
  // sentence on what is wrong) when its bytes do not hold a whole message.
  virtual Status Read(uint32_t number, Message* message) = 0;
  // Stores a new message and gives its number.  The header addresses are
  // authoritative: the address kludges (INTL, FMPT, TOPT and the address
  // of the MSGID) are made to agree with them; the MSGID's serial is kept.
  // A message without a MSGID is stored without one.
  virtual Status Append(const Message& message, uint32_t* number) = 0;
  virtual Status Delete(uint32_t number) = 0;
  // Releases the files and the lock; the object takes no more calls.
  virtual Status Close() = 0;
};

enum class BaseMode {
  kReadOnly,  // nothing is created, changed, repaired or locked
  kWrite,     // under the base's lock; a missing base is created
};

struct OpenOptions {
  // How long an open for writing waits for another program's lock.
  int lockTimeoutMs = 10000;
};

// Opens the base an area identifier names: a type letter (J or j for JAM,
// S or s for Squish, M, m, F, f or * for a *.MSG directory) and its path.
// A base that exists but does not open is never created over.
Status OpenBase(Env& env, const std::string& areaId, BaseMode mode,
                std::unique_ptr<Base>* base, const OpenOptions& options = {});

}  // namespace vex
