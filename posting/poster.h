// The poster: one result file posted as one or more messages into the
// message base of its area.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/log.h"
#include "msgbase/base.h"
#include "msgbase/message.h"
#include "platform/env.h"
#include "posting/msgid_counter.h"
#include "posting/posting_settings.h"

namespace vex {

// Failure codes of a posting; only the first one is kept.
enum PostingError : uint32_t {
  kPostNoFile = 1,
  kPostNoBase = 2,
  kPostNoNewMessage = 4,
  kPostWriteFailed = 8,
  kPostFreeFailed = 16,
  kPostCloseFailed = 32,
};

// The state of one posting: at most one base is open, from PreparePosting
// to FinishPosting.
struct PostingRun {
  PostingRun(PostingSettings& s, LogContext& l, Env& e)
      : settings(s), log(l), env(e), serials(e) {}
  PostingSettings& settings;
  LogContext& log;
  Env& env;
  std::unique_ptr<Base> currentBase;
  // The section being built; handed to the base once it is whole.
  Message message;
  std::string lastLine;
  // The MSGID serials, kept in the node directory.
  MsgIdCounter serials;
  // Why the posting failed, when a file and a reason say it; logged after
  // the failure line.
  std::string why;
};

// The kludge line that names the program in every posted message.
inline constexpr const char* kPidLine = "\x01PID: Runnel [3.1.W32]";

void PreparePosting(PostingRun& run);
void PostFile(PostingRun& run);
void StartSection(PostingRun& run);
void FinishSection(PostingRun& run);
void FinishPosting(PostingRun& run);
void SetPostingError(PostingSettings& settings, uint32_t code);
void ReportPostingErrors(PostingRun& run);

// True when a directory entry of that name exists (file or directory).
bool FileExists(Env& env, const std::string& name);
uint64_t FileSizeOf(Env& env, const std::string& name);
// The size of a result file's text as a message holds it: the file's size,
// or, when the file and the message differ in character set, the bytes of
// its lines converted, each with a CR LF.
uint64_t MessageBytesOf(Env& env, const std::string& name, bool fileUtf8,
                        bool messageUtf8);

}  // namespace vex
