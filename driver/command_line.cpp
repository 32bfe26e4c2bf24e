#include "driver/command_line.h"

#include "intake/maintenance.h"
#include "platform/cp866.h"
#include "platform/exit.h"
#include "util/number.h"
#include "util/text.h"

namespace vex {

namespace {

// The option key: the first character as it is and the second in upper
// case ("-d" and "-D" are one option, "/D" is none).
std::string OptionKey(const std::string& p) {
  std::string key = p.substr(0, 2);
  if (key.size() == 2) key = key.substr(0, 1) + UpperCp866(key.substr(1));
  return key;
}

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

}  // namespace

void ApplyCommandLine(App& app) {
  RunSettings& run = app.run;
  run.commandLineApplied = true;
  for (const std::string& p : app.args) {
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
    } else if (key == "-K") {
      EndAfterMaintenance(ResetDupeStore(app.env, app.log));
    } else if (key == "-L") {
      EndAfterMaintenance(PurgeStatistics(app.env, app.log, p));
    } else if (key == "-I") {
      run.statisticsOnScreen = !run.statisticsOnScreen;
    } else if (key == "-J") {
      run.dupeCheck = !run.dupeCheck;
    } else if (key == "-F") {
      run.killTic = !run.killTic;
    }
    if (AsksForHelp(p)) ShowHelp(app.env);
  }
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
