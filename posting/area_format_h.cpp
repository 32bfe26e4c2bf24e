// Format H area configuration: area lines with dash options, defaults lines.
#include <optional>

#include "posting/area_file.h"
#include "posting/area_readers.h"
#include "posting/area_words.h"
#include "util/text.h"

namespace vex {

int ReadAreaFormatH(Env& env, const std::string& path, AreaRecord& area) {
  int result = kAreaFileRead;
  const std::string tag = UpperCp866(area.tag);
  std::optional<AreaRecord> defaults;

  bool opened = ForEachAreaLine(env, path, [&](const std::string& raw) {
    if (raw.empty() || !IsConfigLine(raw)) return true;
    std::string line = raw;
    StripLeadingSpaces(line);
    const std::string first = UpperCp866(FirstWord(line));
    if (first == "ECHOAREA" || first == "NETMAILAREA" || first == "LOCALAREA") {
      area.kind = line[0];
    }
    if (first == "ECHOAREADEFAULTS") {
      defaults.emplace();
      ParseAreaOptionsH(TextAfterWords(line, 1), *defaults, result);
      return true;
    }
    const std::string second = UpperCp866(NthWord(line, 2));
    if (second.empty() || second != tag) return true;

    area.path = NthWord(line, 3);
    AreaRecord own;
    ParseAreaOptionsH(TextAfterWords(line, 3), own, result);
    auto pick = [&](std::string AreaRecord::*field) {
      if (defaults && !((*defaults).*field).empty()) {
        area.*field = (*defaults).*field;
      } else {
        area.*field = own.*field;
      }
    };
    pick(&AreaRecord::baseType);
    pick(&AreaRecord::address);
    pick(&AreaRecord::description);
    return false;
  });
  return opened ? result : kAreaConfigUnreadable;
}

}  // namespace vex
