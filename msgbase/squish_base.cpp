// Placeholder until this format lands.
#include "msgbase/squish_base.h"

namespace vex {

std::unique_ptr<MessageBase> MakeSquishBase(Env&) { return nullptr; }

}  // namespace vex
