// *.MSG message bases: a folder with one file per message.
#pragma once

#include <memory>
#include <string>

#include "msgbase/base.h"

namespace vex {

// Opens the *.MSG base in the folder `path`; for writing, a missing folder
// is made (with its missing parents).
Status OpenMsgDir(Env& env, const std::string& path, BaseMode mode, std::unique_ptr<Base>* base);

}  // namespace vex
