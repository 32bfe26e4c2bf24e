#include "msgbase/kludges.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

FtnAddress Addr(int z, int net, int node, int point) {
  return FtnAddress{static_cast<int16_t>(z), static_cast<int16_t>(net), static_cast<int16_t>(node),
                    static_cast<int16_t>(point)};
}

// The lines a stored message gets are the ones a poster builds from the
// header, whatever address lines the message came with; the serial stays.
TEST(KludgesTest, StoredLinesAgreeWithTheHeader) {
  struct Case {
    const char* name;
    bool netmail;
    FtnAddress orig, dest;
    std::vector<std::string> given, stored;
  };
  const Case cases[] = {
      {"netmail between points", true, Addr(2, 5020, 1, 4), Addr(2, 5030, 7, 9),
       {"MSGID: 1:1/1 0000abcd", "CHRS: CP866 2"},
       {"MSGID: 2:5020/1.4 0000abcd", "CHRS: CP866 2", "INTL 2:5030/7 2:5020/1", "FMPT 4", "TOPT 9"}},
      {"node origin drops an old FMPT and TOPT", true, Addr(2, 5020, 2, 0), Addr(2, 5030, 7, 0),
       {"MSGID: 2:5020/1.4 00000001", "INTL 2:5030/7 2:5020/1", "FMPT 4", "TOPT 9"},
       {"MSGID: 2:5020/2 00000001", "INTL 2:5030/7 2:5020/2"}},
      {"echomail keeps only its MSGID", false, Addr(2, 5020, 1, 4), Addr(2, 5030, 7, 9),
       {"MSGID: 2:5020/1.4 00000002"}, {"MSGID: 2:5020/1.4 00000002"}},
      {"no MSGID is made up", true, Addr(2, 5020, 1, 0), Addr(2, 5030, 7, 0),
       {}, {"INTL 2:5030/7 2:5020/1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Message m;
    m.attributes = c.netmail ? AttrTypeNet : AttrTypeEcho;
    m.orig = c.orig;
    m.dest = c.dest;
    m.kludges = c.given;
    EXPECT_EQ(AgreeingKludges(m), c.stored);
    if (c.netmail && !c.given.empty() && c.given[0] == "MSGID: 1:1/1 0000abcd") {
      // A poster that builds the lines as values gets the same, in order.
      std::vector<std::string> built = AddressKludges(c.orig, c.dest, true, 0xabcd);
      built.insert(built.begin() + 1, "CHRS: CP866 2");
      EXPECT_EQ(AgreeingKludges(m), built);
    }
  }
}

TEST(KludgesTest, ReadingAddressesLaterLinesOverrideAndJunkChangesNothing) {
  FtnAddress orig, dest;
  for (const char* line : {"\x01MSGID: 1:1/1.1 0", "\x01INTL 3:4/5 6:7/8", "\x01" "FMPT 9", "\x01TOPT 10"}) {
    ParseOrigKludge(orig, line);
    ParseDestKludge(dest, line);
  }
  EXPECT_EQ(orig, Addr(6, 7, 8, 9));
  EXPECT_EQ(dest, Addr(3, 4, 5, 10));
  FtnAddress a = Addr(1, 1, 1, 7);
  ParseOrigKludge(a, "\x01INTL 2:2/2 3:3/3");  // keeps the point it finds
  EXPECT_EQ(a, Addr(3, 3, 3, 7));
  ParseOrigKludge(a, "\x01MSGID: not-an-address 1");
  ParseDestKludge(a, "\x01INTL");
  EXPECT_EQ(a, Addr(3, 3, 3, 7));
}

}  // namespace
}  // namespace vex
