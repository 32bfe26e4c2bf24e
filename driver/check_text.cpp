#include "driver/check_text.h"

#include <cstdio>
#include <memory>

#include "platform/cp866.h"
#include "platform/utf8_check.h"

namespace vex {
namespace {

constexpr uint64_t kLargestChecked = 16 << 20;
constexpr int kMostNamed = 20;

// The characters people paste most often, by name.
std::string CharacterName(uint32_t cp) {
  struct Named {
    uint32_t cp;
    const char* name;
  };
  static const Named kNames[] = {
      {0x20AC, "euro sign"},      {0x2014, "em dash"},       {0x2013, "en dash"},
      {0x201C, "left double quotation mark"},  {0x201D, "right double quotation mark"},
      {0x2018, "left single quotation mark"},  {0x2019, "right single quotation mark"},
      {0x2026, "ellipsis"},       {0x00AB, "left guillemet"}, {0x00BB, "right guillemet"},
      {0x00A9, "copyright sign"}, {0x2122, "trade mark sign"}, {0x00A0, "no-break space"},
  };
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  for (const Named& n : kNames)
    if (n.cp == cp) return std::string(code) + " (" + n.name + ")";
  return code;
}

// Each character of well-formed UTF-8 text in turn.
template <typename Visit>
void ForEachCharacter(const std::string& text, size_t from, Visit&& visit) {
  int line = 1;
  for (size_t i = from; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    const size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (b == '\n') ++line;
    if (b < 0x80 || i + len > text.size()) {
      ++i;
      continue;
    }
    uint32_t cp = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
    i += len;
    visit(cp, line);
  }
}

// A short CP866 text can be well-formed UTF-8 by chance ("ёлка" is one
// character beyond U+FFFF): such a text is no UTF-8 file with a character
// CP866 lacks.  A file counts as meant for UTF-8 when it holds a character
// of more than one byte that CP866 has (a Cyrillic letter, a box-drawing
// character), or a typographic character people paste (Latin-1,
// punctuation, currency signs, letter-like symbols).
bool MeantAsUtf8(const std::string& text) {
  bool meant = false;
  ForEachCharacter(text, 0, [&meant](uint32_t cp, int) {
    meant = meant || Cp866Byte(cp) >= 0 || (cp >= 0xA0 && cp <= 0xFF) ||
            (cp >= 0x2000 && cp <= 0x214F);
  });
  return meant;
}

bool ReadWhole(Env& env, const std::string& file, std::string& text) {
  int err = 0;
  std::unique_ptr<File> f = env.Open(file, OpenMode::kRead, &err);
  if (!f) return false;
  char buf[65536];
  for (uint64_t at = 0; at < kLargestChecked;) {
    long long n = f->ReadAt(at, buf, sizeof buf);
    if (n <= 0) return n == 0;
    text.append(buf, static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

void LintCharset(CheckReport& report, Env& env, const std::string& file) {
  std::string text;
  if (env.Stat(file).isDirectory || !ReadWhole(env, file, text)) return;
  const bool bom = text.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0;
  Utf8Check check;
  check.Feed(text);
  if (!bom && !(check.WellFormed() && check.HasMultiByte())) return;  // CP866 bytes
  if (check.AllInCp866() && check.WellFormed()) return;
  if (!bom && !MeantAsUtf8(text)) return;
  const std::string effect =
      bom ? "the file is read as UTF-8 and it becomes \"?\""
          : "so the whole file is read as CP866 bytes and every letter outside ASCII comes out "
            "garbled";
  int named = 0;
  ForEachCharacter(text, bom ? kUtf8Bom.size() : 0, [&](uint32_t cp, int line) {
    if (Cp866Byte(cp) >= 0 || ++named > kMostNamed) return;
    report.Problem(At(file, line),
                   "character " + CharacterName(cp) + " does not exist in CP866, " + effect,
                   "replace it with a character CP866 has (such as EUR for the euro sign, - for "
                   "a dash), or save the file in CP866");
  });
  if (named > kMostNamed)
    report.Line("(" + std::to_string(named - kMostNamed) + " more such characters in " + file +
                " not named)");
}

}  // namespace vex
