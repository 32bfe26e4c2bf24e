// One object interface over the three message-base formats (*.MSG, Squish,
// JAM).  The library never prints: operations return false and leave a
// numeric code in the base's error code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "msgbase/message.h"
#include "msgbase/message_text.h"
#include "msgbase/status.h"
#include "platform/env.h"
#include "util/address.h"

namespace vex {

// Mail-type flags.
enum : uint32_t { kMailNet = 1, kMailEcho = 2, kMailLocal = 4 };

// Library-wide open errors.
enum : int { kOpenErrorUnknownType = 256, kOpenErrorExists = 257 };

class MessageBase {
 public:
  explicit MessageBase(Env& env);
  virtual ~MessageBase();
  MessageBase(const MessageBase&) = delete;
  MessageBase& operator=(const MessageBase&) = delete;

  virtual bool OpenBase(const std::string& path) = 0;
  // Opens an existing base for reading only: its files are opened read-only,
  // no lock is taken and nothing is created, changed or repaired.  On
  // failure *problem holds a sentence that names the file and what is
  // wrong.  An object opened this way stays read-only.
  virtual bool OpenBaseReadOnly(const std::string& path, std::string* problem);
  // A sentence on the last failed read of the current message: the file
  // and what is wrong with it.
  virtual std::string ReadErrorText();
  virtual bool CreateBase(const std::string& path) = 0;
  virtual bool BaseExists(const std::string& path) = 0;
  virtual void CloseBase() = 0;
  virtual bool MessageExists(int32_t n) = 0;

  int32_t CurrentNumber() const { return currentNumber_; }
  virtual void SeekMessage(int32_t n);
  virtual void SeekNext();
  virtual void SeekPrior();
  virtual bool SeekFound();
  virtual int32_t IndexPosition() = 0;
  virtual void SeekIndexPosition(int32_t i) = 0;

  virtual bool ReadMessage() = 0;
  virtual bool ReadHeader() = 0;
  virtual bool FreeMessageText() = 0;
  virtual int32_t HighMessage() = 0;
  virtual int32_t MessageCount() = 0;

  virtual std::string GetFromName() = 0;
  virtual std::string GetToName() = 0;
  virtual std::string GetSubject() = 0;
  virtual void GetAddresses(FtnAddress& orig, FtnAddress& dest);
  virtual void SetFromName(const std::string& s) = 0;
  virtual void SetToName(const std::string& s) = 0;
  virtual void SetSubject(const std::string& s) = 0;
  virtual void SetOrigAddress(const FtnAddress& addr, bool newMsgId);
  virtual void SetDestAddress(const FtnAddress& addr);

  // Text operations on the current message.
  bool ReadTextLine(size_t maxLen, std::string& line);  // false at the end
  void WriteTextLine(const std::string& line);  // bytes up to a NUL, then CR
  void SetTextPos(size_t p);
  size_t TextSize();

  virtual bool TestAttribute(uint32_t mask) = 0;
  virtual void SetAttribute(uint32_t mask, bool on) = 0;
  virtual void GetDateWritten(MsgDateTime& dt) = 0;
  virtual void GetDateArrived(MsgDateTime& dt) = 0;
  virtual void SetDateWritten(const MsgDateTime& dt) = 0;
  virtual void SetDateArrived(const MsgDateTime& dt) = 0;
  virtual bool WriteMessage() = 0;
  virtual bool RewriteHeader() = 0;

  // Removes the first line that starts with name (with its leading 0x01).
  void DeleteKludge(const std::string& name);

  MessageText* TextBuffer() { return text_.get(); }
  void SetMailTypeFlag(uint32_t mask, bool on);
  bool TestMailTypeFlag(uint32_t mask) const;

  virtual bool StartNewMessage() = 0;
  virtual bool DeleteMessage() = 0;
  virtual int32_t ReadLastRead(int32_t user) = 0;
  virtual void WriteLastRead(int32_t user, int32_t n) = 0;

  int GetErrorCode() const { return errorCode_; }
  // Where the last failed call failed: the file, the system's reason and
  // what was being done.  Ok when the failure recorded none.
  const Status& LastStatus() const { return status_; }
  void ClearStatus() { status_ = Status(); }
  bool IsOpen() const { return isOpen_; }
  void SetCurrentNumber(int32_t n) { currentNumber_ = n; }
  const std::string& GetBasePath() const { return basePath_; }

 protected:
  // The current local time as the clock record.
  MsgDateTime Now();
  // Text and kludge helpers of the formats.
  bool TextEnd();
  size_t TextPos();
  // Where the body starts: after the leading kludge lines.
  size_t BodyStartPos();
  // The first line that starts with name (names include the leading 0x01
  // and match case-sensitively).
  bool FindKludge(const std::string& name, std::string& line, size_t maxLen = 255);
  // Replaces the first line that starts with name, or inserts the line.
  void SetKludge(const std::string& name, const std::string& line);
  // Inserts a kludge line before the body.
  void InsertKludge(const std::string& line);
  // Take an origin or destination address from a kludge line (MSGID, INTL,
  // FMPT, TOPT).
  void ParseOrigKludge(FtnAddress& addr, const std::string& line);
  void ParseDestKludge(FtnAddress& addr, const std::string& line);
  void SetTextBuffer(std::unique_ptr<MessageText> t);
  // Keeps the first failure of a call; what fails after it (putting things
  // back) does not replace it.  Return false, for `return Failed(...)`.
  bool Failed(Status st);
  bool FileFailed(const std::string& file, int err, const std::string& what) {
    return Failed(Status::FileError(file, err, what));
  }
  // ok, or the failure of `what` on the open file f recorded.
  bool Checked(const File& f, bool ok, const std::string& what) {
    return ok || FileFailed(f.Path(), f.LastError(), what);
  }
  // A lock that was not had: Busy when another program held it until the
  // wait ran out, the system's reason otherwise.
  bool LockFailed(const File& file, const std::string& path);
  Env& env_;
  Status status_;
  size_t foundLineStart_ = 0;
  size_t foundLineEnd_ = 0;
  int errorCode_ = 0;
  bool isOpen_ = false;
  bool readOnly_ = false;
  uint32_t mailTypeFlags_ = 0;
  int32_t currentNumber_ = 0;
  std::unique_ptr<MessageText> text_;
  std::string basePath_;
};

// The cursor open by area identifier, for the tests of the formats (the
// program opens bases with OpenBase): type letter (J/j JAM; S/s Squish)
// and path.  Opens an existing base or creates a new one;
// an existing base that fails to open is never re-created.  After a failure
// the object may still be allocated; *openError then holds 256 (unknown
// type), 257 (the base exists) or the format's creation error.
bool OpenMessageBase(Env& env, std::unique_ptr<MessageBase>& base, const std::string& areaId,
                     int* openError);
bool CloseMessageBase(std::unique_ptr<MessageBase>& base);

// A MSGID serial made from the clock, never the same twice in a run (a
// posting takes its serials from a MsgIdCounter instead; this one serves
// what is only shown, and tests).
uint32_t NewMsgIdSerial(Env& env);

}  // namespace vex
