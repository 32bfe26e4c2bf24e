// What the Squish tests share: a base in memory, posts as values, the
// header fields' offsets and a check of the message chain.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "msgbase/base.h"
#include "msgbase/squish/format.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex::squish_testing {

using squish::DecodeFrameHeader;
using squish::FrameHeader;

inline uint32_t U32(const std::string& s, size_t at) { return GetU32(s.data() + at); }
inline uint16_t U16(const std::string& s, size_t at) { return GetU16(s.data() + at); }
inline FrameHeader FrameAt(const std::string& sqd, size_t at) { return DecodeFrameHeader(sqd.data() + at); }

// Offsets of the base header fields used below.
enum : size_t {
  kNumMsgs = 4, kHighMsg = 8, kNextUid = 20, kFirst = 104, kLast = 108,
  kFirstFree = 112, kLastFree = 116, kEnd = 120,
};

inline const char kArea[] = "S/fido/area";

inline Message Note(const std::string& to, std::vector<std::string> text, std::vector<std::string> kludges = {}) {
  Message m;
  m.from = "Vexstat";
  m.to = to;
  m.subject = "Statistics";
  m.orig = FtnAddress{2, 5020, 123, 4};
  m.attributes = AttrLocal | AttrTypeEcho;
  m.kludges = std::move(kludges);
  m.text = std::move(text);
  return m;
}

// The chain as a reader follows it from the header: empty when it ends at
// the header's last frame after as many frames as the header counts, and
// the end of data lies between the last frame's end and the file's end.
inline std::string ChainProblem(const std::string& sqd) {
  uint32_t prev = 0, count = 0;
  for (uint32_t at = U32(sqd, kFirst); at != 0; at = FrameAt(sqd, at).next) {
    if (at + 28 > sqd.size() || FrameAt(sqd, at).prev != prev || ++count > 1000)
      return "chain broken at " + std::to_string(at);
    prev = at;
  }
  if (prev != U32(sqd, kLast) || count != U32(sqd, kNumMsgs))
    return "chain ends at " + std::to_string(prev) + " after " + std::to_string(count) + " frames, header says " +
           std::to_string(U32(sqd, kLast)) + " and " + std::to_string(U32(sqd, kNumMsgs));
  uint64_t end = prev == 0 ? 256 : prev + 28 + FrameAt(sqd, prev).messageLength;
  if (U32(sqd, kEnd) > sqd.size() || U32(sqd, kEnd) < end) return "end of data " + std::to_string(U32(sqd, kEnd));
  return "";
}

class SquishTest : public ::testing::Test {
 protected:
  SquishTest() {
    ClockTime t;
    t.year = 2002, t.month = 2, t.day = 8, t.hour = 9, t.minute = 5, t.second = 7;
    env_.SetNow(t);
    env_.AddDirectory("/fido");
  }
  std::unique_ptr<Base> Open(Env* env = nullptr, BaseMode mode = BaseMode::kWrite) {
    std::unique_ptr<Base> b;
    const Status st = OpenBase(env ? *env : env_, kArea, mode, &b);
    EXPECT_TRUE(st.ok()) << st.ToString();
    return b;
  }
  uint32_t Post(Base& b, const std::string& to, std::vector<std::string> text, std::vector<std::string> k = {}) {
    uint32_t n = 0;
    const Status st = b.Append(Note(to, std::move(text), std::move(k)), &n);
    EXPECT_TRUE(st.ok()) << st.ToString();
    return n;
  }
  // The numbers listed and, for each, its first text line ("!" when it
  // does not read), as a read-only open sees them.
  std::string Walk(BaseMode mode = BaseMode::kReadOnly) {
    std::unique_ptr<Base> b;
    if (!OpenBase(env_, kArea, mode, &b).ok()) return "unopenable";
    std::vector<uint32_t> numbers;
    EXPECT_TRUE(b->List(&numbers).ok());
    std::string out;
    for (uint32_t n : numbers) {
      Message m;
      out += std::to_string(n) + (b->Read(n, &m).ok() ? (m.text.empty() ? "" : m.text[0]) : "!") + " ";
    }
    return out;
  }
  std::string Sqd() { return env_.GetFile("/fido/area.sqd"); }
  std::string Sqi() { return env_.GetFile("/fido/area.sqi"); }

  MemEnv env_;
};

}  // namespace vex::squish_testing
