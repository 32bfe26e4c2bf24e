// Entry points of the announcement poster used by the driver and the report
// run.
#pragma once

#include <string>
#include <vector>

#include "core/log.h"
#include "platform/env.h"
#include "posting/posting_settings.h"

namespace vex {

void InitPostingSettings(PostingSettings& settings, Env& env);
// Offered every configuration line after the main keyword table.
void ApplyPostingLine(PostingSettings& settings, LogContext& log, Env& env,
                      const std::string& line);
// Without a FROMADDR line, messages are posted from the node's first own
// address; called once the configuration has been read.
void DefaultFromAddress(PostingSettings& settings,
                        const std::vector<FtnAddress>& ownAddresses);
// Posts one result file into the area named by areaTag (nothing when the
// tag is empty).
void PostAnnouncement(PostingSettings& settings, LogContext& log, Env& env,
                      const std::string& areaTag,
                      const std::string& resultFile);

}  // namespace vex
