#include "driver/check.h"

#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "msgbase/message_base.h"
#include "posting/area_readers.h"
#include "posting/area_words.h"
#include "posting/posting.h"
#include "util/address.h"
#include "util/dates.h"
#include "util/text.h"

namespace vex {
namespace {

// The directory a file name lies in ("." for a bare name).
std::string DirectoryOf(const std::string& name) {
  size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

std::string BaseTypeName(const std::string& type) {
  switch (type.empty() ? ' ' : UpperCp866(type)[0]) {
    case 'J':
      return "JAM";
    case 'S':
      return "Squish";
    case 'M':
      return "*.MSG";
    default:
      return "unknown";
  }
}

class Checker {
 public:
  explicit Checker(App& app) : app_(app), env_(app.env), run_(app.run) {}

  int Run() {
    InitPostingSettings(app_.posting, env_);
    run_.configFile = Cut(ConfigFileFromCommandLine(app_.args, run_.configFile));
    const bool found =
        ReadConfigurationLines(app_, [this](const std::string& line) { Apply(line); });
    if (!ended_ && !run_.commandLineApplied) ApplyCommandLine();
    DefaultFromAddress(app_.posting, run_.ownAddresses);

    if (found)
      Line("Configuration file: " + run_.configFile);
    else
      Problem("no configuration file " + run_.configFile + " (the defaults apply)");
    if (!endingOption_.empty()) {
      Line("The command line ends the run at " + endingOption_ +
           "; nothing after it is used");
      return problems_ == 0 ? 0 : 1;
    }
    Report();
    return problems_ == 0 ? 0 : 1;
  }

 private:
  // One configuration line, as the run applies it, except that the log is
  // not opened and no directory is scanned.
  void Apply(const std::string& line) {
    if (ended_) return;
    const std::string key = UpperCp866(FirstWord(line));
    if (key == "LOGFILE") {
      logFile_ = Cut(RestOfLine(line));
    } else if (key == "TICPATH") {
      if (!run_.scanCancelled && !run_.commandLineApplied) ApplyCommandLine();
      if (ended_) return;
      TicPath(Cut(RestOfLine(line)));
    } else {
      ApplyConfigLine(app_, line);
    }
    ApplyPostingLine(app_.posting, app_.log, env_, line);
  }

  // The options up to the first one that would end the program; that one is
  // named instead of carried out.
  void ApplyCommandLine() {
    std::vector<std::string> all = app_.args;
    std::vector<std::string> applied;
    for (const std::string& p : all) {
      if (EndsTheProgram(p)) {
        endingOption_ = p;
        ended_ = true;
        break;
      }
      applied.push_back(p);
    }
    app_.args = applied;
    vex::ApplyCommandLine(app_);
    app_.args = all;
  }

  void TicPath(const std::string& path) {
    const std::string pattern = path + run_.ticMask;
    const std::string dir = DirectoryOf(pattern);
    std::string text = "TICPATH " + path + " (mask " + run_.ticMask + "): ";
    if (run_.scanCancelled) {
      ticLines_.push_back({text + "not scanned (-R)", false});
      return;
    }
    if (!env_.Stat(dir).isDirectory) {
      ticLines_.push_back(
          {"TICPATH " + path + ": directory " + dir + " does not exist", true});
      return;
    }
    text += "directory exists, " + std::to_string(env_.Search(pattern).size()) +
            " TIC files now";
    ticLines_.push_back({text, false});
    if (run_.killTic && !env_.CanWrite(dir))
      ticLines_.push_back({"TICPATH " + path + ": KILLTIC is on but directory " + dir +
                               " is not writable",
                           true});
  }

  void Report() {
    if (logFile_.empty()) {
      Line("Log file: none (the console only)");
    } else {
      const bool exists = env_.Stat(logFile_).exists;
      if (env_.CanWrite(exists ? logFile_ : DirectoryOf(logFile_)))
        Line("Log file: " + logFile_ + (exists ? " (appended to)" : " (made new)"));
      else
        Problem("log file " + logFile_ + " cannot be written");
    }
    if (!env_.CanWrite("."))
      Problem("the current directory, which holds stat.vx and dupes.vx, is not writable");

    std::string addresses;
    for (const FtnAddress& a : run_.ownAddresses)
      addresses += (addresses.empty() ? "" : ", ") + AddressToText(a);
    Line("Own addresses: " +
         (addresses.empty() ? "none (all traffic counts as incoming)" : addresses));

    const CalendarDate today = Today(env_);
    const CalendarDate start = DaysBack(today, run_.periodStart);
    const CalendarDate end = DaysBack(today, run_.periodEnd);
    Line("Period: " + DateText(start) + " - " + DateText(end) + " (" +
         std::to_string(run_.periodStart) + " to " + std::to_string(run_.periodEnd) +
         " days back)");
    if (DaysBetween(start, end) < 0)
      Problem("the period starts after it ends (-D" + std::to_string(run_.periodStart) +
              "/" + std::to_string(run_.periodEnd) + ")");

    Line("Notes: silent after " + std::to_string(run_.noteSilentDays) +
         " days (NOTESILENTDAYS), spike at " + std::to_string(run_.noteSpike) +
         " times (NOTESPIKE)" + (run_.noteSilentDays > 0 || run_.noteSpike > 0 ? "" : ", both off"));
    if (run_.noteSilentDays < 0 || run_.noteSpike < 0)
      Problem("NOTESILENTDAYS and NOTESPIKE take 0 (off) or more");

    if (ticLines_.empty()) Line("TICPATH: none (nothing is scanned)");
    for (const auto& [text, problem] : ticLines_) problem ? Problem(text) : Line(text);

    for (const TemplateEntry& entry : run_.templates) Template(entry);
    PostAreas();
  }

  void Template(const TemplateEntry& entry) {
    const std::string& result = entry.result.empty() ? run_.resultFile : entry.result;
    std::string text = "Template " + entry.templateFile + " -> " + result;
    if (!entry.announce.empty()) text += " (area " + entry.announce + ")";
    bool sound = true;
    int err = 0;
    std::unique_ptr<File> file;
    if (env_.Stat(entry.templateFile).isDirectory)
      err = EISDIR;
    else
      file = env_.Open(entry.templateFile, OpenMode::kRead, &err);
    if (!file) {
      Problem("template " + entry.templateFile +
              " cannot be read: " + SystemErrorText(err));
      sound = false;
    }
    file.reset();
    const FileInfo info = env_.Stat(result);
    if (result.empty()) {
      Problem("template " + entry.templateFile + " has no result file name");
      sound = false;
    } else if (result == entry.templateFile) {
      Problem("result file " + result + " is the template itself");
      sound = false;
    } else if (info.isDirectory) {
      Problem("result file " + result + " is a directory");
      sound = false;
    } else if (!env_.Stat(DirectoryOf(result)).isDirectory) {
      Problem("result file " + result + ": directory " + DirectoryOf(result) +
              " does not exist");
      sound = false;
    } else if (!env_.CanWrite(info.exists ? result : DirectoryOf(result))) {
      Problem("result file " + result + " cannot be written");
      sound = false;
    }
    if (sound) text += ": template readable, result directory writable";
    Line(text);
  }

  void PostAreas() {
    std::vector<std::string> tags;
    std::set<std::string> seen;
    for (const TemplateEntry& entry : run_.templates) {
      std::string tag = Cut(entry.announce);
      if (!tag.empty() && seen.insert(UpperCp866(tag)).second) tags.push_back(tag);
    }
    if (tags.empty()) return;
    const PostingSettings& posting = app_.posting;
    if (!run_.makeAnnounce) {
      Line("Posting: off (MAKEANNOUNCE, -P); the post areas are not checked");
      return;
    }
    Line(std::string("Posting: on, ") +
         (posting.entry.dueToday ? "due today" : "not due today (WHEN)"));
    if (posting.areaDefineCfg.empty()) {
      Problem("no AREADEFINECFG: the post areas cannot be looked up");
      return;
    }
    InstallFileHooks(env_);
    for (const std::string& tag : tags) PostArea(tag);
  }

  void PostArea(const std::string& tag) {
    const std::string& cfg = app_.posting.areaDefineCfg;
    const std::string file = TrimTrailingBlanks(cfg.substr(1));
    AreaRecord area;
    area.tag = tag;
    int result = kAreaFileRead;
    switch (UpperCp866(cfg.substr(0, 1))[0]) {
      case 'H':
        result = ReadAreaFormatH(env_, file, area);
        break;
      case 'S':
        result = ReadAreaFormatS(env_, file, area);
        break;
      case 'T':
        result = ReadAreaFormatT(env_, file, area);
        break;
      default:
        Problem("AREADEFINECFG " + cfg + ": the format letter is not H, S or T");
        return;
    }
    if (result == kAreaConfigUnreadable) {
      Problem("post area " + tag + ": area file " + file + " cannot be read");
      return;
    }
    if (result == kAreaListUnreadable) {
      Problem("post area " + tag + ": the area list named in " + file +
              " cannot be read");
      return;
    }
    if (area.path.empty()) {
      Problem("post area " + tag + ": not found in " + file);
      return;
    }
    if (result == kAreaBaseTypeUnsupported || area.baseType.empty()) {
      Problem("post area " + tag + ": path " + area.path + ", base type not supported");
      return;
    }
    const std::string address =
        area.address.empty()
            ? AddressToText(app_.posting.entry.fromAddress) + " (FROMADDR)"
            : area.address;
    const std::string text =
        "Post area " + tag + ": type " + area.baseType + " (" +
        BaseTypeName(area.baseType) + "), path " + area.path + ", description " +
        (area.description.empty() ? "none" : "\"" + area.description + "\"") +
        ", address " + address;
    if (!BaseIsThere(area.baseType, area.path)) {
      Line(text + ": no base yet (the first posting makes it)");
      return;
    }
    std::unique_ptr<MessageBase> base;
    if (OpenMessageBaseReadOnly(base, area.baseType + area.path)) {
      if (base) CloseMessageBase(base);
      Line(text + ": base opens");
      return;
    }
    Line(text);
    Problem("post area " + tag + ": base " + area.path +
            " does not open: " + MessageBaseOpenErrorText());
  }

  // A base counts as there when its main file (its directory for *.MSG)
  // is, in either letter case; the posting creates any other.
  bool BaseIsThere(const std::string& type, const std::string& path) {
    const char* ext = nullptr;
    switch (UpperCp866(type)[0]) {
      case 'J':
        ext = ".jhr";
        break;
      case 'S':
        ext = ".sqd";
        break;
      default:
        return env_.Stat(path).exists;
    }
    return env_.Stat(path + ext).exists || env_.Stat(path + UpperCp866(ext)).exists;
  }

  void Line(const std::string& text) { env_.ConsoleWrite(text + "\n"); }
  void Problem(const std::string& text) {
    ++problems_;
    Line("problem: " + text);
  }

  App& app_;
  Env& env_;
  RunSettings& run_;
  std::string logFile_;
  std::string endingOption_;
  bool ended_ = false;
  std::vector<std::pair<std::string, bool>> ticLines_;  // text, problem
  int problems_ = 0;
};

}  // namespace

int RunCheck(App& app) { return Checker(app).Run(); }

}  // namespace vex
