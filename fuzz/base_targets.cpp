// Targets over the message-base readers and writers: the input becomes the
// files of a base, which is opened the way the poster opens it, listed and
// read message by message, and then given one new message.
#include "fuzz/fuzz_targets.h"
#include "msgbase/base.h"
#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"
#include "util/coding.h"

namespace vex::fuzz {

namespace {

// Messages listed per input: enough for every base a small input holds.
constexpr int kMaxListed = 300;
const char kSubject[] = "Fuzz report";
const char kLastLine[] = "--- Vexstat";

// Reads message n through; true when it is the message that AppendMessage
// writes, whole.
bool ReadWhole(Base& base, uint32_t n) {
  Message m;
  return base.Read(n, &m).ok() && m.subject == kSubject && !m.text.empty() &&
         m.text.back() == kLastLine;
}

void ReadEveryMessage(Base& base) {
  std::vector<uint32_t> numbers;
  base.List(&numbers);
  if (numbers.size() > kMaxListed) numbers.resize(kMaxListed);
  for (uint32_t n : numbers) ReadWhole(base, n);
}

// Appends one message; returns its number, or 0 when it was not written.
uint32_t AppendMessage(Base& base) {
  Message m;
  m.orig = FtnAddress{2, 5020, 9999, 0};
  m.dest = FtnAddress{2, 5020, 1, 0};
  m.kludges = AddressKludges(m.orig, m.dest, false, 1);
  m.from = "Sysop";
  m.to = "All";
  m.subject = kSubject;
  m.written = m.arrived = ToMsgDateTime(FuzzNow());
  m.attributes = AttrLocal | AttrTypeEcho;
  m.text = {"Statistics of the file echoes", kLastLine};
  uint32_t number = 0;
  return base.Append(m, &number).ok() ? number : 0;
}

// Opens the base as the poster does, reads it all, appends one message and
// closes it.  A message whose append and close report success must read
// back whole under its number after a new open.
void ExerciseBase(MemEnv& env, const std::string& areaId) {
  std::unique_ptr<Base> base;
  uint32_t number = 0;
  bool stored = false;
  if (OpenBase(env, areaId, BaseMode::kWrite, &base).ok()) {
    ReadEveryMessage(*base);
    number = AppendMessage(*base);
    stored = base->Close().ok() && number != 0;
    base.reset();
  }
  Check(env.OpenFileCount() == 0, "no file left open after a close");
  if (!stored) return;

  Check(OpenBase(env, areaId, BaseMode::kWrite, &base).ok(), "a base just written opens again");
  Check(ReadWhole(*base, number), "the message just written reads back whole under its number");
}

void SetFiles(MemEnv& env, const std::vector<std::string>& parts,
              const std::string& stem, std::initializer_list<const char*> exts) {
  size_t i = 0;
  for (const char* ext : exts) {
    if (i < parts.size()) env.SetFile(stem + ext, parts[i]);
    ++i;
  }
}

// Input: the JHR, JDX, JDT and JLR files of base/echo (files after the
// last part given are missing).
void JamFiles(MemEnv& env, const uint8_t* data, size_t size) {
  SetFiles(env, SplitInput(data, size, 4), "base/echo",
           {".jhr", ".jdx", ".jdt", ".jlr"});
}

// Input: the SQD, SQI and SQL files of base/echo.
void SquishFiles(MemEnv& env, const uint8_t* data, size_t size) {
  SetFiles(env, SplitInput(data, size, 3), "base/echo",
           {".sqd", ".sqi", ".sql"});
}

// Input: the lastread file of the folder base/, then message files.  Each
// message part begins with its number on a line of its own (a part without
// a number line gets its position), then the file's bytes.
void MsgFiles(MemEnv& env, const uint8_t* data, size_t size) {
  std::vector<std::string> parts = SplitInput(data, size, 24);
  env.AddDirectory("base");
  env.SetFile("base/lastread", parts[0]);
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string number = std::to_string(i);
    std::string bytes = parts[i];
    size_t eol = bytes.find('\n');
    if (eol != std::string::npos && eol > 0 && eol <= 10 &&
        bytes.find_first_not_of("0123456789") == eol) {
      number = bytes.substr(0, eol);
      bytes.erase(0, eol + 1);
    }
    env.SetFile("base/" + number + ".msg", bytes);
  }
}

struct BaseKind {
  const char* areaId;
  void (*files)(MemEnv&, const uint8_t*, size_t);
};

const BaseKind* KindOf(const std::string& target) {
  static const BaseKind jam{"Jbase/echo", JamFiles},
      squish{"Sbase/echo", SquishFiles}, msg{"Mbase/", MsgFiles};
  return target == "jam" ? &jam : target == "squish" ? &squish
                                : target == "msg"      ? &msg
                                                       : nullptr;
}

int Exercise(const BaseKind& kind, const uint8_t* data, size_t size) {
  MemEnv env;
  env.SetNow(FuzzNow());
  kind.files(env, data, size);
  try {
    ExerciseBase(env, kind.areaId);
  } catch (const RunTimeError&) {
  }
  return 0;
}

// Opens the base, appends one message and closes it; true when the message
// was stored.
bool AppendOnce(Env& env, const std::string& areaId) {
  std::unique_ptr<Base> base;
  try {
    if (!OpenBase(env, areaId, BaseMode::kWrite, &base).ok()) return false;
    const uint32_t number = AppendMessage(*base);
    return base->Close().ok() && number != 0;
  } catch (const RunTimeError&) {
    return false;
  }
}

}  // namespace

int FuzzJam(const uint8_t* data, size_t size) {
  return Exercise(*KindOf("jam"), data, size);
}

int FuzzSquish(const uint8_t* data, size_t size) {
  return Exercise(*KindOf("squish"), data, size);
}

int FuzzMsg(const uint8_t* data, size_t size) {
  return Exercise(*KindOf("msg"), data, size);
}

FaultedAppends CountFaultedAppends(const std::string& target,
                                   const uint8_t* data, size_t size) {
  FaultedAppends out;
  const BaseKind* kind = KindOf(target);
  if (!kind) return out;
  // The writes of an append that nothing disturbs; a base that takes no
  // message even then is not counted.
  int writes = 0;
  {
    MemEnv mem;
    mem.SetNow(FuzzNow());
    kind->files(mem, data, size);
    FaultEnv counting(mem);
    counting.FailWritesFrom(1 << 30, false);
    if (!AppendOnce(counting, kind->areaId)) return out;
    writes = counting.writesCounted();
  }
  for (int n = 0; n < writes; ++n) {
    for (bool cutShort : {false, true}) {
      MemEnv mem;
      mem.SetNow(FuzzNow());
      kind->files(mem, data, size);
      FaultEnv faults(mem);
      faults.FailWritesFrom(n, cutShort, n % 2 ? EIO : ENOSPC);
      AppendOnce(faults, kind->areaId);
      ++out.appends;
      if (!AppendOnce(mem, kind->areaId)) ++out.stuck;
    }
  }
  return out;
}

}  // namespace vex::fuzz
