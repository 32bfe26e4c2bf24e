// Little-endian encoding of stored formats, byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vex {

inline void PutU16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}
inline void PutU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline uint16_t GetU16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) |
                               (static_cast<uint8_t>(p[1]) << 8));
}
// Written out byte by byte, which the compiler turns into one load.
inline uint32_t GetU32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}
inline void AppendU16(std::string& s, uint16_t v) {
  char b[2];
  PutU16(b, v);
  s.append(b, 2);
}
inline void AppendU32(std::string& s, uint32_t v) {
  char b[4];
  PutU32(b, v);
  s.append(b, 4);
}

// A short string: one length byte and `capacity` bytes, zero-filled after
// the text (the text is cut to capacity).
inline void PutShortString(char* p, size_t capacity, const std::string& s) {
  size_t n = s.size() < capacity ? s.size() : capacity;
  p[0] = static_cast<char>(n);
  std::memset(p + 1, 0, capacity);
  std::memcpy(p + 1, s.data(), n);
}
inline std::string GetShortString(const char* p, size_t capacity) {
  size_t n = static_cast<uint8_t>(p[0]);
  if (n > capacity) n = capacity;
  return std::string(p + 1, n);
}

// A NUL-terminated, NUL-padded field of `width` bytes holding at most
// width - 1 characters.
inline void PutZString(char* p, size_t width, const std::string& s) {
  std::memset(p, 0, width);
  size_t n = s.size() < width - 1 ? s.size() : width - 1;
  size_t z = s.find('\0');
  if (z != std::string::npos && z < n) n = z;
  std::memcpy(p, s.data(), n);
}
inline std::string GetZString(const char* p, size_t width) {
  size_t n = 0;
  while (n < width && p[n] != '\0') ++n;
  return std::string(p, n);
}

}  // namespace vex
