// Targets over the message-base readers and writers: the input becomes the
// files of a base, which is opened the way the poster opens it, listed and
// read message by message, and then given one new message.
#include "fuzz/fuzz_targets.h"
#include "msgbase/message_base.h"
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

// Reads the current message through; true when it is the message that
// AppendMessage writes, whole.
bool ReadWhole(MessageBase& base) {
  bool ours = false;
  if (base.ReadMessage()) {
    FtnAddress orig, dest;
    base.GetAddresses(orig, dest);
    base.TestAttribute(AttrLocal);
    std::string line, last;
    base.FindKludge("\x01MSGID:", line);
    base.SetTextPos(0);
    while (base.ReadTextLine(16384, line)) last = line;
    ours = base.GetSubject() == kSubject && last == kLastLine;
  }
  base.FreeMessageText();
  return ours;
}

void ReadEveryMessage(MessageBase& base) {
  base.HighMessage();
  base.ReadLastRead(0);
  base.SeekMessage(1);
  for (int listed = 0; listed < kMaxListed && base.SeekFound(); ++listed) {
    int32_t n = base.CurrentNumber();
    if (base.ReadHeader()) {
      MsgDateTime dt;
      base.GetDateWritten(dt);
      base.GetDateArrived(dt);
      base.GetFromName(), base.GetToName(), base.GetSubject();
    }
    base.FreeMessageText();
    ReadWhole(base);
    base.SeekNext();
    if (base.CurrentNumber() == n) break;
  }
}

// Appends one message; returns its number, or 0 when it was not written.
int32_t AppendMessage(MessageBase& base) {
  if (!base.StartNewMessage()) return 0;
  base.SetMailTypeFlag(kMailEcho, true);
  FtnAddress from{2, 5020, 9999, 0}, to{2, 5020, 1, 0};
  base.SetOrigAddress(from, true);
  base.SetDestAddress(to);
  base.SetFromName("Sysop");
  base.SetToName("All");
  base.SetSubject(kSubject);
  MsgDateTime now = ToMsgDateTime(FuzzNow());
  base.SetDateWritten(now);
  base.SetDateArrived(now);
  base.SetAttribute(AttrLocal, true);
  base.WriteTextLine("Statistics of the file echoes");
  base.WriteTextLine(kLastLine);
  bool written = base.WriteMessage();
  base.FreeMessageText();
  return written ? base.CurrentNumber() : 0;
}

// Opens the base as the poster does, reads it all, appends one message and
// closes it.  A message whose append and close report success must read
// back whole under its number after a new open.
void ExerciseBase(MemEnv& env, const std::string& areaId) {
  InstallFileHooks(env);
  std::unique_ptr<MessageBase> base;
  int32_t number = 0;
  if (OpenMessageBase(base, areaId)) {
    ReadEveryMessage(*base);
    number = AppendMessage(*base);
  }
  bool stored = CloseMessageBase(base) && number != 0;
  Check(env.OpenFileCount() == 0, "no file left open after a close");
  if (!stored) return;

  Check(OpenMessageBase(base, areaId), "a base just written opens again");
  base->SeekMessage(number);
  Check(base->SeekFound() && base->CurrentNumber() == number &&
            ReadWhole(*base),
        "the message just written reads back whole under its number");
  CloseMessageBase(base);
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
  InstallFileHooks(env);
  std::unique_ptr<MessageBase> base;
  int32_t number = 0;
  try {
    if (OpenMessageBase(base, areaId)) number = AppendMessage(*base);
    return CloseMessageBase(base) && number != 0;
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
  InstallFileHooks(*DefaultEnv());
  return out;
}

}  // namespace vex::fuzz
