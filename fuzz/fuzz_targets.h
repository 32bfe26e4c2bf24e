// Fuzz targets: each entry point takes one arbitrary input, builds the files
// it describes in an in-memory Env and runs one reader of the program over
// them.  A target returns normally for every input the program handles
// (orderly ends and reported input/output failures included); anything else
// (a crash, an overrun, an unexpected exception, a broken promise) is a
// finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"

namespace vex::fuzz {

using Entry = int (*)(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // also the corpus folder fuzz/corpus/<name>/
  Entry run;
};

int FuzzTic(const uint8_t* data, size_t size);
int FuzzConfig(const uint8_t* data, size_t size);
int FuzzTemplate(const uint8_t* data, size_t size);
int FuzzAreaH(const uint8_t* data, size_t size);
int FuzzAreaS(const uint8_t* data, size_t size);
int FuzzAreaT(const uint8_t* data, size_t size);
int FuzzJam(const uint8_t* data, size_t size);
int FuzzSquish(const uint8_t* data, size_t size);
int FuzzMsg(const uint8_t* data, size_t size);

// A base given by the input of the target of that name (jam, squish, msg)
// takes one message while every write from the n-th on fails (whole or cut
// short), for every n up to the writes of an undisturbed append; then it is
// given one more message with nothing failing.  `stuck` counts the bases
// that take no more message although the undisturbed append worked.
struct FaultedAppends {
  int appends = 0;
  int stuck = 0;
};
FaultedAppends CountFaultedAppends(const std::string& target,
                                   const uint8_t* data, size_t size);

// Every target, in the order the fuzz script runs them.
const std::vector<Target>& Targets();

// The separator that splits one input into several files.
inline constexpr const char kFileSeparator[] = "=VXFILE=";

// Splits the input at each separator into at most maxParts parts (the last
// part keeps any further separators).  Only the parts present are returned;
// Part() gives an empty string for the others.
std::vector<std::string> SplitInput(const uint8_t* data, size_t size,
                                    size_t maxParts);

inline std::string Part(const std::vector<std::string>& parts, size_t i) {
  return i < parts.size() ? parts[i] : std::string();
}

// The fixed clock of every target: 8 December 2026, noon, a Tuesday.
ClockTime FuzzNow();

// Raised when a target finds the program breaking a promise that no
// sanitizer sees; it escapes the target so that libFuzzer reports it.
void Check(bool condition, const char* what);

}  // namespace vex::fuzz
