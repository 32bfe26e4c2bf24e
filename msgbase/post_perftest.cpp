// Posting benchmark (scripts/bench-post.sh): posts N messages into a JAM, a
// Squish and a *.MSG base, each post opening and closing its base as the
// program does, and prints the time per format.  With "nosync" every sync
// is skipped, which shows what the syncs before publishing cost.
//
//   post_perftest <directory> <count> <sync|nosync>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "msgbase/message_base.h"
#include "platform/env_wrapper.h"

namespace vex {
namespace {

// Syncs of files and directories so far.
long long syncCount = 0;

// Passes everything to the real Env and counts the syncs; with "nosync"
// they do nothing.
class CountingFile : public FileWrapper {
 public:
  CountingFile(std::unique_ptr<File> f, bool sync) : FileWrapper(std::move(f)), sync_(sync) {}
  bool Sync() override {
    ++syncCount;
    return !sync_ || FileWrapper::Sync();
  }

 private:
  bool sync_;
};

class CountingEnv : public EnvWrapper {
 public:
  CountingEnv(Env& e, bool sync) : EnvWrapper(e), sync_(sync) {}
  std::unique_ptr<File> Open(const std::string& p, OpenMode m,
                             int* err) override {
    std::unique_ptr<File> f = EnvWrapper::Open(p, m, err);
    if (!f) return nullptr;
    return std::make_unique<CountingFile>(std::move(f), sync_);
  }
  bool SyncDirectory(const std::string& p, int* err) override {
    ++syncCount;
    return !sync_ || EnvWrapper::SyncDirectory(p, err);
  }
  void SaveTitle() override {}
  void SetTitle(const std::string&) override {}
  void RestoreTitle() override {}

 private:
  bool sync_;
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
  bool sync = std::string(argv[3]) == "sync";
  vex::CountingEnv counting(*vex::DefaultEnv(), sync);
  vex::InstallFileHooks(counting);
  for (char type : {'J', 'S', 'M'}) {
    vex::syncCount = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      if (!vex::PostOne(type + dir + "/" + argv[3] + "_" + type, i)) {
        std::fprintf(stderr, "post %d into %c failed\n", i, type);
        return 1;
      }
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%c %-6s %d posts: %.0f ms, %.2f ms per post, %.2f syncs per post\n", type, argv[3], count, ms,
                ms / count, static_cast<double>(vex::syncCount) / count);
  }
  return 0;
}
