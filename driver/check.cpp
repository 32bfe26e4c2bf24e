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
#include "driver/dry_run.h"
#include "driver/export_run.h"
#include "driver/tic_path.h"
#include "platform/exit.h"
#include "platform/path.h"
#include "report/report_run.h"
#include "util/number.h"
#include "posting/area_readers.h"
#include "report/export.h"
#include "posting/area_words.h"
#include "posting/posting.h"
#include "util/address.h"
#include "util/dates.h"
#include "util/nodelist.h"
#include "util/replace_file.h"
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
      : app_(app), env_(app.env), dry_(app), report_(app.env) {}

  int Run() {
    const bool runs = dry_.ReadConfiguration();
    keywords_ = KnownConfigKeywords(env_);
    if (config().read) {
      report_.Line("Configuration file: " + config().file);
      for (const auto& [n, line] : config().lines) Lint(config().Where(n), line);
      LintCharset(report_, env_, config().file);
    } else if (!config().caseTwin.empty()) {
      report_.Problem(config().file,
                      "no configuration file (the defaults apply), but " + config().caseTwin +
                          " is there: file names differ in letter case on Linux",
                      "rename " + config().caseTwin + " to " + config().file + ", or give -C" +
                          config().caseTwin);
    } else {
      report_.Problem(config().file, "no configuration file (the defaults apply)",
                      "create it, or name it with -C");
    }
    Options();
    if (!runs) {
      report_.Line("The command line ends the run at " + config().endingOption +
                   "; nothing after it is used");
      report_.Line("Next run: counts 0 TIC files; ends at " + config().endingOption +
                   "; exit code 0");
      return Exit();
    }
    Report();
    Summary();
    return Exit();
  }

 private:
  const Config& config() const { return dry_.config(); }
  const RunSettings& run() const { return config().run; }
  int Exit() const { return report_.Problems() == 0 ? 0 : 1; }

  void Lint(const std::string& where, const std::string& line) {
    LintConfigLine(report_, where, line, keywords_);
    if (UpperCp866(FirstWord(line)) != "RESULTCHARSET") return;
    const std::string charset = UpperCp866(FirstWord(RestOfLine(line)));
    if (charset != "UTF-8" && charset != "UTF8" && charset != "CP866")
      report_.Problem(where, "RESULTCHARSET " + charset + " is no charset the reports know",
                      "write RESULTCHARSET UTF-8 or RESULTCHARSET CP866");
  }

  // The options as the run takes them: a number that the number rule reads
  // otherwise than written, a period that ends before it starts, and an
  // option that a line below the first TICPATH sets again.
  void Options() {
    const std::string where = "the command line";
    bool periodFlagged = false;
    for (const std::string& p : app_.args) {
      const std::string key = OptionKey(p);
      if (key == "-D") {
        const size_t slash = p.find('/');
        const std::string first = p.substr(2, slash == std::string::npos ? std::string::npos
                                                                         : slash - 2);
        periodFlagged |= DaysValue(where, p, first, "starts");
        // "-D7/" ends today, as meant.
        if (slash != std::string::npos && slash + 1 < p.size())
          periodFlagged |= DaysValue(where, p, p.substr(slash + 1), "ends");
      } else if (key == "-L") {
        DaysValue(where, p, p.substr(2), "keep");
      }
      if (EndsTheProgram(p)) break;
    }
    if (!config().endingOption.empty()) return;
    const CalendarDate today = Today(env_);
    if (!periodFlagged &&
        DaysBetween(DaysBack(today, run().periodStart), DaysBack(today, run().periodEnd)) < 0)
      report_.Problem(where,
                      "the period starts after it ends (" + std::to_string(run().periodStart) +
                          " to " + std::to_string(run().periodEnd) + " days back)",
                      "give the larger number of days first, such as -D" +
                          std::to_string(run().periodEnd) + "/" +
                          std::to_string(run().periodStart));
    for (const UndoneOption& u : config().undone)
      report_.Problem(config().Where(u.line),
                      u.keyword + " stands below the first TICPATH (line " +
                          std::to_string(config().commandLineLine) +
                          "), where the command line is applied, so it sets again what " +
                          u.option + " set" +
                          (u.keyword == "MAKEANNOUNCE" || u.keyword == "RESULTFILE"
                               ? ""
                               : " for the TICPATH lines below it") +
                          ": " + u.option + " has no effect",
                      "move " + u.keyword + " above the first TICPATH line");
  }

  // True when a number of an option is flagged.  part is "starts", "ends"
  // (the two -D numbers) or "keep" (-L).
  bool DaysValue(const std::string& where, const std::string& option, const std::string& text,
                 const std::string& part) {
    int32_t n = 0;
    std::string digits;
    for (char ch : text)
      if (ch >= '0' && ch <= '9') digits += ch;
    if (digits.empty()) digits = part == "keep" ? "30" : "7";
    const std::string example = part == "keep"   ? "-L" + digits
                                : part == "ends" ? "-D31/" + digits
                                                 : "-D" + digits;
    const std::string what = part == "keep" ? "days to keep" : "days back";
    if (!ParseNumber(text, &n)) {
      report_.Problem(where,
                      option + ": " + (text.empty() ? "no number" : "\"" + text + "\" is no number") +
                          (part == "keep" ? ", so the purge refuses it and keeps everything"
                                          : ", so it counts as 0 days back: the period " + part +
                                                " today"),
                      "write the number of " + what + " alone, such as " + example);
      return true;
    }
    if (n < 0) {
      report_.Problem(where,
                      option + ": " + std::to_string(n) + " " + what +
                          (part == "keep" ? " keeps no record" : " lies in the future"),
                      "write the number without a sign, such as " + example);
      return true;
    }
    return false;
  }

  void TicPaths() {
    if (config().ticPaths.empty()) report_.Line("TICPATH: none (nothing is scanned)");
    for (const TicPathEntry& t : config().ticPaths) {
      const std::string here = config().Where(t.line);
      const std::string text = "TICPATH " + t.value + " (mask " + t.mask + "): ";
      if (!t.scanned) {
        report_.Line(text + "not scanned (-R)");
        continue;
      }
      const TicPathFault fault = CheckTicPath(env_, t.value, t.mask);
      if (!fault.reason.empty()) {
        report_.Problem(here, "TICPATH " + t.value + ": " + fault.reason, fault.fix);
        continue;
      }
      const size_t found = env_.Search(t.value + t.mask).size();
      report_.Line(text + "directory exists, " + std::to_string(found) + " TIC files now");
      // A mask without a wildcard names one file.
      if (found == 0 && t.mask.find_first_of("*?") == std::string::npos) {
        const size_t waiting = env_.Search(t.value + "*" + t.mask).size();
        if (waiting > 0)
          report_.Problem(here,
                          "the mask " + t.mask + " has no wildcard, so it matches only a file "
                          "named " + t.mask + ", while " + std::to_string(waiting) +
                              " files ending in " + t.mask + " wait in " + t.value,
                          "write TICEXT *" + t.mask + " (or -E*" + t.mask + ")");
      }
      if (t.killTic && !env_.CanWrite(t.value))
        report_.Problem(here,
                        "TICPATH " + t.value + ": KILLTIC is on but directory " + t.value +
                            " is not writable",
                        "give the user that runs vexstat write access to " + t.value +
                            ", or set KILLTIC No");
    }
  }

  void Report() {
    std::string logFile, logWhere;
    for (const ConfigStep& s : config().steps)
      if (s.kind == ConfigStep::kOpenLog) logFile = s.text, logWhere = config().Where(s.line);
    if (logFile.empty()) {
      report_.Line("Log file: none (the console only)");
    } else {
      const bool exists = env_.Stat(logFile).exists;
      if (env_.CanWrite(exists ? logFile : FolderOf(logFile))) {
        report_.Line("Log file: " + logFile + (exists ? " (appended to)" : " (made new)"));
      } else {
        report_.Problem(logWhere, "log file " + logFile + " cannot be written",
                        "correct the LOGFILE path or give write access to it");
        logUnwritable_ = true;
      }
    }
    if (!env_.CanWrite("."))
      report_.Problem(".", "the current directory, which holds stat.vx and dupes.vx, is not "
                           "writable",
                      "run vexstat in the node directory, with write access to it");

    std::string addresses;
    for (const FtnAddress& a : run().ownAddresses)
      addresses += (addresses.empty() ? "" : ", ") + AddressToText(a);
    report_.Line("Own addresses: " +
                 (addresses.empty() ? "none (all traffic counts as incoming)" : addresses));

    const CalendarDate today = Today(env_);
    const CalendarDate start = DaysBack(today, run().periodStart);
    const CalendarDate end = DaysBack(today, run().periodEnd);
    report_.Line("Period: " + DateText(start) + " - " + DateText(end) + " (" +
                 std::to_string(run().periodStart) + " to " + std::to_string(run().periodEnd) +
                 " days back)");

    report_.Line("Notes: silent after " + std::to_string(run().noteSilentDays) +
                 " days (NOTESILENTDAYS), spike at " + std::to_string(run().noteSpike) +
                 " times (NOTESPIKE)" +
                 (run().noteSilentDays > 0 || run().noteSpike > 0 ? "" : ", both off"));
    if (run().noteSilentDays < 0 || run().noteSpike < 0)
      report_.Problem(config().file, "NOTESILENTDAYS and NOTESPIKE take 0 (off) or more",
                      "give a number of days or times, or 0 to turn the note off");

    if (!run().nodelist.empty()) {
      Nodelist names;
      std::string file;
      if (!LoadNodelist(env_, run().nodelist, &names, &file))
        report_.Problem(config().file, "NODELIST " + run().nodelist + ": no nodelist there (names stay empty)",
                        "name the nodelist file, or its base name such as /fido/nodelist/NODELIST");
      else
        report_.Line("Nodelist: " + file + ", " + std::to_string(names.NodeCount()) + " nodes" +
                     (names.BadLines() == 0 ? std::string()
                                            : ", " + std::to_string(names.BadLines()) +
                                                  " lines unreadable, the first is line " +
                                                  std::to_string(names.FirstBadLine()) + ": " +
                                                  names.FirstBadText()));
    }
    TicPaths();

    const TemplateWords words = KnownTemplateWords(env_);
    std::set<std::string> linted;
    for (size_t i = 0; i < run().templates.size(); ++i) {
      const TemplateEntry& entry = run().templates[i];
      if (Template(entry, TemplateWhere(i)) && linted.insert(entry.templateFile).second) {
        LintCharset(report_, env_, entry.templateFile);
        LintTemplate(report_, env_, entry.templateFile, words);
      }
    }
    Duplicates();
    Exports();
    PostAreas();
  }

  std::string TemplateWhere(size_t i) const {
    return i < config().templateLines.size() ? config().Where(config().templateLines[i])
                                             : config().file;
  }
  std::string ResultOf(const TemplateEntry& e) const {
    return e.result.empty() ? run().resultFile : e.result;
  }

  // The same report twice, or two reports into one result file.
  void Duplicates() {
    const std::vector<TemplateEntry>& all = run().templates;
    for (size_t j = 0; j < all.size(); ++j)
      for (size_t i = 0; i < j; ++i) {
        const TemplateEntry &a = all[i], &b = all[j];
        if (ResultOf(a) != ResultOf(b)) continue;
        const std::string first = "line " + std::to_string(config().templateLines[i]);
        if (a.templateFile == b.templateFile && UpperCp866(Cut(a.announce)) == UpperCp866(Cut(b.announce)))
          report_.Problem(TemplateWhere(j),
                          "TPLFILENAME repeats " + first + ": the report is written" +
                              (Cut(a.announce).empty() ? "" : " and posted") + " twice every run",
                          "remove one of the two lines");
        else if (a.templateFile != b.templateFile)
          report_.Problem(TemplateWhere(j),
                          "result file " + ResultOf(b) + " is also written by " + first + " (" +
                              a.templateFile + "): this report overwrites it",
                          "give each template a result file of its own");
        else
          continue;
        break;
      }
  }

  // Each EXPORT line: a format the export knows and a file it can replace.
  void Exports() {
    for (size_t i = 0; i < run().exports.size(); ++i) {
      const ExportEntry& e = run().exports[i];
      const std::string where =
          i < config().exportLines.size() ? config().Where(config().exportLines[i]) : config().file;
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
    const std::string result = ResultOf(entry);
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
    // The run writes the new report beside the old one and renames it over
    // it, so what it needs is write access to the folder, not to the old
    // file.  A result path that is the sysop's own link leads to the file it
    // points to; another user's link there is refused.
    const std::string fixResult = "name another result file on the TPLFILENAME line";
    std::string target, foreign;
    int linkErr = 0;
    const bool followed =
        !result.empty() && FollowOwnLinks(env_, result, &target, &foreign, &linkErr);
    const std::string folder = FolderOf(followed ? target : result);
    if (result.empty()) {
      report_.Problem(where, "template " + entry.templateFile + " has no result file name",
                      "add the result file name after the template name");
      sound = false;
    } else if (!foreign.empty()) {
      report_.Problem(where, "result file " + result + ": " + foreign +
                                 " is a symbolic link of another user, and the run refuses it",
                      "remove the link or " + fixResult);
      sound = false;
    } else if (!followed) {
      report_.Problem(where, "result file " + result + ": " + SystemErrorText(linkErr),
                      fixResult);
      sound = false;
    } else if (result == entry.templateFile || target == entry.templateFile) {
      report_.Problem(where, "result file " + result + " is the template itself", fixResult);
      sound = false;
    } else if (env_.Stat(target).isDirectory) {
      report_.Problem(where, "result file " + result + " is a directory", fixResult);
      sound = false;
    } else if (!env_.Stat(folder).isDirectory) {
      report_.Problem(where, "result file " + result + ": directory " + folder +
                                 " does not exist",
                      "create the directory or " + fixResult);
      sound = false;
    } else if (!env_.CanWrite(folder)) {
      report_.Problem(where, "result file " + result + ": directory " + folder +
                                 " is not writable (the new report is made there and "
                                 "renamed over the old one)",
                      "give the user that runs vexstat write access to " + folder + " or " +
                          fixResult);
      sound = false;
    }
    if (sound) text += ": template readable, result directory writable";
    report_.Line(text);
    return readable;
  }

  // Each post area as the Config found it with the poster's own lookup;
  // the area file is read again here only for the lines to name.
  void PostAreas() {
    bool any = false;
    for (const TemplateEntry& entry : run().templates) any = any || !Cut(entry.announce).empty();
    if (!any) return;
    const PostingSettings& posting = config().posting;
    if (!run().makeAnnounce) {
      report_.Line("Posting: off (MAKEANNOUNCE, -P); the post areas are not checked");
      return;
    }
    report_.Line(std::string("Posting: on, ") +
                 (posting.entry.dueToday ? "due today" : "not due today (WHEN)"));
    if (posting.areaDefineCfg.empty()) {
      report_.Problem(config().file, "no AREADEFINECFG: the post areas cannot be looked up",
                      "add AREADEFINECFG with the format letter and the path of the area file");
      return;
    }
    const std::string file = TrimTrailingBlanks(posting.areaDefineCfg.substr(1));
    if (env_.Stat(file).exists) LintCharset(report_, env_, file);
    const FtnAddress configured = posting.entry.fromAddress;
    std::string configuredFrom;
    std::set<std::string> seen;
    for (const PostArea& pa : config().postAreas) {
      const std::string where = TemplateWhere(pa.entry);
      if (configuredFrom.empty()) configuredFrom = pa.fromWhy;
      AreaLookup lookup;
      if (!LookUp(pa.tag, where, lookup)) continue;
      const AreaRecord& area = lookup.area;
      FtnAddress parsed;
      if (!area.address.empty() && !ParseAddress(area.address, parsed))
        report_.Problem(lookup.where, "post area " + pa.tag + ": -a " + area.address +
                                          " is not an address, the area posts from " +
                                          AddressToText(pa.from),
                        "write -a with a full address, such as -a 2:5020/9999");
      else if (area.address.empty() && !(pa.from == configured))
        report_.Problem(lookup.where,
                        "post area " + pa.tag + " has no -a, so it posts from " +
                            AddressToText(pa.from) + " (" + pa.fromWhy + "), not from " +
                            AddressToText(configured) + " (" + configuredFrom + ")",
                        "add -a " + AddressToText(configured) + " to area " + pa.tag + " in " +
                            lookup.file);
      if (pa.from.IsZero())
        report_.Problem(where, "post area " + pa.tag + " posts from 0:0/0",
                        "add an ADDRESS line, a FROMADDR line or -a to the area");
      if (UpperCp866(std::string(1, pa.kind)) == "N" && posting.entry.toAddress.IsZero())
        report_.Problem(where,
                        "post area " + pa.tag + " is a netmail area, but TOADDR is 0:0/0",
                        "add a TOADDR line (in upper case) with the addressee's address");
      if (!seen.insert(UpperCp866(pa.tag)).second) continue;
      const std::string text =
          "Post area " + pa.tag + ": type " + pa.baseType + " (" + BaseTypeName(pa.baseType) +
          "), path " + pa.path + ", description " +
          (pa.description.empty() ? "none" : "\"" + pa.description + "\"") + ", posts from " +
          AddressToText(pa.from) + " (" + (pa.from == configured ? configuredFrom : pa.fromWhy) +
          ")";
      report_.Line(text + ": " + LintBase(report_, env_, lookup.where, pa.baseType, pa.path));
    }
  }

  // What the next run does, found by running it in memory: the TIC files
  // it counts, the reports it posts and the exit code it ends with.
  void Summary() {
    App& dry = dry_.app();
    std::string posted;
    int posts = 0;
    PostCallback post = [&](const std::string& area, const std::string& result) {
      if (Cut(area).empty()) return;
      PostAnnouncement(dry.posting, dry.log, dry_.env(), area, result);
      if (dry.posting.entry.dueToday && dry.posting.errors == 0)
        posted += std::string(posts++ ? ", " : "") + Cut(area);
    };
    if (!dry_.failure().empty()) {
      report_.Line("Next run: counts " + std::to_string(dry_.waiting()) +
                   " TIC files; ends with \"" + dry_.failure() + "\"; exit code 2");
      return;
    }
    bool reported = false;
    if (run().statisticsToFile) {
      LoadedCallback exports = [&](const PeriodTables& tables, const PeriodHistory& history) {
        WriteExports(dry_.env(), dry.log, run().exports, tables, history);
      };
      try {
        reported = RunReports(dry_.env(), dry.log, dry.run, dry.report, dry.tables, post,
                              exports);
      } catch (const RunTimeError& e) {
        report_.Line("Next run: counts " + std::to_string(dry_.waiting()) +
                     " TIC files; ends with \"Run-time error: " + e.op() + " \"" + e.path() +
                     "\": " + SystemErrorText(e.err()) + "\"; exit code 2");
        return;
      }
    }
    const int code = dry.log.ErrorLines() > 0 || logUnwritable_ ? 3 : 0;
    report_.Line("Next run: counts " + std::to_string(dry_.waiting()) + " TIC files; " +
                 (!run().statisticsToFile ? "writes no report (-S off)"
                  : reported              ? "posts " + std::to_string(posts) + (posts == 1 ? " report" : " reports") +
                                   (posted.empty() ? "" : " (" + posted + ")")
                                          : "no statistics store, so no report and no post") +
                 "; exit code " + std::to_string(code));
  }

  bool LookUp(const std::string& tag, const std::string& where, AreaLookup& out) {
    const std::string& cfg = config().posting.areaDefineCfg;
    const int cfgLine = config().LineOf("AREADEFINECFG");
    const std::string cfgWhere = cfgLine > 0 ? config().Where(cfgLine) : where;
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
        report_.Problem(cfgWhere,
                        "AREADEFINECFG " + cfg + ": the format letter is not H, S or T",
                        "write H, S or T right before the path");
        return false;
    }
    if (out.result == kAreaConfigUnreadable) {
      report_.Problem(cfgWhere,
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
  DryRun dry_;
  CheckReport report_;
  std::vector<KnownWord> keywords_;
  bool logUnwritable_ = false;
};

}  // namespace

int RunCheck(App& app) { return Checker(app).Run(); }

}  // namespace vex
