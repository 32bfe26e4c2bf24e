// Input generator of the base-listing benchmark (scripts/bench-vexmsg.sh):
// writes a JAM, a Squish and a *.MSG base of N messages each under DIR
// (DIR/jam, DIR/squish, DIR/msg/).  The bases are built in memory and then
// copied to the disk, so the generator does not wait for a sync per message.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "msgbase/base.h"
#include "msgbase/jam_base.h"
#include "testenv/mem_env.h"

namespace {

bool Fill(std::unique_ptr<vex::MessageBase> base, const std::string& path,
          long count) {
  if (!base->CreateBase(path)) return false;
  for (long i = 0; i < count; ++i) {
    if (!base->StartNewMessage()) return false;
    base->SetMailTypeFlag(vex::kMailEcho, true);
    base->SetFromName("Vexstat");
    base->SetToName("All");
    base->SetSubject("File echo statistics, part " + std::to_string(i));
    base->SetOrigAddress(vex::FtnAddress{2, 5020, 9999, 0}, true);
    base->WriteTextLine("Statistics of the week, part " + std::to_string(i));
    base->WriteTextLine("--- Vexstat");
    if (!base->WriteMessage()) return false;
    base->FreeMessageText();
  }
  base->CloseBase();
  return true;
}

// The same messages through the value interface.
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
  if (!Fill(vex::MakeJamBase(mem), "out/jam", count) ||
      !FillBase(mem, "Sout/squish", count) ||
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
