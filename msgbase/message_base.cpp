#include "msgbase/message_base.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "msgbase/jam_base.h"
#include "msgbase/jam_format.h"
#include "msgbase/squish_base.h"
#include "util/address.h"
#include "util/number.h"

namespace vex {

namespace {

// The last MSGID serial made from the clock in this run.
uint32_t& LastClockSerial() {
  static uint32_t last = 0;
  return last;
}

// Line buffer used when a kludge is replaced or removed.
constexpr size_t kKludgeLineMax = 16384;

const char kKludgeMsgId[] = "\x01MSGID:";
const char kKludgeIntl[] = "\x01INTL";
const char kKludgeFmpt[] = "\x01" "FMPT";
const char kKludgeTopt[] = "\x01TOPT";

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

std::string Hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(v));
  return buf;
}

// Takes zone, net and node from an address text; the point is kept.
void ApplyZoneNetNode(FtnAddress& addr, const std::string& word) {
  FtnAddress parsed = addr;
  if (ParseAddress(word, parsed)) {
    addr.zone = parsed.zone;
    addr.net = parsed.net;
    addr.node = parsed.node;
  }
}

}  // namespace

MessageBase::MessageBase(Env& env) : env_(env) {}

MessageBase::~MessageBase() = default;

MsgDateTime MessageBase::Now() { return ToMsgDateTime(env_.Now()); }

bool MessageBase::Failed(Status st) {
  if (status_.ok()) status_ = std::move(st);
  return false;
}

bool MessageBase::LockFailed(const File& file, const std::string& path) {
  if (file.LastError() == EAGAIN)
    return Failed(Status::Busy(path, "the base is locked by another program"));
  return FileFailed(path, file.LastError(), "lock");
}

bool MessageBase::OpenBaseReadOnly(const std::string& path, std::string* problem) {
  *problem = path + ": this kind of base cannot be opened read-only";
  return false;
}

std::string MessageBase::ReadErrorText() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(errorCode_));
  return std::string("the message cannot be read (error ") + buf + ")";
}

// Navigation -----------------------------------------------------------------

void MessageBase::SeekMessage(int32_t n) {
  currentNumber_ = n - 1;
  SeekNext();
}

void MessageBase::SeekNext() {
  int32_t high = HighMessage();
  if (currentNumber_ < 0) currentNumber_ = 0;
  while (true) {
    if (currentNumber_ >= high) {
      currentNumber_ = 0;
      return;
    }
    ++currentNumber_;
    if (MessageExists(currentNumber_)) return;
  }
}

void MessageBase::SeekPrior() {
  int32_t high = HighMessage();
  if (currentNumber_ > high + 1) currentNumber_ = high + 1;
  while (true) {
    if (currentNumber_ <= 1) {
      currentNumber_ = 0;
      return;
    }
    --currentNumber_;
    if (MessageExists(currentNumber_)) return;
  }
}

bool MessageBase::SeekFound() { return currentNumber_ != 0; }

// Text -----------------------------------------------------------------------

bool MessageBase::ReadTextLine(size_t maxLen, std::string& line) {
  line.clear();
  if (!text_) return false;
  const std::string& bytes = text_->Bytes();
  size_t pos = text_->Pos();
  if (pos >= bytes.size()) return false;
  size_t end = pos;
  while (end < bytes.size() && bytes[end] != '\0' && bytes[end] != '\r') ++end;
  line.assign(bytes, pos, end - pos < maxLen ? end - pos : maxLen);
  size_t next = end;
  if (next < bytes.size()) {
    bool cr = bytes[next] == '\r';
    ++next;
    if (cr && next < bytes.size() && bytes[next] == '\n') ++next;
  }
  text_->SetPos(next);
  return true;
}

void MessageBase::WriteTextLine(const std::string& line) {
  if (!text_) return;
  size_t n = line.find('\0');
  if (n == std::string::npos) n = line.size();
  text_->Write(line.data(), n);
  text_->Write("\r", 1);
}

bool MessageBase::TextEnd() { return !text_ || text_->Pos() >= text_->Size(); }

void MessageBase::SetTextPos(size_t p) {
  if (text_) text_->SetPos(p);
}

size_t MessageBase::TextPos() { return text_ ? text_->Pos() : 0; }

size_t MessageBase::TextSize() { return text_ ? text_->Size() : 0; }

void MessageBase::SetTextBuffer(std::unique_ptr<MessageText> t) {
  text_ = std::move(t);
}

// Kludges --------------------------------------------------------------------

bool MessageBase::FindKludge(const std::string& name, std::string& line,
                             size_t maxLen) {
  line.clear();
  if (!text_) return false;
  text_->SetPos(0);
  std::string current;
  while (!TextEnd()) {
    size_t start = text_->Pos();
    ReadTextLine(maxLen, current);
    if (current.compare(0, name.size(), name) == 0 &&
        current.size() >= name.size()) {
      foundLineStart_ = start;
      foundLineEnd_ = text_->Pos();
      line = current;
      return true;
    }
  }
  return false;
}

void MessageBase::SetKludge(const std::string& name, const std::string& line) {
  std::string found;
  if (!FindKludge(name, found, kKludgeLineMax)) {
    InsertKludge(line);
    return;
  }
  MessageText tail;
  text_->SetPos(foundLineEnd_);
  tail.CopyFrom(*text_, text_->Size() - foundLineEnd_);
  text_->SetPos(foundLineStart_);
  WriteTextLine(line);
  tail.SetPos(0);
  text_->CopyFrom(tail, tail.Size());
  text_->Truncate();
}

void MessageBase::DeleteKludge(const std::string& name) {
  std::string found;
  if (!FindKludge(name, found, kKludgeLineMax)) return;
  MessageText tail;
  text_->SetPos(foundLineEnd_);
  tail.CopyFrom(*text_, text_->Size() - foundLineEnd_);
  text_->SetPos(foundLineStart_);
  tail.SetPos(0);
  text_->CopyFrom(tail, tail.Size());
  text_->Truncate();
}

size_t MessageBase::BodyStartPos() {
  if (!text_) return 0;
  text_->SetPos(0);
  bool seenKludge = false;
  std::string line;
  while (!TextEnd()) {
    size_t start = text_->Pos();
    ReadTextLine(kKludgeLineMax, line);
    bool kludge = !line.empty() && line[0] == '\x01';
    if (kludge) {
      seenKludge = true;
    } else if (seenKludge) {
      return start;
    }
  }
  return text_->Size();
}

void MessageBase::InsertKludge(const std::string& line) {
  if (!text_) return;
  size_t at = BodyStartPos();
  if (at >= text_->Size()) {
    text_->SetPos(text_->Size());
    WriteTextLine(line);
    return;
  }
  MessageText tail;
  text_->SetPos(at);
  tail.CopyFrom(*text_, text_->Size() - at);
  text_->SetPos(at);
  WriteTextLine(line);
  tail.SetPos(0);
  text_->CopyFrom(tail, tail.Size());
  text_->Truncate();
}

// Mail type ------------------------------------------------------------------

void MessageBase::SetMailTypeFlag(uint32_t mask, bool on) {
  if (on) {
    mailTypeFlags_ |= mask;
  } else {
    mailTypeFlags_ &= ~mask;
  }
}

bool MessageBase::TestMailTypeFlag(uint32_t mask) const {
  return (mailTypeFlags_ & mask) == mask;
}

// Addresses ------------------------------------------------------------------

void MessageBase::ParseOrigKludge(FtnAddress& addr, const std::string& line) {
  if (StartsWith(line, kKludgeMsgId)) {
    ParseAddress(ExtractWord(2, line, " "), addr);
  } else if (StartsWith(line, kKludgeIntl)) {
    ApplyZoneNetNode(addr, ExtractWord(3, line, " "));
  } else if (StartsWith(line, kKludgeFmpt)) {
    addr.point = static_cast<int16_t>(NumberValue(ExtractWord(2, line, " ")));
  }
}

void MessageBase::ParseDestKludge(FtnAddress& addr, const std::string& line) {
  if (StartsWith(line, kKludgeIntl)) {
    ApplyZoneNetNode(addr, ExtractWord(2, line, " "));
  } else if (StartsWith(line, kKludgeTopt)) {
    addr.point = static_cast<int16_t>(NumberValue(ExtractWord(2, line, " ")));
  }
}

void MessageBase::GetAddresses(FtnAddress& orig, FtnAddress& dest) {
  orig = FtnAddress{};
  dest = FtnAddress{};
  if (!text_) return;
  text_->SetPos(0);
  std::string line;
  bool first = true;
  while (!TextEnd()) {
    ReadTextLine(255, line);
    if (first || (!line.empty() && line[0] == '\x01')) {
      ParseOrigKludge(orig, line);
      ParseDestKludge(dest, line);
    }
    first = false;
  }
}

void MessageBase::SetOrigAddress(const FtnAddress& addr, bool newMsgId) {
  std::string msgId = std::string(kKludgeMsgId) + " " + AddressToText(addr) + " ";
  std::string old;
  if (!newMsgId && FindKludge(kKludgeMsgId, old)) {
    SetKludge(kKludgeMsgId, msgId + ExtractWord(3, old, " "));
  } else {
    SetKludge(kKludgeMsgId, msgId + Hex8(NewMsgIdSerial(env_)));
  }
  if (!TestMailTypeFlag(kMailNet)) return;
  FtnAddress origNow, dest;
  GetAddresses(origNow, dest);
  SetKludge(kKludgeIntl, std::string(kKludgeIntl) + " " + AddressToText3D(dest) +
                             " " + AddressToText3D(addr));
  if (addr.point == 0) {
    DeleteKludge(kKludgeFmpt);
  } else {
    SetKludge(kKludgeFmpt,
              std::string(kKludgeFmpt) + " " + std::to_string(addr.point));
  }
}

void MessageBase::SetDestAddress(const FtnAddress& addr) {
  if (!TestMailTypeFlag(kMailNet)) return;
  FtnAddress orig, destNow;
  GetAddresses(orig, destNow);
  SetKludge(kKludgeIntl, std::string(kKludgeIntl) + " " + AddressToText3D(addr) +
                             " " + AddressToText3D(orig));
  if (addr.point == 0) {
    DeleteKludge(kKludgeTopt);
  } else {
    SetKludge(kKludgeTopt,
              std::string(kKludgeTopt) + " " + std::to_string(addr.point));
  }
}

// Library-wide operations ----------------------------------------------------

uint32_t NewMsgIdSerial(Env& env) {
  uint32_t& last = LastClockSerial();
  last = std::max(last + 1, jam::UnixTime(ToMsgDateTime(env.Now())));
  return last;
}

bool OpenMessageBase(Env& env, std::unique_ptr<MessageBase>& base, const std::string& areaId,
                     int* openError) {
  base.reset();
  *openError = kOpenErrorUnknownType;
  if (areaId.empty()) return false;
  switch (areaId[0]) {
    case 'J':
    case 'j':
      base = MakeJamBase(env);
      break;
    case 'S':
    case 's':
      base = MakeSquishBase(env);
      break;
    default:
      return false;
  }
  if (!base) return false;
  std::string path = areaId.substr(1, 254);
  if (base->OpenBase(path)) return true;
  // A base whose main file or directory was found exists: it failed to
  // open and is never created over.  Without it, the base is created; the
  // creation opens a base another program made since the look.
  const int code = base->GetErrorCode();
  const bool mainMissing = code == 0x1000 || code == 0x2000 || code == 0x3000;
  if (!mainMissing) {
    *openError = kOpenErrorExists;
    return false;
  }
  if (base->CreateBase(path)) return true;
  *openError = base->GetErrorCode();
  return false;
}

bool CloseMessageBase(std::unique_ptr<MessageBase>& base) {
  if (!base) return false;
  base->CloseBase();
  base.reset();
  return true;
}

}  // namespace vex
