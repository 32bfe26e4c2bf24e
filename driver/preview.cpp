#include "driver/preview.h"

#include <memory>
#include <string>

#include "driver/dry_run.h"
#include "msgbase/message_base.h"
#include "platform/cp866.h"
#include "platform/overlay_env.h"
#include "posting/area_readers.h"
#include "posting/posting.h"
#include "report/report_run.h"
#include "util/address.h"
#include "util/dates.h"
#include "util/text.h"

namespace vex {
namespace {

constexpr size_t kMaxLine = 16384;

std::string BaseTypeName(const std::string& type) {
  switch (type.empty() ? ' ' : UpperCp866(type)[0]) {
    case 'J':
      return "JAM";
    case 'S':
      return "Squish";
    case 'M':
      return "*.MSG";
    default:
      return "unknown (" + type + ")";
  }
}

// A message written in UTF-8 is shown like every other text: in CP866,
// which the console turns into UTF-8.
std::string Shown(const std::string& text, bool utf8) {
  return utf8 ? Utf8ToCp866(text) : text;
}

class Preview {
 public:
  explicit Preview(App& app)
      : dry_run_(app), real_(app.env), overlay_(dry_run_.overlay()), dry_(dry_run_.app()) {}

  int Run() {
    Env& env = overlay_;
    RunSettings& run = dry_.run;
    if (!dry_run_.ReadConfiguration()) {
      Out("The command line ends the run before any report: the next run "
          "posts nothing.\n");
      return Flush(), 0;
    }
    const size_t waiting = dry_run_.waiting();
    Out("Preview of the next run: nothing is scanned, written, posted or "
        "locked.\n");
    if (!dry_run_.configProblem().empty()) Out(dry_run_.configProblem() + "\n");
    Out("TIC files waiting: " + std::to_string(waiting) +
        (waiting ? " (the next run counts them first; they are not in the "
                   "figures below)\n"
                 : "\n"));
    if (!run.statisticsToFile) {
      Out("Statistics output is off: the next run writes no report.\n");
      return Flush(), 0;
    }
    const CalendarDate today = Today(env);
    Out("Period: " + DateText(DaysBack(today, run.periodStart)) + " - " +
        DateText(DaysBack(today, run.periodEnd)) + "\n");
    if (!run.makeAnnounce) Out("Posting is off (MAKEANNOUNCE, -P): the next run posts nothing.\n");
    PostCallback post = [this](const std::string& area, const std::string& result) {
      Post(dry_.posting, area, result);
    };
    const bool reported = RunReports(env, dry_.log, run, dry_.report, dry_.tables, post);
    if (!reported)
      Out("No statistics store: the next run writes no report and posts nothing.\n");
    else if (run.makeAnnounce)
      Out("\nMessages the next run posts: " + std::to_string(messages_) + "\n");
    return Flush(), 0;
  }

 private:
  int32_t HighMessage(const PostEntry& e) {
    std::unique_ptr<MessageBase> base;
    int32_t high = 0;
    if (!e.baseType.empty() && OpenMessageBaseReadOnly(base, e.baseType + e.areaPath))
      high = base->HighMessage();
    CloseMessageBase(base);
    return high;
  }

  void Post(PostingSettings& settings, const std::string& area, const std::string& result) {
    PostEntry& e = settings.entry;
    e.areaTag = Cut(area);
    if (e.areaTag.empty()) return;
    if (!e.dueToday) {
      Out("Area " + e.areaTag + ": not due today (WHEN), nothing posted.\n");
      return;
    }
    InstallFileHooks(overlay_);
    LookUpArea(settings, dry_.log, overlay_);
    const int32_t high = HighMessage(e);
    overlay_.ClearConsole();
    PostAnnouncement(settings, dry_.log, overlay_, area, result);
    std::string heading = "Area " + e.areaTag;
    if (!e.areaDescription.empty()) heading += " [" + e.areaDescription + "]";
    heading += ", " + BaseTypeName(e.baseType) + " base " + e.areaPath;
    if (settings.errors != 0) {
      Out(heading + ": the post would fail:\n" + overlay_.console());
      return;
    }
    std::unique_ptr<MessageBase> base;
    if (!OpenMessageBaseReadOnly(base, e.baseType + e.areaPath)) {
      Out(heading + ": " + MessageBaseOpenErrorText() + "\n");
      return;
    }
    base->SeekMessage(high + 1);
    while (base->SeekFound()) {
      const int32_t n = base->CurrentNumber();
      Show(*base, heading);
      base->SeekNext();
      if (base->CurrentNumber() == n) break;
    }
    CloseMessageBase(base);
  }

  void Show(MessageBase& base, const std::string& heading) {
    ++messages_;
    Out("\n=== Message " + std::to_string(messages_) + "\n" + heading + "\n");
    Out("Number: " + std::to_string(base.CurrentNumber()) + "\n");
    if (!base.ReadMessage()) {
      Out("(cannot be read back: " + base.ReadErrorText() + ")\n");
      base.FreeMessageText();
      return;
    }
    std::string chrs;
    const bool utf8 = base.FindKludge("\x01" "CHRS:", chrs) &&
                      UpperCp866(chrs).find("UTF-8") != std::string::npos;
    FtnAddress orig, dest;
    base.GetAddresses(orig, dest);
    Out("From: " + Shown(base.GetFromName(), utf8) + ", " + AddressToText(orig) + "\n");
    Out("To: " + Shown(base.GetToName(), utf8) + ", " + AddressToText(dest) + "\n");
    Out("Subject: " + Shown(base.GetSubject(), utf8) + "\n\n");
    base.SetTextPos(0);
    std::string line;
    while (base.ReadTextLine(kMaxLine, line)) {
      if (!line.empty() && line[0] == '\x01') line = "^A" + line.substr(1);
      Out(Shown(line, utf8) + "\n");
    }
    base.FreeMessageText();
  }

  void Out(const std::string& text) { out_ += text; }
  void Flush() {
    real_.ConsoleWrite(out_);
    out_.clear();
  }

  DryRun dry_run_;
  Env& real_;
  OverlayEnv& overlay_;
  App& dry_;
  int messages_ = 0;
  std::string out_;
};

}  // namespace

int RunPreview(App& app) { return Preview(app).Run(); }

}  // namespace vex
