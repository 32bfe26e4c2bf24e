#include "posting/poster.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "platform/cp866.h"
#include "posting/echo_toss_log.h"
#include "posting/message_charset.h"
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

uint64_t MessageBytesOf(Env& env, const std::string& name, bool fileUtf8,
                        bool messageUtf8) {
  if (fileUtf8 == messageUtf8) return FileSizeOf(env, name);
  // The text changes size on its way into the message: it is counted as
  // the message will hold it, line by line with a CR LF each.
  int err = 0;
  std::unique_ptr<File> file = OpenForReading(env, name, &err);
  if (!file) return FileSizeOf(env, name);
  LineReader reader(*file, 4 * 255);
  uint64_t bytes = 0;
  std::string line;
  while (reader.Next(line)) {
    const std::string cp866 = fileUtf8 ? Cut(Utf8ToCp866(line)) : Cut(line);
    bytes += (messageUtf8 ? Cp866ToUtf8(cp866) : cp866).size() + 2;
  }
  return bytes;
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
  s.sectionCount = EstimateSectionCount(
      MessageBytesOf(run.env, e.fileName, s.resultUtf8, NamesUtf8(s.charset)),
      e.sectionSize);
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
  const bool utf8 = NamesUtf8(s.charset);
  const HeaderWidths width = HeaderWidthsOf(e.baseType);
  base.SetFromName(HeaderField(e.fromName, utf8, width.name));
  base.SetToName(HeaderField(e.toName, utf8, width.name));
  base.SetSubject(HeaderField(e.subject, utf8, width.subject));
  const MsgDateTime now = ToMsgDateTime(run.env.Now());
  base.SetDateWritten(now);
  base.SetDateArrived(now);
  // The configured FLAGS word is the whole attribute set of the message.
  for (uint32_t bit : kFlagBits) base.SetAttribute(bit, (e.flags & bit) != 0);
  base.WriteTextLine(kPidLine);
  // Readers and gateways choose the character set of the text by this line.
  if (!s.charset.empty()) base.WriteTextLine("\x01" "CHRS: " + s.charset);
  if (s.useEncodedMessage)
    base.WriteTextLine(InMessageCharset(s.encodedMessage, utf8));
  if (s.useEncodedString) {
    base.WriteTextLine(InMessageCharset(
        BuildSectionMarker(s.beginEncodedString, s.sectionNumber,
                           s.sectionCount, e.fileName),
        utf8));
  }
}

void FinishSection(PostingRun& run) {
  PostingSettings& s = run.settings;
  PostEntry& e = s.entry;
  MessageBase& base = *run.currentBase;
  const bool utf8 = NamesUtf8(s.charset);
  if (run.lastLine.compare(0, 3, "...") != 0) base.WriteTextLine("");
  base.WriteTextLine(InMessageCharset("--- " + e.tearLine, utf8));
  base.WriteTextLine(InMessageCharset(
      Cut(" * Origin: " + e.origin + " (" + AddressToText(e.fromAddress) + ")"),
      utf8));
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

  // A result file written in UTF-8 is read back into CP866 lines of at
  // most 255 characters, like any other.
  const size_t kUtf8LineLimit = 4 * 255;
  LineReader reader(*file, s.resultUtf8 ? kUtf8LineLimit : 255);
  auto next = [&](std::string& line) {
    if (!reader.Next(line)) return false;
    if (s.resultUtf8) line = Cut(Utf8ToCp866(line));
    return true;
  };
  const bool utf8 = NamesUtf8(s.charset);
  const size_t subjectWidth = HeaderWidthsOf(e.baseType).subject;
  std::string line;
  bool more = next(line);
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
      run.currentBase->SetSubject(HeaderField(subject, utf8, subjectWidth));
    } else {
      run.log.LogBegin("   -> trying ... ");
      run.log.SetWindowTitle(e.areaTag + " - " + e.fileName + " - " +
                             e.subject);
    }
    while (more) {
      run.lastLine = line;
      // Sections are measured in the bytes the message holds.
      const std::string written = InMessageCharset(line, utf8);
      const int64_t bytes =
          static_cast<int64_t>(s.sectionBytes) + written.size() + 2;
      s.sectionBytes = static_cast<int32_t>(
          std::min<int64_t>(bytes, std::numeric_limits<int32_t>::max()));
      run.currentBase->WriteTextLine(written);
      more = next(line);
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
