// Squish message bases: data file (.sqd) and index (.sqi).
#pragma once

#include <memory>
#include <string>

#include "msgbase/base.h"

namespace vex {

// Opens the Squish base whose files are `path`.sqd and `path`.sqi (the
// extensions in any case); for writing, a missing base is created.
Status OpenSquish(Env& env, const std::string& path, BaseMode mode, const OpenOptions& options,
                  std::unique_ptr<Base>* base);

}  // namespace vex
