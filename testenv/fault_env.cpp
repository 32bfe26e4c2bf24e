#include "testenv/fault_env.h"

#include <signal.h>

#include <algorithm>

namespace vex {

namespace {

class FaultFile : public FileWrapper {
 public:
  FaultFile(std::unique_ptr<File> inner, std::shared_ptr<FaultEnv::State> state)
      : FileWrapper(std::move(inner)), state_(std::move(state)) {}

  long long ReadAt(uint64_t offset, void* buf, size_t n) override {
    FaultEnv::State& s = *state_;
    if (s.limitReads) {
      if (s.readBudget == 0 && n > 0) {
        Inject(s.readErr);
        return -1;
      }
      n = static_cast<size_t>(std::min<uint64_t>(n, s.readBudget));
    }
    long long got = target().ReadAt(offset, buf, n);
    if (got < 0) {
      Pass();
      return -1;
    }
    if (s.limitReads) s.readBudget -= static_cast<uint64_t>(got);
    return got;
  }

  bool WriteAt(uint64_t offset, const void* buf, size_t n) override {
    return Write(n, [&](size_t allowed) {
      return target().WriteAt(offset, buf, allowed);
    });
  }

  bool Append(const void* buf, size_t n) override {
    return Write(n, [&](size_t allowed) { return target().Append(buf, allowed); });
  }

  bool Size(uint64_t* size) override { return Check(target().Size(size)); }

  bool Truncate(uint64_t size) override {
    state_->Tick();
    if (state_->truncateErr) return Inject(state_->truncateErr);
    return Check(target().Truncate(size));
  }

  bool Sync() override {
    state_->Tick();
    if (state_->syncErr) return Inject(state_->syncErr);
    return Check(target().Sync());
  }

  bool ModTime(FileTime* t) override { return Check(target().ModTime(t)); }

  bool LockFirstByte(int timeoutMs) override {
    return Check(target().LockFirstByte(timeoutMs));
  }

  int LastError() const override {
    return ownError_ ? error_ : FileWrapper::LastError();
  }

 private:
  // Stores as many of the n bytes as the injected faults allow (a full disk
  // keeps the bytes that fit) through write(count), then fails if cut short.
  template <typename WriteFn>
  bool Write(size_t n, WriteFn write) {
    FaultEnv::State& s = *state_;
    s.Tick();
    size_t allowed = n;
    bool failing = false;
    if (s.limitWrites && s.writeBudget < n)
      allowed = static_cast<size_t>(s.writeBudget);
    if (s.failFromWrite >= 0) {
      int number = s.writesCounted++;
      if (number >= s.failFromWrite) {
        failing = true;
        size_t keep = number == s.failFromWrite && s.cutShort ? n / 2 : 0;
        allowed = std::min(allowed, keep);
      }
    }
    if (allowed > 0) {
      if (!write(allowed)) return Pass();
      s.bytesWritten += allowed;
      if (s.limitWrites) s.writeBudget -= allowed;
    }
    if (allowed < n || failing) {
      // A single failing write: the ones after it work again.
      if (allowed < n && s.oneWrite) s.limitWrites = false;
      return Inject(s.writeErr);
    }
    ownError_ = false;
    return true;
  }

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

  std::shared_ptr<FaultEnv::State> state_;
  bool ownError_ = false;
  int error_ = 0;
};

}  // namespace

FaultEnv::FaultEnv(Env& base)
    : EnvWrapper(base), state_(std::make_shared<State>()) {}

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

void FaultEnv::FailWritesFrom(int n, bool cutShort, int err) {
  state_->failFromWrite = n;
  state_->cutShort = cutShort;
  state_->writesCounted = 0;
  state_->writeErr = err;
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
  if (mode == OpenMode::kCreate || mode == OpenMode::kCreateExclusive ||
      mode == OpenMode::kCreateWriteOnly ||
      (mode == OpenMode::kAppend && !target().Stat(path).exists)) {
    auto c = state_->createErrs.find(path);
    if (c != state_->createErrs.end()) return fail(c->second);
  }
  std::unique_ptr<File> inner = target().Open(path, mode, err);
  if (!inner) return nullptr;
  return std::make_unique<FaultFile>(std::move(inner), state_);
}

bool FaultEnv::Remove(const std::string& path, int* err) {
  state_->Tick();
  if (state_->removeErr) {
    ++state_->injected;
    if (err) *err = state_->removeErr;
    return false;
  }
  return target().Remove(path, err);
}

bool FaultEnv::Rename(const std::string& from, const std::string& to,
                      int* err) {
  state_->Tick();
  if (state_->renameErr) {
    ++state_->injected;
    if (err) *err = state_->renameErr;
    return false;
  }
  return target().Rename(from, to, err);
}

bool FaultEnv::SyncDirectory(const std::string& path, int* err) {
  if (state_->syncErr) {
    ++state_->injected;
    if (err) *err = state_->syncErr;
    return false;
  }
  return target().SyncDirectory(path, err);
}

// Publishing whole files ------------------------------------------------------

bool FaultEnv::Link(const std::string& from, const std::string& to, int* err) {
  state_->Tick();
  if (state_->renameErr) {
    ++state_->injected;
    if (err) *err = state_->renameErr;
    return false;
  }
  return target().Link(from, to, err);
}

std::vector<std::string> FaultEnv::HiddenNames(const std::string& dir) {
  return target().HiddenNames(dir);
}

}  // namespace vex
