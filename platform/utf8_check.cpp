#include "platform/utf8_check.h"

#include "platform/cp866.h"

namespace vex {

void Utf8Check::Feed(std::string_view piece) {
  for (char ch : piece) {
    if (!valid_) return;
    const auto b = static_cast<uint8_t>(ch);
    if (pending_ > 0) {
      if (b < low_ || b > high_) {
        valid_ = false;
        return;
      }
      --pending_;
      low_ = 0x80;
      high_ = 0xBF;
      codePoint_ = (codePoint_ << 6) | (b & 0x3F);
      if (pending_ == 0 && Cp866Byte(codePoint_) < 0) allInCp866_ = false;
      continue;
    }
    if (b < 0x80) continue;
    multiByte_ = true;
    // The first continuation byte of some lead bytes has a narrower range:
    // that is what rules out overlong forms, surrogates and code points
    // beyond U+10FFFF.
    if (b >= 0xC2 && b <= 0xDF) {
      pending_ = 1;
      codePoint_ = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      pending_ = 2;
      codePoint_ = b & 0x0F;
      if (b == 0xE0) low_ = 0xA0;
      if (b == 0xED) high_ = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      pending_ = 3;
      codePoint_ = b & 0x07;
      if (b == 0xF0) low_ = 0x90;
      if (b == 0xF4) high_ = 0x8F;
    } else {
      valid_ = false;
    }
  }
}

}  // namespace vex
