#include "driver/preview.h"

#include <memory>
#include <string>
#include <vector>

#include "driver/dry_run.h"
#include "msgbase/base.h"
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
    Env& env = dry_run_.env();
    RunSettings& run = dry_.run;
    if (!dry_run_.ReadConfiguration()) {
      Out("The command line ends the run before any report: the next run "
          "posts nothing.\n");
      return Flush(), 0;
    }
    const size_t waiting = dry_run_.waiting();
    Out("Preview of the next run: nothing is written, posted, deleted or "
        "locked.\n");
    if (!dry_run_.configProblem().empty()) Out(dry_run_.configProblem() + "\n");
    if (!dry_run_.failure().empty()) {
      Out("The next run ends with: " + dry_run_.failure() + "\n");
      return Flush(), 0;
    }
    Out("TIC files waiting: " + std::to_string(waiting) +
        (waiting ? " (the next run counts them first; they are in the figures below)\n"
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
  uint32_t HighMessage(const PostEntry& e) {
    std::unique_ptr<Base> base;
    std::vector<uint32_t> numbers;
    if (e.baseType.empty() ||
        !OpenBase(overlay_, e.baseType + e.areaPath, BaseMode::kReadOnly, &base).ok() ||
        !base->List(&numbers).ok() || numbers.empty())
      return 0;
    return numbers.back();
  }

  void Post(PostingSettings& settings, const std::string& area, const std::string& result) {
    PostEntry& e = settings.entry;
    e.areaTag = Cut(area);
    if (e.areaTag.empty()) return;
    if (!e.dueToday) {
      Out("Area " + e.areaTag + ": not due today (WHEN), nothing posted.\n");
      return;
    }
    LookUpArea(settings, dry_.log, dry_run_.env());
    const uint32_t high = HighMessage(e);
    overlay_.ClearConsole();
    PostAnnouncement(settings, dry_.log, dry_run_.env(), area, result);
    std::string heading = "Area " + e.areaTag;
    if (!e.areaDescription.empty()) heading += " [" + e.areaDescription + "]";
    heading += ", " + BaseTypeName(e.baseType) + " base " + e.areaPath;
    if (settings.errors != 0) {
      Out(heading + ": the post would fail:\n" + overlay_.console());
      return;
    }
    std::unique_ptr<Base> base;
    const Status opened = OpenBase(overlay_, e.baseType + e.areaPath, BaseMode::kReadOnly, &base);
    if (!opened.ok()) {
      Out(heading + ": " + opened.sentence() + "\n");
      return;
    }
    std::vector<uint32_t> numbers;
    base->List(&numbers);
    for (uint32_t n : numbers)
      if (n > high) Show(*base, n, heading);
    base->Close();
  }

  void Show(Base& base, uint32_t n, const std::string& heading) {
    ++messages_;
    Out("\n=== Message " + std::to_string(messages_) + "\n" + heading + "\n");
    Out("Number: " + std::to_string(n) + "\n");
    Message m;
    const Status st = base.Read(n, &m);
    if (!st.ok()) {
      Out("(cannot be read back: " + st.sentence() + ")\n");
      return;
    }
    bool utf8 = false;
    for (const std::string& k : m.kludges) {
      if (k.rfind("CHRS:", 0) == 0) {
        utf8 = UpperCp866(k).find("UTF-8") != std::string::npos;
        break;
      }
    }
    Out("From: " + Shown(m.from, utf8) + ", " + AddressToText(m.orig) + "\n");
    Out("To: " + Shown(m.to, utf8) + ", " + AddressToText(m.dest) + "\n");
    Out("Subject: " + Shown(m.subject, utf8) + "\n\n");
    for (const std::string& k : m.kludges) Out(Shown("^A" + k, utf8) + "\n");
    for (const std::string& l : m.text) Out(Shown(l, utf8) + "\n");
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
