#include "util/nodelist.h"

#include <cstdint>
#include <memory>

#include "platform/path.h"
#include "util/dates.h"
#include "util/text.h"

namespace vex {
namespace {

uint64_t Key(int32_t zone, int32_t net, int32_t node) {
  return static_cast<uint64_t>(static_cast<uint16_t>(zone)) << 32 |
         static_cast<uint64_t>(static_cast<uint16_t>(net)) << 16 |
         static_cast<uint64_t>(static_cast<uint16_t>(node));
}

// A decimal number of at most five digits, 0..65535; -1 otherwise.
int32_t Number(std::string_view s) {
  if (s.empty() || s.size() > 5) return -1;
  int32_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n <= 65535 ? n : -1;
}

bool FieldIs(std::string_view field, std::string_view word) {
  if (field.size() != word.size()) return false;
  for (size_t i = 0; i < field.size(); ++i)
    if (UpperCp866Char(field[i]) != word[i]) return false;
  return true;
}

std::string Blanked(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '_') c = ' ';
  return out;
}

enum class Entry { kZone, kNet, kNode, kBad };

Entry KindOf(std::string_view keyword) {
  if (keyword.empty()) return Entry::kNode;
  if (FieldIs(keyword, "ZONE")) return Entry::kZone;
  if (FieldIs(keyword, "REGION") || FieldIs(keyword, "HOST")) return Entry::kNet;
  for (std::string_view w : {"HUB", "PVT", "HOLD", "DOWN"})
    if (FieldIs(keyword, w)) return Entry::kNode;
  return Entry::kBad;
}

// Year * 1000 + day of the year: from the first line ";A ... YYYY -- Day
// number NNN ...", else 0.
int64_t DayStamp(std::string_view first) {
  if (first.size() < 2 || first[0] != ';' || (first[1] != 'A' && first[1] != 'a')) return 0;
  const size_t at = first.find("Day number");
  if (at == std::string_view::npos) return 0;
  size_t d = at + 10;
  while (d < first.size() && first[d] == ' ') ++d;
  int64_t day = 0;
  size_t digits = 0;
  while (d < first.size() && first[d] >= '0' && first[d] <= '9' && digits < 3)
    day = day * 10 + (first[d++] - '0'), ++digits;
  // The year: the last run of four digits before "Day number".
  int64_t year = 0;
  for (size_t i = 0; i + 4 <= at; ++i) {
    bool four = (i == 0 || first[i - 1] < '0' || first[i - 1] > '9') &&
                (i + 4 == at || first[i + 4] < '0' || first[i + 4] > '9');
    for (size_t k = 0; four && k < 4; ++k) four = first[i + k] >= '0' && first[i + k] <= '9';
    if (four) year = std::stoll(std::string(first.substr(i, 4)));
  }
  if (digits == 0 || day < 1 || day > 366 || year == 0) return 0;
  return year * 1000 + day;
}

bool ReadWhole(Env& env, const std::string& path, std::string* bytes, size_t limit) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(path, OpenMode::kRead, &err);
  if (!file) return false;
  bytes->clear();
  char buf[1 << 16];
  for (uint64_t at = 0; bytes->size() < limit;) {
    const long long n = file->ReadAt(at, buf, sizeof buf);
    if (n < 0) return false;
    if (n == 0) break;
    bytes->append(buf, static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

void Nodelist::Parse(std::string_view text) {
  nodes_.clear();
  badLines_ = firstBadLine_ = 0;
  firstBadText_.clear();
  nodes_.reserve(text.size() / 60);
  int32_t zone = -1, net = -1;
  size_t lineNo = 0;
  std::string_view fields[5];
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line[0] == '\x1A') break;
    if (line.empty() || line[0] == ';') continue;
    size_t count = 0, start = 0;
    while (count < 5) {
      const size_t comma = line.find(',', start);
      fields[count++] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    const Entry kind = count == 5 ? KindOf(fields[0]) : Entry::kBad;
    const int32_t number = Number(fields[1]);
    uint64_t key = 0;
    if (kind == Entry::kZone && number >= 0) {
      zone = net = number;
      key = Key(zone, net, 0);
    } else if (kind == Entry::kNet && number >= 0 && zone >= 0) {
      net = number;
      key = Key(zone, net, 0);
    } else if (kind == Entry::kNode && number >= 0 && zone >= 0) {
      key = Key(zone, net, number);
    } else {
      if (++badLines_ == 1) {
        firstBadLine_ = lineNo;
        firstBadText_ = std::string(line.substr(0, 255));
      }
      continue;
    }
    NodeNames& names = nodes_[key];
    names.system = Blanked(fields[2]);
    names.location = Blanked(fields[3]);
    names.sysop = Blanked(fields[4]);
  }
}

const NodeNames* Nodelist::Find(const FtnAddress& a) const {
  auto it = nodes_.find(Key(a.zone, a.net, a.node));
  return it == nodes_.end() ? nullptr : &it->second;
}

std::string ChooseNodelistFile(Env& env, const std::string& value) {
  if (value.empty()) return std::string();
  const FileInfo info = env.Stat(value);
  if (info.exists && !info.isDirectory) return value;
  // The folder part is kept as the value spells it.
  const std::string base = NameOf(value);
  const std::string dir = value.substr(0, value.size() - base.size());
  std::string best;
  int64_t bestStamp = -1;
  for (const DirEntry& e : env.Search(value + ".???")) {
    const std::string_view suffix = std::string_view(e.name).substr(base.size());
    if (suffix.size() != 4 || Number(suffix.substr(1)) < 0) continue;
    std::string head;
    ReadWhole(env, dir + e.name, &head, 1);  // the first piece holds line 1
    int64_t stamp = DayStamp(std::string_view(head).substr(0, head.find('\n')));
    if (stamp == 0) {
      const CalendarDate day{e.mtime.year, e.mtime.month, e.mtime.day};
      stamp = int64_t{day.year} * 1000 + RealDayNumber(day) -
              RealDayNumber({day.year, 1, 1}) + 1;
    }
    // Equal dates: the later name (the Search gives them in name order).
    if (stamp >= bestStamp) bestStamp = stamp, best = dir + e.name;
  }
  return best;
}

bool LoadNodelist(Env& env, const std::string& value, Nodelist* list, std::string* file) {
  *list = Nodelist();
  *file = ChooseNodelistFile(env, value);
  if (file->empty()) return false;
  std::string bytes;
  if (!ReadWhole(env, *file, &bytes, SIZE_MAX)) return false;
  list->Parse(bytes);
  return true;
}

}  // namespace vex
