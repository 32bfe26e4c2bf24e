// The announcement settings of a run and the announcement being prepared.
#pragma once

#include <cstdint>
#include <string>

#include "util/address.h"

namespace vex {

struct PostEntry {
  std::string areaTag;
  char areaKind = 'N';       // N netmail, E echomail, L local
  std::string baseType;      // S Squish, J JAM, M *.MSG
  std::string areaPath;
  bool dueToday = true;      // WHEN
  std::string fileName;      // FILE; then each posted result file
  FtnAddress fromAddress;    // FROMADDR (or the area's own address)
  bool fromAddressGiven = false;  // a FROMADDR line set fromAddress
  FtnAddress toAddress;      // TOADDR
  std::string fromName = "Sysop";
  std::string toName = "All";
  std::string subject;
  uint32_t flags = 0x100;    // FLAGS
  int32_t sectionSize = 16384;
  int32_t secPerAreaCount = 0;
  int32_t secSingleFileCount = 0;
  std::string areaDescription;
  std::string origin = "Autoposted message";
  std::string tearLine;
};

struct PostingSettings {
  PostEntry entry;
  bool useAsKludge = true;
  // CHRS: the text of the charset kludge after the PID line; empty: none.
  std::string charset = "CP866 2";
  // The result files are written in UTF-8 (RESULTCHARSET).
  bool resultUtf8 = false;
  bool useEncodedMessage = false;
  bool useEncodedString = false;
  std::string encodedMessage = "For decode use \"Unrunnel.exe /decode\"";
  std::string beginEncodedString = "Text.Section % of % of file %";
  std::string endEncodedString = "Text.End";
  std::string echoTossLog;
  uint32_t errors = 0;
  int32_t sectionBytes = 0;
  int32_t sectionCount = 0;
  int32_t sectionNumber = 0;
  std::string areaDefineCfg;
};

}  // namespace vex
