#include "intake/intake_journal.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/stat_store.h"
#include "intake/dupe_store.h"
#include "intake/intake_batch.h"
#include "platform/env_wrapper.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

// Calls `look` before every change a writer makes to a file, as a reader
// without the run lock might at any moment.
class WatchedEnv : public EnvWrapper {
 public:
  WatchedEnv(Env& target, std::function<void()> look)
      : EnvWrapper(target), look_(std::move(look)) {}
  std::unique_ptr<File> Open(const std::string& p, OpenMode m, int* e) override {
    look_();
    auto f = EnvWrapper::Open(p, m, e);
    return f ? std::make_unique<WatchedFile>(std::move(f), look_) : nullptr;
  }
  bool Remove(const std::string& p, int* e) override {
    return look_(), EnvWrapper::Remove(p, e);
  }

 private:
  class WatchedFile : public FileWrapper {
   public:
    WatchedFile(std::unique_ptr<File> f, std::function<void()>& look)
        : FileWrapper(std::move(f)), look_(look) {}
    bool WriteAt(uint64_t o, const void* b, size_t n) override {
      return look_(), FileWrapper::WriteAt(o, b, n);
    }
    bool Append(const void* b, size_t n) override {
      return look_(), FileWrapper::Append(b, n);
    }

   private:
    std::function<void()>& look_;
  };
  std::function<void()> look_;
};

void AddBatch(Env& env, int count, int first) {
  LogContext log(env);
  IntakeBatch batch(env, log, false);
  for (int i = 0; i < count; ++i) {
    StatRecord r;
    r.area = "AREA" + std::to_string(first + i);
    r.size = 100;
    batch.Add(r, "t" + std::to_string(first + i) + ".tic", JournalDeletion{});
  }
  batch.Commit();
}

size_t RecordsWithin(Env& env, uint64_t limit) {
  StatStoreReader reader;
  if (!reader.Open(env, kStatStoreName, limit)) return 0;
  size_t n = 0;
  StatRecord r;
  while (reader.Next(r)) ++n;
  return n;
}

// At every step of a batch the reader sees the stores as they were before
// it or as they are after it, never part of it.
TEST(CommittedStoreLimits, AReaderNeverSeesPartOfABatch) {
  MemEnv mem;
  AddBatch(mem, 2, 0);
  std::set<size_t> seen;
  WatchedEnv watched(mem, [&] {
    StoreLimits l = CommittedStoreLimits(mem, kStatStoreName, kDupeStoreName);
    const size_t records = RecordsWithin(mem, l.statSize);
    seen.insert(records);
    EXPECT_TRUE(records == 2 || records == 5) << records;
    const uint64_t dupes = std::min(l.dupeSize, mem.Stat(kDupeStoreName).size);
    EXPECT_EQ(dupes / kDupeRecordSize, records);
  });
  AddBatch(watched, 3, 2);
  EXPECT_EQ(seen, (std::set<size_t>{2, 5}));

  // A batch left behind without its commit record is not read either.
  mem.SetFile(kIntakeJournalName, EncodeJournalBegin(2 * kStatRecordSize,
                                                     2 * kDupeRecordSize));
  StoreLimits l = CommittedStoreLimits(mem, kStatStoreName, kDupeStoreName);
  EXPECT_EQ(RecordsWithin(mem, l.statSize), 2u);
  mem.SetFile(kIntakeJournalName, EncodeJournalBegin(2 * kStatRecordSize,
                                                     2 * kDupeRecordSize) +
                                      EncodeJournalCommit({}));
  l = CommittedStoreLimits(mem, kStatStoreName, kDupeStoreName);
  EXPECT_EQ(RecordsWithin(mem, l.statSize), 5u);
}

}  // namespace
}  // namespace vex
