// Finding the message area of an announcement in the area configuration.
#include "posting/area_readers.h"
#include "posting/area_words.h"
#include "util/address.h"
#include "util/text.h"

namespace vex {

void LookUpArea(PostingSettings& settings, LogContext& log, Env& env) {
  PostEntry& entry = settings.entry;
  if (settings.areaDefineCfg.empty()) return;
  entry.areaPath.clear();

  AreaRecord area;
  area.tag = Cut(entry.areaTag);
  const std::string file = TrimTrailingBlanks(settings.areaDefineCfg.substr(1));
  int result = kAreaFileRead;
  bool readerRan = true;
  switch (UpperCp866(settings.areaDefineCfg.substr(0, 1))[0]) {
    case 'H':
      result = ReadAreaFormatH(env, file, area);
      break;
    case 'S':
      result = ReadAreaFormatS(env, file, area);
      break;
    case 'T':
      result = ReadAreaFormatT(env, file, area);
      break;
    default:
      readerRan = false;
      break;
  }
  switch (result) {
    case kAreaConfigUnreadable:
      log.LogError("File " + file + " can't be read");
      break;
    case kAreaBaseTypeUnsupported:
      log.LogError("Internal error while reading " + file);
      break;
    case kAreaListUnreadable:
      log.LogError("Error reading your area-define file, wich setted in " +
                   file);
      break;
    default:
      break;
  }
  // An area the file does not define: name it, since the failed open that
  // follows can only show the empty path.
  if (readerRan && area.path.empty() &&
      (result == kAreaFileRead || result == kAreaBaseTypeUnsupported))
    log.LogError("Area " + area.tag + " not found in " + file);

  entry.areaPath = area.path;
  entry.areaKind = area.kind;
  entry.baseType = area.baseType;
  entry.areaDescription = area.description;
  ParseAddress(area.address, entry.fromAddress);
}

}  // namespace vex
