// Machine-readable figures of a period: JSON, CSV (RFC 4180) and the
// Prometheus text format of node_exporter's textfile collector.  The
// figures are those of the period tables the reports show, with the
// previous period, the days and the notes of its history.  Every format
// is UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"
#include "report/period_history.h"
#include "report/period_tables.h"
#include "util/replace_file.h"  // the exports are written with ReplaceFile

namespace vex {

enum class ExportFormat { kJson, kCsv, kMetrics };

// "json", "csv" or "metrics", in any letter case; false for anything else.
bool ParseExportFormat(std::string_view name, ExportFormat* format);

// The figures in the format.  Rows are in the order the store first
// showed them.
std::string RenderExport(ExportFormat format, const PeriodTables& tables,
                         const PeriodHistory& history);

}  // namespace vex
