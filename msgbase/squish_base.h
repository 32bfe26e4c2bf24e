// Squish message bases: data file (.sqd), index (.sqi), last-read (.sql).
#pragma once

#include <memory>

#include "msgbase/message_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeSquishBase(Env& env);

// The same with a chosen wait for the lock on the data file (the program
// waits 10 seconds; tests use shorter waits).
std::unique_ptr<MessageBase> MakeSquishBase(Env& env, int lockTimeoutMs);

}  // namespace vex
