#include "driver/command_line.h"

#include "intake/maintenance.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "util/number.h"
#include "util/text.h"

namespace vex {

namespace {

bool AsksForHelp(const std::string& p) {
  if (!p.empty() && p[0] == '?') return true;
  if (p.size() >= 2 && (p[1] == '?' || UpperCp866(p.substr(1, 1)) == "H"))
    return true;
  return false;
}

std::string Argument(const std::string& p) { return Cut(p.size() > 2 ? p.substr(2) : ""); }

int16_t Short(const std::string& text) {
  return static_cast<int16_t>(NumberValue(text));
}

void SetPeriod(RunSettings& run, const std::string& p) {
  size_t slash = p.find('/');
  if (slash == std::string::npos) {
    run.periodStart = Short(Argument(p));
    return;
  }
  std::string first = slash > 2 ? p.substr(2, slash - 2) : std::string();
  run.periodStart = Short(first);
  run.periodEnd = Short(p.substr(slash + 1));
}

// A maintenance action is the whole run: whatever its result (its log
// lines tell which), the program ends with code 0 once it returns.
[[noreturn]] void EndAfterMaintenance(MaintenanceResult) {
  throw ProgramExit{0};
}

// How a known parameter is written.
enum class Form {
  kLetter,       // "-X" exactly (either case)
  kLetterValue,  // "-X" and its value written right after it
  kHelp,         // the help screen: see AsksForHelp
  kLong,         // "--name" exactly
  kLongValue,    // "--name=value"
};

// Every parameter the program knows, with its line of the --help usage.
// A new option is one row here (and its handling where it acts).
struct KnownOption {
  const char* spelling;
  Form form;
  const char* usage;
};

constexpr KnownOption kOptions[] = {
    {"-D", Form::kLetterValue,
     "  -D<N1>[/<N2>]   report from N1 days back (default 31) to N2 days back (0)"},
    {"-C", Form::kLetterValue,
     "  -C<file>        read <file> instead of vexstat.cfg"},
    {"-S", Form::kLetter,
     "  -S              write the reports to their result files (the default)"},
    {"-P", Form::kLetter,
     "  -P              toggle posting (MAKEANNOUNCE of the lines above TICPATH)"},
    {"-E", Form::kLetterValue,
     "  -E<mask>        the TIC file mask (default *.tic)"},
    {"-O", Form::kLetterValue,
     "  -O<file>        the result file of templates configured without one"},
    {"-R", Form::kLetter,
     "  -R              do not scan the TIC directories"},
    {"-K", Form::kLetter,
     "  -K              forget the TIC file names counted (dupes.vx) and exit"},
    {"-L", Form::kLetterValue,
     "  -L<n>           keep only the statistics of the last <n> days and exit"},
    {"-J", Form::kLetter,
     "  -J              toggle the dupe check"},
    {"-F", Form::kLetter,
     "  -F              toggle deleting the TIC files after reading"},
    {"-I", Form::kLetter,
     "  -I              toggle copying the reports to the console"},
    {"-?", Form::kHelp,
     "  -?, -H          the short help screen (in Russian) and exit"},
    {"--check", Form::kLong,
     "      --check     check the configuration; write and post nothing"},
    {"--preview", Form::kLong,
     "      --preview   show what the next run would post; change nothing"},
    {"--export", Form::kLongValue,
     "      --export=FORMAT[:FILE]  the period's figures as json, csv or metrics"},
    {"--help", Form::kLong,
     "      --help      show this usage and exit"},
    {"--version", Form::kLong,
     "      --version   show the version and exit"},
};

bool Matches(const KnownOption& o, const std::string& p) {
  const std::string name = o.spelling;
  switch (o.form) {
    case Form::kLetter:
      return p.size() == 2 && OptionKey(p) == name;
    case Form::kLetterValue:
      return p.size() >= 2 && OptionKey(p) == name;
    case Form::kHelp:
      return AsksForHelp(p);
    case Form::kLong:
      return p == name;
    case Form::kLongValue:
      return p.size() > name.size() + 1 && p.compare(0, name.size(), name) == 0 &&
             p[name.size()] == '=';
  }
  return false;
}

}  // namespace

std::string OptionKey(const std::string& p) {
  std::string key = p.substr(0, 2);
  if (key.size() == 2) key = key.substr(0, 1) + UpperCp866(key.substr(1));
  return key;
}

void ApplyCommandLine(App& app) {
  const size_t end = ApplyOptions(app.run, app.args);
  if (end < app.args.size()) EndTheRun(app, app.args[end]);
}

void EndTheRun(App& app, const std::string& p) {
  const std::string key = OptionKey(p);
  if (key == "-K") EndAfterMaintenance(ResetDupeStore(app.env, app.log));
  if (key == "-L") EndAfterMaintenance(PurgeStatistics(app.env, app.log, p));
  ShowHelp(app.env);
}

size_t ApplyOptions(RunSettings& run, const std::vector<std::string>& args) {
  run.commandLineApplied = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& p = args[i];
    if (EndsTheProgram(p)) return i;
    std::string key = OptionKey(p);
    if (key == "-D") {
      SetPeriod(run, p);
    } else if (key == "-R") {
      run.scanCancelled = true;
    } else if (key == "-S") {
      run.statisticsToFile = true;
    } else if (key == "-P") {
      run.makeAnnounce = !run.makeAnnounce;
    } else if (key == "-O") {
      run.resultFile = Argument(p);
    } else if (key == "-C") {
      run.configFile = Argument(p);
    } else if (key == "-E") {
      run.ticMask = Argument(p);
    } else if (key == "-I") {
      run.statisticsOnScreen = !run.statisticsOnScreen;
    } else if (key == "-J") {
      run.dupeCheck = !run.dupeCheck;
    } else if (key == "-F") {
      run.killTic = !run.killTic;
    }
  }
  return args.size();
}

std::string ConfigFileFromCommandLine(const std::vector<std::string>& args,
                                      const std::string& current) {
  std::string name = current;
  for (const std::string& p : args) {
    std::string key = OptionKey(p);
    if (key == "-C") name = Argument(p);
    if (EndsTheProgram(p)) break;
  }
  return name;
}

bool AsksOnlyForHelp(const std::vector<std::string>& args) {
  // The same order as ApplyCommandLine: an option acts before its help.
  for (const std::string& p : args) {
    std::string key = OptionKey(p);
    if (key == "-K" || key == "-L") return false;
    if (AsksForHelp(p)) return true;
  }
  return false;
}

bool EndsTheProgram(const std::string& p) {
  std::string key = OptionKey(p);
  return key == "-K" || key == "-L" || AsksForHelp(p);
}

const std::string* FirstUnknownArgument(const std::vector<std::string>& args) {
  for (const std::string& p : args) {
    bool known = false;
    for (const KnownOption& o : kOptions) known = known || Matches(o, p);
    if (!known) return &p;
  }
  return nullptr;
}

std::string UnknownArgumentLine(const std::string& argument) {
  // The parameter comes as the terminal wrote it; the console line is CP866.
  return "vexstat: unknown argument '" + Utf8ToCp866(argument) +
         "'; see 'vexstat --help'\n";
}

void ShowUsage(Env& env) {
  std::string text =
      "Usage: vexstat [OPTION]...\n"
      "Counts the files of a FidoNet node's file echoes from their TIC files,\n"
      "writes the reports its templates describe and posts them into Squish,\n"
      "JAM and *.MSG areas, as vexstat.cfg in the current directory says.\n"
      "\n";
  for (const KnownOption& o : kOptions) text += std::string(o.usage) + "\n";
  text +=
      "\n"
      "A letter option is matched in either case; its value follows it\n"
      "without a space (-d2/0, -Oweek.txt).\n"
      "The options are applied at the first TICPATH line of the configuration:\n"
      "a line below it sets MAKEANNOUNCE or RESULTFILE again for the whole run\n"
      "(-P, -O undone), TICEXT, SKIPDUPECH or KILLTIC for the TICPATH lines\n"
      "below it (-E, -J, -F undone); --check names each such line.\n"
      "Exit status: 0 done; 1 --check found a problem; 2 an unknown argument\n"
      "or a run-time error; 3 the run logged an error (the log has it).\n"
      "Full documentation: man vexstat\n";
  env.ConsoleWrite(text);
  throw ProgramExit{0};
}

bool TakeLongOption(std::vector<std::string>& args, const std::string& name,
                    std::string* value) {
  const std::string withValue = name + "=";
  return std::erase_if(args, [&](const std::string& a) {
    if (a != name && a.rfind(withValue, 0) != 0) return false;
    if (value) *value = a.size() > name.size() ? a.substr(withValue.size()) : "";
    return true;
  }) > 0;
}

void ShowHelp(Env& env) {
  static const char* const kLines[] = {
      " -D<N1[/N2]>      - период, за который делать статистику",
      " N1 показывает, на сколько дней нужно вернуться назад, чтобы",
      " получить день начала статистики;",
      " N2 показывает, на сколько дней нужно вернуться назад, чтобы",
      " получить день конца статистики;",
      " Например -d2/0 даст последние два дня + сегодня",
      "",
      " -C<filename.ext> - альтернативное имя конфига",
      " -S               - вывести статистику в файл",
      " -P               - переключить помещение статистики в эхи",
      " -E<mask>         - маска для файлов с тиками",
      " -O<filename.ext> - имя файла, в который выводить статистику",
      " -R               ─ отменить сканирование TIC",
      " -K               ─ пропуржить информацию о дупах",
      " -L<n>            ─ оставить информацию для статистики",
      "                    за последние <n> дней",
      " -J               ─ переключить проверку на дупы",
      " -F               ─ переключить удаление TIC",
      " -I               ─ переключить вывод на экран статистики",
  };
  std::string text;
  for (const char* line : kLines) text += Cp866(line) + "\n";
  env.ConsoleWrite(text);
  throw ProgramExit{0};
}

}  // namespace vex
