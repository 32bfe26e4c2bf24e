#include "util/nearest_word.h"

#include <gtest/gtest.h>

#include "util/known_words.h"
#include "util/text.h"

namespace vex {
namespace {

TEST(NearestWord, DistancesAndHints) {
  struct Row {
    const char* a;
    const char* b;
    size_t distance;
  };
  for (const Row& r : {Row{"", "", 0}, Row{"TICPATH", "TICPATH", 0},
                       Row{"MAKEANOUNCE", "MAKEANNOUNCE", 1}, Row{"TPLFILNAME", "TPLFILENAME", 1},
                       Row{"ADRESS", "ADDRESS", 1}, Row{"LOGFIEL", "LOGFILE", 1},
                       Row{"abc", "", 3}, Row{"KILTICK", "KILLTIC", 2}})
    EXPECT_EQ(EditDistance(r.a, r.b), r.distance) << r.a << " " << r.b;
  const std::vector<std::string> known = {"ADDRESS", "LOGFILE", "TICPATH", "TICEXT"};
  EXPECT_EQ(NearestWord("adress", known, 2), "ADDRESS");
  EXPECT_EQ(NearestWord("TICPAT", known, 2), "TICPATH");
  EXPECT_EQ(NearestWord("SOMETHING", known, 2), "");
}

TEST(WordListing, NotesWhatTheReadersCompare) {
  std::string s;
  int32_t n = 0;
  bool b = false;
  {
    WordListing listing;
    SetStringOption("", "RESULTFILE", s);
    SetNumberOption("", "SCREENLENGTH", n);
    SetBoolOption("", "KILLTIC", b);
    KeywordIsExactly("", "FROMADDR");
    KeywordIs("x", "TICPATH");
    KeywordIs("y", "TICPATH");
    ASSERT_EQ(listing.Words().size(), 4u + 1u);
    EXPECT_EQ(listing.Words()[1].kind, WordKind::kNumber);
    EXPECT_EQ(listing.Words()[2].kind, WordKind::kYesNo);
    EXPECT_EQ(listing.Words()[3].kind, WordKind::kExactCase);
    EXPECT_EQ(listing.Words()[4].name, "TICPATH");
  }
  WordListing later;
  EXPECT_TRUE(later.Words().empty());
}

}  // namespace
}  // namespace vex
