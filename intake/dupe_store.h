// The dupe store dupes.vx: the names of the TIC files already analysed, one
// 13-byte record each (a length byte and 12 bytes of text, zero-filled).
// The store is read once when a directory scan begins; names remembered
// during the scan are appended to the file and to the in-memory set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "core/log.h"
#include "platform/env.h"

namespace vex {

inline constexpr const char* kDupeStoreName = "dupes.vx";
constexpr size_t kDupeRecordSize = 13;
constexpr size_t kDupeNameLength = 12;

// One record: the first 12 bytes of name.
std::string EncodeDupeRecord(const std::string& name);
// The log line for a TIC file analysed before.
std::string KnownTicLine(const std::string& name);

class DupeStore {
 public:
  // Reads the store (its first `limit` bytes) when the dupe check is on.  A
  // missing store is empty; one that exists but cannot be read throws
  // RunTimeError.
  DupeStore(Env& env, LogContext& log, bool dupeCheck,
            std::string path = kDupeStoreName, uint64_t limit = UINT64_MAX);

  // True when the dupe check is on and the name (compared in CP866 upper
  // case, whole) is remembered; logs "Файл <name> уже обрабатывался...".
  bool IsKnownTic(const std::string& name);
  // The same test without the log line.
  bool Knows(const std::string& name) const;
  // Adds the name (cut to 12 bytes) to the names in memory when the dupe
  // check is on; the caller stores it.
  void Note(const std::string& name);
  // Appends the name, cut to 12 bytes, whether or not the dupe check is on.
  void RememberTic(const std::string& name);

 private:
  Env& env_;
  LogContext& log_;
  bool dupeCheck_;
  std::string path_;
  std::unordered_set<std::string> known_;  // upper-cased names
};

}  // namespace vex
