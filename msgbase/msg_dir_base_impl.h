// The *.MSG base object.  The program reaches it only through MakeMsgDirBase
// and the MessageBase interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "msgbase/message_base.h"

namespace vex {

class MsgDirBase : public MessageBase {
 public:
  explicit MsgDirBase(Env& env);
  ~MsgDirBase() override;

  bool OpenBase(const std::string& path) override;
  bool OpenBaseReadOnly(const std::string& path, std::string* problem) override;
  std::string ReadErrorText() override;
  bool CreateBase(const std::string& path) override;
  bool BaseExists(const std::string& path) override;
  void CloseBase() override;
  bool MessageExists(int32_t n) override;

  // The same walk as the common one, over the numbers present.
  void SeekNext() override;
  void SeekPrior() override;
  int32_t IndexPosition() override;
  void SeekIndexPosition(int32_t i) override;
  bool ReadMessage() override;
  bool ReadHeader() override;
  bool FreeMessageText() override;
  int32_t HighMessage() override;
  int32_t MessageCount() override;
  std::string GetFromName() override;
  std::string GetToName() override;
  std::string GetSubject() override;
  void SetFromName(const std::string& s) override;
  void SetToName(const std::string& s) override;
  void SetSubject(const std::string& s) override;
  void GetAddresses(FtnAddress& orig, FtnAddress& dest) override;
  void SetOrigAddress(const FtnAddress& addr, bool newMsgId) override;
  void SetDestAddress(const FtnAddress& addr) override;
  bool TestAttribute(uint32_t mask) override;
  void SetAttribute(uint32_t mask, bool on) override;
  void GetDateWritten(MsgDateTime& dt) override;
  void GetDateArrived(MsgDateTime& dt) override;
  void SetDateWritten(const MsgDateTime& dt) override;
  void SetDateArrived(const MsgDateTime& dt) override;

  // The number is the one the message will most likely get; WriteMessage
  // takes the next free one when another program was faster.
  bool StartNewMessage() override;
  bool WriteMessage() override;
  bool RewriteHeader() override;
  bool DeleteMessage() override;
  int32_t ReadLastRead(int32_t user) override;
  void WriteLastRead(int32_t user, int32_t n) override;

 private:
  // The fixed message header at the start of every file.
  static constexpr size_t kHeaderSize = 190;
  // Writes a new message under a temporary name and links it to the first
  // free number from currentNumber_ on.
  bool PublishNew(const std::string& bytes);
  bool CopyTo(const std::string& name, const std::string& bytes,
              std::unique_ptr<File>& file);

  // A new, locked temporary file in the base directory.
  std::unique_ptr<File> CreateTemp(std::string& path);

  // Temporaries whose writer is gone (nobody holds their lock).
  void RemoveStaleTemps();

  // Finds every message file: the part of the name before the first "."
  // is its number.  Where two files give the same number, the one with a
  // lower-case extension wins.
  void Scan();
  bool Load(bool kludgesOnly);
  std::string LastReadPath();

  // The file the last failed Load tried, and what was wrong with it.
  std::string failedFile_, failedWhy_;
  std::map<int32_t, std::string> present_;  // number -> file name
  std::map<int32_t, uint64_t> sizes_;        // number -> size when listed
  int32_t highestNumber_ = 0;
  std::unique_ptr<File> messageFile_;
  // A new message was started and is not stored yet.
  bool pendingNew_ = false;
  int copyErr_ = 0;  // why the last CopyTo failed
  // The text ReadHeader made: the kludges without the body, never stored.
  const MessageText* headerOnlyText_ = nullptr;
  char header_[kHeaderSize];
};

}  // namespace vex
