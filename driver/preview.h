// The preview (vexstat --preview): the next run's reports are rendered and
// posted in an overlay that keeps every change in memory, and the messages
// it stores are read back and shown, message by message.  Nothing is
// scanned, written, posted or locked: the node's files are only read, and a
// batch of TIC files that another run is writing is not read.
#pragma once

#include "driver/app.h"

namespace vex {

inline constexpr const char* kPreviewOption = "--preview";

// Writes the preview to the console; returns the exit code (0).
int RunPreview(App& app);

}  // namespace vex
