// Opening a base by its area identifier, and the value calls carried out
// through the format objects.
#include <string>

#include "msgbase/base.h"
#include "msgbase/jam_base.h"
#include "msgbase/jam_base_impl.h"
#include "msgbase/message_base.h"
#include "msgbase/msg/msg_dir.h"
#include "msgbase/squish/squish.h"

namespace vex {

namespace {

// The Attr* masks a format may store for a message.
constexpr uint32_t kFlagBits[] = {
    AttrPrivate,      AttrCrash,        AttrReceived,      AttrSent,
    AttrFileAttached, AttrInTransit,    AttrOrphan,        AttrKillSent,
    AttrLocal,        AttrHold,         AttrFileRequest,   AttrReceiptRequest,
    AttrIsReceipt,    AttrAuditRequest, AttrUpdateRequest, AttrScanned,
};
constexpr uint32_t kTypeBits[] = {AttrTypeLocal, AttrTypeEcho, AttrTypeNet};

std::unique_ptr<MessageBase> MakeOfType(Env& env, char type, int lockTimeoutMs = 10000) {
  switch (type) {
    case 'J':
    case 'j': {
      auto jam = std::make_unique<JamBase>(env);
      jam->SetLockTimeoutMs(lockTimeoutMs);
      return jam;
    }
    default:
      return nullptr;
  }
}

// The first control line of the message named `name` (with its colon).
bool HasKludge(const Message& m, const std::string& name) {
  for (const std::string& k : m.kludges)
    if (k.compare(0, name.size(), name) == 0) return true;
  return false;
}

class FormatBase final : public Base {
 public:
  FormatBase(std::unique_ptr<MessageBase> base, std::string path, bool readOnly)
      : base_(std::move(base)), path_(std::move(path)), readOnly_(readOnly) {}
  ~FormatBase() override { Close(); }

  Status List(std::vector<uint32_t>* numbers) override {
    numbers->clear();
    if (!base_) return Closed();
    base_->SeekMessage(1);
    while (base_->SeekFound()) {
      const int32_t n = base_->CurrentNumber();
      numbers->push_back(static_cast<uint32_t>(n));
      base_->SeekNext();
      if (base_->CurrentNumber() == n) break;  // a format that cannot move on
    }
    return Status::Ok();
  }

  Status Read(uint32_t number, Message* m) override {
    *m = Message{};
    if (!base_) return Closed();
    Status st = Seek(number);
    if (!st.ok()) return st;
    if (!base_->ReadMessage()) {
      std::string why = base_->ReadErrorText();
      base_->FreeMessageText();
      return Status::Damaged(path_, why);
    }
    m->from = base_->GetFromName();
    m->to = base_->GetToName();
    m->subject = base_->GetSubject();
    base_->GetAddresses(m->orig, m->dest);
    base_->GetDateWritten(m->written);
    base_->GetDateArrived(m->arrived);
    for (uint32_t bit : kFlagBits)
      if (base_->TestAttribute(bit)) m->attributes |= bit;
    for (uint32_t bit : kTypeBits)
      if (base_->TestAttribute(bit)) m->attributes |= bit;
    base_->SetTextPos(0);
    std::string line;
    while (base_->ReadTextLine(std::string::npos, line)) {
      if (!line.empty() && line[0] == '\x01') {
        m->kludges.push_back(line.substr(1));
      } else {
        m->text.push_back(line);
      }
    }
    base_->FreeMessageText();
    return Status::Ok();
  }

  Status Append(const Message& m, uint32_t* number) override {
    *number = 0;
    if (!base_) return Closed();
    if (readOnly_) return Status::Refused(path_, "the base is open for reading only");
    // A write that failed may have left bytes that only the repair of the
    // next open sorts out: nothing more is written until then.
    if (writeFailed_)
      return Status::Refused(path_, "a write failed; the base takes no message until it is opened again");
    MessageBase& b = *base_;
    b.ClearStatus();
    if (!b.StartNewMessage())
      return Failure(Status::Refused(path_, "the base takes no new message"));
    b.SetMailTypeFlag(kMailNet, (m.attributes & AttrTypeNet) != 0);
    b.SetMailTypeFlag(kMailEcho, (m.attributes & AttrTypeEcho) != 0);
    b.SetMailTypeFlag(kMailLocal, (m.attributes & AttrTypeLocal) != 0);
    for (const std::string& k : m.kludges) b.WriteTextLine("\x01" + k);
    const bool msgId = HasKludge(m, "MSGID:");
    b.SetOrigAddress(m.orig, false);
    if (!msgId) b.DeleteKludge("\x01MSGID:");
    b.SetDestAddress(m.dest);
    b.SetFromName(m.from);
    b.SetToName(m.to);
    b.SetSubject(m.subject);
    b.SetDateWritten(m.written);
    b.SetDateArrived(m.arrived);
    for (uint32_t bit : kFlagBits) b.SetAttribute(bit, (m.attributes & bit) != 0);
    b.SetTextPos(b.TextSize());
    for (const std::string& line : m.text) b.WriteTextLine(line);
    const bool written = b.WriteMessage();
    const bool freed = b.FreeMessageText();
    writeFailed_ = !written;
    if (!written) return Failure(Status::IoError(path_, 0, "the message cannot be written"));
    if (!freed) return Failure(Status::IoError(path_, 0, "the message cannot be closed"));
    *number = static_cast<uint32_t>(b.CurrentNumber());
    return Status::Ok();
  }

  Status Delete(uint32_t number) override {
    if (!base_) return Closed();
    if (readOnly_) return Status::Refused(path_, "the base is open for reading only");
    Status st = Seek(number);
    if (!st.ok()) return st;
    base_->ClearStatus();
    if (!base_->DeleteMessage())
      return Failure(Status::IoError(path_, 0, "message " + std::to_string(number) + " cannot be deleted"));
    return Status::Ok();
  }

  Status Close() override {
    if (!base_) return Status::Ok();
    base_->CloseBase();
    base_.reset();
    return Status::Ok();
  }

 private:
  Status Closed() const { return Status::Refused(path_, "the base is closed"); }
  // What the format found where the call failed, or else `otherwise`.
  Status Failure(Status otherwise) const {
    return base_->LastStatus().ok() ? otherwise : base_->LastStatus();
  }

  Status Seek(uint32_t number) {
    // Squish numbers use all 32 bits; the format objects keep them as int32_t.
    if (number == 0) return Status::NotFound(path_, "no message 0");
    base_->SeekMessage(static_cast<int32_t>(number));
    if (!base_->SeekFound() || static_cast<uint32_t>(base_->CurrentNumber()) != number)
      return Status::NotFound(path_, "no message " + std::to_string(number));
    return Status::Ok();
  }

  std::unique_ptr<MessageBase> base_;
  std::string path_;
  bool readOnly_;
  bool writeFailed_ = false;
};

}  // namespace

Status OpenBase(Env& env, const std::string& areaId, BaseMode mode,
                std::unique_ptr<Base>* base, const OpenOptions& options) {
  base->reset();
  if (areaId.empty())
    return Status::Refused("", "an empty area identifier names no base");
  const std::string type = areaId.substr(0, 1);
  const bool msgDir = std::string("FfMm*").find(areaId[0]) != std::string::npos;
  const bool squish = areaId[0] == 'S' || areaId[0] == 's';
  std::unique_ptr<MessageBase> made =
      msgDir || squish ? nullptr : MakeOfType(env, areaId[0], options.lockTimeoutMs);
  if (!made && !msgDir && !squish) {
    return Status::Refused("", "unknown base type \"" + type +
                                   "\": use J (JAM), S (Squish), M, F or * (*.MSG)");
  }
  const std::string path = areaId.substr(1, 254);
  if (path.empty())
    return Status::Refused("", "no base path after the type letter \"" + type + "\"");
  if (msgDir) return OpenMsgDir(env, path, mode, base);
  if (squish) return OpenSquish(env, path, mode, options, base);

  if (mode == BaseMode::kReadOnly) {
    std::string problem;
    if (!made->OpenBaseReadOnly(path, &problem)) {
      const bool exists = MakeOfType(env, areaId[0])->BaseExists(path);
      return exists ? Status::Damaged(path, problem) : Status::NotFound(path, problem);
    }
    *base = std::make_unique<FormatBase>(std::move(made), path, true);
    return Status::Ok();
  }

  if (!made->OpenBase(path)) {
    // A base whose main file or directory was found exists: it failed to
    // open and is never created over.  Without it, the base is created; the
    // creation opens a base another program made since the look.
    const int code = made->GetErrorCode();
    if (code == 0x1000 || code == 0x2000 || code == 0x3000) {
      made->ClearStatus();
      if (!made->CreateBase(path)) {
        const Status st = made->LastStatus();
        return st.ok() ? Status::IoError(path, 0, "the base cannot be created") : st;
      }
    } else {
      const Status st = made->LastStatus();
      made->CloseBase();
      made.reset();
      // A lock held by another program, or a call the system refused.
      if (!st.ok() && !st.IsDamaged()) return st;
      // Damage, in the words of a reader.
      std::unique_ptr<MessageBase> look = MakeOfType(env, areaId[0]);
      std::string problem;
      if (!look->OpenBaseReadOnly(path, &problem)) return Status::Damaged(path, problem);
      look->CloseBase();
      return st.ok() ? Status::IoError(path, 0, "the base cannot be opened for writing") : st;
    }
  }
  *base = std::make_unique<FormatBase>(std::move(made), path, false);
  return Status::Ok();
}

}  // namespace vex
