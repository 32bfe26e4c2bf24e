#include "posting/msgid_counter.h"

#include <algorithm>
#include <chrono>

#include "util/coding.h"
#include "util/replace_file.h"

namespace vex {

uint32_t SerialAfter(uint32_t last, uint32_t clock) {
  return std::max(last + 1, clock);
}

uint32_t ClockSerial(const ClockTime& t) {
  using namespace std::chrono;
  const sys_days day{year{t.year} / month{static_cast<unsigned>(t.month)} /
                     static_cast<unsigned>(t.day)};
  const int64_t seconds = int64_t{day.time_since_epoch().count()} * 86400 +
                          int64_t{t.hour} * 3600 + int64_t{t.minute} * 60 + t.second;
  return static_cast<uint32_t>(seconds);
}

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
  char bytes[4];
  PutU32(bytes, value);
  return ReplaceFile(env_, path_, std::string_view(bytes, sizeof bytes), err);
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
