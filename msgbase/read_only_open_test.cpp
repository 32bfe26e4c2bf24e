#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "msgbase/message_base.h"
#include "platform/mem_env.h"

namespace vex {
namespace {

// A file system mounted read-only: every open for writing, removal, rename
// and new directory fails and is counted.
class ReadOnlyFs : public MemEnv {
 public:
  bool frozen = false;
  int refused = 0;
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode, int* err) override {
    if (frozen && mode != OpenMode::kRead) return Refuse(err), nullptr;
    return MemEnv::Open(path, mode, err);
  }
  bool Remove(const std::string& p, int* err) override { return frozen ? Refuse(err) : MemEnv::Remove(p, err); }
  bool Rename(const std::string& a, const std::string& b, int* err) override {
    return frozen ? Refuse(err) : MemEnv::Rename(a, b, err);
  }
  bool MakeDirectory(const std::string& p, int* err) override {
    return frozen ? Refuse(err) : MemEnv::MakeDirectory(p, err);
  }

 private:
  bool Refuse(int* err) {
    ++refused;
    *err = EROFS;
    return false;
  }
};

using Damage = std::function<void(ReadOnlyFs&)>;
struct Case {
  Damage damage;
  std::string area;      // "" for the base's own
  std::string sentence;  // "" when the base opens
};
struct Format {
  std::string area;      // area identifier of a base with messages 2 and 4
  std::string lockFile;  // the file a writer locks ("" for none)
  std::vector<Case> cases;
  Damage messageDamage;  // damages message 2
  std::string messageSentence;
};

void Cut(ReadOnlyFs& fs, const std::string& path, size_t n) {
  fs.SetFile(path, fs.GetFile(path).substr(0, n));
}
void Overwrite(ReadOnlyFs& fs, const std::string& path, size_t at, const std::string& bytes) {
  std::string data = fs.GetFile(path);
  data.replace(at, bytes.size(), bytes);
  fs.SetFile(path, data);
}
void Build(ReadOnlyFs& fs, const std::string& area) {
  InstallFileHooks(fs);
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(OpenMessageBase(base, area));
  // Numbers 1 to 4 (*.MSG from 2), 1 and 3 deleted again.
  for (int i = area[0] == 'M' ? 2 : 1; i <= 4; ++i) {
    ASSERT_TRUE(base->StartNewMessage());
    base->SetSubject("Part " + std::to_string(i));
    base->WriteTextLine("Text");
    ASSERT_TRUE(base->WriteMessage());
    if (i % 2 == 1) { ASSERT_TRUE(base->DeleteMessage()); }
    base->FreeMessageText();
  }
  CloseMessageBase(base);
}

class ReadOnlyOpenTest : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override { Build(fs_, GetParam().area); }
  // The numbers met walking forward, then backward from the last.
  std::string Walk(MessageBase& b) {
    std::string out;
    for (b.SeekMessage(1); b.SeekFound(); b.SeekNext()) {
      out += std::to_string(b.CurrentNumber()) + (b.ReadMessage() ? b.GetSubject() : "?") + " ";
    }
    for (b.SeekMessage(b.HighMessage()); b.SeekFound(); b.SeekPrior()) out += std::to_string(b.CurrentNumber());
    return out;
  }
  ReadOnlyFs fs_;
};

TEST_P(ReadOnlyOpenTest, ReadsALockedBaseOnAReadOnlyFileSystemAndChangesNothing) {
  std::unique_ptr<File> holder;
  if (!GetParam().lockFile.empty()) {
    int err = 0;
    holder = fs_.Open(GetParam().lockFile, OpenMode::kReadWrite, &err);
    ASSERT_TRUE(holder && holder->LockFirstByte(0));
  }
  std::string before;
  for (const auto& f : fs_.Files()) before += f + ":" + fs_.GetFile(f) + "\n";
  fs_.frozen = true;
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(OpenMessageBaseReadOnly(base, GetParam().area)) << MessageBaseOpenErrorText();
  EXPECT_EQ(Walk(*base), "2Part 2 4Part 4 42");
  EXPECT_FALSE(base->StartNewMessage() && base->WriteMessage());
  CloseMessageBase(base);
  std::string after;
  for (const auto& f : fs_.Files()) after += f + ":" + fs_.GetFile(f) + "\n";
  EXPECT_EQ(after, before);
  EXPECT_EQ(fs_.refused, 0);
  EXPECT_EQ(fs_.OpenFileCount(), holder ? 1 : 0);
}

TEST_P(ReadOnlyOpenTest, DamageIsNamedWithItsFile) {
  std::unique_ptr<MessageBase> base;
  for (const Case& c : GetParam().cases) {
    ReadOnlyFs fs;
    Build(fs, GetParam().area);
    c.damage(fs);
    std::string area = c.area.empty() ? GetParam().area : c.area;
    EXPECT_EQ(OpenMessageBaseReadOnly(base, area), c.sentence.empty()) << area;
    EXPECT_EQ(MessageBaseOpenErrorText(), c.sentence);
    if (base) { EXPECT_EQ(base->MessageCount() + base->HighMessage(), 0); }
    CloseMessageBase(base);
  }
  InstallFileHooks(fs_);
  GetParam().messageDamage(fs_);
  ASSERT_TRUE(OpenMessageBaseReadOnly(base, GetParam().area));
  base->SeekMessage(2);
  EXPECT_FALSE(base->ReadHeader());
  EXPECT_EQ(base->ReadErrorText(), GetParam().messageSentence);
  CloseMessageBase(base);
}

auto Remove(const std::string& path) {
  return [path](ReadOnlyFs& fs) { int err = 0; fs.Remove(path, &err); };
}
void Nothing(ReadOnlyFs&) {}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadOnlyOpenTest,
    ::testing::Values(
        Format{"Jecho/area", "echo/area.jhr",
               {{[](ReadOnlyFs& fs) { Cut(fs, "echo/area.jhr", 100); }, "",
                 "echo/area.jhr is damaged: 100 bytes, shorter than the 1024-byte base header"},
                {[](ReadOnlyFs& fs) { Overwrite(fs, "echo/area.jhr", 0, "MAJ"); }, "",
                 "echo/area.jhr is damaged: it does not begin with the JAM signature"},
                {Remove("echo/area.jdx"), "",
                 "the JAM base echo/area is damaged: echo/area.jdx does not exist"},
                {Nothing, "Jnowhere/x", "no message base at nowhere/x: nowhere/x.jhr does not exist"},
                {[](ReadOnlyFs& fs) { Cut(fs, "echo/area.jhr", 0); }, "", ""}},
               [](ReadOnlyFs& fs) { Overwrite(fs, "echo/area.jdx", 12, "\xff\xff\xff\x7f"); },
               "its index record in echo/area.jdx points outside the header file echo/area.jhr"},
        Format{"Secho/area", "echo/area.sqd",
               {{[](ReadOnlyFs& fs) { Cut(fs, "echo/area.sqd", 100); }, "",
                 "echo/area.sqd is damaged: 100 bytes, shorter than the 256-byte base header"},
                {Remove("echo/area.sqi"), "",
                 "the Squish base echo/area is damaged: echo/area.sqi does not exist"},
                {[](ReadOnlyFs& fs) { Cut(fs, "echo/area.sqd", 0); }, "", ""}},
               [](ReadOnlyFs& fs) {  // the frame of message 2 loses its id
                 std::string index = fs.GetFile("echo/area.sqi");
                 Overwrite(fs, "echo/area.sqd", static_cast<unsigned char>(index[0]) +
                                                    256 * static_cast<unsigned char>(index[1]), "XXXX");
               },
               "its frame in echo/area.sqd is damaged: not a message frame, or its sizes are wrong"},
        Format{"Mnet", "",
               {{Nothing, "Mnowhere", "no message base at nowhere: the directory does not exist"},
                {[](ReadOnlyFs& fs) { fs.SetFile("plain", "x"); }, "Mplain", "plain is not a directory"}},
               [](ReadOnlyFs& fs) { Cut(fs, "net/2.msg", 5); },
               "net/2.msg is damaged: 5 bytes, shorter than the 190-byte message header"}),
    [](const auto& info) { return std::string(1, info.param.area[0]); });

}  // namespace
}  // namespace vex
