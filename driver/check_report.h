// What the configuration check writes: plain lines, and problem lines that
// name the file and line they come from and say how to put them right.
#pragma once

#include <string>

#include "platform/env.h"

namespace vex {

class CheckReport {
 public:
  explicit CheckReport(Env& env) : env_(env) {}

  void Line(const std::string& text) { env_.ConsoleWrite(text + "\n"); }
  // "problem: <where>: <what>; fix: <fix>", where is "file:line" or "file".
  void Problem(const std::string& where, const std::string& what,
               const std::string& fix) {
    ++problems_;
    Line("problem: " + where + ": " + what + "; fix: " + fix);
  }
  int Problems() const { return problems_; }

 private:
  Env& env_;
  int problems_ = 0;
};

// "file:line"
inline std::string At(const std::string& file, int line) {
  return file + ":" + std::to_string(line);
}

}  // namespace vex
