#include "report/export.h"

#include <gtest/gtest.h>

#include "testenv/mem_env.h"

namespace vex {
namespace {

// A period whose names need escaping in every format: quotes, a backslash,
// a comma, a control byte and CP866 letters (КВ).
struct Odd {
  PeriodTables tables;
  PeriodHistory history;
  Odd() {
    tables.periodStart = {2026, 12, 1};
    tables.periodEnd = {2026, 12, 8};
    AreaStat a;
    a.name = "RU,\"\x8A\x82\"\\X";
    a.description = "tab\there";
    a.filesIn = 2, a.sizeIn = 300;
    tables.areas.push_back(a);
    LinkStat l;
    l.address = {2, 5020, 10, 3};
    l.filesOut = 1, l.sizeOut = 7;
    tables.links.push_back(l);
    history.notes.push_back({NoteKind::kNewArea, a.name, "new area " + a.name});
  }
};

TEST(ExportTest, EveryFormatQuotesWhatItMust) {
  Odd p;
  const struct {
    ExportFormat format;
    const char* want;
  } cases[] = {
      {ExportFormat::kJson,
       "{\"tag\": \"RU,\\\"\xd0\x9a\xd0\x92\\\"\\\\X\", \"description\": \"tab\\u0009here\", "
       "\"files_in\": 2, \"files_out\": 0, \"bytes_in\": 300, \"bytes_out\": 0}"},
      {ExportFormat::kJson, "{\"address\": \"2:5020/10.3\", \"name\": \"\", \"sysop\": \"\", \"location\": \"\", \"files_in\": 0, \"files_out\": 1"},
      {ExportFormat::kJson, "{\"kind\": \"new_area\", \"subject\": \"RU,\\\""},
      {ExportFormat::kCsv, "\r\narea,\"RU,\"\"\xd0\x9a\xd0\x92\"\"\\X\",tab\there,2,0,300,0,2,300,\r\n"},
      {ExportFormat::kCsv, "\r\nlink,2:5020/10.3,,0,1,0,7,1,7,\r\n"},
      {ExportFormat::kCsv, "\r\nnote,\"RU,\"\"\xd0\x9a\xd0\x92\"\"\\X\",\"new area RU,"},
      {ExportFormat::kMetrics,
       "\nvexstat_area_bytes{area=\"RU,\\\"\xd0\x9a\xd0\x92\\\"\\\\X\",direction=\"in\"} 300\n"},
      {ExportFormat::kMetrics, "\nvexstat_notes{kind=\"new_area\"} 1\n"},
  };
  for (const auto& c : cases) {
    const std::string out = RenderExport(c.format, p.tables, p.history);
    EXPECT_NE(out.find(c.want), std::string::npos) << c.want << "\n" << out;
  }
}

}  // namespace
}  // namespace vex
