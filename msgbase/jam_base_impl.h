// The JAM base object.  The program reaches it only through MakeJamBase and
// the MessageBase interface; this header exists for the tests, which also
// shorten the lock wait.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "msgbase/jam/format.h"
#include "msgbase/message_base.h"

namespace vex::jam {
enum : int {
  kErrNoJhr = 0x2000, kErrNoJdx, kErrNoJdt, kErrOpenJhr, kErrOpenJdx, kErrOpenJdt,
  kErrReadHeader, kErrHeaderOffset, kErrTextOffset, kErrBadBaseHeader, kErrCreateJhr,
  kErrCreateJdx, kErrCreateJdt, kErrNoJlr, kErrWrite, kErrJlr,
};
}  // namespace vex::jam

namespace vex {

// The existing file base + ext, whatever the case of its extension; empty
// when there is none.
std::string FindJamFile(Env& env, const std::string& base, const std::string& ext);

class JamBase : public MessageBase {
 public:
  explicit JamBase(Env& env);
  ~JamBase() override;

  // How long open and create wait for the lock on the header file.
  void SetLockTimeoutMs(int ms) { lockTimeoutMs_ = ms; }

  bool OpenBase(const std::string& path) override;
  bool OpenBaseReadOnly(const std::string& path, std::string* problem) override;
  std::string ReadErrorText() override;
  bool CreateBase(const std::string& path) override;
  bool BaseExists(const std::string& path) override;
  void CloseBase() override;
  bool MessageExists(int32_t n) override;

  // Both move through the index, never number by number.
  void SeekNext() override;
  void SeekPrior() override;
  int32_t IndexPosition() override;
  void SeekIndexPosition(int32_t i) override;

  bool ReadMessage() override;
  bool ReadHeader() override;
  bool FreeMessageText() override;
  int32_t HighMessage() override;
  int32_t MessageCount() override;

  std::string GetFromName() override { return fromName_; }
  std::string GetToName() override { return toName_; }
  std::string GetSubject() override { return subject_; }
  void SetFromName(const std::string& s) override;
  void SetToName(const std::string& s) override;
  void SetSubject(const std::string& s) override;

  bool TestAttribute(uint32_t mask) override;
  void SetAttribute(uint32_t mask, bool on) override;
  void GetDateWritten(MsgDateTime& dt) override;
  void GetDateArrived(MsgDateTime& dt) override;
  void SetDateWritten(const MsgDateTime& dt) override;
  void SetDateArrived(const MsgDateTime& dt) override;
  bool WriteMessage() override;
  bool RewriteHeader() override;

  bool StartNewMessage() override;
  bool DeleteMessage() override;
  int32_t ReadLastRead(int32_t user) override;
  void WriteLastRead(int32_t user, int32_t n) override;

  // Inspection for tests.
  const jam::BaseHeader& baseHeader() const { return baseHeader_; }
  const jam::MsgHeader& messageHeader() const { return header_; }
  const std::vector<jam::Subfield>& subfields() const { return subfields_; }
  // The file names in use (empty while closed).
  const std::string& jhrPath() const { return paths_[0]; }
  const std::string& jdxPath() const { return paths_[1]; }
  const std::string& jdtPath() const { return paths_[2]; }
  const std::string& jlrPath() const { return paths_[3]; }

 private:
  enum { kJhr, kJdx, kJdt, kJlr, kFileCount };

  // The first record from slot `from` on (step 1) or down (step -1) that is
  // not marked deleted and whose number fits; false when there is none.
  bool FindLiveSlot(int64_t from, int step, uint32_t count, uint32_t* slot);
  // Closes every file and forgets the paths.
  void DropFiles();
  // Number of whole records in the index file; false on failure.
  bool IndexCount(uint32_t* count);
  bool ReadIndexRecord(uint32_t slot, jam::IndexRecord* rec);
  bool WriteBaseHeader();
  // Takes back what a write killed or cut short left behind.
  bool Repair();
  // The message an index record points at is whole in the files.
  bool RecordComplete(const jam::IndexRecord& rec);
  bool SyncAll();
  bool Sync(int file);
  bool Load(bool wholeText);
  // Writes bytes or sets the write error code.
  bool Put(int file, uint64_t offset, const std::string& bytes);
  bool FileSize(int file, uint64_t* size);
  // Clears the message state (header, subfields, strings).
  void ClearMessage();

  // The steps of WriteMessage.
  void AppendAddressSubfields(std::string& area);
  void SplitControlLines(std::string& area, std::string& body);
  void SetTypeAttributes();
  // The sizes the message is appended at, the base made again when another
  // program emptied it, and the new message's number.
  bool PrepareForAppend(uint64_t* jhrSize, uint64_t* jdtSize);
  // What a failed write puts back: the file sizes, the index record it
  // overwrites and the base header.
  struct WriteUndo {
    uint64_t jhrSize = 0, jdtSize = 0, jdxSize = 0;
    std::string oldRecord, oldBase;
    jam::BaseHeader before;
    // How far the append went: the last step begun.
    enum Step { kNothing, kText, kHeader, kIndex, kBaseHeader } reached = kNothing;
  };
  bool SaveForUndo(WriteUndo& undo);
  int RefuseDataBesideNoHeader(const std::string& base);
  // Puts back what the steps up to undo.reached wrote, newest first, and
  // stops at the first that cannot be put back; always false.
  bool PutBack(const WriteUndo& undo);
  void MarkHeaderDeleted(uint64_t headerPos);

  // The steps of Load.  What it reads before anything of the current
  // message changes: slot, index record, header, subfields and body.
  struct StoredMessage {
    int64_t slot = 0;
    jam::IndexRecord rec;
    jam::MsgHeader hdr;
    std::vector<jam::Subfield> subfields;
    std::string body;
  };
  // False with the error code when the message cannot be read.
  bool ReadStored(bool wholeText, StoredMessage& m, int* code);
  // Names, subject and addresses from the subfields.
  void TakeSubfieldValues();
  void TakeTypeBits();
  std::string TextFromSubfields(bool wholeText, const std::string& body);

  // The steps of CreateBase.  temp is the header file's hidden name.
  // Closes and forgets every file (removing those made, and temp, when
  // removeCreated); always false.
  bool FailCreate(const std::string& temp, int code, bool removeCreated);
  bool WaitAndOpen(const std::string& path, const std::string& base,
                   const std::string& temp);
  bool OpenInstead(const std::string& path, const std::string& base,
                   const std::string& temp);
  // These return 0, an error code, or a sign to open the base instead.
  int FindFileInTheWay(const std::string& base);
  int CreateOtherFiles(const std::string& base, int& err);
  int NameHeaderFile(const std::string& temp, const std::string& jhr, int& err);

  // The steps of OpenBase; each returns 0 or an error code.  The header
  // file is found, waited for while another program creates it, and locked.
  static std::string CreationTempName(const std::string& base);
  void RemoveLeftCreationTemp(const std::string& base);
  int OpenLockedHeader(const std::string& base, std::string& jhr,
                       uint64_t* jhrSize);
  int OpenIndexAndText(const std::string& base, const std::string& jhr,
                       uint64_t jhrSize);
  // Writes the base header into a header file a creation left short, when
  // the index and text are empty.
  int FinishCreation();
  int OpenLastReadFile(const std::string& base, const std::string& jhr);
  // The end of OpenBase and OpenBaseReadOnly: open, or closed with code.
  bool FinishOpen(int code);

  // The steps of OpenBaseReadOnly; each returns 0, or an error code with
  // the reason in why.
  int OpenHeaderFileReadOnly(const std::string& path, const std::string& base,
                             uint64_t* size, std::string& why);
  int CheckBaseHeader(std::string& why);
  int CheckNothingStored(const std::string& base, std::string& why);
  int OpenDataFilesReadOnly(const std::string& path, const std::string& base,
                            std::string& why);
  // File sizes, and the index when it is small enough to hold.
  int TakeSnapshot(std::string& why);

  // A base opened read-only is read as it was at open: the file sizes are
  // taken once, and the index is held in memory unless it is too large.
  struct Snapshot {
    bool held = false;
    bool indexHeld = false;
    std::string index;
    uint64_t sizes[kFileCount] = {};
  };
  // The index bytes of records [slot, slot + n); false on failure.
  bool ReadIndexBytes(uint32_t slot, uint32_t n, std::string& bytes);

  Snapshot snapshot_;
  bool namesMade_ = false;  // the open made a file: its directory is synced
  std::string damage_;      // what is wrong with a base refused as damaged
  int lockTimeoutMs_ = 10000;
  std::unique_ptr<File> files_[kFileCount];
  std::string paths_[kFileCount];
  jam::BaseHeader baseHeader_;
  bool baseHeaderDirty_ = false;

  // The current message.
  jam::MsgHeader header_;
  std::vector<jam::Subfield> subfields_;
  jam::IndexRecord indexRecord_;
  uint64_t indexPos_ = 0;       // byte offset of its index record
  uint64_t headerPos_ = 0;      // offset of its header in the header file
  bool haveMessage_ = false;    // a message was started or loaded
  bool isNewMessage_ = false;   // started and not yet stored
  // The text ReadHeader made: the kludges without the body, never stored.
  const MessageText* headerOnlyText_ = nullptr;
  std::string fromName_, toName_, subject_;
  FtnAddress origAddr_, destAddr_;
};

}  // namespace vex
