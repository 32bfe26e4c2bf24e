// The command line: options over the run settings, the two maintenance
// actions and the help screen.
#pragma once

#include <string>
#include <vector>

#include "driver/app.h"
#include "platform/env.h"

namespace vex {

// Sets the applied flag, then handles every parameter in order.  -K, -L and
// the help end the program (ProgramExit) during the pass.
void ApplyCommandLine(App& app);

// The settings part of the command line: sets the applied flag and applies
// the options in order up to the first parameter that ends the program;
// returns that parameter's index (args.size() when there is none).
size_t ApplyOptions(RunSettings& run, const std::vector<std::string>& args);

// Carries out a parameter that ends the program (-K, -L<n>, the help).
[[noreturn]] void EndTheRun(App& app, const std::string& parameter);

// The option key of a parameter: its first character as written and the
// second in upper case ("-d" and "-D" are one option, "/D" is none).
std::string OptionKey(const std::string& parameter);

// The configuration file name a -C option gives, looked for before the
// configuration file is opened; `current` when there is none.  Parameters
// after one that ends the program (-K, -L, help) are not looked at.
std::string ConfigFileFromCommandLine(const std::vector<std::string>& args,
                                      const std::string& current);

// True when the parameters end the run with the help screen before any
// maintenance action (-K, -L): such a run changes no store.
bool AsksOnlyForHelp(const std::vector<std::string>& args);

// True for a parameter that ends the program when the command line is
// applied (-K, -L, the help).
bool EndsTheProgram(const std::string& parameter);

// Takes every "--name" and "--name=value" out of args; true when there was
// one, with the value of the last one (empty for "--name") in *value.
bool TakeLongOption(std::vector<std::string>& args, const std::string& name,
                    std::string* value = nullptr);

// Writes the help screen to the console and ends the program with code 0.
[[noreturn]] void ShowHelp(Env& env);

// The first parameter that is none of the options (a typo such as "--chek"
// or "help"), or nullptr when every one is known.
const std::string* FirstUnknownArgument(const std::vector<std::string>& args);

// The line that refuses such a parameter, for standard error.
std::string UnknownArgumentLine(const std::string& argument);

// Exit code of a run refused for an unknown parameter: nothing was read,
// written or posted.
inline constexpr int kExitUnknownArgument = 2;

// Writes the English usage (--help) to the console and ends the program
// with code 0.
[[noreturn]] void ShowUsage(Env& env);

}  // namespace vex
