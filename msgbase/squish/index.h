// The index of a Squish base held in memory: one record per message, in
// the order of the index file, looked up by message number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/squish/format.h"

namespace vex::squish {

class Index {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  Index() = default;
  explicit Index(std::vector<IndexRecord> records) { Assign(std::move(records)); }

  // The whole records in the bytes of an index file; an incomplete record
  // at the end (a write cut short) is not a message.
  static Index Decode(const std::string& bytes);
  std::string Encode() const;

  void Assign(std::vector<IndexRecord> records);
  void Push(const IndexRecord& r);
  void Erase(size_t slot);

  const std::vector<IndexRecord>& Records() const { return records_; }
  size_t Size() const { return records_.size(); }
  const IndexRecord& operator[](size_t slot) const { return records_[slot]; }

  // The slot of message `number` (the first record that names it), kNone
  // when there is none.  Number 0 names no message.
  size_t Find(uint32_t number) const;
  // The numbers of the messages, ascending, each once.  A record out of
  // order or with number 0 does not hide the records after it.
  std::vector<uint32_t> Numbers() const;
  // The number a new message takes: above every number in use and at least
  // the header's next number; 0 when the highest number is used up.
  uint32_t NextNumber(uint32_t headerNext) const;

 private:
  void Sort();

  std::vector<IndexRecord> records_;
  // (number, slot), ascending by number then slot.
  std::vector<std::pair<uint32_t, size_t>> byNumber_;
};

}  // namespace vex::squish
