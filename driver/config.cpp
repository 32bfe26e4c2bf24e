#include "driver/config.h"

#include "core/log.h"
#include "driver/command_line.h"
#include "platform/overlay_env.h"
#include "platform/path.h"
#include "posting/area_readers.h"
#include "posting/message_charset.h"
#include "posting/posting.h"
#include "util/known_words.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {

namespace {

constexpr size_t kGraphCharacters = 5;

void AddTemplate(RunSettings& run, const std::string& line) {
  std::string rest = RestOfLine(line);
  TemplateEntry entry;
  entry.templateFile = Cut(FirstWord(rest));
  // A single name gives no result name: the report then writes to the
  // result file setting, never over the template itself.
  if (rest.find(' ') != std::string::npos) {
    std::string s = RestOfLine(rest);
    if (s.find(' ') == std::string::npos) {
      entry.result = Cut(s);
    } else {
      entry.result = Cut(FirstWord(s));
      entry.announce = Cut(RestOfLine(s));
    }
  }
  run.templates.push_back(std::move(entry));
}

// The options that a configuration keyword sets as well.  A new keyword of
// the main table is one line in ApplyConfigLine; when an option sets the
// same thing, one row here too.
struct OptionKeyword {
  const char* option;
  const char* keyword;
  bool scan;  // read by the TICPATH lines below it only
};
constexpr OptionKeyword kOptionKeywords[] = {
    {"-P", "MAKEANNOUNCE", false}, {"-J", "SKIPDUPECH", true}, {"-F", "KILLTIC", true},
    {"-E", "TICEXT", true},        {"-O", "RESULTFILE", false},
};

// Reads the configuration into a Config, line by line.
class Reader {
 public:
  Reader(Env& env, const std::vector<std::string>& args)
      : env_(env), args_(args), quiet_(env), scratchLog_(quiet_) {}

  Config Read() {
    RunSettings& run = c_.run;
    InitPostingSettings(c_.posting, env_);
    run.configFile = Cut(ConfigFileFromCommandLine(args_, run.configFile));
    c_.file = run.configFile;
    ReadFile();
    if (!run.commandLineApplied) ApplyCommandLineHere(0);
    DefaultFromAddress(c_.posting, run.ownAddresses);
    c_.posting.resultUtf8 = run.resultUtf8;
    if (c_.endingOption.empty()) FindPostAreas();
    return std::move(c_);
  }

 private:
  void ReadFile() {
    int err = 0;
    std::unique_ptr<File> file;
    if (env_.Stat(c_.file).isDirectory)
      err = EISDIR;
    else
      file = env_.Open(c_.file, OpenMode::kRead, &err);
    if (!file) {
      c_.openError = err;
      FindCaseTwin();
      return;
    }
    c_.read = true;
    LineReader reader(*file, TextEncoding::kUtf8OrCp866);
    std::string line;
    for (int n = 1; reader.Next(line); ++n) {
      if (!IsConfigLine(line)) continue;
      c_.lines.emplace_back(n, line);
      if (c_.endingOption.empty()) Apply(n, line);
    }
  }

  // A DOS node's VEXSTAT.CFG beside a run that looks for vexstat.cfg.
  void FindCaseTwin() {
    const std::string name = NameOf(c_.file);
    for (const DirEntry& e : env_.Search(c_.file))
      if (e.name != name && UpperCp866(e.name) == UpperCp866(name)) {
        c_.caseTwin = c_.file.substr(0, c_.file.size() - name.size()) + e.name;
        return;
      }
  }

  void Apply(int n, const std::string& line) {
    RunSettings& run = c_.run;
    const std::string key = ApplyConfigLine(run, line);
    if (!key.empty()) c_.keywordLines[key] = n;
    if (key == "TPLFILENAME") c_.templateLines.push_back(n);
    if (key == "EXPORT") c_.exportLines.push_back(n);
    if (key == "LOGFILE") c_.steps.push_back({ConfigStep::kOpenLog, n, Cut(RestOfLine(line)), 0});
    if (key == "TICPATH") {
      // The first TICPATH applies the command line before its own scan
      // (only the command line cancels the scans).
      if (!run.commandLineApplied) ApplyCommandLineHere(n);
      if (!c_.endingOption.empty()) return;
      c_.ticPaths.push_back({Cut(RestOfLine(line)), n, run.ticMask, run.dupeCheck, run.killTic,
                             !run.scanCancelled});
      if (!run.scanCancelled)
        c_.steps.push_back({ConfigStep::kScan, n, "", c_.ticPaths.size() - 1});
      // The scan settings undo an option only for the TICPATH lines below.
      c_.undone.insert(c_.undone.end(), scanUndone_.begin(), scanUndone_.end());
      scanUndone_.clear();
    }
    // A line below the first TICPATH that sets what an option set undoes
    // the option.
    if (run.commandLineApplied && c_.commandLineLine > 0)
      for (const OptionKeyword& o : kOptionKeywords)
        if (key == o.keyword)
          for (const std::string& p : args_)
            if (OptionKey(p) == o.option)
              (o.scan ? scanUndone_ : c_.undone).push_back({p, o.keyword, n});
    // The posting reader's keywords, and what it logs about them.
    ApplyPostingLine(c_.posting, scratchLog_, quiet_, line);
    const std::string word = UpperCp866(FirstWord(line));
    if (key.empty() && !word.empty()) c_.keywordLines[word] = n;
    RecordReaderLines(n);
  }

  // The reader's log lines ("Error converting ..."): a run logs them where
  // the line stands, after the LOGFILE lines above it.
  void RecordReaderLines(int n) {
    const std::string& text = quiet_.console();
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(pos, end - pos);
      const size_t err = line.find("[err] ");
      if (err != std::string::npos)
        c_.steps.push_back({ConfigStep::kLogError, n, line.substr(err + 6), 0});
      pos = end + 1;
    }
    quiet_.ClearConsole();
  }

  void ApplyCommandLineHere(int n) {
    const size_t end = ApplyOptions(c_.run, args_);
    c_.commandLineLine = n;
    if (end < args_.size()) c_.endingOption = args_[end];
    c_.steps.push_back({ConfigStep::kCommandLine, n, c_.endingOption, 0});
  }

  // Looks every post area up with the poster's own lookup, in the order
  // the report run posts them.
  void FindPostAreas() {
    PostingSettings settings = c_.posting;
    if (!c_.run.makeAnnounce || !settings.entry.dueToday || settings.areaDefineCfg.empty())
      return;
    std::string why = settings.entry.fromAddressGiven ? "FROMADDR"
                      : c_.run.ownAddresses.empty()   ? "no FROMADDR, no ADDRESS"
                                                      : "the first ADDRESS";
    for (size_t i = 0; i < c_.run.templates.size(); ++i) {
      PostEntry& e = settings.entry;
      e.areaTag = Cut(c_.run.templates[i].announce);
      if (e.areaTag.empty()) continue;
      const FtnAddress before = e.fromAddress;
      LookUpArea(settings, scratchLog_, quiet_);
      quiet_.ClearConsole();
      if (!(e.fromAddress == before)) why = "the -a of area " + e.areaTag;
      c_.postAreas.push_back({i, e.areaTag, !e.areaPath.empty(), e.baseType, e.areaPath,
                              e.areaDescription, e.areaKind, e.fromAddress, why});
    }
  }

  Env& env_;
  const std::vector<std::string>& args_;
  // The readers' log lines and the lookup's reads go through here, unseen.
  OverlayEnv quiet_;
  LogContext scratchLog_;
  Config c_;
  std::vector<UndoneOption> scanUndone_;  // waiting for a TICPATH below them
};

}  // namespace

std::string ApplyConfigLine(RunSettings& run, const std::string& line) {
  // One line per keyword: the keyword it sets, or "" for none.
  if (KeywordIs(line, "ADDRESS")) {
    FtnAddress address;
    // Blanks and tabs after the address are no part of it.
    ParseFieldAddress(TrimTrailingBlanksAndTabs(RestOfLine(line)), address);
    run.ownAddresses.push_back(address);
    return "ADDRESS";
  }
  if (SetStringOption(line, "RESULTFILE", run.resultFile)) return "RESULTFILE";
  // Result files in UTF-8 instead of CP866.
  if (KeywordIs(line, "RESULTCHARSET")) {
    run.resultUtf8 = NamesUtf8(RestOfLine(line));
    return "RESULTCHARSET";
  }
  if (SetNumberOption(line, "SCREENLENGTH", run.screenLength)) return "SCREENLENGTH";
  if (SetBoolOption(line, "SKIPDUPECH", run.dupeCheck)) return "SKIPDUPECH";
  if (SetStringOption(line, "TICEXT", run.ticMask)) return "TICEXT";
  if (SetBoolOption(line, "KILLTIC", run.killTic)) return "KILLTIC";
  if (SetBoolOption(line, "MAKEANNOUNCE", run.makeAnnounce)) return "MAKEANNOUNCE";
  if (SetNumberOption(line, "NOTESILENTDAYS", run.noteSilentDays)) return "NOTESILENTDAYS";
  if (SetNumberOption(line, "NOTESPIKE", run.noteSpike)) return "NOTESPIKE";
  if (SetStringOption(line, "NODELIST", run.nodelist)) return "NODELIST";
  if (KeywordIs(line, "TPLFILENAME")) {
    AddTemplate(run, line);
    return "TPLFILENAME";
  }
  if (KeywordIs(line, "EXPORT")) {
    const std::string rest = RestOfLine(line);
    const bool file = rest.find(' ') != std::string::npos;
    run.exports.push_back({Cut(FirstWord(rest)), file ? Cut(RestOfLine(rest)) : ""});
    return "EXPORT";
  }
  if (KeywordIs(line, "LOGFILE")) return "LOGFILE";
  if (KeywordIs(line, "USECHAR")) {
    // Positions the value does not reach are spaces.
    std::string v = RestOfLine(line);
    v.resize(kGraphCharacters, ' ');
    run.useChar = v;
    return "USECHAR";
  }
  if (KeywordIs(line, "TICPATH")) return "TICPATH";
  return "";
}

Config ReadConfig(Env& env, const std::vector<std::string>& args) {
  return Reader(env, args).Read();
}

std::vector<std::string> ConfigNotReadLines(const Config& config) {
  if (config.read) return {};
  std::vector<std::string> out = {"Config file " + config.file + " not read (" +
                                  SystemErrorText(config.openError) +
                                  "), running with defaults"};
  if (!config.caseTwin.empty())
    out.push_back("   " + config.caseTwin +
                  " is there: file names differ in letter case on Linux; rename it to " +
                  config.file + " or give -C" + config.caseTwin);
  return out;
}

}  // namespace vex
