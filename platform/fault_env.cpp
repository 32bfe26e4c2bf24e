#include "platform/fault_env.h"

#include <signal.h>

#include <algorithm>

namespace vex {

namespace {

class FaultFile : public File {
 public:
  FaultFile(std::unique_ptr<File> inner, std::shared_ptr<FaultEnv::State> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  long long ReadAt(uint64_t offset, void* buf, size_t n) override {
    FaultEnv::State& s = *state_;
    if (s.limitReads) {
      if (s.readBudget == 0 && n > 0) {
        Inject(s.readErr);
        return -1;
      }
      n = static_cast<size_t>(std::min<uint64_t>(n, s.readBudget));
    }
    long long got = inner_->ReadAt(offset, buf, n);
    if (got < 0) {
      Pass();
      return -1;
    }
    if (s.limitReads) s.readBudget -= static_cast<uint64_t>(got);
    return got;
  }

  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    FaultEnv::State& s = *state_;
    s.Tick();
    size_t allowed = n;
    if (s.limitWrites && s.writeBudget < n)
      allowed = static_cast<size_t>(s.writeBudget);
    if (allowed > 0) {
      if (!inner_->WriteAt(offset, buf, allowed)) return Pass();
      s.bytesWritten += allowed;
      if (s.limitWrites) s.writeBudget -= allowed;
    }
    if (allowed < n) {
      if (s.oneWrite) s.limitWrites = false;
      return Inject(s.writeErr);
    }
    ownError_ = false;
    return true;
  }

  bool Size(uint64_t* size) override { return Check(inner_->Size(size)); }

  bool Truncate(uint64_t size) override {
    state_->Tick();
    if (state_->truncateErr) return Inject(state_->truncateErr);
    return Check(inner_->Truncate(size));
  }

  bool Sync() override {
    state_->Tick();
    if (state_->syncErr) return Inject(state_->syncErr);
    return Check(inner_->Sync());
  }

  bool ModTime(FileTime* t) override { return Check(inner_->ModTime(t)); }

  bool LockFirstByte(int timeoutMs) override {
    return Check(inner_->LockFirstByte(timeoutMs));
  }

  int LastError() const override {
    return ownError_ ? error_ : inner_->LastError();
  }
  const std::string& Path() const override { return inner_->Path(); }

 private:
  bool Inject(int err) {
    ownError_ = true;
    error_ = err;
    ++state_->injected;
    return false;
  }
  bool Pass() {
    ownError_ = false;
    return false;
  }
  bool Check(bool ok) {
    if (!ok) ownError_ = false;
    return ok;
  }

  std::unique_ptr<File> inner_;
  std::shared_ptr<FaultEnv::State> state_;
  bool ownError_ = false;
  int error_ = 0;
};

}  // namespace

FaultEnv::FaultEnv(Env& base)
    : base_(base), state_(std::make_shared<State>()) {}

FaultEnv::~FaultEnv() = default;

void FaultEnv::FailWritesAfter(uint64_t bytes, int err) {
  state_->limitWrites = true;
  state_->writeBudget = bytes;
  state_->writeErr = err;
  state_->oneWrite = false;
}

void FaultEnv::FailOneWriteAfter(uint64_t bytes, int err) {
  FailWritesAfter(bytes, err);
  state_->oneWrite = true;
}

void FaultEnv::FailOpen(const std::string& path, int err) {
  state_->openErrs[path] = err;
}

void FaultEnv::FailCreate(const std::string& path, int err) {
  state_->createErrs[path] = err;
}

void FaultEnv::FailRenames(int err) { state_->renameErr = err; }
void FaultEnv::FailRemoves(int err) { state_->removeErr = err; }
void FaultEnv::FailSyncs(int err) { state_->syncErr = err; }
void FaultEnv::FailTruncates(int err) { state_->truncateErr = err; }

void FaultEnv::FailReadsAfter(uint64_t bytes, int err) {
  state_->limitReads = true;
  state_->readBudget = bytes;
  state_->readErr = err;
}

void FaultEnv::State::Tick() {
  if (crashCountdown > 0 && --crashCountdown == 0) ::raise(SIGKILL);
}

void FaultEnv::CrashBeforeOperation(int n) { state_->crashCountdown = n; }

void FaultEnv::Reset() {
  State fresh;
  fresh.bytesWritten = state_->bytesWritten;
  fresh.injected = state_->injected;
  *state_ = fresh;
}

std::unique_ptr<File> FaultEnv::Open(const std::string& path, OpenMode mode,
                                     int* err) {
  state_->Tick();
  auto fail = [&](int e) -> std::unique_ptr<File> {
    ++state_->injected;
    if (err) *err = e;
    return nullptr;
  };
  auto it = state_->openErrs.find(path);
  if (it != state_->openErrs.end()) return fail(it->second);
  if (mode == OpenMode::kCreate || mode == OpenMode::kCreateExclusive) {
    auto c = state_->createErrs.find(path);
    if (c != state_->createErrs.end()) return fail(c->second);
  }
  std::unique_ptr<File> inner = base_.Open(path, mode, err);
  if (!inner) return nullptr;
  return std::make_unique<FaultFile>(std::move(inner), state_);
}

FileInfo FaultEnv::Stat(const std::string& path) { return base_.Stat(path); }

bool FaultEnv::Remove(const std::string& path, int* err) {
  state_->Tick();
  if (state_->removeErr) {
    ++state_->injected;
    if (err) *err = state_->removeErr;
    return false;
  }
  return base_.Remove(path, err);
}

bool FaultEnv::Rename(const std::string& from, const std::string& to,
                      int* err) {
  state_->Tick();
  if (state_->renameErr) {
    ++state_->injected;
    if (err) *err = state_->renameErr;
    return false;
  }
  return base_.Rename(from, to, err);
}

bool FaultEnv::MakeDirectory(const std::string& path, int* err) {
  return base_.MakeDirectory(path, err);
}

std::vector<DirEntry> FaultEnv::Search(const std::string& pattern) {
  return base_.Search(pattern);
}

ClockTime FaultEnv::Now() { return base_.Now(); }
void FaultEnv::SleepMs(int ms) { base_.SleepMs(ms); }
void FaultEnv::ConsoleWrite(const std::string& text) { base_.ConsoleWrite(text); }
void FaultEnv::ErrorWrite(const std::string& text) { base_.ErrorWrite(text); }
void FaultEnv::SaveTitle() { base_.SaveTitle(); }
void FaultEnv::SetTitle(const std::string& text) { base_.SetTitle(text); }
void FaultEnv::RestoreTitle() { base_.RestoreTitle(); }

// Publishing whole files ------------------------------------------------------

bool FaultEnv::Link(const std::string& from, const std::string& to, int* err) {
  state_->Tick();
  if (state_->renameErr) {
    ++state_->injected;
    if (err) *err = state_->renameErr;
    return false;
  }
  return base_.Link(from, to, err);
}

std::vector<std::string> FaultEnv::HiddenNames(const std::string& dir) {
  return base_.HiddenNames(dir);
}

}  // namespace vex
