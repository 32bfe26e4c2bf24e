#include "msgbase/status.h"

#include "platform/env.h"

namespace vex {

std::string Status::ToString() const {
  if (ok()) return "OK";
  std::string text = file_;
  if (!sentence_.empty()) text += (text.empty() ? "" : ": ") + sentence_;
  if (systemError_ != 0) text += (text.empty() ? "" : ": ") + SystemErrorText(systemError_);
  return text;
}

}  // namespace vex
