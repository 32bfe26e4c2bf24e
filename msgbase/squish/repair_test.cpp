// Damaged Squish bases and what the repair of an open makes of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "msgbase/squish/squish.h"
#include "msgbase/squish/squish_test_base.h"

namespace vex {
namespace {

using namespace squish_testing;

class SquishRepairTest : public SquishTest {
 protected:
  void SetUp() override {
    auto b = Open();
    for (const char* body : {"one", "two", "three"}) Post(*b, "All", {body});
    sqd_ = Sqd(), sqi_ = Sqi();
    at_ = {U32(sqi_, 0), U32(sqi_, 12), U32(sqi_, 24)};
  }
  std::string sqd_, sqi_;
  std::vector<uint32_t> at_;  // the three frames
};

// Each damage: what the read-only and the writing open list and read
// ("!" for Damaged), before and after a new message is appended; the
// writing open leaves the files as they are unless `repaired`.  A new
// message never lands where a damaged message's bytes belong, so the
// damaged one reads the same after, and the new one reads back whole.
TEST_F(SquishRepairTest, DamageReadsTheSameBeforeAndAfterAnAppend) {
  using Edit = std::function<void(std::string& sqd, std::string& sqi, const std::vector<uint32_t>& at)>;
  auto put = [](std::string& s, size_t at, uint32_t v) { PutU32(s.data() + at, v); };
  struct Case {
    const char* what;
    Edit damage;
    const char* before;
    bool repaired;
  };
  const Case cases[] = {
      {"index points past the data", [&](auto& d, auto& i, auto&) { put(i, 0, d.size() - 10); }, "1! 2two 3three ", false},
      {"index points at offset 0", [&](auto&, auto& i, auto&) { put(i, 0, 0); }, "1! 2two 3three ", false},
      {"index points inside a frame", [&](auto&, auto& i, auto&) { put(i, 0, 300); }, "1! 2two 3three ", false},
      {"a free frame", [&](auto& d, auto&, auto& at) { put(d, at[0] + 24, 1); }, "1! 2two 3three ", false},
      {"control length past the limit", [&](auto& d, auto&, auto& at) { put(d, at[0] + 20, 65520); }, "1! 2two 3three ", false},
      {"control length -1", [&](auto& d, auto&, auto& at) { put(d, at[0] + 20, 0xFFFFFFFF); }, "1! 2two 3three ", false},
      {"message length past the data", [&](auto& d, auto&, auto& at) { put(d, at[2] + 16, 100000); }, "1one 2two 3! ", false},
      {"message shorter than its header", [&](auto& d, auto&, auto& at) { put(d, at[2] + 16, 10); }, "1one 2two 3! ", false},
      {"message longer than its frame",
       [&](auto& d, auto&, auto& at) { put(d, at[0] + 16, at[1] - at[0] + 40); }, "1! 2two 3three ", false},
      {"data cut inside the last frame's header", [&](auto& d, auto&, auto& at) { d.resize(at[2] + 10); }, "1one 2two 3! ", true},
      // A record of a frame that begins where the data ends is what a post
      // whose put-back failed leaves: it goes.
      {"data cut before the last frame", [&](auto& d, auto&, auto& at) { d.resize(at[2]); }, "1one 2two ", true},
      {"index longer than the count, a junk record inside",
       [&](auto&, auto& i, auto&) { i.insert(12, std::string("\x2c\x01\0\0\x07\0\0\0\0\0\0\0", 12)); },
       "1one 2two 3three ", true},
      {"a record numbered 0", [&](auto&, auto& i, auto&) { put(i, 16, 0); }, "1one 3three ", false},
      {"records out of order",
       [&](auto&, auto& i, auto&) { i = i.substr(24, 12) + i.substr(12, 12) + i.substr(0, 12); }, "1one 2two 3three ", true},
      {"a number twice", [&](auto&, auto& i, auto&) { put(i, 28, 1); }, "1one 2two ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string sqd = sqd_, sqi = sqi_;
    c.damage(sqd, sqi, at_);
    env_.SetFile("/fido/area.sqd", sqd);
    env_.SetFile("/fido/area.sqi", sqi);
    EXPECT_EQ(Walk(), c.before);
    EXPECT_EQ(Walk(BaseMode::kWrite), c.before);
    if (!c.repaired) {
      EXPECT_EQ(Sqd(), sqd);
      EXPECT_EQ(Sqi(), sqi);
    }
    auto b = Open();
    uint32_t n = 0;
    const Status st = b->Append(Note("All", {"new"}), &n);
    ASSERT_TRUE(st.ok()) << st.ToString();
    EXPECT_EQ(n, 4u);
    b.reset();
    const std::string after = std::string(c.before) + "4new ";
    EXPECT_EQ(Walk(), after);
    EXPECT_EQ(Walk(BaseMode::kWrite), after);
  }
}

// A data file cut short or emptied while the index holds messages is
// damage, not a creation to finish: nothing is written.
TEST_F(SquishRepairTest, ShortOrEmptyHeaderIsDamage) {
  for (size_t size : {100, 0}) {
    env_.SetFile("/fido/area.sqd", sqd_.substr(0, size));
    std::unique_ptr<Base> b;
    const Status st = OpenBase(env_, kArea, BaseMode::kWrite, &b);
    EXPECT_TRUE(st.IsDamaged()) << st.ToString();
    EXPECT_EQ(st.file(), "/fido/area.sqd");
    EXPECT_EQ(st.sentence().rfind("/fido/area.sqd is damaged: ", 0), 0u) << st.sentence();
    EXPECT_EQ(Sqd(), sqd_.substr(0, size));
    EXPECT_EQ(Sqi(), sqi_);
  }
}

// A deletion whose neighbour's link is damaged fails before it writes; a
// free chain that loops is never followed.
TEST_F(SquishRepairTest, DeletionWithABrokenNeighbourAndAFreeChainThatLoops) {
  std::string sqd = sqd_;
  PutU32(sqd.data() + at_[0] + 4, 0x7FFFFFF0);  // message 1's next frame outside the data
  env_.SetFile("/fido/area.sqd", sqd);
  auto b = Open();
  EXPECT_TRUE(b->Delete(1).IsDamaged());
  b.reset();
  EXPECT_EQ(Sqd(), sqd);
  EXPECT_EQ(Sqi(), sqi_);

  env_.SetFile("/fido/area.sqd", sqd_);
  ASSERT_TRUE(Open()->Delete(1).ok());
  sqd = Sqd();
  PutU32(sqd.data() + at_[0] + 4, at_[0]);  // the free frame points to itself
  env_.SetFile("/fido/area.sqd", sqd);
  b = Open();
  EXPECT_EQ(Post(*b, "All", {std::string(2000, 'z')}), 4u);
  EXPECT_EQ(U32(Sqd(), kFirstFree), at_[0]);
  b.reset();
  EXPECT_EQ(Walk(), "2two 3three 4" + std::string(2000, 'z') + " ");
}

// States that a post killed, cut short by a power cut or failing while it
// puts bytes back can leave: the next open makes header and chain agree
// with the messages whose frame and index record are there, and the next
// post works.
TEST_F(SquishRepairTest, OpenRepairsWhatAnInterruptedPostLeaves) {
  const std::string sqd3 = sqd_, sqi3 = sqi_;
  const std::string sqd2 = sqd3.substr(0, at_[2]), sqi2 = sqi3.substr(0, 24);
  std::string sqd2h = sqd2;  // the header as it was before the third post
  PutU32(sqd2h.data() + kNumMsgs, 2), PutU32(sqd2h.data() + kHighMsg, 2), PutU32(sqd2h.data() + kNextUid, 3);
  PutU32(sqd2h.data() + kLast, at_[1]), PutU32(sqd2h.data() + kEnd, at_[2]);
  PutU32(sqd2h.data() + at_[1] + 4, 0);
  const uint32_t at2 = at_[1], at3 = at_[2];
  auto with = [](std::string bytes, size_t at, uint32_t v) { PutU32(bytes.data() + at, v); return bytes; };
  auto header = [](std::string bytes, const std::string& from, size_t begin, size_t end) {
    return bytes.replace(begin, end - begin, from.substr(begin, end - begin));
  };
  struct State {
    std::string what, sqd, sqi;
    size_t messages;  // 0: the old two or the new three
  };
  std::vector<State> states = {
      {"header counts the message, the old last frame's link is lost", with(sqd3, at2 + 4, 0), sqi3, 3},
      {"header counts a frame the put-back cut off", with(header(sqd2h, sqd3, 0, 256), at2 + 4, at3), sqi2, 2},
      {"torn header: the count is new, the rest old", header(header(sqd3, sqd2h, 0, 256), sqd3, 0, 12), sqi3, 3},
      {"torn header: the end of the chain is new, the count old", header(header(sqd3, sqd2h, 0, 256), sqd3, 104, 124), sqi3, 3},
      {"index record and link past the count", header(sqd3, sqd2h, 0, 256), sqi3, 2},
      {"last frame outside the file", with(sqd3, kLast, static_cast<uint32_t>(sqd3.size()) + 1000), sqi3, 3},
  };
  // The header write torn at every byte (the link and the record durable),
  // and the link write torn at every byte (the header not yet written).
  for (size_t k = 1; k < 256; ++k)
    states.push_back({"header torn at " + std::to_string(k), header(sqd3, sqd2h, k, 256), sqi3, 0});
  for (size_t k = 1; k < 28; ++k)
    states.push_back({"link torn at " + std::to_string(k), header(header(sqd3, sqd2h, 0, 256), sqd2h, at2 + k, at2 + 28), sqi3, 2});
  for (const State& st : states) {
    SCOPED_TRACE(st.what);
    env_.SetFile("/fido/area.sqd", st.sqd);
    env_.SetFile("/fido/area.sqi", st.sqi);
    const std::string listed = Walk(BaseMode::kWrite);
    EXPECT_EQ(Walk(), listed);
    const size_t n = static_cast<size_t>(std::count(listed.begin(), listed.end(), ' '));
    EXPECT_EQ(listed, n == 3 ? "1one 2two 3three " : "1one 2two ");
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(Sqi().size(), 12 * n);
    EXPECT_EQ(n, st.messages ? st.messages : std::clamp<size_t>(n, 2, 3));
    Post(*Open(), "All", {"next"});
    EXPECT_EQ(ChainProblem(Sqd()), "");
    EXPECT_EQ(U32(Sqd(), kNumMsgs), n + 1);
  }
}

// A count one ahead of the index (a deletion or a post that lost the
// record) gets the last frame's record back.
TEST_F(SquishRepairTest, CountAheadOfTheIndexGetsTheRecordBack) {
  env_.SetFile("/fido/area.sqi", sqi_.substr(0, 24));
  EXPECT_EQ(Walk(), "1one 2two 3three ");
  auto b = Open();
  EXPECT_EQ(Sqi(), sqi_);
  EXPECT_EQ(Post(*b, "All", {"four"}), 4u);
  EXPECT_EQ(U32(Sqd(), kNumMsgs), 4u);
}

}  // namespace
}  // namespace vex
