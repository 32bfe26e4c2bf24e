#include "driver/check.h"

#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "driver/check_base.h"
#include "driver/check_config.h"
#include "driver/check_report.h"
#include "driver/check_template.h"
#include "driver/check_text.h"
#include "driver/command_line.h"
#include "driver/driver.h"
#include "posting/area_readers.h"
#include "report/export.h"
#include "posting/area_words.h"
#include "posting/posting.h"
#include "util/address.h"
#include "util/dates.h"
#include "util/text.h"
#include "util/text_file.h"

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
      return "unknown";
  }
}

// The line of an area file that defines tag (second word, any case), and
// its text; 0 when none does.
int AreaLine(Env& env, const std::string& file, const std::string& tag, bool comments,
             std::string& text) {
  int err = 0;
  if (env.Stat(file).isDirectory) return 0;
  std::unique_ptr<File> f = env.Open(file, OpenMode::kRead, &err);
  if (!f) return 0;
  LineReader reader(*f, TextEncoding::kUtf8OrCp866);
  std::string line;
  for (int n = 1; reader.Next(line); ++n) {
    if (comments && !IsConfigLine(line)) continue;
    std::string rest = RestOfLine(line);
    if (rest != line && UpperCp866(FirstWord(rest)) == UpperCp866(tag)) {
      text = line;
      return n;
    }
  }
  return 0;
}

struct AreaLookup {
  AreaRecord area;
  int result = kAreaFileRead;
  std::string file;  // the file that defines it
  std::string where;
};

class Checker {
 public:
  explicit Checker(App& app)
      : app_(app), env_(app.env), run_(app.run), report_(app.env) {}

  int Run() {
    InitPostingSettings(app_.posting, env_);
    run_.configFile = Cut(ConfigFileFromCommandLine(app_.args, run_.configFile));
    keywords_ = KnownConfigKeywords(env_);
    const bool found = ReadLines();
    if (!ended_ && !run_.commandLineApplied) ApplyCommandLine();
    DefaultFromAddress(app_.posting, run_.ownAddresses);

    if (found) {
      LintCharset(report_, env_, run_.configFile);
    } else {
      report_.Problem(run_.configFile, "no configuration file (the defaults apply)",
                      "create it, or name it with -C");
    }
    if (!endingOption_.empty()) {
      report_.Line("The command line ends the run at " + endingOption_ +
                   "; nothing after it is used");
      return Exit();
    }
    Report();
    return Exit();
  }

 private:
  int Exit() const { return report_.Problems() == 0 ? 0 : 1; }
  std::string Here() const { return At(run_.configFile, lineNumber_); }

  bool ReadLines() {
    int err = 0;
    if (env_.Stat(run_.configFile).isDirectory) return false;
    std::unique_ptr<File> file = env_.Open(run_.configFile, OpenMode::kRead, &err);
    if (!file) return false;
    report_.Line("Configuration file: " + run_.configFile);
    LineReader reader(*file, TextEncoding::kUtf8OrCp866);
    std::string line;
    while (reader.Next(line)) {
      ++lineNumber_;
      if (!IsConfigLine(line)) continue;
      Apply(line);
      LintConfigLine(report_, Here(), line, keywords_);
    }
    return true;
  }

  // One configuration line, as the run applies it, except that the log is
  // not opened and no directory is scanned.
  void Apply(const std::string& line) {
    if (ended_) return;
    const std::string key = UpperCp866(FirstWord(line));
    if (key == "LOGFILE") {
      logFile_ = Cut(RestOfLine(line));
      logLine_ = Here();
    } else if (key == "TICPATH") {
      if (!run_.scanCancelled && !run_.commandLineApplied) ApplyCommandLine();
      if (ended_) return;
      TicPath(Cut(RestOfLine(line)));
    } else {
      const size_t before = run_.templates.size();
      ApplyConfigLine(app_, line);
      if (run_.templates.size() > before) templateLines_.push_back(Here());
    }
    if (key == "AREADEFINECFG") areaCfgLine_ = Here();
    if (key == "EXPORT") exportLines_.push_back(Here());
    if (key == "RESULTCHARSET") {
      const std::string charset = UpperCp866(FirstWord(RestOfLine(line)));
      if (charset != "UTF-8" && charset != "UTF8" && charset != "CP866")
        report_.Problem(Here(), "RESULTCHARSET " + charset + " is no charset the reports know",
                        "write RESULTCHARSET UTF-8 or RESULTCHARSET CP866");
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
    const std::string dir = FolderOf(pattern);
    std::string text = "TICPATH " + path + " (mask " + run_.ticMask + "): ";
    if (run_.scanCancelled) {
      TicLine(text + "not scanned (-R)");
      return;
    }
    const size_t found = env_.Stat(dir).isDirectory ? env_.Search(pattern).size() : 0;
    if (found == 0 && !path.empty() && path.back() != '/' && env_.Stat(path).isDirectory) {
      const size_t inside = env_.Search(path + "/" + run_.ticMask).size();
      TicProblem(Here(),
                      "TICPATH " + path + " lacks its final /, so the search is for " + pattern +
                          ", which finds nothing (" + std::to_string(inside) + " TIC files in " +
                          path + "/)",
                      "write TICPATH " + path + "/");
      return;
    }
    if (!env_.Stat(dir).isDirectory) {
      TicProblem(Here(), "TICPATH " + path + ": directory " + dir + " does not exist",
                      "create it or correct the path");
      return;
    }
    TicLine(text + "directory exists, " + std::to_string(found) + " TIC files now");
    if (run_.killTic && !env_.CanWrite(dir))
      TicProblem(Here(),
                      "TICPATH " + path + ": KILLTIC is on but directory " + dir +
                          " is not writable",
                      "give the user that runs vexstat write access to " + dir +
                          ", or set KILLTIC No");
  }

  // The TICPATH lines are reported after the period, in file order.
  struct TicReport {
    std::string where, text, fix;  // where is empty for a plain line
  };
  void TicLine(const std::string& text) { ticLines_.push_back({"", text, ""}); }
  void TicProblem(const std::string& where, const std::string& text, const std::string& fix) {
    ticLines_.push_back({where, text, fix});
  }

  void Report() {
    if (logFile_.empty()) {
      report_.Line("Log file: none (the console only)");
    } else {
      const bool exists = env_.Stat(logFile_).exists;
      if (env_.CanWrite(exists ? logFile_ : FolderOf(logFile_)))
        report_.Line("Log file: " + logFile_ + (exists ? " (appended to)" : " (made new)"));
      else
        report_.Problem(logLine_, "log file " + logFile_ + " cannot be written",
                        "correct the LOGFILE path or give write access to it");
    }
    if (!env_.CanWrite("."))
      report_.Problem(".", "the current directory, which holds stat.vx and dupes.vx, is not "
                           "writable",
                      "run vexstat in the node directory, with write access to it");

    std::string addresses;
    for (const FtnAddress& a : run_.ownAddresses)
      addresses += (addresses.empty() ? "" : ", ") + AddressToText(a);
    report_.Line("Own addresses: " +
                 (addresses.empty() ? "none (all traffic counts as incoming)" : addresses));

    const CalendarDate today = Today(env_);
    const CalendarDate start = DaysBack(today, run_.periodStart);
    const CalendarDate end = DaysBack(today, run_.periodEnd);
    report_.Line("Period: " + DateText(start) + " - " + DateText(end) + " (" +
                 std::to_string(run_.periodStart) + " to " + std::to_string(run_.periodEnd) +
                 " days back)");
    if (DaysBetween(start, end) < 0)
      report_.Problem("the command line",
                      "the period starts after it ends (-D" + std::to_string(run_.periodStart) +
                          "/" + std::to_string(run_.periodEnd) + ")",
                      "give the larger number of days first, such as -D7/0");

    report_.Line("Notes: silent after " + std::to_string(run_.noteSilentDays) +
                 " days (NOTESILENTDAYS), spike at " + std::to_string(run_.noteSpike) +
                 " times (NOTESPIKE)" +
                 (run_.noteSilentDays > 0 || run_.noteSpike > 0 ? "" : ", both off"));
    if (run_.noteSilentDays < 0 || run_.noteSpike < 0)
      report_.Problem(run_.configFile, "NOTESILENTDAYS and NOTESPIKE take 0 (off) or more",
                      "give a number of days or times, or 0 to turn the note off");

    if (ticLines_.empty()) report_.Line("TICPATH: none (nothing is scanned)");
    for (const TicReport& t : ticLines_)
      t.where.empty() ? report_.Line(t.text) : report_.Problem(t.where, t.text, t.fix);

    const TemplateWords words = KnownTemplateWords(env_);
    std::set<std::string> linted;
    for (size_t i = 0; i < run_.templates.size(); ++i) {
      const TemplateEntry& entry = run_.templates[i];
      const std::string where = i < templateLines_.size() ? templateLines_[i] : run_.configFile;
      if (Template(entry, where) && linted.insert(entry.templateFile).second) {
        LintCharset(report_, env_, entry.templateFile);
        LintTemplate(report_, env_, entry.templateFile, words);
      }
    }
    Exports();
    PostAreas();
  }

  // Each EXPORT line: a format the export knows and a file it can replace.
  void Exports() {
    for (size_t i = 0; i < run_.exports.size(); ++i) {
      const ExportEntry& e = run_.exports[i];
      const std::string where = i < exportLines_.size() ? exportLines_[i] : run_.configFile;
      ExportFormat format;
      report_.Line("Export " + e.format + " -> " + (e.file.empty() ? "(no file)" : e.file));
      if (!ParseExportFormat(e.format, &format))
        report_.Problem(where, "export format " + e.format + " is unknown",
                        "write json, csv or metrics");
      if (e.file.empty())
        report_.Problem(where, "the EXPORT line names no file", "add the file after the format");
      else if (env_.Stat(e.file).isDirectory || !env_.CanWrite(FolderOf(e.file)))
        report_.Problem(where, "export file " + e.file + " cannot be replaced",
                        "name a file in a directory the run can write");
    }
  }

  // True when the template can be read.
  bool Template(const TemplateEntry& entry, const std::string& where) {
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
    const bool readable = file != nullptr;
    if (!file) {
      report_.Problem(where, "template " + entry.templateFile +
                                 " cannot be read: " + SystemErrorText(err),
                      "correct the template name or install the template there");
      sound = false;
    }
    file.reset();
    const FileInfo info = env_.Stat(result);
    const std::string fixResult = "name another result file on the TPLFILENAME line";
    if (result.empty()) {
      report_.Problem(where, "template " + entry.templateFile + " has no result file name",
                      "add the result file name after the template name");
      sound = false;
    } else if (result == entry.templateFile) {
      report_.Problem(where, "result file " + result + " is the template itself", fixResult);
      sound = false;
    } else if (info.isDirectory) {
      report_.Problem(where, "result file " + result + " is a directory", fixResult);
      sound = false;
    } else if (!env_.Stat(FolderOf(result)).isDirectory) {
      report_.Problem(where, "result file " + result + ": directory " + FolderOf(result) +
                                 " does not exist",
                      "create the directory or " + fixResult);
      sound = false;
    } else if (!env_.CanWrite(info.exists ? result : FolderOf(result))) {
      report_.Problem(where, "result file " + result + " cannot be written",
                      "give write access to it or " + fixResult);
      sound = false;
    }
    if (sound) text += ": template readable, result directory writable";
    report_.Line(text);
    return readable;
  }

  void PostAreas() {
    bool any = false;
    for (const TemplateEntry& entry : run_.templates) any = any || !Cut(entry.announce).empty();
    if (!any) return;
    PostingSettings& posting = app_.posting;
    if (!run_.makeAnnounce) {
      report_.Line("Posting: off (MAKEANNOUNCE, -P); the post areas are not checked");
      return;
    }
    report_.Line(std::string("Posting: on, ") +
                 (posting.entry.dueToday ? "due today" : "not due today (WHEN)"));
    if (posting.areaDefineCfg.empty()) {
      report_.Problem(run_.configFile, "no AREADEFINECFG: the post areas cannot be looked up",
                      "add AREADEFINECFG with the format letter and the path of the area file");
      return;
    }
    const std::string cfg = posting.areaDefineCfg;
    const std::string file = TrimTrailingBlanks(cfg.substr(1));
    if (env_.Stat(file).exists) LintCharset(report_, env_, file);
    // A lookup replaces the address to post from only when the area names
    // one: an area without it posts from what the area before it left.
    const FtnAddress configured = posting.entry.fromAddress;
    const std::string configuredFrom =
        posting.entry.fromAddressGiven ? "FROMADDR"
        : run_.ownAddresses.empty()    ? "no FROMADDR, no ADDRESS"
                                       : "the first ADDRESS";
    FtnAddress current = configured;
    std::string currentFrom = configuredFrom;
    std::set<std::string> seen;
    for (size_t i = 0; i < run_.templates.size(); ++i) {
      const std::string tag = Cut(run_.templates[i].announce);
      if (tag.empty()) continue;
      const std::string where = i < templateLines_.size() ? templateLines_[i] : run_.configFile;
      AreaLookup lookup;
      if (!LookUp(tag, where, lookup)) continue;
      const AreaRecord& area = lookup.area;
      FtnAddress from = current;
      if (!area.address.empty() && ParseAddress(area.address, from)) {
        current = from;
        currentFrom = "the -a of area " + tag;
      } else {
        if (!area.address.empty())
          report_.Problem(lookup.where, "post area " + tag + ": -a " + area.address +
                                            " is not an address, the area posts from " +
                                            AddressToText(current),
                          "write -a with a full address, such as -a 2:5020/9999");
        else if (!(current == configured))
          report_.Problem(lookup.where,
                          "post area " + tag + " has no -a, so it posts from " +
                              AddressToText(current) + " (" + currentFrom + "), not from " +
                              AddressToText(configured) + " (" + configuredFrom + ")",
                          "add -a " + AddressToText(configured) + " to area " + tag + " in " +
                              lookup.file);
        if (current == configured) currentFrom = configuredFrom;
      }
      if (current.IsZero())
        report_.Problem(where, "post area " + tag + " posts from 0:0/0",
                        "add an ADDRESS line, a FROMADDR line or -a to the area");
      if (UpperCp866(std::string(1, area.kind)) == "N" && posting.entry.toAddress.IsZero())
        report_.Problem(where,
                        "post area " + tag + " is a netmail area, but TOADDR is 0:0/0",
                        "add a TOADDR line (in upper case) with the addressee's address");
      if (!seen.insert(UpperCp866(tag)).second) continue;
      const std::string text =
          "Post area " + tag + ": type " + area.baseType + " (" + BaseTypeName(area.baseType) +
          "), path " + area.path + ", description " +
          (area.description.empty() ? "none" : "\"" + area.description + "\"") +
          ", posts from " + AddressToText(current) + " (" + currentFrom + ")";
      report_.Line(text + ": " + LintBase(report_, env_, lookup.where, area.baseType, area.path));
    }
  }

  bool LookUp(const std::string& tag, const std::string& where, AreaLookup& out) {
    const std::string& cfg = app_.posting.areaDefineCfg;
    const std::string file = TrimTrailingBlanks(cfg.substr(1));
    out.area.tag = tag;
    out.file = file;
    const char format = UpperCp866(cfg.substr(0, 1))[0];
    switch (format) {
      case 'H':
        out.result = ReadAreaFormatH(env_, file, out.area);
        break;
      case 'S':
        out.result = ReadAreaFormatS(env_, file, out.area);
        break;
      case 'T':
        out.result = ReadAreaFormatT(env_, file, out.area);
        break;
      default:
        report_.Problem(areaCfgLine_.empty() ? where : areaCfgLine_,
                        "AREADEFINECFG " + cfg + ": the format letter is not H, S or T",
                        "write H, S or T right before the path");
        return false;
    }
    if (out.result == kAreaConfigUnreadable) {
      report_.Problem(areaCfgLine_.empty() ? where : areaCfgLine_,
                      "post area " + tag + ": area file " + file + " cannot be read",
                      "correct the AREADEFINECFG path" +
                          std::string(format == 'T' ? " (the file needs an AREAFILE line)" : ""));
      return false;
    }
    if (out.result == kAreaListUnreadable) {
      report_.Problem(file, "post area " + tag + ": the area list named by AREAFILE cannot be read",
                      "correct the AREAFILE line");
      return false;
    }
    std::string text;
    const int line = format == 'T' ? 0 : AreaLine(env_, file, tag, format == 'H', text);
    out.where = line > 0 ? At(file, line) : where;
    if (format == 'H' && line > 0) OptionsNotRead(text, out);
    if (out.area.path.empty()) {
      report_.Problem(where, "post area " + tag + ": not found in " + file,
                      "correct the area tag or define the area in " + file);
      return false;
    }
    if (out.result == kAreaBaseTypeUnsupported || out.area.baseType.empty()) {
      report_.Problem(out.where, "post area " + tag + ": path " + out.area.path +
                                     ", base type not supported",
                      "give the base type -b Jam, -b Squish or -b Msg");
      return false;
    }
    return true;
  }

  // The options of a format-H area line are read up to the first word that
  // is no option, and an unquoted -d takes the rest of the line: a -a, -b
  // or -d behind them is not read.
  void OptionsNotRead(const std::string& line, const AreaLookup& lookup) {
    const std::string options = RestOfLine(RestOfLine(RestOfLine(line)));
    AreaRecord own;
    int result = 0;
    ParseAreaOptionsH(options, own, result);
    struct Option {
      const char* word;
      bool read;
    };
    const Option wanted[] = {{"-a", !own.address.empty()},
                             {"-b", !own.baseType.empty() || result != 0},
                             {"-d", !own.description.empty()}};
    const std::string text = " " + UpperCp866(options) + " ";
    for (const Option& o : wanted) {
      if (o.read || text.find(" " + UpperCp866(o.word) + " ") == std::string::npos) continue;
      report_.Problem(lookup.where,
                      std::string("area ") + lookup.area.tag + ": its " + o.word +
                          " option is not read: the options are read up to the first "
                          "word that is none, and an unquoted -d text takes the rest",
                      "put the options before other words and the -d text in double quotes");
    }
  }

  App& app_;
  Env& env_;
  RunSettings& run_;
  CheckReport report_;
  std::vector<KnownWord> keywords_;
  int lineNumber_ = 0;
  std::string logFile_, logLine_, areaCfgLine_;
  std::vector<std::string> exportLines_;  // the EXPORT line of each entry
  std::vector<std::string> templateLines_;  // the TPLFILENAME line of each entry
  std::vector<TicReport> ticLines_;
  std::string endingOption_;
  bool ended_ = false;
};

}  // namespace

int RunCheck(App& app) { return Checker(app).Run(); }

}  // namespace vex
