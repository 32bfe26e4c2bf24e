#include "driver/check_config.h"

#include <cctype>

#include "driver/driver.h"
#include "posting/flags.h"
#include "posting/posting.h"
#include "util/address.h"
#include "util/nearest_word.h"
#include "util/number.h"
#include "util/text.h"

namespace vex {
namespace {

const KnownWord* Find(const std::vector<KnownWord>& known, const std::string& upper) {
  for (const KnownWord& w : known)
    if (w.name == upper) return &w;
  return nullptr;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t blank = text.find(' ', pos);
    if (blank == std::string_view::npos) blank = text.size();
    if (blank > pos) out.emplace_back(text.substr(pos, blank - pos));
    pos = blank + 1;
  }
  return out;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

// The decimal number at text[pos] (pos moves past it); -1 without digits
// or beyond 32767.
long Digits(const std::string& text, size_t& pos) {
  size_t start = pos;
  long value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    value = value * 10 + (text[pos] - '0');
    if (value > 32767) return -1;
    ++pos;
  }
  return pos == start ? -1 : value;
}

bool Expect(const std::string& text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

const char* const kSchedules[] = {"DAILY", "WEEKLY", "MONTHLY", "YEARLY"};

int WeekdayNumber(const std::string& word) {
  static const char* const kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
  const std::string upper = UpperCp866(word);
  for (int d = 0; d < 7; ++d)
    if (upper.size() >= 3 && upper.compare(0, 3, kDays[d]) == 0)
      return d;
  return -1;
}

void LintWhen(CheckReport& report, const std::string& where, const std::string& value) {
  if (UpperCp866(value) == "DAILY") return;
  const std::string word = FirstWord(value);
  const std::string rest = RestOfLine(value);
  const std::string upper = UpperCp866(word);
  if (upper == "DAILY") {
    report.Problem(where, "WHEN \"" + value + "\" is never due: DAILY takes nothing after it",
                   "write WHEN DAILY with nothing behind it (no list, no trailing blank)");
    return;
  }
  if (word != "WEEKLY" && word != "MONTHLY" && word != "YEARLY") {
    for (const char* s : kSchedules)
      if (upper == s) {
        report.Problem(where,
                       "WHEN " + word + " is read only in upper case, so posting is never due",
                       "write WHEN " + upper + (word == rest ? "" : " " + rest));
        return;
      }
    const std::string hint =
        NearestWord(word, std::vector<std::string>(std::begin(kSchedules), std::end(kSchedules)), 2);
    report.Problem(where, "WHEN " + word + " is no schedule word, so posting is never due",
                   hint.empty() ? "write WHEN DAILY, or WEEKLY, MONTHLY or YEARLY with an "
                                  "optional list of numbers"
                                : "write WHEN " + hint + (word == rest ? "" : " " + rest));
    return;
  }
  if (word == rest) return;  // bare: Mondays, the 1st, 1 January
  const std::vector<std::string> list = Words(rest);
  if (list.empty()) {
    report.Problem(where, "WHEN " + word + " is followed by a blank but no list, so it is never due",
                   "remove the blank after " + word + " or give the numbers");
    return;
  }
  const bool weekly = word == "WEEKLY";
  const int low = weekly ? 0 : 1, high = weekly ? 6 : word == "MONTHLY" ? 31 : 9999;
  std::vector<std::string> bad, fixed;
  for (const std::string& w : list) {
    int32_t n = 0;
    if (ParseNumber(w, &n) && n >= low && n <= high) {
      fixed.push_back(w);
      continue;
    }
    bad.push_back(w);
    const int day = weekly ? WeekdayNumber(w) : -1;
    if (day >= 0) fixed.push_back(std::to_string(day));
  }
  if (bad.empty()) return;
  const char* what = weekly ? "weekday numbers 0-6 (0 = Sunday, 1 = Monday ... 6 = Saturday)"
                            : word == "MONTHLY" ? "days of the month 1-31" : "years";
  std::string text = "WHEN " + word + ": " + Joined(bad) +
                     (bad.size() == 1 ? " is not one of the " : " are not ") + what;
  if (weekly) text += "; a word that is no number counts as 0, so it means Sunday";
  report.Problem(where, text,
                 fixed.size() == list.size() ? "write WHEN " + word + " " + Joined(fixed)
                                             : std::string("write the list as ") + what);
}

// FROMADDR, TOADDR (strict reader) and ADDRESS (lenient reader).
void LintAddress(CheckReport& report, const std::string& where, const std::string& key,
                 const std::string& value) {
  const std::string fix =
      "write the address in full, zone:net/node or zone:net/node.point, such as 2:5020/9999.1";
  FtnAddress address;
  if (key == "ADDRESS") {
    ParseFieldAddressValue(value, address);
  } else if (!ParseAddress(value, address)) {
    if (!IsCleanAddress(value))
      report.Problem(where, key + " " + value +
                                " is not an address: a run logs \"Error converting\" and keeps "
                                "the address it had",
                     fix);
    return;
  }
  if (!IsCleanAddress(value))
    report.Problem(where, key + " " + value + " is not a clean address: a run reads it as " +
                              AddressToText(address),
                   fix);
  else if (address.zone == 0 || (address.net == 0 && address.node == 0))
    report.Problem(where, key + " " + value + " is no usable address (zone 0 or 0/0)", fix);
}

void LintFlags(CheckReport& report, const std::string& where, const std::string& value) {
  std::vector<std::string> unknown;
  for (const std::string& w : Words(value))
    if (ParseFlags(w) == 0) unknown.push_back(w);
  if (!unknown.empty())
    report.Problem(where, "FLAGS: " + Joined(unknown) + " set no attribute and are ignored",
                   "use the words Pvt Cra Rcv Snt Att Trs Orp K/s Loc Hld FRq RRq RRc ARq "
                   "URq Sca");
}

}  // namespace

bool IsCleanAddress(const std::string& text) {
  size_t pos = 0;
  if (Digits(text, pos) < 0 || !Expect(text, pos, ':') || Digits(text, pos) < 0 ||
      !Expect(text, pos, '/') || Digits(text, pos) < 0)
    return false;
  if (Expect(text, pos, '.') && Digits(text, pos) < 0) return false;
  // A domain is any word after "@".
  if (Expect(text, pos, '@')) return pos < text.size() && text.find(' ', pos) == std::string::npos;
  return pos == text.size();
}

std::vector<KnownWord> KnownConfigKeywords(Env& env) {
  App scratch(env, {});
  InitPostingSettings(scratch.posting, env);
  WordListing listing;
  // An empty line matches no keyword and changes nothing, but every reader
  // compares it with each of its keywords.
  ApplyConfigLine(scratch.run, "");
  ApplyPostingLine(scratch.posting, scratch.log, env, "");
  return listing.Words();
}

void LintConfigLine(CheckReport& report, const std::string& where, const std::string& line,
                    const std::vector<KnownWord>& known) {
  const std::string word = FirstWord(line);
  if (word.empty()) return;
  // A blank before a ";" makes no comment, but the line matches nothing.
  if (word[0] == ';' || word[0] == '#') return;
  std::string upper = UpperCp866(word);
  const size_t tab = upper.find('\t');
  if (tab != std::string::npos && Find(known, upper.substr(0, tab))) {
    report.Problem(where,
                   "a tab follows " + word.substr(0, tab) +
                       ": words are separated by blanks only, so the line is ignored",
                   "put a blank between " + upper.substr(0, tab) + " and its value");
    return;
  }
  const KnownWord* k = Find(known, upper);
  if (!k) {
    std::vector<std::string> names;
    for (const KnownWord& w : known) names.push_back(w.name);
    const std::string hint = NearestWord(word, names, word.size() >= 8 ? 3 : 2);
    report.Problem(where, "unknown keyword " + word + ", the line is ignored",
                   hint.empty() ? "correct the keyword, or make the line a comment with ';'"
                                : "write " + hint);
    return;
  }
  if (k->kind == WordKind::kExactCase && word != k->name) {
    report.Problem(where, word + " is read only in upper case, so the line is ignored",
                   "write " + k->name);
    return;
  }
  const std::string value = RestOfLine(line);
  const bool hasValue = FirstWord(line) != value;
  if ((k->kind == WordKind::kNumber || k->kind == WordKind::kYesNo) && !hasValue) {
    report.Problem(where, k->name + " without a value is ignored",
                   k->kind == WordKind::kYesNo ? "write " + k->name + " Yes or " + k->name + " No"
                                               : "write " + k->name + " and a number");
    return;
  }
  if (k->kind == WordKind::kYesNo && !value.empty() &&
      std::string("YyNn").find(value[0]) == std::string::npos) {
    report.Problem(where, k->name + " " + value + " is read as No (only a value beginning with Y "
                                                  "means yes)",
                   "write " + k->name + " Yes or " + k->name + " No");
  } else if (k->kind == WordKind::kNumber) {
    int32_t n = 0;
    const std::string v = OptionValue(line);
    if (!ParseNumber(v, &n))
      report.Problem(where, k->name + " " + v + " is not a number and is read as 0",
                     "write a whole number (decimal, or hexadecimal after $)");
  }
  const std::string trimmed(TrimTrailingBlanksAndTabs(value));
  if (k->name == "ADDRESS" || k->name == "FROMADDR" || k->name == "TOADDR")
    LintAddress(report, where, k->name, trimmed);
  else if (k->name == "WHEN")
    LintWhen(report, where, value);
  else if (k->name == "FLAGS")
    LintFlags(report, where, value);
  else if (k->name == "AREADEFINECFG") {
    std::string v = OptionValue(line);
    if (v.empty() || std::string("HhSsTt").find(v[0]) == std::string::npos)
      report.Problem(where, "AREADEFINECFG " + v + " does not begin with the format letter "
                                                   "H, S or T",
                     "write the letter right before the path, such as AREADEFINECFG "
                     "H/etc/fido/areas");
  }
}

}  // namespace vex
