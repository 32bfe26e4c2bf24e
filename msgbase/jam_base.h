// JAM message bases: header (.jhr), index (.jdx), text (.jdt), last-read
// (.jlr).
#pragma once

#include <memory>

#include "msgbase/message_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeJamBase(Env& env);

}  // namespace vex
