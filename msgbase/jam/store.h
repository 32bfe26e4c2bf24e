// The pieces a JAM base is made of inside the library: its files, the open
// and creation steps, the open-time repair and the Base over them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "msgbase/base.h"
#include "msgbase/base_dirs.h"
#include "msgbase/jam/format.h"

namespace vex::jam {

enum FileId { kJhr, kJdx, kJdt, kJlr, kFileCount };

struct Files {
  std::unique_ptr<File> file[kFileCount];
  std::string path[kFileCount];
  // The open made a file: its folder is synced before the base is used.
  bool namesMade = false;
};

// The base's name with its trailing dot ("b/area.").
std::string WithDot(const std::string& path);
// Exactly n bytes at offset of the file `id`; a file that ends before them
// is damage, described by `what`.
Status ReadFully(const Files& files, int id, uint64_t offset, size_t n, const std::string& what,
                 std::string* out);
Status FileSize(const Files& files, int id, uint64_t* size);
// Damage found in `file`: "<file> is damaged: <what>".
inline Status Damage(const std::string& file, const std::string& what) {
  return Status::Damaged(file, file + " is damaged: " + what);
}

// Opens a base for writing and holds its lock (the header file's first
// byte, until the close, so that no other program interleaves its writes);
// NotFound when it has no header file.
Status OpenLocked(Env& env, const std::string& base, int lockTimeoutMs, Files* files,
                  BaseHeader* header);
// Makes a new empty base unless one is there or being made; Ok when a base
// exists afterwards (made here or by another program).
Status CreateBase(Env& env, const std::string& base, int lockTimeoutMs);
// Opens a base for reading only: no lock, nothing written.
Status OpenReadOnly(Env& env, const std::string& path, Files* files, BaseHeader* header);
// Takes back what a post stopped by a kill or a power cut left behind.
Status Repair(Files& files, BaseHeader* header);

class Store final : public Base {
 public:
  Store(Env& env, Files files, const BaseHeader& header, bool readOnly);
  ~Store() override { Close(); }

  // A base opened for reading is read as it was at open: the file sizes
  // are taken once, and the index is held when it is not too large.
  Status TakeSnapshot();

  Status List(std::vector<uint32_t>* numbers) override;
  Status Read(uint32_t number, Message* message) override;
  Status Append(const Message& message, uint32_t* number) override;
  Status Delete(uint32_t number) override;
  Status Close() override;

 private:
  // A message's place in the index.
  struct Slot {
    uint32_t slot = 0;
    IndexRecord record;
  };
  struct Stored {
    MsgHeader header;
    std::vector<Subfield> subfields;
  };

  // The number of index slot 0.  A base numbered from 0, which no message
  // can carry, is numbered from 1.
  uint32_t First() const { return header_.baseMsgNum == 0 ? 1 : header_.baseMsgNum; }
  // Slots past the last whole record, and past the highest 31-bit number,
  // hold no message.
  Status Count(uint32_t* count);
  Status Size(int id, uint64_t* size);
  Status IndexBytes(uint32_t slot, uint32_t n, std::string* bytes);
  // The live slot of `number`; NotFound when there is none.
  Status Find(uint32_t number, Slot* slot);
  Status LoadHeader(uint32_t number, const Slot& slot, Stored* stored);
  // Damaged when the text of message `number` runs into the text of the
  // next message that has one.
  Status CheckTextAlone(uint32_t number, const Slot& slot, const MsgHeader& header);
  Status Writable() const;
  Status Put(int id, uint64_t offset, const std::string& bytes, const std::string& what);
  Status Sync(int id);
  // Marks the base as taking no further message until it is opened again.
  Status WriteFailed(Status st) {
    writeFailed_ = true;
    return st;
  }

  // What a failed append puts back.
  struct Undo {
    uint64_t jhrSize = 0, jdtSize = 0, jdxSize = 0;
    uint64_t indexPos = 0;
    std::string oldRecord;  // a partial record the new one overwrote
    BaseHeader header;
    enum Step { kNothing, kText, kHeader, kIndex, kBaseHeader } reached = kNothing;
  };
  Status PutBack(const Undo& undo, Status why);

  Env& env_;
  Files files_;
  BaseHeader header_;
  bool readOnly_;
  bool open_ = true;
  bool writeFailed_ = false;
  bool snapshot_ = false;
  bool indexHeld_ = false;
  std::string index_;
  uint64_t sizes_[kFileCount] = {};
};

}  // namespace vex::jam
