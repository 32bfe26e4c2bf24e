// Input generator of the base-listing benchmark (scripts/bench-vexmsg.sh):
// writes a JAM, a Squish and a *.MSG base of N messages each under DIR
// (DIR/jam, DIR/squish, DIR/msg/).  The bases are built in memory and then
// copied to the disk, so the generator does not wait for a sync per message.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "msgbase/base.h"
#include "testenv/mem_env.h"

namespace {

// N messages through the value interface.
bool FillBase(vex::Env& env, const std::string& areaId, long count) {
  std::unique_ptr<vex::Base> base;
  if (!vex::OpenBase(env, areaId, vex::BaseMode::kWrite, &base).ok()) return false;
  for (long i = 0; i < count; ++i) {
    vex::Message m;
    m.attributes = vex::AttrTypeEcho;
    m.from = "Vexstat";
    m.to = "All";
    m.subject = "File echo statistics, part " + std::to_string(i);
    m.orig = vex::FtnAddress{2, 5020, 9999, 0};
    m.written = m.arrived = vex::ToMsgDateTime(env.Now());
    m.kludges = vex::AddressKludges(m.orig, m.dest, false, static_cast<uint32_t>(i + 1));
    m.text = {"Statistics of the week, part " + std::to_string(i), "--- Vexstat"};
    uint32_t number = 0;
    if (!base->Append(m, &number).ok()) return false;
  }
  return base->Close().ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: msgbase_perftest DIR N\n");
    return 1;
  }
  const std::string dir = argv[1];
  const long count = std::atol(argv[2]);
  vex::MemEnv mem;
  mem.AddDirectory("out");
  if (!FillBase(mem, "Jout/jam", count) || !FillBase(mem, "Sout/squish", count) ||
      !FillBase(mem, "Mout/msg", count)) {
    std::fprintf(stderr, "msgbase_perftest: a message could not be written\n");
    return 1;
  }
  vex::Env& disk = *vex::DefaultEnv();
  int err = 0;
  disk.MakeDirectory(dir + "/msg", &err);
  for (const std::string& name : mem.Files()) {
    std::string to = dir + name.substr(3);
    std::unique_ptr<vex::File> f = disk.Open(to, vex::OpenMode::kCreate, &err);
    std::string bytes = mem.GetFile(name);
    if (!f || !f->WriteAt(0, bytes.data(), bytes.size())) {
      std::fprintf(stderr, "msgbase_perftest: cannot write %s\n", to.c_str());
      return 1;
    }
  }
  return 0;
}
