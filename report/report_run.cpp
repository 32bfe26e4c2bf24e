// Placeholder until the report run lands.
#include "report/report_run.h"

namespace vex {

void RunReports(Env&, LogContext&, const RunSettings&, ReportSettings&,
                PeriodTables&, const PostCallback&) {}

}  // namespace vex
