// Target over the template processor and the macro expander.
#include "fuzz/fuzz_targets.h"
#include "platform/exit.h"
#include "report/report_context.h"
#include "report/template.h"
#include "testenv/mem_env.h"

namespace vex::fuzz {

namespace {

FtnAddress Address(int16_t node, int16_t point = 0) {
  return FtnAddress{2, 5020, node, point};
}

// A small period: three areas, links on both sides, one of them a point.
void FillTables(PeriodTables& t) {
  t.areas = {{"RU.FILES", "", 1048576, 4096, 12, 3},
             {"XOFCFILES", "", 0, 77777, 0, 1},
             {"A.VERY.LONG.FILE.ECHO.NAME.THAT.FILLS.40", "", 5, 0, 1, 0}};
  t.links = {{Address(1), 1048576, 0, 12, 0}, {Address(2, 7), 5, 81873, 1, 4}};
  t.originalLinks = {{Address(3), 1048581, 0, 13, 0}};
  t.expLinks = {{Address(4), 81873, 4}, {Address(5, 1), 0, 0}};
  t.totals = {1130454, 17, 13, 4, 1048581, 81873};
  t.periodStart = {2026, 11, 7};
  t.periodEnd = {2026, 12, 8};
}

}  // namespace

// Input: a template, rendered over the fixed period.
int FuzzTemplate(const uint8_t* data, size_t size) {
  MemEnv env;
  env.SetNow(FuzzNow());
  env.SetFile("t.tpl", std::string(reinterpret_cast<const char*>(data), size));
  LogContext log(env);
  RunSettings run;
  run.ownAddresses = {Address(9999), Address(9999, 1)};
  ReportSettings settings;
  PeriodTables tables;
  FillTables(tables);
  ReportContext ctx{env, log, run, settings, tables,
                    [](const std::string&) {},
                    {}};
  TemplateEntry entry;
  entry.templateFile = "t.tpl";
  entry.result = "t.txt";
  try {
    ProcessTemplate(ctx, entry);
  } catch (const RunTimeError&) {
  }
  return 0;
}

}  // namespace vex::fuzz
