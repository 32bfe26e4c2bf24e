// Opening a text file for reading line by line.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"

namespace vex {

// Opens an existing regular file for reading; nullptr (and *err set) when it
// cannot be opened or names a directory.
std::unique_ptr<File> OpenForReading(Env& env, const std::string& path,
                                     int* err);

}  // namespace vex
