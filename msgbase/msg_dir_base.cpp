// Placeholder until this format lands.
#include "msgbase/msg_dir_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeMsgDirBase(Env&) { return nullptr; }

}  // namespace vex
