// The bytes each format stores, pinned: a fixed set of messages appended
// (and one deleted) on a fixed clock must leave files that match the
// checked-in copies byte for byte.  Set VEX_UPDATE_GOLDEN=1 to write the
// copies afresh from the code as it stands (and review the difference).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "msgbase/base.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

struct GoldenCase {
  char type;
  const char* name;
  // Files the base holds before the first post, relative to the area's folder.
  std::vector<std::pair<std::string, std::string>> before;
};

std::string GoldenDir(const GoldenCase& c) {
  return std::string(VEX_SOURCE_DIR) + "/msgbase/testdata/golden/" + c.name + "/";
}

Message Netmail() {
  Message m;
  m.from = "Sysop";
  m.to = "Point Five";
  m.subject = "Statistics";
  m.orig = FtnAddress{2, 5020, 1, 5};
  m.dest = FtnAddress{2, 5030, 2, 7};
  m.written = MsgDateTime{13, 45, 10, 0, 29, 2, 2024};
  m.arrived = MsgDateTime{13, 45, 12, 0, 29, 2, 2024};
  m.attributes = AttrPrivate | AttrLocal | AttrKillSent | AttrTypeNet;
  m.kludges = AddressKludges(m.orig, m.dest, true, 0x65e08a2e);
  m.kludges.push_back("PID: vexstat 1.0");
  m.kludges.push_back("CHRS: CP866 2");
  m.text = {"Files this week: 12", "", "--- vexstat", " * Origin: node (2:5020/1.5)"};
  return m;
}

Message Echomail() {
  Message m;
  m.from = "\x88\xa2\xa0\xad \x8f\xa5\xe2\xe0\xae\xa2";  // CP866 "Иван Петров"
  m.to = "\x82\xe1\xa5\xac";                             // "Всем"
  m.subject = "\x91\xe2\xa0\xe2\xa8\xe1\xe2\xa8\xaa\xa0";  // "Статистика"
  m.orig = FtnAddress{2, 5020, 1, 0};
  m.written = MsgDateTime{0, 0, 0, 0, 1, 3, 2024};
  m.arrived = m.written;
  m.attributes = AttrLocal | AttrTypeEcho;
  m.kludges = AddressKludges(m.orig, m.dest, false, 0x65e08a2f);
  m.kludges.push_back("PID: vexstat 1.0");
  m.kludges.push_back("CHRS: CP866 2");
  m.text = {"\x8e\xa1\xab\xa0\xe1\xe2\xec: FILES", "  \xe4\xa0\xa9\xab.zip  1 024",
            "--- vexstat", " * Origin: \xe3\xa7\xa5\xab (2:5020/1)"};
  return m;
}

// Control lines that together pass 12,288 bytes.
Message LongControlLines() {
  Message m = Netmail();
  m.dest = FtnAddress{2, 5020, 2, 0};
  m.kludges = AddressKludges(m.orig, m.dest, true, 0x65e08a30);
  for (int i = 0; i < 200; ++i)
    m.kludges.push_back("Via 2:5020/" + std::to_string(1000 + i) +
                        " @20240229.134510 vexstat-test-relay-with-a-long-name");
  m.text = {"Short text", "--- vexstat"};
  return m;
}

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, StoredBytesMatchTheCheckedInCopies) {
  const GoldenCase& c = GetParam();
  MemEnv mem;
  ClockTime t;
  t.year = 2024, t.month = 2, t.day = 29, t.hour = 13, t.minute = 45, t.second = 10;
  mem.SetNow(t);
  mem.AddDirectory("b");
  for (const auto& [name, bytes] : c.before) mem.SetFile("b/area/" + name, bytes);

  std::unique_ptr<Base> b;
  ASSERT_TRUE(OpenBase(mem, std::string(1, c.type) + "b/area", BaseMode::kWrite, &b).ok());
  std::vector<uint32_t> numbers;
  for (const Message& m : {Netmail(), Echomail(), LongControlLines(), Netmail()}) {
    uint32_t n = 0;
    Status st = b->Append(m, &n);
    ASSERT_TRUE(st.ok()) << st.ToString();
    numbers.push_back(n);
  }
  ASSERT_TRUE(b->Delete(numbers[3]).ok());
  ASSERT_TRUE(b->Close().ok());

  Env& disk = *DefaultEnv();
  const std::string dir = GoldenDir(c);
  const bool update = std::getenv("VEX_UPDATE_GOLDEN") != nullptr;
  std::vector<std::string> stored;
  for (const std::string& path : mem.Files()) {
    ASSERT_EQ(path.rfind("b/", 0), 0u) << path;
    std::string name = path.substr(2);
    for (char& ch : name)
      if (ch == '/') ch = '_';
    stored.push_back(name);
    int err = 0;
    if (update) {
      disk.MakeDirectory(dir, &err);
      std::unique_ptr<File> f = disk.Open(dir + name, OpenMode::kCreate, &err);
      ASSERT_TRUE(f) << dir + name;
      const std::string bytes = mem.GetFile(path);
      ASSERT_TRUE(f->WriteAt(0, bytes.data(), bytes.size()));
      continue;
    }
    std::unique_ptr<File> f = disk.Open(dir + name, OpenMode::kRead, &err);
    ASSERT_TRUE(f) << "no checked-in copy of " << path << " in " << dir;
    uint64_t size = 0;
    ASSERT_TRUE(f->Size(&size));
    std::string want(static_cast<size_t>(size), '\0');
    ASSERT_EQ(f->ReadAt(0, want.data(), want.size()), static_cast<long long>(size));
    const std::string got = mem.GetFile(path);
    ASSERT_EQ(got.size(), want.size()) << path;
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(got[i], want[i]) << path << " differs first at byte " << i;
  }
  // No checked-in file the run did not make.
  for (const DirEntry& e : disk.Search(dir + "*"))
    EXPECT_NE(std::find(stored.begin(), stored.end(), e.name), stored.end())
        << e.name << " is no longer written";
}

// A message numbered above 61,440 already in the folder: new ones follow it.
const std::string kOldMessage = std::string(190, '\0') + "old\r";

INSTANTIATE_TEST_SUITE_P(
    Formats, GoldenTest,
    ::testing::Values(GoldenCase{'J', "jam", {}}, GoldenCase{'S', "squish", {}},
                      GoldenCase{'M', "msg", {{"61500.msg", kOldMessage}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex
