// The machine-readable export of the built program, read back by
// independent tools: the JSON validated against its schema (ajv), the
// metrics by a Prometheus text-format parser, the CSV by Python's csv
// module, and all three compared with each other and with the text report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/e2e_harness.h"

namespace vex::e2e {
namespace {

bool HaveCheckers() {
  return std::system("node --version >/dev/null 2>&1") == 0 &&
         std::system("python3 --version >/dev/null 2>&1") == 0 &&
         FileExists(SourceDir() + "/tests/interop/node_modules/ajv/package.json") &&
         FileExists(SourceDir() +
                    "/tests/interop/node_modules/parse-prometheus-text-format/package.json");
}

void Tic(const TempDir& dir, const std::string& name, const std::string& area,
         const std::string& from, int size, const std::string& when) {
  MakeDirs(dir / "in");
  const std::string path = dir / ("in/" + name + ".tic");
  WriteFile(path, "Area " + area + "\r\nAreadesc About " + area + "\r\nFrom " + from +
                      "\r\nOrigin 2:5020/77\r\nTo 2:5020/20\r\nSize " + std::to_string(size) +
                      "\r\n");
  SetModTime(path, when);
}

TEST(ExportE2eTest, ThreeFormatsReadBackIntoTheFiguresOfTheReport) {
  if (!HaveCheckers()) FAIL() << "node, python3 or the npm checkers are missing "
                                 "(scripts/prerequisites.sh)";
  TempDir dir;
  // An area name that needs quoting in every format, in CP866.
  const std::string odd = "RU,\"\x8A\x82\"\\X";  // RU,"КВ"\X
  for (int i = 0; i < 3; ++i)
    Tic(dir, "a" + std::to_string(i), "ECHO.ONE", "2:5020/10", 1000, "2026-12-05 10:00:00");
  for (int i = 0; i < 2; ++i)
    Tic(dir, "b" + std::to_string(i), odd, "2:5020/1", 500, "2026-12-07 10:00:00");
  Tic(dir, "old", "OLD.ECHO", "2:5020/10", 700, "2026-10-20 10:00:00");
  Tic(dir, "before", "ECHO.ONE", "2:5020/10", 300, "2026-11-28 10:00:00");
  MakeDirs(dir / "out");
  WriteFile(dir / "vexstat.cfg",
            "ADDRESS 2:5020/1\nEXPORT json out/every.json\nEXPORT metrics out/node.prom\n"
            "NODELIST nl/NODELIST\nTPLFILENAME r.tpl r.txt\nTICPATH in/\n");
  MakeDirs(dir / "nl");
  WriteFile(dir / "nl/NODELIST.339", ";A Friday, December 5, 2026 -- Day number 339 : 1\r\n"
                                    "Zone,2,Europe,Kiev,Zone_Op,-,300\r\nHost,5020,Moscow,Moscow,"
                                    "Host_Op,-,300\r\n,10,Ten_Station,Tver,Anna_K,-,300\r\n"
                                    "Pvt,77,Origin_BBS,Tula,Oleg,-,300\r\n\x1a");
  WriteFile(dir / "r.tpl",
            "TOTAL @FILETOTALIN @FILETOTALOUT\r\n#AREASIZE\r\n@AREA(20,L)|@FILEIN(3)|@FILEOUT(3)\r\n");
  ASSERT_EQ(RunVexstat(dir.path(), {"-D6"}).exitCode, 0);

  RunResult json = RunVexstat(dir.path(), {"-D6", "--export=json"});
  RunResult csv = RunVexstat(dir.path(), {"-D6", "--export=csv"});
  ASSERT_EQ(RunVexstat(dir.path(), {"-D6", "--export=metrics:out/m.prom"}).exitCode, 0);
  ASSERT_EQ(json.exitCode, 0) << json.err;
  ASSERT_EQ(csv.exitCode, 0) << csv.err;
  EXPECT_EQ(ReadFile(dir / "out/every.json"), json.out);  // the EXPORT line
  EXPECT_EQ(ReadFile(dir / "out/node.prom"), ReadFile(dir / "out/m.prom"));
  WriteFile(dir / "e.json", json.out);
  WriteFile(dir / "e.csv", csv.out);

  const std::string interop = SourceDir() + "/tests/interop/";
  RunResult valid = e2e::Run(dir.path(), {"node", interop + "check_export.js", "json",
                                     SourceDir() + "/man/vexstat-export.schema.json", "e.json"});
  EXPECT_EQ(valid.exitCode, 0) << valid.err;
  RunResult metrics = e2e::Run(dir.path(), {"node", interop + "check_export.js", "metrics", "out/m.prom"});
  ASSERT_EQ(metrics.exitCode, 0) << metrics.err;
  WriteFile(dir / "m.json", metrics.out);
  RunResult same = e2e::Run(dir.path(), {"python3", interop + "compare_export.py", "e.json", "e.csv", "m.json"});
  EXPECT_EQ(same.out, "ok\n") << same.err;

  // The figures are the text report's, and what went into the store.
  EXPECT_EQ(ReadFile(dir / "r.txt"),
            "TOTAL 3 2\r\nECHO.ONE            |  3|  0\r\n" + odd + "           |  0|  2\r\n");
  const std::string utf8 = "RU,\\\"\xd0\x9a\xd0\x92\\\"\\\\X";
  for (const std::string& want :
       {std::string("\"period\": {\"from\": \"2026-12-02\", \"to\": \"2026-12-08\"}"),
        std::string("\"totals\": {\"files_in\": 3, \"files_out\": 2, \"bytes_in\": 3000, "
                    "\"bytes_out\": 1000}"),
        "{\"tag\": \"" + utf8 + "\", \"description\": \"About " + utf8 + "\", \"files_in\": 0",
        std::string("\"previous\": {\"period\": {\"from\": \"2026-11-25\", \"to\": \"2026-12-01\"}, "
                    "\"totals\": {\"files_in\": 1, \"files_out\": 0, \"bytes_in\": 300, "
                    "\"bytes_out\": 0},"),
        std::string("{\"date\": \"2026-12-07\", \"files_in\": 0, \"files_out\": 2, "
                    "\"bytes_in\": 0, \"bytes_out\": 1000}"),
        // Names from the nodelist; the previous period row by row; notes
        // with their figures.
        std::string("{\"address\": \"2:5020/10\", \"name\": \"Ten Station\", \"sysop\": "
                    "\"Anna K\", \"location\": \"Tver\", \"files_in\": 3"),
        std::string("{\"address\": \"2:5020/20\", \"name\": \"\", \"sysop\": \"\", "
                    "\"location\": \"\", \"files\": 5, \"bytes\": 4000}"),
        std::string("    {\"tag\": \"ECHO.ONE\", \"description\": \"About ECHO.ONE\", "
                    "\"files_in\": 1, \"files_out\": 0, \"bytes_in\": 300"),
        "{\"kind\": \"new_area\", \"subject\": \"" + utf8 + "\", \"text\": \"new area " +
            utf8 + ", first file on 2026-12-07\", \"first_file\": \"2026-12-07\"}"})
    EXPECT_NE(json.out.find(want), std::string::npos) << want << "\n" << json.out;
  // The previous period's totals are those of an export over that period.
  RunResult previous = RunVexstat(dir.path(), {"-D13/7", "--export=json"});
  EXPECT_NE(previous.out.find("\"totals\": {\"files_in\": 1, \"files_out\": 0, "
                              "\"bytes_in\": 300, \"bytes_out\": 0}"),
            std::string::npos)
      << previous.out;
}

TEST(ExportE2eTest, BadFormatsAndFilesAreRefused) {
  TempDir dir;
  WriteFile(dir / "stat.vx", "");
  for (const char* request : {"--export=xml", "--export", "--export=json:", "--export=csv:nodir/x.csv"}) {
    RunResult r = RunVexstat(dir.path(), {request});
    EXPECT_EQ(r.exitCode, 2) << request;
    EXPECT_NE(r.err.find("vexstat:"), std::string::npos) << request << r.err;
    EXPECT_EQ(r.out, "") << request;
  }
}

}  // namespace
}  // namespace vex::e2e
