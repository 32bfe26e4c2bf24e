// Power cuts at every moment of a run.  Each row records one run (an
// intake, a purge, a post into a new or an existing base, a report run
// with its result files and exports) over an in-memory
// file system, then visits every state a power cut may leave on the disk
// (testenv/power_cut_env.h), runs the next run on it and checks what the
// sysop relies on: every TIC file counts exactly once; every base reads
// whole, before and after the next run, in the library's read-only reader
// and in an independent one that follows the header, chains and index
// (base_walk.h); it keeps every message that was there and every one the
// run reported as posted, takes the next post, and is left without
// temporary files; every result file and export is absent, old or new,
// each whole, and the next run makes them new.
//
// VEX_POWERCUT_SAMPLES, VEX_POWERCUT_BOUND and VEX_POWERCUT_SEED set the
// random subsets per sync point, the count of unsynced operations up to
// which every subset is tried, and the seed, for a deeper run by hand.
// VEX_POWERCUT_SECTOR=1 tears overwrites at any byte, not only at 512-byte
// sector boundaries.
// VEX_POWERCUT_SHOW sets how many wrong states are described (default 8).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/run_settings.h"
#include "driver/export_run.h"
#include "intake/intake_journal.h"
#include "intake/maintenance.h"
#include "intake/tic_scan.h"
#include "msgbase/base.h"
#include "platform/exit.h"
#include "posting/posting.h"
#include "posting/posting_settings.h"
#include "report/report_run.h"
#include "testenv/mem_env.h"
#include "testenv/power_cut_env.h"
#include "util/coding.h"
#include "tests/powercut/base_walk.h"

namespace vex {
namespace {

enum class Run { kIntake, kPurge, kPost, kReport };

struct Row {
  const char* name;
  Run run;
  bool killTic;          // intake: the TIC files are deleted
  const char* baseType;  // post: the area file's word, and the area id's letter
  char letter;
  bool existing;         // post: the base holds two messages before the run
  bool deleted = false;  // post: and the first of them was deleted
};

const Row kRows[] = {
    {"IntakeDeletingTics", Run::kIntake, true, "", 0, false},
    {"IntakeKeepingTics", Run::kIntake, false, "", 0, false},
    {"Purge", Run::kPurge, false, "", 0, false},
    {"PostNewJam", Run::kPost, false, "Jam", 'J', false},
    {"PostExistingJam", Run::kPost, false, "Jam", 'J', true},
    {"PostNewSquish", Run::kPost, false, "Squish", 'S', false},
    {"PostExistingSquish", Run::kPost, false, "Squish", 'S', true},
    // A deleted message leaves a free frame that a new message may take.
    {"PostSquishAfterDeletion", Run::kPost, false, "Squish", 'S', true, true},
    {"PostNewMsg", Run::kPost, false, "Msg", 'M', false},
    {"PostExistingMsg", Run::kPost, false, "Msg", 'M', true},
    {"Report", Run::kReport, false, "", 0, false},
};

// The report row's files: each result file and export, and what it held
// before the run ("" when it did not exist).
const std::vector<std::pair<std::string, std::string>> kReportFiles = {
    {"out/week.txt", "old week report\r\n"}, {"out/month.txt", ""},
    {"out/vexstat.json", "{\"old\": 1}\n"}, {"out/vexstat.csv", ""}, {"out/vexstat.prom", ""},
};

// One report run, as the driver makes it: the exports once the period is
// loaded, then the result files.  The week's report spans a few pages.
void ReportRun(Env& env) {
  LogContext log(env);
  RunSettings run;
  run.templates = {{"week.tpl", "out/week.txt", ""}, {"month.tpl", "out/month.txt", ""}};
  run.exports = {{"json", "out/vexstat.json"}, {"csv", "out/vexstat.csv"}, {"metrics", "out/vexstat.prom"}};
  ReportSettings settings;
  PeriodTables tables;
  if (!RunReports(env, log, run, settings, tables, nullptr, [&](const PeriodTables& t, const PeriodHistory& h) {
        WriteExports(env, log, run.exports, t, h);
      }))
    ADD_FAILURE() << "the report run found no statistics store";
}

int EnvNumber(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

constexpr int kTics = 6, kOldTics = 3;
const char* const kArea = "fido/stats";

ClockTime Today() {
  ClockTime t;
  t.year = 2026, t.month = 12, t.day = 8, t.hour = 12, t.weekday = 2;
  return t;
}

// Counts the length-prefixed strings at `offset` of each record.
std::map<std::string, int> Count(const std::string& store, size_t size, size_t offset) {
  std::map<std::string, int> out;
  if (store.size() % size != 0) ++out["(a partial record)"];
  for (size_t at = 0; at + size <= store.size(); at += size) {
    ++out[store.substr(at + offset + 1, static_cast<unsigned char>(store[at + offset]))];
  }
  return out;
}

// The report of post `id`: `sections` messages of three lines each (the
// section size is 100 bytes).
std::string ReportLine(const std::string& mark, int line) {
  std::string s = mark + " line " + std::to_string(line) + " ";
  return s + std::string(40 - s.size(), '=');
}
std::string Report(const std::string& id, int sections) {
  std::string text;
  for (int s = 1; s <= sections; ++s) {
    for (int l = 1; l <= 3; ++l) text += ReportLine("mark:" + id + "." + std::to_string(s), l) + "\r\n";
  }
  return text;
}

// One posting run, as the driver makes it.
void Post(Env& env, const std::string& report) {
  PostingSettings settings;
  LogContext log(env);
  InitPostingSettings(settings, env);
  for (const char* line : {"FROMADDR 2:5020/123", "TOADDR 2:5020/1", "SUBJ Stats",
                           "PATHTOECHOTOSSLOG echotoss.log", "AREADEFINECFG Hareas",
                           "SECTIONSIZE 100"}) {
    ApplyPostingLine(settings, log, env, line);
  }
  PostAnnouncement(settings, log, env, "STATS", report);
}

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// What a reader that changes nothing finds in the base: the mark of every
// message, or why the base or a message cannot be read.
struct BaseView {
  bool opened = false;
  std::string problem;  // "cause: detail", empty when whole
  std::vector<std::string> marks;
  int32_t counted = 0;  // by the base's own header
};

// Takes the mark of a message whose text (control lines included) is
// `text`; false, with the problem noted, when the message is not whole.
bool TakeMark(BaseView& view, const std::string& number, const std::string& text) {
  const size_t at = text.find("mark:");
  const std::string mark = at == std::string::npos ? "" : text.substr(at, text.find(' ', at) - at);
  bool whole = !mark.empty() && text.find(" * Origin: ") != std::string::npos;
  for (int l = 1; whole && l <= 3; ++l) whole = text.find(ReportLine(mark, l)) != std::string::npos;
  if (!whole) {
    view.problem = "a message is not whole: number " + number + " (" + (mark.empty() ? "no mark" : mark) + ")";
    return false;
  }
  view.marks.push_back(mark.substr(5));
  return true;
}

// A base through the value interface: its count is its listing (the
// independent walker checks the Squish header's count).
BaseView ReadByValue(Env& env, char letter) {
  BaseView view;
  std::unique_ptr<Base> b;
  const Status st = OpenBase(env, letter + std::string(kArea), BaseMode::kReadOnly, &b);
  if (!st.ok()) {
    view.problem = "the base does not open for reading: " + st.sentence();
    return view;
  }
  view.opened = true;
  std::vector<uint32_t> numbers;
  if (!b->List(&numbers).ok()) view.problem = "the base does not list";
  for (uint32_t n : numbers) {
    Message m;
    if (!b->Read(n, &m).ok()) {
      view.problem = "a listed message does not read: number " + std::to_string(n);
      break;
    }
    std::string text;
    for (const std::string& k : m.kludges) text += "\x01" + k + "\r";
    for (const std::string& line : m.text) text += line + "\r";
    if (!TakeMark(view, std::to_string(n), text)) break;
  }
  view.counted = static_cast<int32_t>(numbers.size());
  b->Close();
  return view;
}

BaseView ReadBase(Env& env, char letter, bool afterNextRun) {
  if (letter == 'J') {
    // The base's own count, the active count of its base header, is
    // compared with its listing.
    BaseView view = ReadByValue(env, 'J');
    int err = 0;
    char count[4] = {};
    std::unique_ptr<File> jhr = env.Open(std::string(kArea) + ".jhr", OpenMode::kRead, &err);
    if (jhr && jhr->ReadAt(12, count, 4) == 4) {
      const int32_t listed = view.counted;
      view.counted = static_cast<int32_t>(GetU32(count));
      if (view.problem.empty() && (afterNextRun ? view.counted != listed : view.counted > listed))
        view.problem = "the base's count disagrees with its messages: " + std::to_string(view.counted) +
                       " counted, " + std::to_string(listed) + " listed";
    }
    return view;
  }
  return ReadByValue(env, letter);
}

// The independent reader of the row's format ("" when it has none).
std::string Walk(const Row& row, MemEnv& fs, bool settled) {
  const std::string p = kArea;
  if (row.letter == 'S') return powercut::WalkSquish(fs.GetFile(p + ".sqd"), fs.GetFile(p + ".sqi"), settled);
  if (row.letter == 'J') {
    return powercut::WalkJam(fs.GetFile(p + ".jhr"), fs.GetFile(p + ".jdx"), fs.GetFile(p + ".jdt"), settled);
  }
  return "";
}

// A wrong state's cause: its sentence with the numbers left out.
std::string Cause(const std::string& broken) {
  std::string out;
  for (char c : broken) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      out += c;
    } else if (out.empty() || out.back() != '#') {
      out += '#';
    }
  }
  return out.substr(0, 160);
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class PowerCutTest : public ::testing::TestWithParam<Row> {
 protected:
  // The node before the recorded run; all of it is durable.
  void SetUp() override {
    const Row& row = GetParam();
    live_.SetNow(Today());
    if (row.run == Run::kPost) {
      live_.AddDirectory("fido");
      live_.SetFile("areas", std::string("EchoArea STATS ") + kArea + " -b " + row.baseType + "\n");
      live_.SetFile("echotoss.log", "");
      for (const char* id : {"P", "Q", "R", "N"}) live_.SetFile(std::string(id) + ".txt", Report(id, id[0] == 'R' ? 2 : 1));
      if (row.existing) {
        Post(live_, "P.txt");
        Post(live_, "Q.txt");
      }
      if (row.deleted) {
        std::unique_ptr<Base> b;
        std::vector<uint32_t> numbers;
        ASSERT_TRUE(OpenBase(live_, row.letter + std::string(kArea), BaseMode::kWrite, &b).ok());
        ASSERT_TRUE(b->List(&numbers).ok() && !numbers.empty());
        ASSERT_TRUE(b->Delete(numbers[0]).ok());
        ASSERT_TRUE(b->Close().ok());
      }
      return;
    }
    for (int i = 0; i < kTics; ++i) {
      const std::string path = "in/t" + std::to_string(i) + ".tic";
      live_.SetFile(path, "Area T" + std::to_string(i) + "\r\nSize " + std::to_string(i) + "\r\n");
      FileTime t = ToFileTime(Today());
      if (i < kOldTics) t.year -= 1;
      live_.SetModTime(path, t);
    }
    if (row.run == Run::kPurge || row.run == Run::kReport) Intake(live_, false);
    if (row.run == Run::kReport) {
      std::string week;
      for (int i = 0; i < 500; ++i) week += "line " + std::to_string(i) + ": @TOTALFILES files\n";
      live_.SetFile("week.tpl", week);
      live_.SetFile("month.tpl", "@TOTALFILES files\n");
      for (const auto& [file, old] : kReportFiles) {
        if (!old.empty()) live_.SetFile(file, old);
      }
    }
  }

  static void Intake(Env& env, bool killTic) {
    LogContext log(env);
    RunSettings run;
    run.killTic = killTic;
    run.ticBatchSize = 2;
    RecoverIntake(env);
    ScanTicDirectory(env, log, run, "in/", "*.tic");
  }

  // The run itself, or the next one on a crash state.
  static void DoRun(const Row& row, Env& env) {
    if (row.run == Run::kIntake) {
      Intake(env, row.killTic);
    } else if (row.run == Run::kPurge) {
      LogContext log(env);
      RecoverIntake(env);
      PurgeStatistics(env, log, "-L30");
    } else if (row.run == Run::kReport) {
      ReportRun(env);
    } else {
      Post(env, "R.txt");
    }
  }

  // Checks one crash state; returns "cause: detail" for the first thing
  // wrong, or "".
  static std::string Check(const Row& row, const std::string& reported, MemEnv& fs,
                           const std::map<std::string, std::string>& made) {
    if (row.run == Run::kReport) {
      for (const auto& [file, old] : kReportFiles) {
        const std::string now = fs.GetFile(file);
        if (!(now == made.at(file) || (fs.HasFile(file) ? now == old && !old.empty() : old.empty())))
          return "a file is neither old nor new: " + file + " holds " + std::to_string(now.size()) + " bytes";
      }
      try {
        DoRun(row, fs);
      } catch (const RunTimeError& e) {
        return std::string("the next run failed: ") + e.what();
      }
      for (const auto& [file, old] : kReportFiles) {
        if (fs.GetFile(file) != made.at(file)) return "the next run did not make a file new: " + file;
      }
      for (const std::string& dir : {std::string(""), std::string("out")}) {
        const std::vector<std::string> left = fs.HiddenNames(dir);
        if (!left.empty()) return "after the next run, a temporary file is left: " + dir + "/" + left[0];
      }
      return "";
    }
    if (row.run != Run::kPost) {
      try {
        DoRun(row, fs);
      } catch (const RunTimeError& e) {
        return std::string("the next run failed: ") + e.what();
      }
      const auto areas = Count(fs.GetFile("stat.vx"), 552, 24);
      const auto names = Count(fs.GetFile("dupes.vx"), 13, 0);
      for (int i = 0; i < kTics; ++i) {
        const std::string n = std::to_string(i);
        const int want = row.run == Run::kPurge && i < kOldTics ? 0 : 1;
        auto a = areas.find("T" + n);
        const int got = a == areas.end() ? 0 : a->second;
        if (got != want) return "a TIC file is not counted exactly once: T" + n + " has " + std::to_string(got) + " records";
        auto d = names.find("t" + n + ".tic");
        if (d == names.end() || d->second != 1) return "a TIC name is not remembered exactly once: t" + n + ".tic";
        if (fs.HasFile("in/t" + n + ".tic") == row.killTic) return "a TIC file was not deleted (or was lost): t" + n + ".tic";
      }
      if (areas.size() != static_cast<size_t>(kTics - (row.run == Run::kPurge ? kOldTics : 0)) || names.size() != static_cast<size_t>(kTics))
        return "a store holds records of no TIC file: " + std::to_string(areas.size()) + " areas";
      if (fs.HasFile(kIntakeJournalName) || fs.HasFile(kPurgeTempName)) return "the next run left its journal or copy";
      return "";
    }

    // What must be in the base: what was there, and what the run reported.
    std::vector<std::string> must;
    if (row.existing) must = {"P.1", "Q.1"};
    if (row.deleted) must = {"Q.1"};
    const int posted = CountOf(reported, "- Ok...");
    for (int s = 1; s <= posted; ++s) must.push_back("R." + std::to_string(s));
    auto missing = [&](const BaseView& v, const std::vector<std::string>& want) -> std::string {
      std::multiset<std::string> have(v.marks.begin(), v.marks.end());
      for (const std::string& m : want) {
        if (!have.count(m)) return m;
      }
      for (const std::string& m : v.marks) {
        if (have.count(m) > 1) return m + " (twice)";
        if (row.deleted && m == "P.1") return m + " (deleted, yet back)";
      }
      return "";
    };

    BaseView before = ReadBase(fs, row.letter, false);
    if (before.opened || !must.empty()) {
      if (!before.problem.empty()) return "before the next run, " + before.problem;
      const std::string m = missing(before, must);
      if (!m.empty()) return "before the next run, a message is missing: " + m;
      const std::string walked = Walk(row, fs, false);
      if (!walked.empty()) return "before the next run, the base's chains and index: " + walked;
    }
    const size_t consoleBefore = fs.console().size();
    Post(fs, "N.txt");
    const std::string next = fs.console().substr(consoleBefore);
    if (CountOf(next, "- Ok...") != 1 || next.find("[err]") != std::string::npos) {
      std::string err = next.substr(next.find("[err]") == std::string::npos ? 0 : next.find("[err]"));
      return "the next post failed: " + err.substr(0, err.find('\n'));
    }
    BaseView after = ReadBase(fs, row.letter, true);
    if (!after.problem.empty()) return "after the next post, " + after.problem;
    const std::string walked = Walk(row, fs, true);
    if (!walked.empty()) return "after the next post, the base's chains and index: " + walked;
    for (const std::string& dir : {std::string("fido"), std::string(kArea)}) {
      const std::vector<std::string> left = fs.HiddenNames(dir);
      if (!left.empty()) return "after the next post, a temporary file is left: " + dir + "/" + left[0];
    }
    // Nothing a reader could read within the count is dropped.
    must.insert(must.end(), before.marks.begin(),
                before.marks.begin() + std::min<size_t>(before.marks.size(), std::max(before.counted, 0)));
    must.push_back("N.1");
    const std::string m = missing(after, must);
    if (!m.empty()) return "after the next post, a message is missing: " + m;
    return "";
  }

  MemEnv live_;
};

TEST_P(PowerCutTest, EveryStateAfterACutAndTheNextRun) {
  const Row& row = GetParam();
  PowerCutEnv recorder(live_);
  try {
    DoRun(row, recorder);
  } catch (const RunTimeError& e) {
    FAIL() << "the recorded run failed: " << e.what();
  }
  ASSERT_EQ(recorder.unsupported(), "");
  std::map<std::string, std::string> made;  // what the run made of the report row's files
  for (const auto& [file, old] : kReportFiles) made[file] = live_.GetFile(file);
  if (row.run == Run::kReport) {
    ASSERT_GT(made["out/week.txt"].size(), 8192u);
    ASSERT_NE(made["out/vexstat.json"], kReportFiles[2].second);
  }
  const std::string console = recorder.ConsoleBefore(recorder.ops().size());
  if (row.run == Run::kPost) {
    ASSERT_EQ(CountOf(console, "- Ok..."), 2) << console;
  }

  PowerCutOptions options;
  options.samples = EnvNumber("VEX_POWERCUT_SAMPLES", options.samples);
  options.subsetBound = EnvNumber("VEX_POWERCUT_BOUND", options.subsetBound);
  options.seed = static_cast<uint64_t>(EnvNumber("VEX_POWERCUT_SEED", 1));
  options.sector = EnvNumber("VEX_POWERCUT_SECTOR", options.sector);
  size_t wrong = 0;
  std::map<std::string, int> causes;
  std::string shown;
  const size_t checked = recorder.ForEachCrashState(options, [&](const CrashState& state, MemEnv& fs) {
    const std::string broken = Check(row, recorder.ConsoleBefore(state.cut), fs, made);
    if (broken.empty()) return;
    ++causes[Cause(broken)];
    if (++wrong <= static_cast<size_t>(EnvNumber("VEX_POWERCUT_SHOW", 8))) shown += "\n" + recorder.Describe(state) + "\n  broken: " + broken;
  });
  std::cout << "[ power cut ] " << row.name << ": " << recorder.ops().size() << " operations, "
            << checked << " states checked, " << wrong << " wrong\n";
  RecordProperty("states", static_cast<int>(checked));
  RecordProperty("wrong", static_cast<int>(wrong));
  std::string summary;
  for (const auto& [cause, n] : causes) summary += "\n  " + std::to_string(n) + " x " + cause;
  EXPECT_EQ(wrong, 0u) << row.name << ": " << wrong << " of " << checked << " states wrong, by cause:" << summary
                       << "\nThe first of them:" << shown;
}

INSTANTIATE_TEST_SUITE_P(Runs, PowerCutTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex
