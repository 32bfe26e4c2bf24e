// Posting benchmark (scripts/bench-post.sh): posts N messages into a JAM, a
// Squish and a *.MSG base, each post opening and closing its base as the
// program does, and prints the time and the syncs (of files and of
// directories) per post for each format; then one post of 64 sections into
// one open base, as a long report is posted.  With "nosync" every sync is
// skipped, which shows what the syncs before publishing cost.
//
// With "folder", `count` posts of a 1 MB report each go into an empty *.MSG
// folder and into one that holds 10,000 messages, and the times are
// compared.
//
//   post_perftest <directory> <count> <sync|nosync|folder>   (VEX_POST_FORMATS=JSM)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "msgbase/base.h"
#include "platform/env_wrapper.h"
#include "posting/msgid_counter.h"

namespace vex {
namespace {

struct Counts {
  long long fileSyncs = 0, dirSyncs = 0;
};

// Counts the syncs; with skip, they do nothing.
class CountingFile : public FileWrapper {
 public:
  CountingFile(std::unique_ptr<File> f, Counts& c, bool skip)
      : FileWrapper(std::move(f)), counts_(c), skip_(skip) {}
  bool Sync() override {
    ++counts_.fileSyncs;
    return skip_ || FileWrapper::Sync();
  }

 private:
  Counts& counts_;
  bool skip_;
};

class CountingEnv : public EnvWrapper {
 public:
  CountingEnv(Env& e, bool skip) : EnvWrapper(e), skip_(skip) {}
  std::unique_ptr<File> Open(const std::string& p, OpenMode m,
                             int* err) override {
    std::unique_ptr<File> f = EnvWrapper::Open(p, m, err);
    if (!f) return nullptr;
    return std::make_unique<CountingFile>(std::move(f), counts, skip_);
  }
  bool SyncDirectory(const std::string& p, int* err) override {
    ++counts.dirSyncs;
    return skip_ || EnvWrapper::SyncDirectory(p, err);
  }
  void SaveTitle() override {}
  void SetTitle(const std::string&) override {}
  void RestoreTitle() override {}
  Counts counts;

 private:
  bool skip_;
};

// The node's MSGID counter, as the poster keeps it.
MsgIdCounter* counter = nullptr;

// One message as the poster writes it: MSGID (its serial from the counter,
// the sections still to come reserved with it), names, 40 report lines.
bool WriteOne(Base& b, int n, int later) {
  uint32_t serial = 0;
  int err = 0;
  if (!counter->Next(static_cast<uint32_t>(later), &serial, &err)) return false;
  Message m;
  m.attributes = AttrTypeEcho;
  m.orig = FtnAddress{2, 5020, 9999, 0};
  m.kludges = AddressKludges(m.orig, m.dest, false, serial);
  m.from = "Vexstat";
  m.to = "All";
  m.subject = "Statistics " + std::to_string(n);
  m.written = m.arrived = ToMsgDateTime(DefaultEnv()->Now());
  for (int line = 0; line < 40; ++line)
    m.text.push_back("Report line " + std::to_string(line) + std::string(50, '.'));
  uint32_t number = 0;
  return b.Append(m, &number).ok();
}

// `sections` messages into one open base.
bool Post(Env& env, const std::string& areaId, int sections) {
  std::unique_ptr<Base> b;
  bool ok = OpenBase(env, areaId, BaseMode::kWrite, &b).ok();
  for (int i = 0; ok && i < sections; ++i) ok = WriteOne(*b, i, sections - 1 - i);
  return b && b->Close().ok() && ok;
}

// `count` posts of a 1 MB report into the *.MSG folder `area`; the
// milliseconds per post.
double BigPosts(Env& env, const std::string& area, int count) {
  Message m;
  m.attributes = AttrTypeEcho;
  m.from = "Vexstat";
  m.to = "All";
  m.subject = "Statistics";
  for (int line = 0; line < 16384; ++line)
    m.text.push_back("Report line " + std::to_string(line) + std::string(48, '.'));
  double total = 0;
  for (int i = 0; i < count; ++i) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Base> b;
    uint32_t number = 0;
    if (!OpenBase(env, "M" + area, BaseMode::kWrite, &b).ok() || !b->Append(m, &number).ok() ||
        !b->Close().ok())
      return -1;
    total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  return total / count;
}

int FolderSizes(const std::string& dir, int count) {
  Env& env = *DefaultEnv();
  const std::string empty = dir + "/empty", full = dir + "/full";
  int err = 0;
  env.MakeDirectory(empty, &err);
  env.MakeDirectory(full, &err);
  const std::string message = std::string(190, '\0') + "A small message\r" + '\0';
  for (int n = 2; n < 10002; ++n) {
    std::unique_ptr<File> f = env.Open(full + "/" + std::to_string(n) + ".msg", OpenMode::kCreate, &err);
    if (!f || !f->WriteAt(0, message.data(), message.size())) return 1;
  }
  // Alternated, so that the disk's moods fall on both alike.
  double inEmpty = 0, inFull = 0;
  for (int round = 0; round < 2; ++round) {
    inEmpty += BigPosts(env, empty, count);
    inFull += BigPosts(env, full, count);
  }
  if (inEmpty < 0 || inFull < 0) return 1;
  std::printf("M 1 MB post: %.2f ms into an empty folder, %.2f ms into one of 10,000 messages (%.2fx)\n",
              inEmpty / 2, inFull / 2, inFull / inEmpty);
  return 0;
}

}  // namespace
}  // namespace vex

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: post_perftest <directory> <count> <sync|nosync|folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  int count = std::atoi(argv[2]);
  if (std::string(argv[3]) == "folder") return vex::FolderSizes(dir, count);
  bool sync = std::string(argv[3]) == "sync";
  vex::CountingEnv env(*vex::DefaultEnv(), !sync);
  vex::MsgIdCounter counter(env, dir + "/vexstat.seq");
  vex::counter = &counter;
  using Clock = std::chrono::steady_clock;
  // VEX_POST_FORMATS limits the run to some formats ("J", "SM", ...).
  const char* only = std::getenv("VEX_POST_FORMATS");
  for (char type : {'J', 'S', 'M'}) {
    if (only != nullptr && std::string(only).find(type) == std::string::npos) continue;
    const std::string area = type + dir + "/" + argv[3] + "_" + type;
    env.counts = {};
    auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
      if (!vex::Post(env, area, 1)) {
        std::fprintf(stderr, "post %d into %c failed\n", i, type);
        return 1;
      }
    }
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%c %-6s %d posts: %.0f ms, %.2f ms per post, %.2f file + %.2f directory syncs per post\n",
                type, argv[3], count, ms, ms / count, double(env.counts.fileSyncs) / count,
                double(env.counts.dirSyncs) / count);
    env.counts = {};
    start = Clock::now();
    if (!vex::Post(env, area + "_64", 64)) {
      std::fprintf(stderr, "64-section post into %c failed\n", type);
      return 1;
    }
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%c %-6s one post of 64 sections: %.0f ms, %lld file + %lld directory syncs\n",
                type, argv[3], ms, env.counts.fileSyncs, env.counts.dirSyncs);
  }
  return 0;
}
