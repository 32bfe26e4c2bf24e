// Row measures of the period tables and the orders the sections list them
// in.
#pragma once

#include <cstdint>
#include <vector>

#include "report/period_tables.h"
#include "report/report_context.h"

namespace vex {

// Row count of a table kind (0 for an unknown kind).
size_t TableRowCount(const PeriodTables& tables, int kind);
// Size and file count of row `row` (0-based): in + out, or the exp-link
// table's single counters.
int64_t RowSize(const PeriodTables& tables, int kind, size_t row);
int64_t RowFiles(const PeriodTables& tables, int kind, size_t row);

// Puts the rows in descending order of size (key 1) or file count (key 2),
// rows of equal measure keeping their order.  Other keys leave the order.
void SortTable(PeriodTables& tables, int kind, int key);

// Every row's file count of the table, largest first.
const std::vector<int64_t>& FileCountsDescending(ReportContext& ctx,
                                                 int kind);

}  // namespace vex
