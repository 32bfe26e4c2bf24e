#include "posting/flags.h"

#include "util/text.h"

namespace vex {
namespace {

struct FlagName {
  const char* name;  // in upper case
  uint32_t bit;
};

constexpr FlagName kFlagNames[] = {
    {"PVT", 0x0001}, {"CRA", 0x0002}, {"RCV", 0x0004}, {"SNT", 0x0008},
    {"ATT", 0x0010}, {"TRS", 0x0020}, {"ORP", 0x0040}, {"K/S", 0x0080},
    {"LOC", 0x0100}, {"HLD", 0x0200}, {"FRQ", 0x0400}, {"RRQ", 0x0800},
    {"RRC", 0x1000}, {"ARQ", 0x2000}, {"URQ", 0x4000}, {"SCA", 0x8000},
};

}  // namespace

uint32_t ParseFlags(const std::string& text) {
  uint32_t flags = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t blank = text.find(' ', start);
    size_t end = blank == std::string::npos ? text.size() : blank;
    const std::string word = UpperCp866(text.substr(start, end - start));
    for (const FlagName& f : kFlagNames) {
      if (word == f.name) flags |= f.bit;
    }
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  return flags;
}

}  // namespace vex
