// The in-memory text of a message: a growable byte buffer with a read/write
// position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vex {

class MessageText {
 public:
  // Reads up to n bytes at the position into out (replacing it) and moves
  // the position; returns the count read.
  size_t Read(size_t n, std::string& out);
  // Writes n bytes at the position, growing the buffer, and moves it.
  void Write(const void* data, size_t n);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  void SetPos(size_t p) { pos_ = p > data_.size() ? data_.size() : p; }
  size_t Pos() const { return pos_; }
  size_t Size() const { return data_.size(); }
  void Truncate() { data_.resize(pos_); }
  // Copies n bytes of other, from other's position, to this position; both
  // positions move.
  void CopyFrom(MessageText& other, size_t n);
  const std::string& Bytes() const { return data_; }

 private:
  std::string data_;
  size_t pos_ = 0;
};

}  // namespace vex
