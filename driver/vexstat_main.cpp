// The program's entry point: runs the driver and turns the two ways a run
// ends early into exit codes.  The console title is restored on every path.
#include <exception>
#include <string>
#include <vector>

#include "driver/app.h"
#include "driver/check.h"
#include "driver/command_line.h"
#include "driver/driver.h"
#include "platform/env.h"
#include "platform/exit.h"

int main(int argc, char** argv) {
  vex::Env& env = *vex::DefaultEnv();
  env.SaveTitle();
  int code = 0;
  try {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    // The two GNU options every Linux user tries first; all other
    // parameters keep their meaning.
    for (const std::string& a : args) {
      if (a == "--help") vex::ShowHelp(env);
      if (a == "--version") {
        env.ConsoleWrite(std::string("vexstat ") + VEX_VERSION + " (" +
                         vex::kProgramName + ")\n");
        throw vex::ProgramExit{0};
      }
    }
    // The check reads what a run would, and touches nothing.
    const bool check = std::erase(args, std::string(vex::kCheckOption)) > 0;
    vex::App app(env, std::move(args));
    if (check)
      code = vex::RunCheck(app);
    else
      vex::RunDriver(app);
  } catch (const vex::ProgramExit& e) {
    code = e.code;
  } catch (const vex::RunTimeError& e) {
    env.ErrorWrite("Run-time error: " + e.op() + " \"" + e.path() +
                   "\": " + vex::SystemErrorText(e.err()) + "\n");
    code = vex::kExitRunTimeError;
  } catch (const std::exception& e) {
    env.ErrorWrite(std::string("Run-time error: ") + e.what() + "\n");
    code = vex::kExitRunTimeError;
  }
  env.RestoreTitle();
  return code;
}
