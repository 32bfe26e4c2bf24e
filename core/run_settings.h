// The run settings: filled by the configuration file and the command line,
// read by every subsystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/address.h"

namespace vex {

inline constexpr const char* kProgramName = "Vexstat {v4.5.Win.rc}";

// One configured report.
struct TemplateEntry {
  std::string templateFile;  // the template file name
  std::string result;        // the result file name (empty: RESULTFILE)
  std::string announce;      // echo area to post into; empty when none
};

// One EXPORT line: a format (json, csv, metrics) and the file it replaces.
struct ExportEntry {
  std::string format;
  std::string file;
};

struct RunSettings {
  std::vector<FtnAddress> ownAddresses;     // ADDRESS
  std::string resultFile = "tic_stat.txt";  // RESULTFILE, -O
  bool resultUtf8 = false;                  // RESULTCHARSET UTF-8
  std::vector<ExportEntry> exports;         // EXPORT
  int32_t screenLength = 79;                // SCREENLENGTH
  bool dupeCheck = true;                    // SKIPDUPECH, -J
  std::string ticMask = "*.tic";            // TICEXT, -E
  bool killTic = false;                     // KILLTIC, -F
  bool makeAnnounce = false;                // MAKEANNOUNCE, -P
  std::vector<TemplateEntry> templates;     // TPLFILENAME
  std::string useChar = "\xFE\xF9\x2A\xFA\xDB";  // USECHAR
  std::string configFile = "vexstat.cfg";   // -C
  bool scanCancelled = false;               // -R
  bool statisticsToFile = true;             // -S
  bool statisticsOnScreen = false;          // -I
  int16_t periodStart = 31;                 // N1, -D
  int16_t periodEnd = 0;                    // N2, -D
  bool commandLineApplied = false;
  // Notes on what changed: an area or link is silent when its last file
  // lies at least this many days (at most the whole period) before the
  // period's end and it had files in this or the previous period
  // (NOTESILENTDAYS); an area spikes when it carries this many times its
  // volume of the previous period (NOTESPIKE).  0 turns either off.
  int32_t noteSilentDays = 14;
  int32_t noteSpike = 5;
  // The nodelist the names of the systems come from (NODELIST): a file,
  // or a base name whose newest NAME.nnn is read; empty for none.
  std::string nodelist;
  // TIC files that enter the stores together, with one journal commit and
  // one sync of each store.
  size_t ticBatchSize = 1000;
  // Bytes of stat.vx the report reads: a run without the run lock stops
  // before a batch that is still being written.
  uint64_t statReadLimit = UINT64_MAX;
};

}  // namespace vex
