// Opening a base by its area identifier: the type letter picks the format.
#include <string>

#include "msgbase/base.h"
#include "msgbase/jam/jam.h"
#include "msgbase/msg/msg_dir.h"
#include "msgbase/squish/squish.h"

namespace vex {

Status OpenBase(Env& env, const std::string& areaId, BaseMode mode,
                std::unique_ptr<Base>* base, const OpenOptions& options) {
  base->reset();
  if (areaId.empty())
    return Status::Refused("", "an empty area identifier names no base");
  const char letter = areaId[0];
  const std::string type(1, letter);
  const bool jam = letter == 'J' || letter == 'j';
  const bool squish = letter == 'S' || letter == 's';
  const bool msgDir = std::string("FfMm*").find(letter) != std::string::npos;
  if (!jam && !squish && !msgDir) {
    return Status::Refused("", "unknown base type \"" + type +
                                   "\": use J (JAM), S (Squish), M, F or * (*.MSG)");
  }
  const std::string path = areaId.substr(1, 254);
  if (path.empty())
    return Status::Refused("", "no base path after the type letter \"" + type + "\"");
  if (jam) return OpenJam(env, path, mode, options, base);
  if (squish) return OpenSquish(env, path, mode, options, base);
  return OpenMsgDir(env, path, mode, base);
}

}  // namespace vex
