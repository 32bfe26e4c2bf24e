// Opening a base only to read it: for programs that look at a base without
// being allowed to change it (the base lister, the configuration check).
#include <cstdio>
#include <stdexcept>

#include "msgbase/jam_base.h"
#include "msgbase/message_base.h"
#include "msgbase/msg_dir_base.h"
#include "msgbase/squish_base.h"

namespace vex {

namespace {

std::string& OpenErrorText() {
  static std::string text;
  return text;
}

std::unique_ptr<MessageBase> MakeBaseOfType(Env& env, char type) {
  switch (type) {
    case 'J':
    case 'j':
      return MakeJamBase(env);
    case 'S':
    case 's':
      return MakeSquishBase(env);
    case 'F':
    case 'f':
    case 'M':
    case 'm':
    case '*':
      return MakeMsgDirBase(env);
    default:
      return nullptr;
  }
}

}  // namespace

bool MessageBase::OpenBaseReadOnly(const std::string& path,
                                   std::string* problem) {
  *problem = path + ": this kind of base cannot be opened read-only";
  return false;
}

std::string MessageBase::ReadErrorText() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(errorCode_));
  return std::string("the message cannot be read (error ") + buf + ")";
}

bool OpenMessageBaseReadOnly(std::unique_ptr<MessageBase>& base,
                             const std::string& areaId) {
  std::string& problem = OpenErrorText();
  problem.clear();
  base.reset();
  Env* env = FileHooksEnv();
  if (!env) {
    throw std::logic_error("message base opened before InstallFileHooks");
  }
  if (areaId.empty()) {
    problem = "an empty area identifier names no base";
    return false;
  }
  std::unique_ptr<MessageBase> made = MakeBaseOfType(*env, areaId[0]);
  if (!made) {
    problem = "unknown base type \"" + areaId.substr(0, 1) +
              "\": use J (JAM), S (Squish), M, F or * (*.MSG)";
    return false;
  }
  std::string path = areaId.substr(1, 254);
  if (path.empty()) {
    problem = "no base path after the type letter \"" + areaId.substr(0, 1) + "\"";
    return false;
  }
  if (!made->OpenBaseReadOnly(path, &problem)) return false;
  problem.clear();
  base = std::move(made);
  return true;
}

std::string MessageBaseOpenErrorText() { return OpenErrorText(); }

}  // namespace vex
