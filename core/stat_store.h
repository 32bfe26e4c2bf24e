// Reading and appending the statistics store.  A store whose size is not a
// multiple of the record size was cut short by a failed write: readers
// ignore the incomplete tail and the appender first truncates it away.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/stat_record.h"
#include "platform/env.h"

namespace vex {

inline constexpr const char* kStatStoreName = "stat.vx";

class StatStoreReader {
 public:
  // False when the store cannot be opened (it does not exist).  Nothing past
  // `limit` bytes is read.
  bool Open(Env& env, const std::string& path = kStatStoreName,
            uint64_t limit = UINT64_MAX);
  // The next whole record; false at the end.  A read failure throws
  // RunTimeError.
  bool Next(StatRecord& record);
  // The bytes (kStatRecordSize) of the next whole record, valid until the
  // next call; nullptr at the end.  A read failure throws RunTimeError.
  const char* NextEncoded();

 private:
  std::unique_ptr<File> file_;
  std::string path_;
  uint64_t offset_ = 0, end_ = 0;
  std::string buf_;
  size_t pos_ = 0;
};

class StatStoreAppender {
 public:
  // Opens (creating when missing) and positions at the end, after the last
  // whole record.  Failure throws RunTimeError.
  void Open(Env& env, const std::string& path = kStatStoreName);
  void Append(const StatRecord& record);  // failure throws RunTimeError
  void Close();

 private:
  std::unique_ptr<File> file_;
  std::string path_;
};

}  // namespace vex
