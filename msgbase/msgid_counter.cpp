#include "msgbase/msgid_counter.h"

#include <algorithm>

#include "msgbase/jam_format.h"
#include "msgbase/message_base.h"
#include "util/coding.h"

namespace vex {

uint32_t SerialAfter(uint32_t last, uint32_t clock) {
  return std::max(last + 1, clock);
}

uint32_t ClockSerial(const ClockTime& t) { return jam::UnixTime(ToMsgDateTime(t)); }

MsgIdCounter::MsgIdCounter(Env& env, std::string path)
    : env_(env), path_(std::move(path)) {}

void MsgIdCounter::Load() {
  loaded_ = true;
  int err = 0;
  auto file = env_.Open(path_, OpenMode::kRead, &err);
  char bytes[5];
  // Exactly four bytes; anything else starts from the clock.
  if (file && file->ReadAt(0, bytes, sizeof bytes) == 4) last_ = GetU32(bytes);
  durable_ = last_;
}

bool MsgIdCounter::Store(uint32_t value, int* err) {
  const std::string temp = path_ + ".new";
  auto file = env_.Open(temp, OpenMode::kCreate, err);
  char bytes[4];
  PutU32(bytes, value);
  if (!file) return false;
  if (!file->WriteAt(0, bytes, sizeof bytes) || !file->Sync()) {
    *err = file->LastError();
    return false;
  }
  file.reset();
  const size_t slash = path_.rfind('/');
  return env_.Rename(temp, path_, err) &&
         env_.SyncDirectory(slash == std::string::npos ? "" : path_.substr(0, slash), err);
}

bool MsgIdCounter::Next(uint32_t ahead, uint32_t* serial, int* err) {
  if (!loaded_) Load();
  const uint32_t next = SerialAfter(last_, ClockSerial(env_.Now()));
  // A serial at or below the stored value was reserved by an earlier call
  // of this run (or the counter wrapped round): no write is needed.
  if (next > durable_ || next <= last_) {
    const uint32_t top = next + std::min(ahead, UINT32_MAX - next);
    if (!Store(top, err)) return false;
    durable_ = top;
  }
  last_ = next;
  *serial = next;
  return true;
}

}  // namespace vex
