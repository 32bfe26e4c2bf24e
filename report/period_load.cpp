#include "report/period_load.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/stat_store.h"
#include "platform/cp866.h"
#include "platform/exit.h"
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

// Finds the row of key, appending a new one (made by `make`) when missing.
template <typename Row, typename Key, typename Make>
Row& FindOrAdd(std::vector<Row>& rows, std::unordered_map<Key, size_t>& index,
               const Key& key, Make make) {
  auto [it, inserted] = index.try_emplace(key, rows.size());
  if (inserted) rows.push_back(make());
  return rows[it->second];
}

}  // namespace

struct PeriodAccumulator::Indexes {
  std::unordered_map<std::string, size_t> areas;
  std::unordered_map<uint64_t, size_t> links, originalLinks, expLinks;
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

void PeriodAccumulator::Add(const StatRecord& r) {
  const int64_t size = r.size;
  ExpLinkStat& exp = FindOrAdd(tables_.expLinks, indexes_->expLinks,
                               AddressKey(r.to), [&] {
                                 ExpLinkStat row;
                                 row.address = r.to;
                                 return row;
                               });
  exp.size += size;
  exp.files += 1;

  std::string name = r.area.substr(0, std::min(r.area.size(), kAreaNameLength));
  AreaStat& area = FindOrAdd(tables_.areas, indexes_->areas, UpperCp866(name),
                             [&] {
                               AreaStat row;
                               row.name = name;
                               return row;
                             });
  auto makeLink = [](const FtnAddress& a) {
    return [a] {
      LinkStat row;
      row.address = a;
      return row;
    };
  };
  LinkStat& link = FindOrAdd(tables_.links, indexes_->links,
                             AddressKey(r.from), makeLink(r.from));
  LinkStat& original = FindOrAdd(tables_.originalLinks, indexes_->originalLinks,
                                 AddressKey(r.origin), makeLink(r.origin));

  PeriodTotals& t = tables_.totals;
  if (IsOwn(r.from)) {
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

void LoadPeriod(Env& env, LogContext& log, const RunSettings& run,
                PeriodTables& tables, const DateTime& now) {
  log.LogLine(Cp866("Чтение файла со статистикой.."));
  StatStoreReader reader;
  if (!reader.Open(env)) {
    log.LogLine(Cp866("Файл со статистикой пуст.."));
    throw ProgramExit{0};
  }
  tables.areas.clear();
  tables.links.clear();
  tables.originalLinks.clear();
  tables.expLinks.clear();
  tables.totals = PeriodTotals{};
  PeriodAccumulator acc(tables, run);
  StatRecord record;
  while (reader.Next(record)) {
    if (record.area.empty()) continue;
    if (!InPeriod(RecordDateTime(record), now, run.periodStart, run.periodEnd))
      continue;
    acc.Add(record);
  }
}

}  // namespace vex
