// Cutting a report into section messages, and the marker lines that let a
// reassembly tool put the sections together again.
#pragma once

#include <cstdint>
#include <string>

#include "posting/posting_settings.h"

namespace vex {

// Number of sections announced in the subjects: 1 without splitting (a
// section size of 0 or below) or when the file fits; otherwise
// size / sectionSize + 1.
int32_t EstimateSectionCount(uint64_t fileSize, int32_t sectionSize);
// "[number/count] subject", cut to 255 bytes.
std::string SectionSubject(int32_t number, int32_t count,
                           const std::string& subject);
// The marker text with its "%" placeholders replaced by the section number,
// the section count and the file's name without its directory.
std::string BuildSectionMarker(const std::string& marker, int32_t number,
                               int32_t count, const std::string& fileName);
// Replaces the first "%" of text by value (value goes in front when there is
// no "%"); the result is cut to 255 bytes.
void ReplaceFirstPercent(const std::string& value, std::string& text);
// The name without directory parts written with "/" or "\".
std::string BaseFileName(const std::string& name);
// Puts the kludge byte 0x01 in front of the three marker texts that do not
// begin with it yet.
void PrefixMarkers(PostingSettings& settings);

}  // namespace vex
