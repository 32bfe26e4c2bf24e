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
  if (!FileExists(run.env, e.fileName)) SetPostingError(s, kPostNoFile);
  // Without a type letter the path's first character would be taken for
  // one, and the base would land somewhere else.
  if (e.baseType.empty()) {
    SetPostingError(s, kPostNoBase);
  } else {
    const Status st = OpenBase(run.env, e.baseType + e.areaPath, BaseMode::kWrite, &run.currentBase);
    if (!st.ok()) {
      SetPostingError(s, kPostNoBase);
      run.why = "   " + st.Reason();
    }
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
  Message& m = run.message;
  m = Message{};
  // The configured FLAGS word is the whole attribute set of the message.
  for (uint32_t bit : kFlagBits) m.attributes |= e.flags & bit;
  switch (std::toupper(static_cast<unsigned char>(e.areaKind))) {
    case 'N':
      m.attributes |= AttrTypeNet;
      break;
    case 'E':
      m.attributes |= AttrTypeEcho;
      break;
    case 'L':
      m.attributes |= AttrTypeLocal;
      break;
    default:
      break;
  }
  s.sectionBytes = 0;
  m.orig = e.fromAddress;
  m.dest = e.toAddress;
  m.kludges = AddressKludges(e.fromAddress, e.toAddress, (m.attributes & AttrTypeNet) != 0, serial);
  const bool utf8 = NamesUtf8(s.charset);
  const HeaderWidths width = HeaderWidthsOf(e.baseType);
  m.from = HeaderField(e.fromName, utf8, width.name);
  m.to = HeaderField(e.toName, utf8, width.name);
  m.subject = HeaderField(e.subject, utf8, width.subject);
  m.written = ToMsgDateTime(run.env.Now());
  m.arrived = m.written;
  m.kludges.push_back(std::string(kPidLine).substr(1));
  // Readers and gateways choose the character set of the text by this line.
  if (!s.charset.empty()) m.kludges.push_back("CHRS: " + s.charset);
  if (s.useEncodedMessage) m.text.push_back(InMessageCharset(s.encodedMessage, utf8));
  if (s.useEncodedString) {
    m.text.push_back(InMessageCharset(
        BuildSectionMarker(s.beginEncodedString, s.sectionNumber,
                           s.sectionCount, e.fileName),
        utf8));
  }
}

void FinishSection(PostingRun& run) {
  PostingSettings& s = run.settings;
  PostEntry& e = s.entry;
  Message& m = run.message;
  const bool utf8 = NamesUtf8(s.charset);
  if (run.lastLine.compare(0, 3, "...") != 0) m.text.push_back("");
  m.text.push_back(InMessageCharset("--- " + e.tearLine, utf8));
  m.text.push_back(InMessageCharset(
      Cut(" * Origin: " + e.origin + " (" + AddressToText(e.fromAddress) + ")"),
      utf8));
  uint32_t number = 0;
  const Status st = run.currentBase->Append(m, &number);
  m = Message{};
  if (!st.ok()) {
    // A base that takes no more messages, or one that fails to store this
    // one.  The section's line ends here; the failure has lines of its own.
    run.log.LogFinish("");
    SetPostingError(s, st.IsRefused() ? kPostNoNewMessage : kPostWriteFailed);
    if (run.why.empty()) run.why = "   " + st.Reason();
    return;
  }
  run.log.LogFinish("  - Ok...");
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
      run.message.subject = HeaderField(subject, utf8, subjectWidth);
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
      run.message.text.push_back(written);
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
  if (!run.currentBase || !run.currentBase->Close().ok()) {
    SetPostingError(run.settings, kPostCloseFailed);
  }
  run.currentBase.reset();
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
      if (!run.why.empty()) run.log.LogLine(run.why);
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
