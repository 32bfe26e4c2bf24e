// Targets over the three area configuration readers.
#include "fuzz/fuzz_targets.h"
#include "platform/exit.h"
#include "posting/area_readers.h"
#include "testenv/mem_env.h"

namespace vex::fuzz {

namespace {

using Reader = int (*)(Env&, const std::string&, AreaRecord&);

// Input: the area tag searched for, the configuration file "areas.cfg" and
// a second file "areas.lst" (the list that a format T file names).
int ReadArea(const uint8_t* data, size_t size, Reader reader) {
  std::vector<std::string> parts = SplitInput(data, size, 3);
  MemEnv env;
  env.SetNow(FuzzNow());
  if (parts.size() > 1) env.SetFile("areas.cfg", parts[1]);
  if (parts.size() > 2) env.SetFile("areas.lst", parts[2]);
  AreaRecord area;
  area.tag = parts[0].substr(0, 255);
  try {
    int result = reader(env, "areas.cfg", area);
    Check(result >= kAreaFileRead && result <= kAreaListUnreadable,
          "area reader result is one of its codes");
  } catch (const RunTimeError&) {
  }
  return 0;
}

}  // namespace

int FuzzAreaH(const uint8_t* data, size_t size) {
  return ReadArea(data, size, ReadAreaFormatH);
}
int FuzzAreaS(const uint8_t* data, size_t size) {
  return ReadArea(data, size, ReadAreaFormatS);
}
int FuzzAreaT(const uint8_t* data, size_t size) {
  return ReadArea(data, size, ReadAreaFormatT);
}

}  // namespace vex::fuzz
