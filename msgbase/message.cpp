#include "msgbase/message.h"

#include <cstdio>

namespace vex {

MsgDateTime ToMsgDateTime(const ClockTime& t) {
  MsgDateTime dt;
  dt.hour = t.hour;
  dt.minute = t.minute;
  dt.second = t.second;
  dt.hundredths = t.hundredths;
  dt.day = t.day;
  dt.month = t.month;
  dt.year = t.year;
  return dt;
}

std::vector<std::string> AddressKludges(const FtnAddress& orig, const FtnAddress& dest,
                                        bool netmail, uint32_t msgIdSerial) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%08x", static_cast<unsigned>(msgIdSerial));
  std::vector<std::string> out{"MSGID: " + AddressToText(orig) + " " + serial};
  if (!netmail) return out;
  out.push_back("INTL " + AddressToText3D(dest) + " " + AddressToText3D(orig));
  if (orig.point != 0) out.push_back("FMPT " + std::to_string(orig.point));
  if (dest.point != 0) out.push_back("TOPT " + std::to_string(dest.point));
  return out;
}

}  // namespace vex
