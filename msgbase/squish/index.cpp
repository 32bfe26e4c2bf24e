#include "msgbase/squish/index.h"

#include <algorithm>

namespace vex::squish {

Index Index::Decode(const std::string& bytes) {
  std::vector<IndexRecord> records;
  for (size_t p = 0; p + kIndexRecordSize <= bytes.size(); p += kIndexRecordSize)
    records.push_back(DecodeIndexRecord(bytes.data() + p));
  return Index(std::move(records));
}

std::string Index::Encode() const {
  std::string bytes(records_.size() * kIndexRecordSize, '\0');
  for (size_t i = 0; i < records_.size(); ++i)
    EncodeIndexRecord(records_[i], bytes.data() + i * kIndexRecordSize);
  return bytes;
}

void Index::Assign(std::vector<IndexRecord> records) {
  records_ = std::move(records);
  Sort();
}

void Index::Push(const IndexRecord& r) {
  records_.push_back(r);
  const std::pair<uint32_t, size_t> key{r.unique, records_.size() - 1};
  byNumber_.insert(std::upper_bound(byNumber_.begin(), byNumber_.end(), key), key);
}

void Index::Erase(size_t slot) {
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(slot));
  Sort();
}

void Index::Sort() {
  byNumber_.clear();
  byNumber_.reserve(records_.size());
  for (size_t i = 0; i < records_.size(); ++i) byNumber_.emplace_back(records_[i].unique, i);
  std::sort(byNumber_.begin(), byNumber_.end());
}

size_t Index::Find(uint32_t number) const {
  if (number == 0) return kNone;
  auto it = std::lower_bound(byNumber_.begin(), byNumber_.end(), std::make_pair(number, size_t{0}));
  return it != byNumber_.end() && it->first == number ? it->second : kNone;
}

std::vector<uint32_t> Index::Numbers() const {
  std::vector<uint32_t> out;
  for (const auto& [number, slot] : byNumber_)
    if (number != 0 && (out.empty() || out.back() != number)) out.push_back(number);
  return out;
}

uint32_t Index::NextNumber(uint32_t headerNext) const {
  uint64_t next = headerNext == 0 ? 1 : headerNext;
  if (!byNumber_.empty()) next = std::max<uint64_t>(next, uint64_t{byNumber_.back().first} + 1);
  return next > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(next);
}

}  // namespace vex::squish
