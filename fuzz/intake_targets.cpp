// Targets over the TIC reader and the configuration file.
#include "core/stat_record.h"
#include "core/stat_store.h"
#include "driver/driver.h"
#include "fuzz/fuzz_targets.h"
#include "intake/tic_scan.h"
#include "platform/exit.h"
#include "testenv/mem_env.h"

namespace vex::fuzz {

// Input: a TIC file, then optionally the existing stat.vx and dupes.vx.
// The TIC file is scanned from an inbound directory and deleted after.
int FuzzTic(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = SplitInput(data, size, 3);
  MemEnv env;
  env.SetNow(FuzzNow());
  env.SetFile("in/a.tic", parts[0]);
  if (parts.size() > 1) env.SetFile(kStatStoreName, parts[1]);
  if (parts.size() > 2) env.SetFile("dupes.vx", parts[2]);
  LogContext log(env);
  RunSettings run;
  run.killTic = true;
  try {
    ScanTicDirectory(env, log, run, "in/", run.ticMask);
  } catch (const RunTimeError&) {
    return 0;
  }
  // The store stays a sequence of whole records whatever it held before.
  Check(env.GetFile(kStatStoreName).size() % kStatRecordSize == 0,
        "stat.vx holds whole records after a scan");
  Check(env.OpenFileCount() == 0, "no file left open after a scan");
  return 0;
}

// Input: the configuration file, then optionally the command line (one
// parameter per line), a TIC file in in/, stat.vx, a template t.tpl and an
// area configuration file "areas".  The whole driver runs over them.
int FuzzConfig(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = SplitInput(data, size, 6);
  MemEnv env;
  env.SetNow(FuzzNow());
  env.SetFile("vexstat.cfg", parts[0]);
  std::vector<std::string> args;
  std::string line;
  for (char c : Part(parts, 1)) {
    if (c != '\n') {
      line += c;
    } else if (!line.empty()) {
      args.push_back(line), line.clear();
    }
  }
  if (!line.empty()) args.push_back(line);
  if (args.size() > 8) args.resize(8);
  if (parts.size() > 2) env.SetFile("in/a.tic", parts[2]);
  if (parts.size() > 3) env.SetFile(kStatStoreName, parts[3]);
  if (parts.size() > 4) env.SetFile("t.tpl", parts[4]);
  if (parts.size() > 5) env.SetFile("areas", parts[5]);
  App app(env, args);
  try {
    RunDriver(app);
  } catch (const ProgramExit&) {
  } catch (const RunTimeError&) {
  }
  return 0;
}

}  // namespace vex::fuzz
