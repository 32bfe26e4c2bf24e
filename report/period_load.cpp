#include "report/period_load.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/stat_store.h"
#include "platform/cp866.h"
#include "report/period_history.h"
#include "util/text.h"

namespace vex {
namespace {

constexpr size_t kAreaNameLength = 40;

uint64_t AddressKey(const FtnAddress& a) {
  return static_cast<uint64_t>(static_cast<uint16_t>(a.zone)) << 48 |
         static_cast<uint64_t>(static_cast<uint16_t>(a.net)) << 32 |
         static_cast<uint64_t>(static_cast<uint16_t>(a.node)) << 16 |
         static_cast<uint64_t>(static_cast<uint16_t>(a.point));
}

// Open addressing over a power-of-two table, linear probing, for the
// lookups made once per record: each slot holds all that a lookup touches,
// so that a record costs one cache line per table.  Slots are never
// removed.  A Slot has `key` and `used`.
template <typename Slot>
class SlotTable {
 public:
  SlotTable() : slots_(64), mask_(63) {}

  // The used slot of key for which same(slot) holds, or else a free slot
  // with that key, which the caller fills and marks used.
  template <typename Same>
  Slot& Find(uint64_t key, Same same) {
    if (2 * (count_ + 1) > mask_ + 1) [[unlikely]]
      Grow();
    size_t i = Home(key);
    while (slots_[i].used) {
      if (slots_[i].key == key && same(slots_[i])) return slots_[i];
      i = (i + 1) & mask_;
    }
    ++count_;
    slots_[i].key = key;
    return slots_[i];
  }
  const std::vector<Slot>& slots() const { return slots_; }
  size_t count() const { return count_; }

 private:
  size_t Home(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32) & mask_;
  }
  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& e : old) {
      if (!e.used) continue;
      size_t i = Home(e.key);
      while (slots_[i].used) i = (i + 1) & mask_;
      slots_[i] = e;
    }
  }

  std::vector<Slot> slots_;
  size_t mask_;  // slots_.size() - 1, kept for the lookup made per record
  size_t count_ = 0;
};

// A row of an address table with its first-seen position.
template <typename Row>
struct AddressSlot {
  uint64_t key = 0;
  uint32_t order = 0;
  bool used = false;
  bool own = false;  // the address counts as the node's own
  Row row;
};

// A spelling of an area name (cut to the name length) and its area row.
struct SpellingSlot {
  uint64_t key = 0;  // hash of the spelling
  uint32_t area = 0;
  uint8_t size = 0;
  bool used = false;
  char name[kAreaNameLength];
};

// Equality of short strings, eight bytes at a time without a library call
// per record; a string of eight bytes or more ends with its last eight.
bool SameBytes(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8) {
    for (size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  auto word = [](std::string_view s, size_t at) {
    uint64_t w;
    std::memcpy(&w, s.data() + at, 8);
    return w;
  };
  for (size_t i = 0; i + 8 < n; i += 8)
    if (word(a, i) != word(b, i)) return false;
  return word(a, n - 8) == word(b, n - 8);
}

// The age in days of a record's date, remembered for the last days met (a
// direct-mapped table: records come in date order or nearly so).
class DayAges {
 public:
  explicit DayAges(const DateTime& now) : now_(now) {
    for (Entry& e : entries_) e.day = ~0ULL;
  }
  int32_t Of(const StatRecordView& r) {
    const uint64_t day = uint64_t{r.DateField(0)} << 32 |
                         uint64_t{r.DateField(1)} << 16 | r.DateField(2);
    Entry& e = entries_[(r.DateField(2) + 31 * r.DateField(1)) % kEntries];
    if (e.day != day) {
      e.day = day;
      e.age = DateTimeDaysBetween(r.Date(), now_);
    }
    return e.age;
  }

 private:
  static constexpr size_t kEntries = 64;
  struct Entry {
    uint64_t day;
    int32_t age;
  };
  const DateTime now_;
  Entry entries_[kEntries];
};

// The slot of the address at `at` in the record, added when missing (and
// then `added` is set).
template <typename Row>
AddressSlot<Row>& FindOrAdd(SlotTable<AddressSlot<Row>>& table,
                            const StatRecordView& r, size_t at,
                            bool* added = nullptr) {
  AddressSlot<Row>& slot =
      table.Find(r.AddressKeyAt(at), [](const AddressSlot<Row>&) { return true; });
  if (!slot.used) {
    if (added) *added = true;
    slot.used = true;
    slot.order = static_cast<uint32_t>(table.count() - 1);
    slot.row.address = r.AddressAt(at);
  }
  return slot;
}

// The rows of an address table in first-seen order.
template <typename Row>
void TakeRows(const SlotTable<AddressSlot<Row>>& table, std::vector<Row>& rows) {
  rows.resize(table.count());
  for (const AddressSlot<Row>& slot : table.slots())
    if (slot.used) rows[slot.order] = slot.row;
}

// A hash of a short string, eight bytes at a time; a string of eight bytes
// or more ends with its last eight (overlapping the word before).
inline uint64_t NameHash(std::string_view s) {
  constexpr uint64_t kMix = 0xFF51AFD7ED558CCDULL;
  uint64_t h = s.size() * 0x9E3779B97F4A7C15ULL;
  auto mix = [&](uint64_t w) {
    h = (h ^ w) * kMix;
    h ^= h >> 32;
  };
  uint64_t w = 0;
  if (s.size() < 8) {
    for (size_t j = 0; j < s.size(); ++j)
      w |= uint64_t{static_cast<uint8_t>(s[j])} << (8 * j);
    mix(w);
    return h;
  }
  size_t i = 0;
  for (; i + 8 < s.size(); i += 8) {
    std::memcpy(&w, s.data() + i, 8);
    mix(w);
  }
  std::memcpy(&w, s.data() + s.size() - 8, 8);
  mix(w);
  return h;
}

}  // namespace

struct PeriodAccumulator::Indexes {
  std::unordered_map<std::string, size_t> areas;  // by upper-case name
  SlotTable<SpellingSlot> spellings;
  SlotTable<AddressSlot<LinkStat>> links, originalLinks;
  SlotTable<AddressSlot<ExpLinkStat>> expLinks;
  std::unordered_set<uint64_t> own;
};

PeriodAccumulator::PeriodAccumulator(PeriodTables& tables,
                                     const RunSettings& run)
    : tables_(tables), indexes_(std::make_unique<Indexes>()) {
  // Traffic counts as outgoing only when the first own address is set.
  if (!run.ownAddresses.empty() && run.ownAddresses[0].zone != 0)
    for (const FtnAddress& a : run.ownAddresses)
      indexes_->own.insert(AddressKey(a));
}

PeriodAccumulator::~PeriodAccumulator() = default;

uint64_t SpellingHash(std::string_view s) { return NameHash(s); }

bool PeriodAccumulator::IsOwn(const FtnAddress& from) const {
  return !indexes_->own.empty() && indexes_->own.count(AddressKey(from)) > 0;
}

AreaStat& PeriodAccumulator::AreaRow(std::string_view area) {
  std::string_view name = area.substr(0, std::min(area.size(), kAreaNameLength));
  SpellingSlot& slot = indexes_->spellings.Find(
      NameHash(name), [&](const SpellingSlot& s) {
        return SameBytes(std::string_view(s.name, s.size), name);
      });
  if (!slot.used) [[unlikely]] {
    slot.used = true;
    slot.area = NewSpelling(name);
    slot.size = static_cast<uint8_t>(name.size());
    std::memcpy(slot.name, name.data(), name.size());
  }
  return tables_.areas[slot.area];
}

uint32_t PeriodAccumulator::NewSpelling(std::string_view name) {
  // Its row is the one of its upper-case name.
  auto [it, inserted] = indexes_->areas.try_emplace(UpperCp866(name),
                                                    tables_.areas.size());
  if (inserted) {
    tables_.areas.emplace_back();
    tables_.areas.back().name = std::string(name);
  }
  return static_cast<uint32_t>(it->second);
}

RowRefs PeriodAccumulator::Add(const StatRecordView& r) {
  Indexes& ix = *indexes_;
  using V = StatRecordView;
  const int64_t size = r.Size();
  ExpLinkStat& exp = FindOrAdd(ix.expLinks, r, V::kToAt).row;
  exp.size += size;
  exp.files += 1;

  AreaStat& area = AreaRow(r.Area());
  if (area.description.empty() && !r.AreaDesc().empty())
    area.description = std::string(r.AreaDesc());
  bool newLink = false;
  AddressSlot<LinkStat>& from = FindOrAdd(ix.links, r, V::kFromAt, &newLink);
  if (newLink) from.own = IsOwn(from.row.address);
  LinkStat& link = from.row;
  AddressSlot<LinkStat>& originSlot = FindOrAdd(ix.originalLinks, r, V::kOriginAt);
  LinkStat& original = originSlot.row;

  PeriodTotals& t = tables_.totals;
  if (from.own) {
    area.sizeOut += size, area.filesOut += 1;
    link.sizeOut += size, link.filesOut += 1;
    original.sizeOut += size, original.filesOut += 1;
    t.sizeOut += size, t.filesOut += 1;
  } else {
    area.sizeIn += size, area.filesIn += 1;
    link.sizeIn += size, link.filesIn += 1;
    original.sizeIn += size, original.filesIn += 1;
    t.sizeIn += size, t.filesIn += 1;
  }
  t.totalSize += size;
  t.totalFiles += 1;
  return RowRefs{static_cast<uint32_t>(&area - tables_.areas.data()), from.order,
                 originSlot.order, from.own};
}

void PeriodAccumulator::Finish() {
  TakeRows(indexes_->links, tables_.links);
  TakeRows(indexes_->originalLinks, tables_.originalLinks);
  TakeRows(indexes_->expLinks, tables_.expLinks);
}

bool LoadPeriod(Env& env, LogContext& log, const RunSettings& run,
                PeriodTables& tables, const DateTime& now,
                PeriodHistory* history) {
  log.LogLine(Cp866("Чтение файла со статистикой.."));
  StatStoreReader reader;
  if (!reader.Open(env, kStatStoreName, run.statReadLimit)) {
    log.LogLine(Cp866("Файл со статистикой пуст.."));
    return false;
  }
  tables.areas.clear();
  tables.links.clear();
  tables.originalLinks.clear();
  tables.expLinks.clear();
  tables.totals = PeriodTotals{};
  PeriodAccumulator acc(tables, run);
  std::unique_ptr<HistoryBuilder> builder;
  if (history)
    builder = std::make_unique<HistoryBuilder>(
        *history, tables, run, CalendarDate{now.year, now.month, now.day});
  DayAges ages(now);
  const int32_t first = run.periodStart, last = run.periodEnd;
  while (const char* p = reader.NextEncoded()) {
    StatRecordView record(p);
    if (record.Area().empty()) continue;
    const int32_t age = ages.Of(record);
    if (last <= age && age <= first) {
      RowRefs rows = acc.Add(record);
      if (builder) builder->AddCurrent(record, age, rows);
    } else if (builder) {
      builder->AddOther(record, age);
    }
  }
  acc.Finish();
  if (builder) builder->Finish();
  return true;
}

}  // namespace vex
