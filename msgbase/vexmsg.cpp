#include "msgbase/vexmsg.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/base.h"
#include "platform/cp866.h"
#include "util/address.h"
#include "util/number.h"

namespace vex {

namespace {

#ifndef VEX_VERSION
#define VEX_VERSION "unknown"
#endif

const char kUsage[] =
    "Usage: vexmsg AREAID [N]\n"
    "       vexmsg --help | --version\n"
    "Lists the messages of a message base, or shows message N in full.\n"
    "The base is only read: nothing is created, changed or locked.\n"
    "  AREAID  type letter and path of a message base:\n"
    "          J = JAM, S = Squish, M, F or * = *.MSG directory\n"
    "          (for example Mnetmail/ or Jecho/rufido)\n"
    "  N       show message N in full; without it every message is listed\n";

// Console output is collected and written in pieces of about this size.
constexpr size_t kOutputChunk = 65536;

struct AttributeName {
  uint32_t mask;
  const char* name;
};
const AttributeName kAttributeNames[] = {
    {AttrPrivate, "Private"},
    {AttrCrash, "Crash"},
    {AttrReceived, "Received"},
    {AttrSent, "Sent"},
    {AttrFileAttached, "FileAttached"},
    {AttrInTransit, "InTransit"},
    {AttrOrphan, "Orphan"},
    {AttrKillSent, "KillSent"},
    {AttrLocal, "Local"},
    {AttrHold, "Hold"},
    {AttrFileRequest, "FileRequest"},
    {AttrReceiptRequest, "ReceiptRequest"},
    {AttrIsReceipt, "IsReceipt"},
    {AttrAuditRequest, "AuditRequest"},
    {AttrUpdateRequest, "UpdateRequest"},
    {AttrScanned, "Scanned"},
    {AttrTypeLocal, "TypeLocal"},
    {AttrTypeEcho, "TypeEcho"},
    {AttrTypeNet, "TypeNet"},
};

std::string DateText(const MsgDateTime& dt) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d",
                static_cast<int>(dt.day), static_cast<int>(dt.month),
                static_cast<int>(dt.year), static_cast<int>(dt.hour),
                static_cast<int>(dt.minute), static_cast<int>(dt.second));
  return buf;
}

std::string PadRight(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

int Fail(Env& env, const std::string& text) {
  env.ConsoleWrite(text + "\n");
  return 1;
}

void ListMessages(Env& env, Base& base) {
  std::vector<uint32_t> numbers;
  const Status listed = base.List(&numbers);
  if (!listed.ok()) {
    Fail(env, "vexmsg: " + listed.ToString());
    return;
  }
  std::string out = "Messages: " + std::to_string(numbers.size()) + ", highest number: " +
                    std::to_string(numbers.empty() ? 0 : numbers.back()) + "\n";
  for (uint32_t n : numbers) {
    std::string line = PadRight(std::to_string(n), 5) + " ";
    Message m;
    const Status st = base.Read(n, &m);
    if (st.ok()) {
      line += DateText(m.written) + "  " + PadRight(m.from, 20) + "  " + PadRight(m.to, 20) +
              "  " + m.subject;
    } else {
      line += "(cannot be read: " + st.sentence() + ")";
    }
    // Trailing blanks of empty fields are left out.
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
    if (out.size() >= kOutputChunk) {
      env.ConsoleWrite(out);
      out.clear();
    }
  }
  env.ConsoleWrite(out);
}

int ShowMessage(Env& env, Base& base, uint32_t n) {
  Message m;
  const Status st = base.Read(n, &m);
  if (st.IsNotFound()) return Fail(env, "Message " + std::to_string(n) + " not found");
  if (!st.ok()) {
    return Fail(env, "Message " + std::to_string(n) + " cannot be read: " + st.sentence());
  }
  std::string attrs;
  for (const AttributeName& a : kAttributeNames) {
    if (m.attributes & a.mask) attrs += (attrs.empty() ? "" : " ") + std::string(a.name);
  }
  // A message that names UTF-8 in its CHRS kludge is shown as such (the
  // console takes CP866 and writes UTF-8).
  bool utf8 = false;
  for (const std::string& k : m.kludges)
    if (k.rfind("CHRS: UTF-8", 0) == 0 || k.rfind("CHRS: UTF8", 0) == 0) utf8 = true;
  auto shown = [utf8](const std::string& s) { return utf8 ? Utf8ToCp866(s) : s; };
  std::string out;
  out += "Message: " + std::to_string(n) + "\n";
  out += "From: " + shown(m.from) + ", " + AddressToText(m.orig) + "\n";
  out += "To: " + shown(m.to) + ", " + AddressToText(m.dest) + "\n";
  out += "Subject: " + shown(m.subject) + "\n";
  out += "Date written: " + DateText(m.written) + "\n";
  out += "Date arrived: " + DateText(m.arrived) + "\n";
  out += "Attributes: " + (attrs.empty() ? std::string("none") : attrs) + "\n";
  out += "\n";
  for (const std::string& k : m.kludges) out += shown("^A" + k) + "\n";
  for (const std::string& l : m.text) out += shown(l) + "\n";
  env.ConsoleWrite(out);
  return 0;
}

}  // namespace

int RunVexmsg(Env& env, const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "-?")) {
    env.ConsoleWrite(kUsage);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    env.ConsoleWrite(std::string("vexmsg ") + VEX_VERSION + "\n");
    return 0;
  }
  if (args.empty() || args.size() > 2 || args[0].empty()) {
    env.ConsoleWrite(kUsage);
    return 1;
  }
  if (args[0].size() > 1 && args[0][0] == '-') {
    return Fail(env, "Unknown option " + args[0] + " (vexmsg --help shows the usage)");
  }
  int32_t number = 0;
  if (args.size() == 2 && (!ParseNumber(args[1], &number) || number <= 0)) {
    return Fail(env, "Not a message number: " + args[1]);
  }
  std::unique_ptr<Base> base;
  const Status opened = OpenBase(env, args[0], BaseMode::kReadOnly, &base);
  if (!opened.ok()) return Fail(env, "vexmsg: " + opened.sentence());
  int code = 0;
  if (number == 0) {
    ListMessages(env, *base);
  } else {
    code = ShowMessage(env, *base, static_cast<uint32_t>(number));
  }
  base->Close();
  return code;
}

}  // namespace vex
