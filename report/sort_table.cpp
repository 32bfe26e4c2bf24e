#include "report/sort_table.h"

#include <algorithm>
#include <functional>

namespace vex {

size_t TableRowCount(const PeriodTables& tables, int kind) {
  switch (kind) {
    case kAreaTable: return tables.areas.size();
    case kLinkTable: return tables.links.size();
    case kOriginalLinkTable: return tables.originalLinks.size();
    case kExpLinkTable: return tables.expLinks.size();
    default: return 0;
  }
}

int64_t RowSize(const PeriodTables& tables, int kind, size_t row) {
  switch (kind) {
    case kAreaTable: return tables.areas[row].sizeIn + tables.areas[row].sizeOut;
    case kLinkTable: return tables.links[row].sizeIn + tables.links[row].sizeOut;
    case kOriginalLinkTable:
      return tables.originalLinks[row].sizeIn + tables.originalLinks[row].sizeOut;
    case kExpLinkTable: return tables.expLinks[row].size;
    default: return 0;
  }
}

int64_t RowFiles(const PeriodTables& tables, int kind, size_t row) {
  switch (kind) {
    case kAreaTable: return tables.areas[row].filesIn + tables.areas[row].filesOut;
    case kLinkTable: return tables.links[row].filesIn + tables.links[row].filesOut;
    case kOriginalLinkTable:
      return tables.originalLinks[row].filesIn + tables.originalLinks[row].filesOut;
    case kExpLinkTable: return tables.expLinks[row].files;
    default: return 0;
  }
}

namespace {

template <typename Row, typename Measure>
void SortRows(std::vector<Row>& rows, Measure measure) {
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return measure(a) > measure(b);
  });
}

}  // namespace

void SortTable(PeriodTables& tables, int kind, int key) {
  if (key != kBySize && key != kByFiles) return;
  bool bySize = key == kBySize;
  auto inOut = [bySize](const auto& r) -> int64_t {
    return bySize ? r.sizeIn + r.sizeOut : r.filesIn + r.filesOut;
  };
  switch (kind) {
    case kAreaTable:
      SortRows(tables.areas, inOut);
      break;
    case kLinkTable:
      SortRows(tables.links, inOut);
      break;
    case kOriginalLinkTable:
      SortRows(tables.originalLinks, inOut);
      break;
    case kExpLinkTable:
      SortRows(tables.expLinks, [bySize](const ExpLinkStat& r) {
        return bySize ? r.size : r.files;
      });
      break;
    default:
      break;
  }
}

const std::vector<int64_t>& FileCountsDescending(ReportContext& ctx,
                                                 int kind) {
  size_t k = static_cast<size_t>(kind) < ctx.fileCounts.built.size()
                 ? static_cast<size_t>(kind)
                 : 0;
  std::vector<int64_t>& counts = ctx.fileCounts.descending[k];
  if (!ctx.fileCounts.built[k]) {
    size_t n = TableRowCount(ctx.tables, static_cast<int>(k));
    counts.resize(n);
    for (size_t i = 0; i < n; ++i)
      counts[i] = RowFiles(ctx.tables, static_cast<int>(k), i);
    std::sort(counts.begin(), counts.end(), std::greater<int64_t>());
    ctx.fileCounts.built[k] = true;
  }
  return counts;
}

}  // namespace vex
