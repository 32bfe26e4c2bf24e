#include "posting/sections.h"

#include <limits>

#include "util/text.h"

namespace vex {

int32_t EstimateSectionCount(uint64_t fileSize, int32_t sectionSize) {
  if (sectionSize <= 0) return 1;
  const uint64_t size = static_cast<uint64_t>(sectionSize);
  if (fileSize <= size) return 1;
  const uint64_t count = fileSize / size + 1;
  const uint64_t max = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(count > max ? max : count);
}

std::string SectionSubject(int32_t number, int32_t count,
                           const std::string& subject) {
  return Cut("[" + std::to_string(number) + "/" + std::to_string(count) +
             "] " + subject);
}

void ReplaceFirstPercent(const std::string& value, std::string& text) {
  const size_t p = text.find('%');
  if (p == std::string::npos) {
    text.insert(0, value);
  } else {
    text.replace(p, 1, value);
  }
  text = Cut(std::move(text));
}

std::string BaseFileName(const std::string& name) {
  const size_t last = name.find_last_of("/\\");
  return last == std::string::npos ? name : name.substr(last + 1);
}

std::string BuildSectionMarker(const std::string& marker, int32_t number,
                               int32_t count, const std::string& fileName) {
  std::string text = Cut(marker);
  ReplaceFirstPercent(std::to_string(number), text);
  ReplaceFirstPercent(std::to_string(count), text);
  ReplaceFirstPercent(BaseFileName(fileName), text);
  return text;
}

void PrefixMarkers(PostingSettings& settings) {
  for (std::string* text : {&settings.encodedMessage,
                            &settings.beginEncodedString,
                            &settings.endEncodedString}) {
    if (!text->empty() && (*text)[0] != '\x01') *text = Cut("\x01" + *text);
  }
}

}  // namespace vex
