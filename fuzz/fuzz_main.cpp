// The libFuzzer entry point of one target, chosen at build time.
#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vex::fuzz::VEX_FUZZ_ENTRY(data, size);
}
