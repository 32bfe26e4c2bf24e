// Squish message bases: data file (.sqd), index (.sqi), last-read (.sql).
#pragma once

#include <memory>

#include "msgbase/message_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeSquishBase(Env& env);

}  // namespace vex
