// Nodelist benchmark: writes a nodelist of N nodes (20,000 by default: 200
// nets of 100 nodes under 10 regions, with hubs, points' boss nodes and
// comment lines as a weekly list has them), then reads it RUNS times with
// LoadNodelist (open, read, parse) and prints the median and the slowest
// run in milliseconds, and the time of 100,000 lookups.
//
//   nodelist_perftest [nodes [runs [dir]]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/env.h"
#include "util/nodelist.h"

int main(int argc, char** argv) {
  const long nodes = argc > 1 ? std::atol(argv[1]) : 20000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
  const std::string dir = argc > 3 ? argv[3] : "/tmp";
  if (nodes <= 0 || runs <= 0) return 1;
  std::string text = ";A Friday, December 4, 2026 -- Day number 338 : 12345\r\n";
  text += ";S Copyright notice and other comment lines\r\n;\r\n";
  text += "Zone,2,Europe_Zone,Somewhere,Zone_Coordinator,-Unpublished-,300,CM,IBN\r\n";
  long written = 1;
  for (int net = 0; written < nodes; ++net) {
    if (net % 20 == 0)
      text += "Region," + std::to_string(50 + net / 20) + ",Region_" + std::to_string(net / 20) +
              ",Somewhere,Region_Coord,-Unpublished-,300,CM\r\n";
    text += "Host," + std::to_string(5000 + net) + ",Net_" + std::to_string(net) +
            ",Big_City,Host_Operator,7-495-555-0000,33600,CM,XA,IBN,ITN\r\n";
    ++written;
    for (int node = 1; node < 100 && written < nodes; ++node, ++written)
      text += std::string(node % 25 == 1 ? "Hub" : (node % 7 == 0 ? "Pvt" : "")) + "," +
              std::to_string(node) + ",Station_" + std::to_string(net) + "_" +
              std::to_string(node) + ",Town_" + std::to_string(node % 13) +
              ",Sysop_Name_" + std::to_string(node) +
              ",7-495-555-" + std::to_string(1000 + node) +
              ",33600,CM,XA,V34,IBN:binkp.example.net,INA:fido.example.net,U,ENC\r\n";
  }
  text += "\x1A";
  vex::Env& env = *vex::DefaultEnv();
  const std::string path = dir + "/nodelist_perftest.338";
  int err = 0;
  {
    auto file = env.Open(path, vex::OpenMode::kCreate, &err);
    if (!file || !file->WriteAt(0, text.data(), text.size())) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  std::vector<double> ms;
  vex::Nodelist list;
  std::string used;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (!vex::LoadNodelist(env, dir + "/nodelist_perftest", &list, &used)) return 1;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  auto start = std::chrono::steady_clock::now();
  size_t found = 0;
  for (int i = 0; i < 100000; ++i) {
    vex::FtnAddress a{2, static_cast<int16_t>(5000 + i % 200), static_cast<int16_t>(i % 100),
                      static_cast<int16_t>(i % 3)};
    found += list.Find(a) != nullptr;
  }
  const double lookups =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("nodelist: %zu nodes, %zu bytes, %zu unreadable lines, %s\n", list.NodeCount(),
              text.size(), list.BadLines(), used.c_str());
  std::printf("load (open, read, parse): median %.2f ms, slowest %.2f ms over %d runs\n",
              ms[ms.size() / 2], ms.back(), runs);
  std::printf("100000 lookups: %.2f ms (%zu found)\n", lookups, found);
  env.Remove(path, &err);
  return 0;
}
