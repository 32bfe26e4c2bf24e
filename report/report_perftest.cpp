// Builds the input of the report benchmark: a statistics store of many
// records spread over many file echoes and links, dated inside the default
// period of 8 December 2026, plus a configuration naming the template.
//
//   report_perftest DIR TEMPLATE [records [areas [links]]]
//
// scripts/bench-report.sh runs it and then times the program on DIR.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/stat_record.h"
#include "platform/env.h"
#include "util/text_file.h"

namespace {

vex::FtnAddress Link(uint32_t n) {
  vex::FtnAddress a;
  a.zone = 2;
  a.net = static_cast<int16_t>(5000 + n / 1000);
  a.node = static_cast<int16_t>(n % 1000);
  a.point = 0;
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIR TEMPLATE [records [areas [links]]]\n", argv[0]);
    return 1;
  }
  std::string dir = argv[1];
  std::string tpl = argv[2];
  long records = argc > 3 ? std::atol(argv[3]) : 1000000;
  long areas = argc > 4 ? std::atol(argv[4]) : 50000;
  long links = argc > 5 ? std::atol(argv[5]) : 20000;
  if (records <= 0 || areas <= 0 || links <= 0) return 1;

  vex::Env& env = *vex::DefaultEnv();
  int err = 0;
  auto store = env.Open(dir + "/stat.vx", vex::OpenMode::kCreate, &err);
  if (!store) {
    std::fprintf(stderr, "cannot create %s/stat.vx\n", dir.c_str());
    return 1;
  }
  vex::TextWriter out(*store);
  std::string chunk;
  uint64_t seed = 12345;
  for (long i = 0; i < records; ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    uint32_t r = static_cast<uint32_t>(seed >> 33);
    vex::StatRecord rec;
    // Every area and link appears; the rest are spread at random.
    long area = i < areas ? i : static_cast<long>(r % static_cast<uint32_t>(areas));
    rec.area = "BENCH.AREA." + std::to_string(area);
    rec.areadesc = "Benchmark file echo";
    rec.from = Link(static_cast<uint32_t>(i < links ? i : r % links));
    rec.origin = Link(static_cast<uint32_t>((r / 7) % links));
    rec.to = Link(static_cast<uint32_t>((r / 13) % links));
    rec.size = static_cast<int32_t>(r % 50000000);
    rec.year = 2026;
    rec.month = 12;
    rec.day = static_cast<uint16_t>(1 + r % 8);
    chunk += vex::EncodeStatRecord(rec);
    if (chunk.size() >= (1u << 20)) {
      out.Write(chunk);
      chunk.clear();
    }
  }
  out.Write(chunk);
  store.reset();

  auto cfg = env.Open(dir + "/vexstat.cfg", vex::OpenMode::kCreate, &err);
  if (!cfg) return 1;
  vex::TextWriter(*cfg).Write("ADDRESS 2:5000/1\nTPLFILENAME " + tpl +
                              " bench.txt\n");
  return 0;
}
