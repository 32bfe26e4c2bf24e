#include "report/period_history.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "report/number_format.h"
#include "util/address.h"
#include "util/text.h"

namespace vex {
namespace {

constexpr size_t kAreaNameLength = 40;
constexpr int32_t kNoAge = INT32_MIN;

uint64_t Key(const FtnAddress& a) {
  return static_cast<uint64_t>(static_cast<uint16_t>(a.zone)) << 48 |
         static_cast<uint64_t>(static_cast<uint16_t>(a.net)) << 32 |
         static_cast<uint64_t>(static_cast<uint16_t>(a.node)) << 16 |
         static_cast<uint64_t>(static_cast<uint16_t>(a.point));
}

// The key StatRecordView::AddressKeyAt gives for the address.
uint64_t OriginKeys(const FtnAddress& a) {
  auto u = [](int16_t v) { return uint64_t{static_cast<uint16_t>(v)}; };
  return u(a.zone) | u(a.net) << 16 | u(a.node) << 32 | u(a.point) << 48;
}

// The upper-case name cut to the name length, written into buf (looked up
// for every area row of a report, so without an allocation).
std::string_view AreaKey(std::string_view name, char (&buf)[kAreaNameLength]) {
  const size_t n = std::min(name.size(), kAreaNameLength);
  for (size_t i = 0; i < n; ++i) buf[i] = UpperCp866Char(name[i]);
  return std::string_view(buf, n);
}
std::string AreaKey(std::string_view name) {
  char buf[kAreaNameLength];
  return std::string(AreaKey(name, buf));
}

std::string IsoDate(CalendarDate d) { return IsoDateText(d); }

// Bytes in the unit a person reads at a glance.
std::string Volume(int64_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  if (bytes < 1024) return NumberText(bytes) + " bytes";
  double v = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (v >= 1024 && unit < 3) v /= 1024, ++unit;
  return FixedText(v, 1) + " " + kUnits[unit];
}

// Keeps the smallest (latest) or largest (earliest) age met at an index;
// called for every record, so the vector grows only on a new row.
inline void KeepMin(std::vector<int32_t>& v, size_t i, int32_t age) {
  if (i >= v.size()) [[unlikely]]
    v.resize(i + 1, INT32_MAX);
  if (age < v[i]) v[i] = age;
}
inline void KeepMax(std::vector<int32_t>& v, size_t i, int32_t age) {
  if (i >= v.size()) [[unlikely]]
    v.resize(i + 1, kNoAge);
  if (age > v[i]) v[i] = age;
}

// The ages of the latest and the earliest file of a row.
struct AgeSpan {
  int32_t last = INT32_MAX, first = kNoAge;
};

// A set of non-zero 64-bit keys: open addressing over a power-of-two
// table, for the one lookup made per record older than both periods.
class KeySet {
 public:
  KeySet() : slots_(256, 0) {}
  // True when the key was not in the set (it is now).
  bool Insert(uint64_t key) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    size_t i = Home(key);
    while (slots_[i] != 0) {
      if (slots_[i] == key) return false;
      i = (i + 1) & (slots_.size() - 1);
    }
    slots_[i] = key;
    ++count_;
    return true;
  }
  bool Contains(uint64_t key) const {
    for (size_t i = Home(key); slots_[i] != 0; i = (i + 1) & (slots_.size() - 1))
      if (slots_[i] == key) return true;
    return false;
  }

 private:
  size_t Home(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32) & (slots_.size() - 1);
  }
  void Grow() {
    std::vector<uint64_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    count_ = 0;
    for (uint64_t key : old)
      if (key != 0) Insert(key);
  }
  std::vector<uint64_t> slots_;
  size_t count_ = 0;
};

void AddTotals(PeriodTotals& to, const PeriodTotals& t) {
  to.totalSize += t.totalSize, to.totalFiles += t.totalFiles;
  to.filesIn += t.filesIn, to.filesOut += t.filesOut;
  to.sizeIn += t.sizeIn, to.sizeOut += t.sizeOut;
}

}  // namespace

std::vector<TrendRow> TrendRows(const std::vector<TrendRow>& days,
                                TrendUnit unit) {
  if (unit == TrendUnit::kDay) return days;
  // A day belongs to the week its first real day lies in, and to the month
  // of its own date (29 February counts with 1 March, as its files do).
  auto group = [unit](const TrendRow& d) -> int64_t {
    if (unit == TrendUnit::kWeek) return RealWeekNumber(d.first);
    return int64_t{d.last.year} * 12 + d.last.month;
  };
  std::vector<TrendRow> rows;
  int64_t current = 0;
  for (const TrendRow& d : days) {
    if (rows.empty() || group(d) != current) {
      rows.push_back(TrendRow{d.first, d.last, {}});
      current = group(d);
    }
    rows.back().last = d.last;
    AddTotals(rows.back().totals, d.totals);
  }
  for (TrendRow& r : rows) {
    if (unit == TrendUnit::kWeek)
      r.partial = RealDayNumber(r.last) - RealDayNumber(r.first) < 6;
    else  // 1 March may start at 29 February; February may end on the 28th
      r.partial = !(r.first.day == 1 || (r.first.month == 2 && r.first.day == 29)) ||
                  r.last.day < MonthLength(r.last.month);
  }
  return rows;
}

const char* NoteKindName(NoteKind kind) {
  switch (kind) {
    case NoteKind::kSilentArea: return "silent_area";
    case NoteKind::kSilentLink: return "silent_link";
    case NoteKind::kNewArea: return "new_area";
    case NoteKind::kNewOrigin: return "new_origin";
    case NoteKind::kSpike: return "spike";
  }
  return "";
}

const AreaStat* PeriodHistory::PreviousArea(std::string_view name) const {
  char buf[kAreaNameLength];
  auto it = areaIndex_.find(AreaKey(name, buf));
  return it == areaIndex_.end() ? nullptr : &previous.areas[it->second];
}

const LinkStat* PeriodHistory::PreviousLink(const FtnAddress& a) const {
  auto it = linkIndex_.find(Key(a));
  return it == linkIndex_.end() ? nullptr : &previous.links[it->second];
}

const LinkStat* PeriodHistory::PreviousOrigin(const FtnAddress& a) const {
  auto it = originIndex_.find(Key(a));
  return it == originIndex_.end() ? nullptr : &previous.originalLinks[it->second];
}

const ExpLinkStat* PeriodHistory::PreviousExpLink(const FtnAddress& a) const {
  auto it = expIndex_.find(Key(a));
  return it == expIndex_.end() ? nullptr : &previous.expLinks[it->second];
}

void PeriodHistory::Reindex() {
  areaIndex_.clear(), linkIndex_.clear(), originIndex_.clear(), expIndex_.clear();
  for (size_t i = 0; i < previous.areas.size(); ++i)
    areaIndex_.emplace(AreaKey(previous.areas[i].name), i);
  for (size_t i = 0; i < previous.links.size(); ++i)
    linkIndex_.emplace(Key(previous.links[i].address), i);
  for (size_t i = 0; i < previous.originalLinks.size(); ++i)
    originIndex_.emplace(Key(previous.originalLinks[i].address), i);
  for (size_t i = 0; i < previous.expLinks.size(); ++i)
    expIndex_.emplace(Key(previous.expLinks[i].address), i);
}

struct HistoryBuilder::State {
  State(PeriodHistory& h, const PeriodTables& c, const RunSettings& r,
        CalendarDate t)
      : history(h), current(c), run(r), today(t), previousAcc(h.previous, r) {}

  PeriodHistory& history;
  const PeriodTables& current;
  const RunSettings& run;
  CalendarDate today;
  int32_t first = 0, last = 0, length = 0;  // ages of the period, its days
  PeriodAccumulator previousAcc;
  // Ages of the latest and earliest file per current area, of the latest
  // per current link, of the earliest per current origin, and of the latest
  // per previous area and link.
  std::vector<AgeSpan> areaAges;
  std::vector<int32_t> linkLast, originFirst;
  std::vector<int32_t> previousAreaLast, previousLinkLast;
  // Spellings (cut to the name length; by hash, each kept once) and
  // origins (by key) met before both periods.
  KeySet olderSpellingHashes, olderOrigins;
  std::vector<std::string> olderAreas;

  CalendarDate DateOf(int32_t age) const { return DaysBack(today, age); }
  void Notes();
  void SilentNotes();
  void NewAndSpikeNotes();
  Note& Add(NoteKind kind, std::string subject, std::string text) {
    history.notes.push_back(Note{kind, std::move(subject), std::move(text)});
    return history.notes.back();
  }
  void AddSilent(NoteKind kind, std::string subject, std::string text,
                 int32_t lastAge, FtnAddress address = {}) {
    Note& n = Add(kind, std::move(subject), std::move(text));
    n.days = lastAge - last;
    n.date = DateOf(lastAge);
    n.address = address;
  }
};

HistoryBuilder::HistoryBuilder(PeriodHistory& history,
                               const PeriodTables& current,
                               const RunSettings& run, CalendarDate today) {
  history.previous = PeriodTables{};
  history.days.clear();
  history.notes.clear();
  s_ = std::make_unique<State>(history, current, run, today);
  s_->first = run.periodStart;
  s_->last = run.periodEnd;
  s_->length = std::max(0, s_->first - s_->last + 1);
  // With an empty period the previous one is empty too, and dated as it.
  int32_t shift = s_->length;
  history.previous.periodStart = DaysBack(today, s_->first + shift);
  history.previous.periodEnd = DaysBack(today, s_->last + shift);
  history.days.resize(static_cast<size_t>(s_->length));
  for (int32_t i = 0; i < s_->length; ++i) {
    CalendarDate d = DaysBack(today, s_->first - i);
    history.days[static_cast<size_t>(i)].first = FirstRealDayOf(d);
    history.days[static_cast<size_t>(i)].last = d;
  }
}

HistoryBuilder::~HistoryBuilder() = default;

void HistoryBuilder::AddCurrent(const StatRecordView& r, int32_t age,
                                const RowRefs& rows) {
  State& s = *s_;
  PeriodTotals& t = s.history.days[static_cast<size_t>(s.first - age)].totals;
  const int64_t size = r.Size();
  if (rows.outgoing)
    t.sizeOut += size, t.filesOut += 1;
  else
    t.sizeIn += size, t.filesIn += 1;
  t.totalSize += size, t.totalFiles += 1;
  if (rows.area >= s.areaAges.size()) [[unlikely]]
    s.areaAges.resize(rows.area + 1);
  AgeSpan& span = s.areaAges[rows.area];
  if (age < span.last) span.last = age;
  if (age > span.first) span.first = age;
  KeepMin(s.linkLast, rows.link, age);
  KeepMax(s.originFirst, rows.origin, age);
}

void HistoryBuilder::AddOther(const StatRecordView& r, int32_t age) {
  State& s = *s_;
  if (age <= s.first) return;  // after the period: no part of its past
  if (age <= s.first + s.length) {
    RowRefs rows = s.previousAcc.Add(r);
    KeepMin(s.previousAreaLast, rows.area, age);
    KeepMin(s.previousLinkLast, rows.link, age);
    return;
  }
  std::string_view area = r.Area();
  area = area.substr(0, std::min(area.size(), kAreaNameLength));
  // Equal hashes of different spellings would hide a new area: with 64
  // bits and thousands of areas that does not happen.
  if (s.olderSpellingHashes.Insert(SpellingHash(area) | 1))
    s.olderAreas.emplace_back(area);
  const uint64_t origin = r.AddressKeyAt(StatRecordView::kOriginAt);
  if (origin != 0) s.olderOrigins.Insert(origin);
}

void HistoryBuilder::Finish() {
  s_->previousAcc.Finish();
  s_->history.Reindex();
  s_->Notes();
}

void HistoryBuilder::State::SilentNotes() {
  // A silence counts from the period's last day; it is noted once it lasts
  // the configured days, or the whole period when that is shorter.
  const int32_t threshold = std::min(run.noteSilentDays, length);
  if (run.noteSilentDays <= 0 || length == 0) return;
  auto silent = [&](int32_t lastAge) { return lastAge - last >= threshold; };
  auto text = [&](const std::string& what, int32_t lastAge) {
    return what + " silent for " + NumberText(lastAge - last) +
           " days, last file on " + IsoDate(DateOf(lastAge));
  };

  std::unordered_set<std::string> seen;
  for (size_t i = 0; i < current.areas.size(); ++i) {
    seen.insert(AreaKey(current.areas[i].name));
    if (silent(areaAges[i].last))
      AddSilent(NoteKind::kSilentArea, current.areas[i].name,
                text("area " + current.areas[i].name, areaAges[i].last), areaAges[i].last);
  }
  const PeriodTables& prev = history.previous;
  for (size_t i = 0; i < prev.areas.size(); ++i)
    if (!seen.count(AreaKey(prev.areas[i].name)) && silent(previousAreaLast[i]))
      AddSilent(NoteKind::kSilentArea, prev.areas[i].name,
                text("area " + prev.areas[i].name, previousAreaLast[i]), previousAreaLast[i]);

  // Links: the systems that send to the node, never the node itself.
  std::unordered_set<uint64_t> links;
  auto link = [&](const FtnAddress& a, int32_t lastAge) {
    if (a.IsZero() || previousAcc.IsOwn(a) || !silent(lastAge)) return;
    std::string address = AddressToTextUnsigned(a);
    AddSilent(NoteKind::kSilentLink, address, text("link " + address, lastAge), lastAge, a);
  };
  for (size_t i = 0; i < current.links.size(); ++i) {
    links.insert(Key(current.links[i].address));
    link(current.links[i].address, linkLast[i]);
  }
  for (size_t i = 0; i < prev.links.size(); ++i)
    if (!links.count(Key(prev.links[i].address)))
      link(prev.links[i].address, previousLinkLast[i]);
}

void HistoryBuilder::State::NewAndSpikeNotes() {
  std::unordered_set<std::string> older;
  for (const std::string& spelling : olderAreas) older.insert(AreaKey(spelling));
  const int32_t spike = run.noteSpike;
  for (size_t i = 0; i < current.areas.size(); ++i) {
    const AreaStat& a = current.areas[i];
    const AreaStat* before = history.PreviousArea(a.name);
    const int64_t bytes = a.sizeIn + a.sizeOut;
    if (!before && !older.count(AreaKey(a.name))) {
      Add(NoteKind::kNewArea, a.name,
          "new area " + a.name + ", first file on " + IsoDate(DateOf(areaAges[i].first)))
          .date = DateOf(areaAges[i].first);
      continue;
    }
    if (!before || spike <= 0) continue;
    const int64_t was = before->sizeIn + before->sizeOut;
    if (was <= 0 || bytes < was * spike) continue;
    // Both periods have the same days, so the daily means compare as the
    // sums do.
    const double days = length > 0 ? length : 1;
    const int64_t perDay = static_cast<int64_t>(static_cast<double>(bytes) / days);
    const double factor = static_cast<double>(bytes) / static_cast<double>(was);
    Note& n = Add(NoteKind::kSpike, a.name,
                  "area " + a.name + ": " + Volume(perDay) + " a day, " +
                      FixedText(factor, 1) + " times the previous period");
    n.perDay = perDay;
    n.factor = factor;
  }
  for (size_t i = 0; i < current.originalLinks.size(); ++i) {
    const FtnAddress& a = current.originalLinks[i].address;
    // The node's own files are no news.
    if (a.IsZero() || previousAcc.IsOwn(a) || history.PreviousOrigin(a) ||
        olderOrigins.Contains(OriginKeys(a)))
      continue;
    std::string address = AddressToTextUnsigned(a);
    Note& n = Add(NoteKind::kNewOrigin, address,
                  "new originating system " + address + ", first file on " +
                      IsoDate(DateOf(originFirst[i])));
    n.date = DateOf(originFirst[i]);
    n.address = a;
  }
}

void HistoryBuilder::State::Notes() {
  SilentNotes();
  NewAndSpikeNotes();
  std::stable_sort(history.notes.begin(), history.notes.end(),
                   [](const Note& a, const Note& b) {
                     if (a.kind != b.kind) return a.kind < b.kind;
                     return UpperCp866(a.subject) < UpperCp866(b.subject);
                   });
}

}  // namespace vex
