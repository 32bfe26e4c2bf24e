// The result of looking a message area up in the node's area configuration.
#pragma once

#include <string>

namespace vex {

struct AreaRecord {
  char kind = 'N';          // E echomail, N netmail, L local
  std::string tag;          // the area tag searched for
  std::string path;         // path of the message base
  std::string baseType;     // S Squish, J JAM, M *.MSG
  std::string address;      // address to post from, as text
  std::string description;
};

// Result codes of the area configuration readers.
enum AreaReadResult : int {
  kAreaFileRead = 0,
  kAreaConfigUnreadable = 1,  // (format T: also without an AREAFILE line)
  kAreaBaseTypeUnsupported = 2,
  kAreaListUnreadable = 3,    // format T only
};

}  // namespace vex
