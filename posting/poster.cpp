#include "posting/poster.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "posting/echo_toss_log.h"
#include "posting/read_file.h"
#include "posting/sections.h"
#include "util/address.h"
#include "util/text.h"
#include "util/text_file.h"

namespace vex {

bool FileExists(Env& env, const std::string& name) {
  return env.Stat(name).exists;
}

uint64_t FileSizeOf(Env& env, const std::string& name) {
  return env.Stat(name).size;
}

void SetPostingError(PostingSettings& settings, uint32_t code) {
  if (settings.errors == 0) settings.errors = code;
}

void PreparePosting(PostingRun& run) {
  PostingSettings& s = run.settings;
  PostEntry& e = s.entry;
  s.errors = 0;
  if (!s.libraryReady) {
    InstallFileHooks(run.env);
    s.libraryReady = true;
  }
  if (!FileExists(run.env, e.fileName)) SetPostingError(s, kPostNoFile);
  // Without a type letter the path's first character would be taken for
  // one, and the base would land somewhere else.
  if (e.baseType.empty() ||
      !OpenMessageBase(run.currentBase, e.baseType + e.areaPath)) {
    SetPostingError(s, kPostNoBase);
    // A base that is there but does not open: what is wrong with it, as a
    // reader finds it.
    std::unique_ptr<MessageBase> look;
    if (!e.baseType.empty() && MessageBaseOpenError() == kOpenErrorExists &&
        !OpenMessageBaseReadOnly(look, e.baseType + e.areaPath))
      run.why = "   " + MessageBaseOpenErrorText();
    CloseMessageBase(look);
  }
  if (s.errors != 0) return;

  s.sectionNumber = 0;
  s.sectionCount =
      EstimateSectionCount(FileSizeOf(run.env, e.fileName), e.sectionSize);
  std::string putting = " -> Putting " + e.fileName + " into " + e.areaTag;
  if (!e.areaDescription.empty()) putting += " [" + e.areaDescription + "]";
  run.log.LogLine(putting);
  run.log.LogLine("    From " + e.fromName + " [" +
                  AddressToText(e.fromAddress) + "]");
  run.log.SetWindowTitle(e.areaTag + " - " + e.fileName);
  if (s.useAsKludge) PrefixMarkers(s);
}

namespace {

// The attribute bits that a FLAGS word can name.
constexpr uint32_t kFlagBits[] = {
    AttrPrivate,      AttrCrash,          AttrReceived,  AttrSent,
    AttrFileAttached, AttrInTransit,      AttrOrphan,    AttrKillSent,
    AttrLocal,        AttrHold,           AttrFileRequest, AttrReceiptRequest,
    AttrIsReceipt,    AttrAuditRequest,   AttrUpdateRequest, AttrScanned,
};

}  // namespace

void StartSection(PostingRun& run) {
  PostingSettings& s = run.settings;
  PostEntry& e = s.entry;
  MessageBase& base = *run.currentBase;
  // The serial is on the disk before the message that carries it: no two
  // messages of the node ever share one.  The serials of the sections still
  // to come are reserved with it.
  uint32_t serial = 0;
  int err = 0;
  const int32_t later = std::max(s.sectionCount - s.sectionNumber, 0);
  if (!run.serials.Next(static_cast<uint32_t>(later), &serial, &err)) {
    SetPostingError(s, kPostNoNewMessage);
    run.why = "   " + run.serials.path() + ": " + SystemErrorText(err);
    return;
  }
  if (!base.StartNewMessage()) {
    SetPostingError(s, kPostNoNewMessage);
    return;
  }
  switch (std::toupper(static_cast<unsigned char>(e.areaKind))) {
    case 'N':
      base.SetMailTypeFlag(kMailNet, true);
      break;
    case 'E':
      base.SetMailTypeFlag(kMailEcho, true);
      break;
    case 'L':
      base.SetMailTypeFlag(kMailLocal, true);
      break;
    default:
      break;
  }
  s.sectionBytes = 0;
  base.UseMsgIdSerial(serial);
  base.SetOrigAddress(e.fromAddress, true);
  base.SetDestAddress(e.toAddress);
  base.SetFromName(e.fromName);
  base.SetToName(e.toName);
  base.SetSubject(e.subject);
  const MsgDateTime now = ToMsgDateTime(run.env.Now());
  base.SetDateWritten(now);
  base.SetDateArrived(now);
  // The configured FLAGS word is the whole attribute set of the message.
  for (uint32_t bit : kFlagBits) base.SetAttribute(bit, (e.flags & bit) != 0);
  base.WriteTextLine(kPidLine);
  // Readers and gateways choose the character set of the text by this line.
  if (!s.charset.empty()) base.WriteTextLine("\x01" "CHRS: " + s.charset);
  if (s.useEncodedMessage) base.WriteTextLine(s.encodedMessage);
  if (s.useEncodedString) {
    base.WriteTextLine(BuildSectionMarker(s.beginEncodedString,
                                          s.sectionNumber, s.sectionCount,
                                          e.fileName));
  }
}

void FinishSection(PostingRun& run) {
  PostingSettings& s = run.settings;
  PostEntry& e = s.entry;
  MessageBase& base = *run.currentBase;
  if (run.lastLine.compare(0, 3, "...") != 0) base.WriteTextLine("");
  base.WriteTextLine("--- " + e.tearLine);
  base.WriteTextLine(Cut(" * Origin: " + e.origin + " (" +
                         AddressToText(e.fromAddress) + ")"));
  bool ok = true;
  if (!base.WriteMessage()) {
    SetPostingError(s, kPostWriteFailed);
    ok = false;
  }
  if (!base.FreeMessageText()) {
    SetPostingError(s, kPostFreeFailed);
    ok = false;
  }
  if (ok) run.log.LogFinish("  - Ok...");
}

void PostFile(PostingRun& run) {
  PostingSettings& s = run.settings;
  PostEntry& e = s.entry;
  int err = 0;
  std::unique_ptr<File> file = OpenForReading(run.env, e.fileName, &err);
  if (!file) SetPostingError(s, kPostNoFile);
  if (s.errors != 0) return;

  LineReader reader(*file);
  std::string line;
  bool more = reader.Next(line);
  while (more) {
    ++s.sectionNumber;
    StartSection(run);
    if (s.errors != 0) return;
    if (s.sectionCount != 1) {
      const std::string subject =
          SectionSubject(s.sectionNumber, s.sectionCount, e.subject);
      run.log.LogBegin("   -> [" + std::to_string(s.sectionNumber) + "/" +
                       std::to_string(s.sectionCount) + "]");
      run.log.SetWindowTitle(e.areaTag + " - " + e.fileName + " - " + subject);
      run.currentBase->SetSubject(subject);
    } else {
      run.log.LogBegin("   -> trying ... ");
      run.log.SetWindowTitle(e.areaTag + " - " + e.fileName + " - " +
                             e.subject);
    }
    while (more) {
      run.lastLine = line;
      const int64_t bytes =
          static_cast<int64_t>(s.sectionBytes) + line.size() + 2;
      s.sectionBytes = static_cast<int32_t>(
          std::min<int64_t>(bytes, std::numeric_limits<int32_t>::max()));
      run.currentBase->WriteTextLine(line);
      more = reader.Next(line);
      if (e.sectionSize > 0 && s.sectionBytes > e.sectionSize) break;
    }
    FinishSection(run);
    if (s.errors != 0) return;
  }
  file.reset();
  UpdateEchoTossLog(run.log, run.env, s.echoTossLog, e.areaTag);
}

void FinishPosting(PostingRun& run) {
  if (!CloseMessageBase(run.currentBase)) {
    SetPostingError(run.settings, kPostCloseFailed);
  }
}

void ReportPostingErrors(PostingRun& run) {
  const PostEntry& e = run.settings.entry;
  run.log.LogLine("There are some errors in your settings of post area:");
  switch (run.settings.errors) {
    case kPostNoFile:
      run.log.LogError("File " + e.fileName + " not found");
      break;
    case kPostNoBase:
      run.log.LogError("Unable to open/create msgbase " + e.areaPath +
                       ", maybe you not define area file properly");
      if (!run.why.empty()) run.log.LogLine(run.why);
      break;
    case kPostNoNewMessage:
      run.log.LogError("Unable to create new message, check area!");
      if (!run.why.empty()) run.log.LogLine(run.why);
      break;
    case kPostWriteFailed:
      run.log.LogError("Unable to write message, check area!");
      break;
    case kPostFreeFailed:
      run.log.LogError("Unable to close message, check area!");
      break;
    case kPostCloseFailed:
      run.log.LogError("Unable to close msg base, check area!");
      break;
    default:
      break;
  }
}

}  // namespace vex
