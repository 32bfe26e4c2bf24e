// Placeholder until the poster lands.
#include "posting/posting.h"

namespace vex {

void InitPostingSettings(PostingSettings& settings, Env&) {
  settings = PostingSettings();
}
void ApplyPostingLine(PostingSettings&, LogContext&, Env&,
                      const std::string&) {}
void PostAnnouncement(PostingSettings&, LogContext&, Env&, const std::string&,
                      const std::string&) {}

}  // namespace vex
