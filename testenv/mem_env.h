// An in-memory Env for unit tests: files and directories live in maps, the
// clock is set by the test, console and error output are captured as CP866
// bytes and window titles are recorded.
//
// Paths are normalised before use ("./" parts and repeated "/" dropped, a
// trailing "/" removed), so "dir//a" and "./dir/a" name the same file.
// Relative names live under the current directory "", absolute ones under
// "/"; both always exist.  Open files share their contents with the map, so
// a file removed or renamed while open keeps working, as on POSIX.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/env.h"

namespace vex {

// A file modification time from a clock reading, the way the DOS format
// keeps it: seconds rounded down to even, nothing before 1980-01-01.
FileTime ToFileTime(const ClockTime& t);

class MemEnv : public Env {
 public:
  MemEnv();
  ~MemEnv() override;

  // Test set-up and inspection.
  // Creates or replaces a file (parent directories are made as needed); its
  // modification time is the clock's current time.
  void SetFile(const std::string& path, std::string contents);
  // Contents of a file; empty when there is none.
  std::string GetFile(const std::string& path) const;
  bool HasFile(const std::string& path) const;
  bool HasDirectory(const std::string& path) const;
  // Makes a directory and its parents.
  void AddDirectory(const std::string& path);
  void SetModTime(const std::string& path, const FileTime& t);
  // Every file path, sorted.
  std::vector<std::string> Files() const;
  // How many times Sync() was called on the file (0 when there is none).
  int SyncCount(const std::string& path) const;
  // How many times SyncDirectory() was called on the directory.
  int DirectorySyncCount(const std::string& path) const;
  // The names that renames gave to files holding writes not yet synced, in
  // order: a file published that way may lose its contents in a power cut.
  const std::vector<std::string>& UnsyncedRenames() const {
    return unsyncedRenames_;
  }
  // The permission bits of a file (0 when there is none).
  uint32_t Mode(const std::string& path) const;
  void SetMode(const std::string& path, uint32_t mode);
  // Open files; tests check that nothing is left open.
  int OpenFileCount() const { return openFiles_; }

  void SetNow(const ClockTime& t) { now_ = t; }
  const std::string& console() const { return console_; }
  const std::string& errors() const { return errors_; }
  void ClearConsole() {
    console_.clear();
    errors_.clear();
  }
  // Every text passed to SetTitle, in order.
  const std::vector<std::string>& titles() const { return titles_; }
  // The title as a terminal would show it now ("" before any SetTitle and
  // after the saved title is restored).
  const std::string& title() const { return title_; }
  int saveTitleCount() const { return saveTitleCount_; }
  int restoreTitleCount() const { return restoreTitleCount_; }
  long long sleptMs() const { return sleptMs_; }

  // Env.
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override;
  FileInfo Stat(const std::string& path) override;
  // There are no symbolic links in memory: every file is the user's own.
  FileInfo LinkInfo(const std::string& path) override { return Stat(path); }
  bool ReadLink(const std::string& path, std::string* target,
                int* err) override;
  uint32_t UserId() override { return kUserId; }
  // 1, 2, 3, ... so that tests know the names made from them.
  uint64_t RandomNumber() override { return ++random_; }
  static constexpr uint32_t kUserId = 1000;
  bool Remove(const std::string& path, int* err) override;
  bool Rename(const std::string& from, const std::string& to,
              int* err) override;
  bool MakeDirectory(const std::string& path, int* err) override;
  bool SyncDirectory(const std::string& path, int* err) override;
  std::vector<DirEntry> Search(const std::string& pattern) override;
  ClockTime Now() override { return now_; }
  void SleepMs(int ms) override { sleptMs_ += ms; }
  void ConsoleWrite(const std::string& text) override { console_ += text; }
  void ErrorWrite(const std::string& text) override { errors_ += text; }
  void SaveTitle() override;
  void SetTitle(const std::string& text) override;
  void RestoreTitle() override;

  // Publishing whole files.
  bool Link(const std::string& from, const std::string& to,
            int* err) override;
  std::vector<std::string> HiddenNames(const std::string& dir) override;

  // File contents shared between the map and open files.
  struct Node {
    std::string data;
    FileTime mtime;
    uint32_t mode = 0644;
    bool unsynced = false;  // written since the last Sync
    int syncs = 0;
    const void* lockHolder = nullptr;
  };
  // The file system as it stands, for environments that model a disk
  // beneath this one: every file by path with its node (the names of one
  // node are hard links of each other), and every directory.
  const std::map<std::string, std::shared_ptr<Node>>& FileNodes() const {
    return files_;
  }
  const std::set<std::string>& Directories() const { return dirs_; }

  // The form in which paths are kept ("a//b/./c/" is "a/b/c"), and the
  // directory that holds one ("" for the current directory).
  static std::string Normalize(const std::string& path);
  static std::string Parent(const std::string& path);

 private:
  friend class MemFile;
  bool IsDir(const std::string& norm) const;
  // 0 when every ancestor of norm is a directory, else ENOENT or ENOTDIR.
  int CheckParents(const std::string& norm) const;

  std::map<std::string, std::shared_ptr<Node>> files_;
  std::set<std::string> dirs_;
  std::map<std::string, int> dirSyncs_;
  std::vector<std::string> unsyncedRenames_;
  ClockTime now_;
  std::string console_, errors_;
  std::vector<std::string> titles_;
  std::vector<std::string> savedTitles_;
  std::string title_;
  int saveTitleCount_ = 0, restoreTitleCount_ = 0;
  long long sleptMs_ = 0;
  int openFiles_ = 0;
  uint64_t random_ = 0;
};

}  // namespace vex
