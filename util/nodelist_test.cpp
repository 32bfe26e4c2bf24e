#include "util/nodelist.h"

#include <gtest/gtest.h>

#include "testenv/mem_env.h"

namespace vex {
namespace {

FtnAddress A(int zone, int net, int node, int point = 0) {
  return FtnAddress{static_cast<int16_t>(zone), static_cast<int16_t>(net),
                    static_cast<int16_t>(node), static_cast<int16_t>(point)};
}

std::string Names(const Nodelist& list, const FtnAddress& a) {
  const NodeNames* n = list.Find(a);
  return n ? n->system + "|" + n->location + "|" + n->sysop : "-";
}

// Every kind of entry, a point, a malformed line and a node listed twice.
TEST(Nodelist, EntriesSetZoneNetAndNode) {
  Nodelist list;
  list.Parse(
      ";A Friday, January 2, 2026 -- Day number 002 : 12345\r\n"
      ";S comment\r\n"
      "Zone,2,Europe,Moscow,Zone_Coord,-Unpublished-,300,CM\r\n"
      ",1,Zone_Node,Kiev,Ivan_Z,-Unpublished-,300\r\n"
      "Region,50,Russia,Moscow,Reg_Coord,7-495-1,300,CM\r\n"
      "Host,5020,Moscow_Net,Moscow,Host_Op,7-495-2,300,CM\r\n"
      "Hub,100,The_Hub,Moscow,Hub_Op,7-495-3,300\r\n"
      ",1,First_Node,Moscow,Ivan_Ivanov,7-495-4,33600,CM,IBN\r\n"
      "PVT,2,Private,Zelenograd,Petr,-Unpublished-,300\r\n"
      "hold,3,Held,Tver,Anna,7-482-1,300\r\n"
      "Down,4,Downed,Tula,Oleg,7-487-1,300\r\n"
      "Boss,5,Bad_Keyword,Nowhere,Nobody,-,300\r\n"
      ",x6,Bad_Number,Nowhere,Nobody,-,300\r\n"
      ",7,Too_Few\r\n"
      ",1,First_Node_Again,Moscow,Ivan_Second,7-495-4,300\r\n"
      "\x1A"
      ",8,After_The_End,Nowhere,Nobody,-,300\r\n");
  const struct {
    FtnAddress address;
    const char* names;
  } cases[] = {
      {A(2, 2, 0), "Europe|Moscow|Zone Coord"},
      {A(2, 2, 1), "Zone Node|Kiev|Ivan Z"},
      {A(2, 50, 0), "Russia|Moscow|Reg Coord"},
      {A(2, 5020, 0), "Moscow Net|Moscow|Host Op"},
      {A(2, 5020, 100), "The Hub|Moscow|Hub Op"},
      {A(2, 5020, 1), "First Node Again|Moscow|Ivan Second"},
      {A(2, 5020, 1, 7), "First Node Again|Moscow|Ivan Second"},
      {A(2, 5020, 2), "Private|Zelenograd|Petr"},
      {A(2, 5020, 3), "Held|Tver|Anna"},
      {A(2, 5020, 4), "Downed|Tula|Oleg"},
      {A(2, 5020, 5), "-"},
      {A(2, 5020, 8), "-"},
      {A(1, 5020, 1), "-"},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(list, c.address), c.names) << AddressToText(c.address);
  EXPECT_EQ(list.NodeCount(), 9u);
  EXPECT_EQ(list.BadLines(), 3u);
  EXPECT_EQ(list.FirstBadLine(), 12u);
  EXPECT_EQ(list.FirstBadText(), "Boss,5,Bad_Keyword,Nowhere,Nobody,-,300");
}

// A base name takes the newest NAME.nnn by the date of its first line (a
// January list beats the December before it), else by its file time.
TEST(Nodelist, BaseNameTakesTheNewestList) {
  MemEnv env;
  auto list = [&](const char* name, const char* firstLine, int year, int month) {
    env.SetFile(name, std::string(firstLine) + "\r\nZone,2,Z,L,S,-,300\r\n,1," + name +
                          ",L,S,-,300\r\n");
    FileTime t;
    t.year = year, t.month = month, t.day = 10;
    env.SetModTime(name, t);
  };
  list("nl/NODELIST.360", ";A Friday, December 26, 2025 -- Day number 360 : 1", 2026, 1);
  list("nl/NODELIST.003", ";A Friday, January 2, 2026 -- Day number 003 : 2", 2025, 1);
  list("nl/NODELIST.353", ";A Friday, December 19, 2025 -- Day number 353 : 3", 2026, 2);
  list("nl/NODELIST.txt", ";A Friday, March 6, 2026 -- Day number 065 : 4", 2026, 3);
  EXPECT_EQ(ChooseNodelistFile(env, "nl/NODELIST"), "nl/NODELIST.003");
  Nodelist names;
  std::string file;
  ASSERT_TRUE(LoadNodelist(env, "nl/NODELIST", &names, &file));
  EXPECT_EQ(Names(names, A(2, 2, 1)), "nl/NODELIST.003|L|S");
  // A file named in full is that file; without the date line the file time
  // decides.
  EXPECT_EQ(ChooseNodelistFile(env, "nl/NODELIST.360"), "nl/NODELIST.360");
  list("nl/NODELIST.010", "; no date", 2026, 4);
  EXPECT_EQ(ChooseNodelistFile(env, "nl/NODELIST"), "nl/NODELIST.010");
  // Nothing there: no file, no names.
  EXPECT_FALSE(LoadNodelist(env, "nl/NONE", &names, &file));
  EXPECT_EQ(file, "");
  EXPECT_EQ(names.NodeCount(), 0u);
}

}  // namespace
}  // namespace vex
