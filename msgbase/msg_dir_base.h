// *.MSG message bases: one file per message in a directory.
#pragma once

#include <memory>

#include "msgbase/message_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeMsgDirBase(Env& env);

}  // namespace vex
