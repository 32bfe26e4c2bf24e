// vexmsg: shows the contents of a message base (see vexmsg.h).
#include <exception>
#include <string>
#include <vector>

#include "msgbase/vexmsg.h"
#include "platform/env.h"
#include "platform/exit.h"

int main(int argc, char** argv) {
  vex::Env& env = *vex::DefaultEnv();
  try {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return vex::RunVexmsg(env, args);
  } catch (const vex::ProgramExit& e) {
    return e.code;
  } catch (const vex::RunTimeError& e) {
    env.ErrorWrite("Run-time error: " + e.op() + " \"" + e.path() +
                   "\": " + vex::SystemErrorText(e.err()) + "\n");
  } catch (const std::exception& e) {
    env.ErrorWrite(std::string("Run-time error: ") + e.what() + "\n");
  }
  return vex::kExitRunTimeError;
}
