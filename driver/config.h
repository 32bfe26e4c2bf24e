// The configuration as one value.  The reader only reads: the file, with the
// command line applied where a run applies it, becomes a Config, and the
// run, the check, the preview and the export all act on that value.  What a
// run does while it reads (open the log at a LOGFILE line, apply the command
// line and scan at a TICPATH line) is recorded as steps in file order, so
// that the order rules of the configuration hold exactly.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "core/run_settings.h"
#include "platform/env.h"
#include "posting/posting_settings.h"
#include "util/address.h"

namespace vex {

// One TICPATH line, with the settings its scan uses: the mask, the dupe
// check and the delete flag in force when the line is read.
struct TicPathEntry {
  std::string value;  // the path as written
  int line = 0;
  std::string mask;
  bool dupeCheck = true;
  bool killTic = false;
  bool scanned = true;  // false under -R
};

// What a run does, in file order, while it reads the configuration.
struct ConfigStep {
  enum Kind {
    kOpenLog,      // a LOGFILE line: text is the log file name
    kCommandLine,  // the command line is applied here (line 0: after the file)
    kScan,         // a TICPATH line: index into ticPaths
    kLogError,     // a reader's "[err]" line: text
  };
  Kind kind;
  int line = 0;
  std::string text;
  size_t index = 0;
};

// A command-line option whose setting a configuration line below the place
// where the command line is applied sets again.
struct UndoneOption {
  std::string option;   // as given, such as "-P"
  std::string keyword;  // such as "MAKEANNOUNCE"
  int line = 0;         // the line that sets it again
};

// Where the report of one template entry is posted, found by the poster's
// own lookup in template order (an area without an address of its own posts
// from what the area before it left).
struct PostArea {
  size_t entry = 0;  // index into run.templates
  std::string tag;
  bool found = false;  // the area file defines it
  std::string baseType, path, description;
  char kind = 'N';
  FtnAddress from;
  std::string fromWhy;  // "FROMADDR", "the first ADDRESS", "the -a of area X", ...
};

struct Config {
  std::string file;  // the configuration file read
  bool read = false;
  int openError = 0;      // errno when it could not be read
  std::string caseTwin;   // a file of the same name in another letter case
  // Every configuration line (no comments), with its number.
  std::vector<std::pair<int, std::string>> lines;

  RunSettings run;          // as the whole file and the command line leave them
  PostingSettings posting;  // the same for the posting keywords
  std::vector<ConfigStep> steps;
  std::vector<TicPathEntry> ticPaths;
  std::vector<int> templateLines;  // the TPLFILENAME line of each entry
  std::vector<int> exportLines;    // the EXPORT line of each entry
  // The last line that set each keyword (upper case).
  std::map<std::string, int> keywordLines;
  // The line at which the command line is applied; 0 when after the file.
  int commandLineLine = 0;
  // The parameter that ends the run when the command line is applied (-K,
  // -L<n>, the help); empty when none.  Nothing after it is applied.
  std::string endingOption;
  std::vector<UndoneOption> undone;
  // Filled when posting is on and due today, with an area file configured.
  std::vector<PostArea> postAreas;

  std::string Where(int line) const { return file + ":" + std::to_string(line); }
  int LineOf(const std::string& keyword) const {
    auto it = keywordLines.find(keyword);
    return it == keywordLines.end() ? 0 : it->second;
  }
};

// Reads the configuration named by -C (or vexstat.cfg) with the command
// line args.  Reads files only: nothing is written, logged or scanned.
Config ReadConfig(Env& env, const std::vector<std::string>& args);

// Applies one line to the main keyword table of run; returns the keyword
// that the line set (upper case), or "" when it set none.  LOGFILE and
// TICPATH are returned but not acted on.
std::string ApplyConfigLine(RunSettings& run, const std::string& line);

// The console line of a run whose configuration file could not be read,
// and the line after it naming a file of the same name in another case.
std::vector<std::string> ConfigNotReadLines(const Config& config);

}  // namespace vex
