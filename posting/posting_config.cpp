// The posting settings: their defaults and the posting keywords of the
// configuration file.
#include "posting/flags.h"
#include "posting/posting.h"
#include "posting/schedule.h"
#include "util/address.h"
#include "util/known_words.h"
#include "util/text.h"

namespace vex {

void InitPostingSettings(PostingSettings& settings, Env& env) {
  settings = PostingSettings();
  PostEntry& e = settings.entry;
  e.dueToday = EvaluateSchedule("DAILY", env);
  e.fromName = "Sysop";
  e.toName = "All";
  e.subject.clear();
  e.flags = 0x100;
  e.tearLine.clear();
  e.origin = "Autoposted message";
  e.areaDescription.clear();
  e.fileName.clear();
  e.areaTag.clear();
  settings.encodedMessage = "For decode use \"Unrunnel.exe /decode\"";
  settings.beginEncodedString = "Text.Section % of % of file %";
  settings.endEncodedString = "Text.End";
  settings.useAsKludge = true;
  settings.useEncodedMessage = false;
  settings.useEncodedString = false;
  settings.echoTossLog.clear();
  e.sectionSize = 16384;
  ParseAddress("0:0/0.0", e.fromAddress);
  ParseAddress("0:0/0.0", e.toAddress);
}

namespace {

// FROMADDR and TOADDR are recognised only when written in upper case.
bool ApplyAddressLine(LogContext& log, const std::string& line,
                      const char* keyword, FtnAddress& dest) {
  if (!KeywordIsExactly(line, keyword)) return false;
  // Blanks and tabs after the address are no part of it.
  const std::string value(TrimTrailingBlanksAndTabs(RestOfLine(line)));
  if (ParseAddress(value, dest)) return true;
  log.LogError("Error converting " + value);
  return false;
}

}  // namespace

void DefaultFromAddress(PostingSettings& settings,
                        const std::vector<FtnAddress>& ownAddresses) {
  PostEntry& e = settings.entry;
  if (e.fromAddressGiven || ownAddresses.empty()) return;
  ParseAddress(AddressToText4D(ownAddresses.front()), e.fromAddress);
}

void ApplyPostingLine(PostingSettings& settings, LogContext& log, Env& env,
                      const std::string& line) {
  PostEntry& e = settings.entry;
  const std::string key = UpperCp866(FirstWord(line));
  const std::string value = RestOfLine(line);

  if (WordIs(key, "WHEN")) e.dueToday = EvaluateSchedule(value, env);
  if (ApplyAddressLine(log, line, "FROMADDR", e.fromAddress))
    e.fromAddressGiven = true;
  ApplyAddressLine(log, line, "TOADDR", e.toAddress);
  SetStringOption(line, "FILE", e.fileName);
  SetStringOption(line, "FROM", e.fromName);
  SetStringOption(line, "TO", e.toName);
  SetStringOption(line, "SUBJ", e.subject);
  SetStringOption(line, "ORIGIN", e.origin);
  SetStringOption(line, "CHRS", settings.charset);
  // A bare CHRS (or CHRS "") writes no charset kludge.
  if (key == "CHRS" && UpperCp866(value) == key) settings.charset.clear();
  SetStringOption(line, "TEARLINE", e.tearLine);
  SetStringOption(line, "AREADEFINECFG", settings.areaDefineCfg);
  SetBoolOption(line, "USEENCODEDMESSAGE", settings.useEncodedMessage);
  SetStringOption(line, "ENCODEDMESSAGE", settings.encodedMessage);
  SetBoolOption(line, "USEENCODEDSTRING", settings.useEncodedString);
  SetStringOption(line, "BEGINENCODEDSTRING", settings.beginEncodedString);
  SetStringOption(line, "ENDENCODEDSTRING", settings.endEncodedString);
  SetBoolOption(line, "USEASKLUDGE", settings.useAsKludge);
  SetStringOption(line, "PATHTOECHOTOSSLOG", settings.echoTossLog);
  SetNumberOption(line, "SECTIONSIZE", e.sectionSize);
  SetNumberOption(line, "SECPERAREACOUNT", e.secPerAreaCount);
  SetNumberOption(line, "SECSINGLEFILECOUNT", e.secSingleFileCount);
  if (WordIs(key, "FLAGS")) e.flags = ParseFlags(value);
}

}  // namespace vex
