// Base classes for an Env or a File that passes every call on to another
// one.  A subclass overrides only the calls it changes (fault injection,
// counting, tracing) and inherits the rest.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace vex {

class FileWrapper : public File {
 public:
  explicit FileWrapper(std::unique_ptr<File> target)
      : target_(std::move(target)) {}

  long long ReadAt(uint64_t offset, void* buf, size_t n) override {
    return target_->ReadAt(offset, buf, n);
  }
  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    return target_->WriteAt(offset, buf, n);
  }
  bool Append(const void* buf, size_t n) override {
    return target_->Append(buf, n);
  }
  bool Size(uint64_t* size) override { return target_->Size(size); }
  bool Truncate(uint64_t size) override { return target_->Truncate(size); }
  bool Sync() override { return target_->Sync(); }
  bool SetMode(uint32_t mode) override { return target_->SetMode(mode); }
  bool ModTime(FileTime* t) override { return target_->ModTime(t); }
  bool LockFirstByte(int timeoutMs) override {
    return target_->LockFirstByte(timeoutMs);
  }
  int LastError() const override { return target_->LastError(); }
  const std::string& Path() const override { return target_->Path(); }

 protected:
  File& target() { return *target_; }

 private:
  std::unique_ptr<File> target_;
};

class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}

  Env& target() const { return target_; }

  std::unique_ptr<File> Open(const std::string& path, OpenMode mode,
                             int* err) override {
    return target_.Open(path, mode, err);
  }
  FileInfo Stat(const std::string& path) override { return target_.Stat(path); }
  FileInfo LinkInfo(const std::string& path) override {
    return target_.LinkInfo(path);
  }
  bool ReadLink(const std::string& path, std::string* target,
                int* err) override {
    return target_.ReadLink(path, target, err);
  }
  uint32_t UserId() override { return target_.UserId(); }
  uint64_t RandomNumber() override { return target_.RandomNumber(); }
  bool Remove(const std::string& path, int* err) override {
    return target_.Remove(path, err);
  }
  bool Rename(const std::string& from, const std::string& to,
              int* err) override {
    return target_.Rename(from, to, err);
  }
  bool MakeDirectory(const std::string& path, int* err) override {
    return target_.MakeDirectory(path, err);
  }
  bool SyncDirectory(const std::string& path, int* err) override {
    return target_.SyncDirectory(path, err);
  }
  std::vector<DirEntry> Search(const std::string& pattern) override {
    return target_.Search(pattern);
  }
  ClockTime Now() override { return target_.Now(); }
  void SleepMs(int ms) override { target_.SleepMs(ms); }
  void ConsoleWrite(const std::string& text) override {
    target_.ConsoleWrite(text);
  }
  void ErrorWrite(const std::string& text) override { target_.ErrorWrite(text); }
  void SaveTitle() override { target_.SaveTitle(); }
  void SetTitle(const std::string& text) override { target_.SetTitle(text); }
  void RestoreTitle() override { target_.RestoreTitle(); }
  bool CanWrite(const std::string& path) override {
    return target_.CanWrite(path);
  }
  bool Link(const std::string& from, const std::string& to,
            int* err) override {
    return target_.Link(from, to, err);
  }
  std::vector<std::string> HiddenNames(const std::string& dir) override {
    return target_.HiddenNames(dir);
  }

 private:
  Env& target_;
};

}  // namespace vex
