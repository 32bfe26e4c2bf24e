#include "report/period_load.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/stat_store.h"
#include "platform/cp866.h"
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

// Row numbers by a 64-bit key: open addressing over a power-of-two table,
// linear probing.  Keys are never removed.  `Same(row)` decides between
// rows whose keys are equal, for keys that are hashes.
class RowIndex {
 public:
  RowIndex() : slots_(64) {}

  // The row of key, or rows (the next row number) after inserting it with
  // that number; `added` tells which.
  template <typename Same>
  size_t FindOrInsert(uint64_t key, size_t rows, bool& added, Same same) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    size_t i = Slot(key);
    while (slots_[i].row != 0) {
      if (slots_[i].key == key && same(slots_[i].row - 1)) {
        added = false;
        return slots_[i].row - 1;
      }
      i = (i + 1) & (slots_.size() - 1);
    }
    slots_[i] = {key, rows + 1};
    ++count_;
    added = true;
    return rows;
  }
  size_t FindOrInsert(uint64_t key, size_t rows, bool& added) {
    return FindOrInsert(key, rows, added, [](size_t) { return true; });
  }

 private:
  struct Entry {
    uint64_t key = 0;
    size_t row = 0;  // row number + 1; 0 marks a free slot
  };
  size_t Slot(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32) &
           (slots_.size() - 1);
  }
  void Grow() {
    std::vector<Entry> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Entry& e : old) {
      if (e.row == 0) continue;
      size_t i = Slot(e.key);
      while (slots_[i].row != 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = e;
    }
  }

  std::vector<Entry> slots_;
  size_t count_ = 0;
};

// Equality of short strings without a library call per record.
bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// Whether a record's day lies in the period, remembered for the last days
// met (a direct-mapped table: records come in date order or nearly so).
class DayFilter {
 public:
  DayFilter(const RunSettings& run, const DateTime& now)
      : run_(run), now_(now) {
    for (Entry& e : entries_) e.day = ~0ULL;
  }
  bool InPeriod(const StatRecordView& r) {
    const uint64_t day = uint64_t{r.DateField(0)} << 32 |
                         uint64_t{r.DateField(1)} << 16 | r.DateField(2);
    Entry& e = entries_[(r.DateField(2) + 31 * r.DateField(1)) % kEntries];
    if (e.day != day) {
      e.day = day;
      e.in = vex::InPeriod(r.Date(), now_, run_.periodStart, run_.periodEnd);
    }
    return e.in;
  }

 private:
  static constexpr size_t kEntries = 64;
  struct Entry {
    uint64_t day;
    bool in;
  };
  const RunSettings& run_;
  const DateTime now_;
  Entry entries_[kEntries];
};

// The row of the address at `at` in the record, added when missing.
template <typename Row>
Row& FindOrAdd(std::vector<Row>& rows, RowIndex& index,
               const StatRecordView& r, size_t at) {
  bool added = false;
  size_t row = index.FindOrInsert(r.AddressKeyAt(at), rows.size(), added);
  if (added) {
    rows.emplace_back();
    rows.back().address = r.AddressAt(at);
  }
  return rows[row];
}

// A hash of a short string, eight bytes at a time.
uint64_t NameHash(std::string_view s) {
  constexpr uint64_t kMix = 0xFF51AFD7ED558CCDULL;
  uint64_t h = s.size() * 0x9E3779B97F4A7C15ULL;
  size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = (h ^ w) * kMix;
    h ^= h >> 32;
  }
  uint64_t w = 0;
  for (size_t j = 0; i + j < s.size(); ++j)
    w |= uint64_t{static_cast<uint8_t>(s[i + j])} << (8 * j);
  h = (h ^ w) * kMix;
  return h ^ (h >> 29);
}

}  // namespace

struct PeriodAccumulator::Indexes {
  // Area rows by the upper-case name; the spellings met so far (cut to the
  // name length) lead to the same rows without folding the case again.
  std::unordered_map<std::string, size_t> areas;
  std::vector<std::string> spellings;    // cut to the name length
  std::vector<size_t> spellingArea;      // area row of each spelling
  RowIndex spellingIndex;                // by hash of the spelling
  RowIndex links, originalLinks, expLinks;
  std::vector<bool> linkIsOwn;  // by row of the link table
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

bool PeriodAccumulator::IsOwn(const FtnAddress& from) const {
  return !indexes_->own.empty() && indexes_->own.count(AddressKey(from)) > 0;
}

AreaStat& PeriodAccumulator::AreaRow(std::string_view area) {
  std::string_view name = area.substr(0, std::min(area.size(), kAreaNameLength));
  Indexes& ix = *indexes_;
  bool added = false;
  size_t spelling = ix.spellingIndex.FindOrInsert(
      NameHash(name), ix.spellings.size(), added,
      [&](size_t row) { return SameBytes(ix.spellings[row], name); });
  if (!added) return tables_.areas[ix.spellingArea[spelling]];
  ix.spellings.emplace_back(name);
  auto [it, inserted] =
      ix.areas.try_emplace(UpperCp866(std::string(name)), tables_.areas.size());
  if (inserted) {
    tables_.areas.emplace_back();
    tables_.areas.back().name = std::string(name);
  }
  ix.spellingArea.push_back(it->second);
  return tables_.areas[it->second];
}

void PeriodAccumulator::Add(const StatRecordView& r) {
  Indexes& ix = *indexes_;
  const int64_t size = r.Size();
  using V = StatRecordView;
  ExpLinkStat& exp = FindOrAdd(tables_.expLinks, ix.expLinks, r, V::kToAt);
  exp.size += size;
  exp.files += 1;

  AreaStat& area = AreaRow(r.Area());
  const size_t linkRows = tables_.links.size();
  LinkStat& link = FindOrAdd(tables_.links, ix.links, r, V::kFromAt);
  if (tables_.links.size() != linkRows)
    ix.linkIsOwn.push_back(IsOwn(link.address));
  const bool own = ix.linkIsOwn[&link - tables_.links.data()];
  LinkStat& original =
      FindOrAdd(tables_.originalLinks, ix.originalLinks, r, V::kOriginAt);

  PeriodTotals& t = tables_.totals;
  if (own) {
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
}

bool LoadPeriod(Env& env, LogContext& log, const RunSettings& run,
                PeriodTables& tables, const DateTime& now) {
  log.LogLine(Cp866("Чтение файла со статистикой.."));
  StatStoreReader reader;
  if (!reader.Open(env)) {
    log.LogLine(Cp866("Файл со статистикой пуст.."));
    return false;
  }
  tables.areas.clear();
  tables.links.clear();
  tables.originalLinks.clear();
  tables.expLinks.clear();
  tables.totals = PeriodTotals{};
  PeriodAccumulator acc(tables, run);
  DayFilter period(run, now);
  while (const char* p = reader.NextEncoded()) {
    StatRecordView record(p);
    if (!record.Area().empty() && period.InPeriod(record)) acc.Add(record);
  }
  return true;
}

}  // namespace vex
