// The one narrow interface through which the program reaches the operating
// system: files, directory search, console, window title and clock.  The
// program uses DefaultEnv(); tests substitute an in-memory or fault-injecting
// Env.  Everything here works on byte strings in CP866; only the console
// implementation converts to UTF-8 on the way out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex {

// Local date and time as the clock reads it.  weekday: 0 = Sunday .. 6.
struct ClockTime {
  int32_t year = 0, month = 0, day = 0;
  int32_t hour = 0, minute = 0, second = 0, hundredths = 0;
  int32_t weekday = 0;
};

// A file modification time unpacked as the DOS date-time format holds it:
// seconds rounded down to even, nothing before 1980-01-01 00:00:00.
struct FileTime {
  int32_t year = 1980, month = 1, day = 1;
  int32_t hour = 0, minute = 0, second = 0;
};

enum class OpenMode {
  kRead,             // existing file, read only
  kReadWrite,        // existing file, read and write
  kWrite,            // existing file, write only
  kCreate,           // create or truncate, read and write
  kCreateExclusive,  // create a file that must not exist yet, read and write;
                     // a symbolic link at the name counts as existing and is
                     // never followed
  kAppend,           // create when missing (never truncated), write only;
                     // every write goes to the end of the file in one step
  kCreateWriteOnly,  // create or truncate, write only
};

// An open file.  Reads and writes are positional; a failed call leaves the
// errno value in LastError().
class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at offset; returns the count read (0 at end of file)
  // or -1 on failure.
  virtual long long ReadAt(uint64_t offset, void* buf, size_t n) = 0;
  // Writes all n bytes at offset; false on failure.
  virtual bool WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
  // Writes all n bytes at the end of the file.  On a file opened with
  // kAppend the system places them (so no other writer's data is ever
  // overwritten); WriteAt on such a file appends as well.
  virtual bool Append(const void* buf, size_t n) = 0;
  virtual bool Size(uint64_t* size) = 0;
  virtual bool Truncate(uint64_t size) = 0;
  // Pushes written data to the disk.
  virtual bool Sync() = 0;
  // Sets the permission bits (07777) of the open file.
  virtual bool SetMode(uint32_t mode) = 0;
  // Modification time of the open file.
  virtual bool ModTime(FileTime* t) = 0;
  // Takes an exclusive record lock on byte 0 (length 1), retrying for up to
  // timeoutMs milliseconds; held until the file is closed.
  virtual bool LockFirstByte(int timeoutMs) = 0;
  virtual int LastError() const = 0;
  virtual const std::string& Path() const = 0;
};

struct DirEntry {
  std::string name;  // without directory
  FileTime mtime;
  uint64_t size = 0;
};

struct FileInfo {
  bool exists = false;
  bool isDirectory = false;
  uint64_t size = 0;
  FileTime mtime;
  bool isLink = false;  // LinkInfo only: the name is a symbolic link
  uint32_t mode = 0;    // permission bits (07777)
  uint32_t owner = 0;   // the owner's user id
};

class Env {
 public:
  virtual ~Env() = default;

  // Opens path; on failure returns nullptr and stores errno in *err.
  virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                                     int* err) = 0;
  virtual FileInfo Stat(const std::string& path) = 0;
  // As Stat, but a symbolic link at path is described itself, not what it
  // points to.
  virtual FileInfo LinkInfo(const std::string& path) = 0;
  // What the symbolic link at path points to, as written in it; false with
  // the errno value in *err (EINVAL when path is no link).
  virtual bool ReadLink(const std::string& path, std::string* target,
                        int* err) = 0;
  // The user the program runs as.
  virtual uint32_t UserId() = 0;
  // A number no one can guess, for names that must not be foreseen.
  virtual uint64_t RandomNumber() = 0;
  // True when the process may change the file, or create and remove files
  // in the directory, that path names (nothing is opened or created).
  virtual bool CanWrite(const std::string& path) { return Stat(path).exists; }
  virtual bool Remove(const std::string& path, int* err) = 0;
  // Replaces `to` in one step.
  virtual bool Rename(const std::string& from, const std::string& to,
                      int* err) = 0;
  // Creates one directory (not its parents); true when it exists afterwards.
  virtual bool MakeDirectory(const std::string& path, int* err) = 0;
  // Pushes the entries of a directory (files created, renamed or removed in
  // it) to the disk; "" is the current directory.
  virtual bool SyncDirectory(const std::string& path, int* err) = 0;
  // Wildcard search.  `pattern` is a directory part (up to and including the
  // last "/", may be empty) followed by a mask with "*" and "?", matched
  // without regard to ASCII letter case.  Only regular files (a symbolic link
  // counts as what it points to); names beginning with "." are hidden and
  // skipped.  Sorted by name, bytewise.
  virtual std::vector<DirEntry> Search(const std::string& pattern) = 0;
  // The names Search finds, in no particular order, without their sizes and
  // times: a real disk then need not look at each file or sort the names.
  virtual std::vector<std::string> SearchNames(const std::string& pattern) {
    std::vector<std::string> names;
    for (DirEntry& e : Search(pattern)) names.push_back(std::move(e.name));
    return names;
  }

  virtual ClockTime Now() = 0;
  virtual void SleepMs(int ms) = 0;

  // Console: bytes in CP866, converted to UTF-8 on the way out.
  virtual void ConsoleWrite(const std::string& text) = 0;  // standard output
  virtual void ErrorWrite(const std::string& text) = 0;    // standard error
  // Console window title: saved at start, set while running, restored at end.
  virtual void SaveTitle() = 0;
  virtual void SetTitle(const std::string& text) = 0;
  virtual void RestoreTitle() = 0;

  // Publishing whole files -------------------------------------------------
  // Gives the file `from` the second name `to` (a hard link); fails with
  // EEXIST when `to` exists, so nothing is ever replaced.
  virtual bool Link(const std::string& from, const std::string& to,
                    int* err) = 0;
  // Names in directory `dir` ("" = current) that begin with "." (not "."
  // and ".."), sorted: the hidden files Search skips.
  virtual std::vector<std::string> HiddenNames(const std::string& dir) = 0;
};

// The real operating system.
Env* DefaultEnv();

// Maps an errno value to the Win32 code that the messages are keyed by:
// ENOENT gives 2 when the directory part of `path` exists and 3 when it does
// not; ENOTDIR 3; EMFILE/ENFILE 4; EACCES/EPERM/EISDIR 5; anything else
// keeps its own number.
int Win32ErrorCode(Env& env, int err, const std::string& path);

// Text of an errno value, for the run-time error line.
std::string SystemErrorText(int err);

}  // namespace vex
