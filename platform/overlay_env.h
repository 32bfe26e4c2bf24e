// An Env that reads through to another one and keeps every change in
// memory.  A run made through it behaves as it would on the target (files
// are created, written, appended, renamed, linked and removed, directories
// made), yet the target is only ever read: its files are opened read-only,
// a file written through the overlay is copied page by page as it is
// written, locks are granted without being taken, and console output and
// window titles are collected instead of shown.  A dry run of the whole
// program, that leaves no trace, is made this way.
//
// Paths are compared after "./" parts, repeated "/" and a trailing "/" are
// dropped.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/env_wrapper.h"

namespace vex {

class OverlayEnv : public EnvWrapper {
 public:
  explicit OverlayEnv(Env& target);
  ~OverlayEnv() override;

  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override;
  FileInfo Stat(const std::string& path) override;
  // A name the overlay holds is a file or a directory, never a link.
  FileInfo LinkInfo(const std::string& path) override;
  bool ReadLink(const std::string& path, std::string* target,
                int* err) override;
  bool CanWrite(const std::string& path) override;
  bool Remove(const std::string& path, int* err) override;
  bool Rename(const std::string& from, const std::string& to,
              int* err) override;
  bool MakeDirectory(const std::string& path, int* err) override;
  bool SyncDirectory(const std::string&, int*) override { return true; }
  std::vector<DirEntry> Search(const std::string& pattern) override;
  bool Link(const std::string& from, const std::string& to,
            int* err) override;
  std::vector<std::string> HiddenNames(const std::string& dir) override;
  void ConsoleWrite(const std::string& text) override { console_ += text; }
  void ErrorWrite(const std::string& text) override { console_ += text; }
  void SaveTitle() override {}
  void SetTitle(const std::string&) override {}
  void RestoreTitle() override {}

  // What was written to the console and to standard error, in order.
  const std::string& console() const { return console_; }
  void ClearConsole() { console_.clear(); }

  struct Data;

 private:
  enum class Kind { kFile, kDirectory, kGone };
  struct Node {
    Kind kind = Kind::kGone;
    std::shared_ptr<Data> data;
  };
  // The node of a path, nullptr when the overlay does not know it.
  Node* Find(const std::string& path);
  bool DirectoryExists(const std::string& path);
  // The data of an existing file (made from the target's file when the
  // overlay does not hold it yet); nullptr and *err when there is none.
  std::shared_ptr<Data> FileData(const std::string& path, int* err);
  std::shared_ptr<Data> NewData();

  std::map<std::string, Node> nodes_;
  std::string console_;
};

}  // namespace vex
