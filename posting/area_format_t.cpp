// Format T area configuration: an AREAFILE line naming the list of areas.
#include "posting/area_file.h"
#include "posting/area_readers.h"
#include "posting/area_words.h"
#include "util/text.h"

namespace vex {

int ReadAreaFormatT(Env& env, const std::string& path, AreaRecord& area) {
  bool found = false;
  std::string listPath;
  bool opened = ForEachAreaLine(env, path, [&](const std::string& line) {
    if (UpperCp866(FirstWord(line)) == "AREAFILE") {
      found = true;
      listPath = TrimTrailingBlanks(TextAfterWords(line, 1));
    }
    return true;
  });
  if (!opened || !found) return kAreaConfigUnreadable;

  area.kind = 'E';
  area.description.clear();
  int result = kAreaFileRead;
  const std::string tag = UpperCp866(area.tag);
  opened = ForEachAreaLine(env, listPath, [&](const std::string& line) {
    const std::string second = UpperCp866(NthWord(line, 2));
    if (second.empty() || second != tag) return true;
    if (UpperCp866(FirstWord(line)) == "@LINE") return true;
    area.path = NthWord(line, 1);
    area.baseType = NthWord(line, 3).substr(0, 1);
    const std::string type = UpperCp866(area.baseType);
    if (type != "J" && type != "M") result = kAreaBaseTypeUnsupported;
    return true;
  });
  return opened ? result : kAreaListUnreadable;
}

}  // namespace vex
