// Posting benchmark (scripts/bench-post.sh): posts N messages into a JAM, a
// Squish and a *.MSG base, each post opening and closing its base as the
// program does, and prints the time per format.  With "nosync" every sync
// is skipped, which shows what the syncs before publishing cost.
//
//   post_perftest <directory> <count> <sync|nosync>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "msgbase/message_base.h"

namespace vex {
namespace {

// Passes everything to the real Env, except that syncs do nothing.
class NoSyncFile : public File {
 public:
  explicit NoSyncFile(std::unique_ptr<File> f) : f_(std::move(f)) {}
  long long ReadAt(uint64_t o, void* b, size_t n) override { return f_->ReadAt(o, b, n); }
  bool WriteAt(uint64_t o, const void* b, size_t n) override { return f_->WriteAt(o, b, n); }
  bool Size(uint64_t* s) override { return f_->Size(s); }
  bool Truncate(uint64_t s) override { return f_->Truncate(s); }
  bool Sync() override { return true; }
  bool ModTime(FileTime* t) override { return f_->ModTime(t); }
  bool LockFirstByte(int ms) override { return f_->LockFirstByte(ms); }
  int LastError() const override { return f_->LastError(); }
  const std::string& Path() const override { return f_->Path(); }

 private:
  std::unique_ptr<File> f_;
};

class NoSyncEnv : public Env {
 public:
  explicit NoSyncEnv(Env& e) : e_(e) {}
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* err) override {
    auto f = e_.Open(p, m, err);
    return f ? std::make_unique<NoSyncFile>(std::move(f)) : nullptr;
  }
  FileInfo Stat(const std::string& p) override { return e_.Stat(p); }
  bool Remove(const std::string& p, int* err) override { return e_.Remove(p, err); }
  bool Rename(const std::string& a, const std::string& b, int* err) override { return e_.Rename(a, b, err); }
  bool MakeDirectory(const std::string& p, int* err) override { return e_.MakeDirectory(p, err); }
  std::vector<DirEntry> Search(const std::string& p) override { return e_.Search(p); }
  ClockTime Now() override { return e_.Now(); }
  void SleepMs(int ms) override { e_.SleepMs(ms); }
  void ConsoleWrite(const std::string& t) override { e_.ConsoleWrite(t); }
  void ErrorWrite(const std::string& t) override { e_.ErrorWrite(t); }
  void SaveTitle() override {}
  void SetTitle(const std::string&) override {}
  void RestoreTitle() override {}
  bool Link(const std::string& a, const std::string& b, int* err) override { return e_.Link(a, b, err); }
  std::vector<std::string> HiddenNames(const std::string& d) override { return e_.HiddenNames(d); }

 private:
  Env& e_;
};

bool PostOne(const std::string& areaId, int n) {
  std::unique_ptr<MessageBase> b;
  bool ok = OpenMessageBase(b, areaId) && b->StartNewMessage();
  if (ok) {
    b->SetMailTypeFlag(kMailEcho, true);
    // No MSGID: its serial waits for the clock, which would hide the rest.
    b->SetFromName("Vexstat");
    b->SetToName("All");
    b->SetSubject("Statistics " + std::to_string(n));
    for (int line = 0; line < 40; ++line)
      b->WriteTextLine("Report line " + std::to_string(line) + std::string(50, '.'));
    ok = b->WriteMessage();
    b->FreeMessageText();
  }
  CloseMessageBase(b);
  return ok;
}

}  // namespace
}  // namespace vex

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: post_perftest <directory> <count> <sync|nosync>\n");
    return 2;
  }
  std::string dir = argv[1];
  int count = std::atoi(argv[2]);
  vex::NoSyncEnv noSync(*vex::DefaultEnv());
  bool sync = std::string(argv[3]) == "sync";
  vex::InstallFileHooks(sync ? *vex::DefaultEnv() : static_cast<vex::Env&>(noSync));
  for (char type : {'J', 'S', 'M'}) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      if (!vex::PostOne(type + dir + "/" + argv[3] + "_" + type, i)) {
        std::fprintf(stderr, "post %d into %c failed\n", i, type);
        return 1;
      }
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%c %-6s %d posts: %.0f ms, %.2f ms per post\n", type, argv[3], count, ms, ms / count);
  }
  return 0;
}
