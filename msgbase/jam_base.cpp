// Placeholder until this format lands.
#include "msgbase/jam_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeJamBase(Env&) { return nullptr; }

}  // namespace vex
