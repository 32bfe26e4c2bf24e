#include "platform/exit.h"

#include <utility>

namespace vex {

RunTimeError::RunTimeError(std::string op, std::string path, int err)
    : std::runtime_error(op + " " + path),
      op_(std::move(op)),
      path_(std::move(path)),
      err_(err) {}

void FailIo(const std::string& op, const std::string& path, int err) {
  throw RunTimeError(op, path, err);
}

}  // namespace vex
