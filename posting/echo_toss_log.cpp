#include "posting/echo_toss_log.h"

#include <cerrno>

#include "platform/exit.h"
#include "posting/read_file.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {

std::string IoErrorText(const std::string& name, int code) {
  switch (code) {
    case 2:
      return "File " + name + " not found";
    case 3:
      return "Path to file " + name + " not found";
    case 5:
      return "Access to file " + name + " denied";
    case 6:
      return "Invalid handle";
    case 8:
      return "Not enough memory";
    case 10:
      return "Invalid environment";
    case 11:
      return "Invalid format";
    case 18:
      return "No more files";
    default:
      return "Unknown error... =)";
  }
}

namespace {

// Appends the tag as a line of its own.  The system places the bytes at the
// end of the file as it is at the moment of the write, so lines a tosser
// adds meanwhile are never overwritten.  A last line without its line end
// gets one first, so the tag never runs into it; the last byte is read once
// the file is open for appending, from the file the tag will go to.
void AppendTag(Env& env, const std::string& file, const std::string& tag) {
  int err = 0;
  std::unique_ptr<File> out = env.Open(file, OpenMode::kAppend, &err);
  if (!out) FailIo("open", file, err);
  std::unique_ptr<File> in = env.Open(file, OpenMode::kRead, &err);
  if (!in) FailIo("open", file, err);
  uint64_t size = 0;
  if (!in->Size(&size)) FailIo("read", file, in->LastError());
  std::string bytes;
  if (size > 0) {
    char last = 0;
    if (in->ReadAt(size - 1, &last, 1) != 1) {
      FailIo("read", file, in->LastError());
    }
    if (last != '\n') bytes = "\r\n";
  }
  bytes += tag + "\r\n";
  if (!out->Append(bytes.data(), bytes.size())) {
    FailIo("write", file, out->LastError());
  }
}

}  // namespace

void UpdateEchoTossLog(LogContext& log, Env& env, const std::string& file,
                       const std::string& tag) {
  if (file.empty()) return;
  int err = 0;
  if (!OpenForReading(env, file, &err)) {
    log.LogErrorNotice("Creating new echo-exportation file " + file);
    // Never truncate: a file that exists but could not be read keeps its
    // contents.
    if (!env.Open(file, OpenMode::kCreateExclusive, &err) && err != EEXIST) {
      log.LogError(IoErrorText(file, Win32ErrorCode(env, err, file)));
      return;
    }
  }
  std::unique_ptr<File> in = OpenForReading(env, file, &err);
  if (!in) {
    log.LogError("Big shit is going with your " + file + ", get lost!..");
    return;
  }
  const std::string wanted = UpperCp866(tag);
  LineReader reader(*in);
  std::string line;
  while (reader.Next(line)) {
    if (UpperCp866(line) == wanted) return;
  }
  in.reset();
  AppendTag(env, file, tag);
}

}  // namespace vex
