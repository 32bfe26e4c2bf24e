// The MSGID serials of the messages a node posts.  They must never repeat
// (a serial is what tells one message from another), so the last one given
// out is kept in a small file of the node directory, 4 bytes little-endian,
// read and advanced only while the run holds the node's run lock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace vex {

// The larger of last + 1 and the clock's serial.
uint32_t SerialAfter(uint32_t last, uint32_t clock);
// The clock reading as a serial: seconds since 1970 of the local time, in
// 32 bits.
uint32_t ClockSerial(const ClockTime& t);

class MsgIdCounter {
 public:
  explicit MsgIdCounter(Env& env, std::string path = "vexstat.seq");

  // The next serial, on the disk for good before it is returned (with
  // `ahead` more after it, which later calls hand out without writing
  // again while the clock does not pass them).  False with the errno value
  // in *err when the counter cannot be written: no serial may then be
  // used.  A counter file that is missing or cannot be read starts again
  // from the clock.
  bool Next(uint32_t ahead, uint32_t* serial, int* err);
  const std::string& path() const { return path_; }

 private:
  void Load();
  // Writes the value beside the counter, syncs it and renames it over the
  // counter, then syncs the directory.
  bool Store(uint32_t value, int* err);

  Env& env_;
  std::string path_;
  bool loaded_ = false;
  uint32_t last_ = 0;     // the last serial handed out
  uint32_t durable_ = 0;  // the value the counter file holds
};

}  // namespace vex
