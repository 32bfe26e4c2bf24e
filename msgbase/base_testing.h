// For the tests that drive the format objects directly: the environment
// their bases are opened in, and the error of the last open.
#pragma once

#include <memory>
#include <string>

#include "msgbase/message_base.h"

namespace vex::testing_bases {

inline Env* env = nullptr;
inline int openError = 0;

// The environment the next opens use.
inline void UseEnv(Env& e) { env = &e; }

inline bool Open(std::unique_ptr<MessageBase>& base, const std::string& areaId) {
  return OpenMessageBase(*env, base, areaId, &openError);
}

}  // namespace vex::testing_bases
