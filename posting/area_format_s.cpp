// Format S area configuration: area lines with "-$" and "-P" options.
#include "posting/area_file.h"
#include "posting/area_readers.h"
#include "posting/area_words.h"
#include "util/text.h"

namespace vex {

int ReadAreaFormatS(Env& env, const std::string& path, AreaRecord& area) {
  const std::string tag = UpperCp866(area.tag);
  bool opened = ForEachAreaLine(env, path, [&](const std::string& line) {
    const std::string first = UpperCp866(FirstWord(line));
    if (first == "ECHOAREA" || first == "NETAREA" || first == "LOCALAREA") {
      area.kind = first[0];
    }
    const std::string second = UpperCp866(NthWord(line, 2));
    if (second.empty() || second != tag) return true;

    area.path = NthWord(line, 3);
    area.baseType = "M";
    for (int n = 4;; ++n) {
      const std::string option = NthWord(line, n);
      if (option.empty()) break;
      if (option == "-$") area.baseType = "S";
      if (UpperCp866(option.substr(0, 2)) == "-P") {
        area.address = option.substr(2);
      }
    }
    return false;
  });
  return opened ? kAreaFileRead : kAreaConfigUnreadable;
}

}  // namespace vex
