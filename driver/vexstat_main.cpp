// The program's entry point: runs the driver and turns the two ways a run
// ends early into exit codes.  The console title is restored on every path.
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "driver/app.h"
#include "driver/check.h"
#include "driver/command_line.h"
#include "driver/driver.h"
#include "driver/exit_status.h"
#include "driver/export_run.h"
#include "driver/preview.h"
#include "platform/env.h"
#include "platform/exit.h"

int main(int argc, char** argv) {
  vex::Env& env = *vex::DefaultEnv();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // A typo must not start a run that posts: before anything is read or
  // written, an unknown parameter ends the program.
  if (const std::string* unknown = vex::FirstUnknownArgument(args)) {
    env.ErrorWrite(vex::UnknownArgumentLine(*unknown));
    return vex::kExitUnknownArgument;
  }
  env.SaveTitle();
  int code = 0;
  bool check = false, preview = false, exporting = false;
  std::unique_ptr<vex::App> app;
  // The run-time error line goes to standard error and, for a cron user who
  // reads only the log, to the log file when one is open.
  auto runTimeError = [&](const std::string& line) {
    env.ErrorWrite(line + "\n");
    if (app) app->log.AppendRunTimeError(line);
    code = vex::kExitRunTimeError;
  };
  try {
    // The two GNU options every Linux user tries first; all other
    // parameters keep their meaning.
    for (const std::string& a : args) {
      if (a == "--help") vex::ShowUsage(env);
      if (a == "--version") {
        env.ConsoleWrite(std::string("vexstat ") + VEX_VERSION + " (" +
                         vex::kProgramName + ")\n");
        throw vex::ProgramExit{0};
      }
    }
    // The check reads what a run would, and touches nothing: it takes no
    // run lock.
    check = std::erase(args, std::string(vex::kCheckOption)) > 0;
    // The preview reads what a run would and keeps every change in memory.
    preview = vex::TakeLongOption(args, vex::kPreviewOption);
    // The export, like the preview, changes nothing.
    std::string exportRequest;
    exporting = vex::TakeLongOption(args, vex::kExportOption, &exportRequest);
    app = std::make_unique<vex::App>(env, std::move(args));
    app->runLockWaitMs =
        vex::RunLockWaitMs(std::getenv(vex::kRunLockWaitVariable));
    if (check)
      code = vex::RunCheck(*app);
    else if (preview)
      code = vex::RunPreview(*app);
    else if (exporting)
      code = vex::RunExport(*app, exportRequest);
    else
      vex::RunDriver(*app);
  } catch (const vex::ProgramExit& e) {
    code = e.code;
  } catch (const vex::RunTimeError& e) {
    runTimeError("Run-time error: " + e.op() + " \"" + e.path() +
                 "\": " + vex::SystemErrorText(e.err()));
  } catch (const std::exception& e) {
    runTimeError(std::string("Run-time error: ") + e.what());
  }
  // A run that ended in order but logged an error says so, for cron and
  // systemd; the check, the preview, the export and the help screen have
  // their own codes.
  if (app && !check && !preview && !exporting && !vex::AsksOnlyForHelp(app->args))
    code = vex::ExitStatusAfterRun(*app, code);
  env.RestoreTitle();
  return code;
}
