#include "msgbase/message_text.h"

#include <algorithm>
#include <cstring>

namespace vex {

size_t MessageText::Read(size_t n, std::string& out) {
  size_t avail = data_.size() - pos_;
  size_t count = std::min(n, avail);
  out.assign(data_, pos_, count);
  pos_ += count;
  return count;
}

void MessageText::Write(const void* data, size_t n) {
  if (n == 0) return;
  if (pos_ + n > data_.size()) data_.resize(pos_ + n);
  std::memcpy(data_.data() + pos_, data, n);
  pos_ += n;
}

void MessageText::CopyFrom(MessageText& other, size_t n) {
  std::string chunk;
  other.Read(n, chunk);
  Write(chunk);
}

}  // namespace vex
