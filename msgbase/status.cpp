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

std::string Status::Reason() const {
  if (ok()) return "OK";
  const std::string why = systemError_ != 0 ? SystemErrorText(systemError_) : sentence_;
  // A sentence that names the file itself is the whole reason.
  if (file_.empty() || why.compare(0, file_.size(), file_) == 0) return why;
  return why.empty() ? file_ : file_ + ": " + why;
}

}  // namespace vex
