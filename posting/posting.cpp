// Posting one result file as an announcement.
#include "posting/posting.h"

#include "posting/area_readers.h"
#include "posting/poster.h"
#include "util/text.h"

namespace vex {

void PostAnnouncement(PostingSettings& settings, LogContext& log, Env& env,
                      const std::string& areaTag,
                      const std::string& resultFile) {
  PostEntry& e = settings.entry;
  e.areaTag = Cut(areaTag);
  if (e.areaTag.empty()) return;
  if (!e.dueToday) {
    log.LogLine("Not due today: " + e.areaTag);
    return;
  }
  LookUpArea(settings, log, env);
  e.fileName = Cut(resultFile);

  PostingRun run(settings, log, env);
  PreparePosting(run);
  PostFile(run);
  FinishPosting(run);
  if (settings.errors != 0) ReportPostingErrors(run);
}

}  // namespace vex
