#include "posting/sections.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(SectionsTest, EstimatedCount) {
  EXPECT_EQ(EstimateSectionCount(100000, 0), 1);
  EXPECT_EQ(EstimateSectionCount(16384, 16384), 1);
  EXPECT_EQ(EstimateSectionCount(16385, 16384), 2);
  EXPECT_EQ(EstimateSectionCount(32768, 16384), 3);
  EXPECT_EQ(EstimateSectionCount(40000, 16384), 3);
  EXPECT_EQ(EstimateSectionCount(0, 16384), 1);
  // A negative size does not split, and a huge count does not wrap.
  EXPECT_EQ(EstimateSectionCount(40000, -5), 1);
  EXPECT_EQ(EstimateSectionCount(uint64_t{1} << 40, 1), 0x7FFFFFFF);
}

TEST(SectionsTest, Subject) {
  EXPECT_EQ(SectionSubject(1, 3, "Stat"), "[1/3] Stat");
  EXPECT_EQ(SectionSubject(12, 10, ""), "[12/10] ");
  EXPECT_EQ(SectionSubject(1, 2, std::string(300, 'x')).size(), 255u);
}

TEST(SectionsTest, ReplaceFirstPercent) {
  std::string text = "a % b %";
  ReplaceFirstPercent("1", text);
  EXPECT_EQ(text, "a 1 b %");
  text = "none";
  ReplaceFirstPercent("v", text);
  EXPECT_EQ(text, "vnone");
  text = std::string(254, 'x') + "%";
  ReplaceFirstPercent("abc", text);
  EXPECT_EQ(text, std::string(254, 'x') + "a");
}

TEST(SectionsTest, MarkerTexts) {
  EXPECT_EQ(BuildSectionMarker("Text.Section % of % of file %", 2, 3,
                               "/fido/stat/report.txt"),
            "Text.Section 2 of 3 of file report.txt");
  EXPECT_EQ(BuildSectionMarker("Part % of file", 2, 3, "report.txt"),
            "report.txt3Part 2 of file");
  EXPECT_EQ(BuildSectionMarker("Mark", 2, 3, "r.txt"), "r.txt32Mark");
  // Placeholders run out: the rest go in front, and a "%" in the file
  // name, replaced last, stays.
  EXPECT_EQ(BuildSectionMarker("% %", 1, 2, "100%.txt"), "100%.txt1 2");
  EXPECT_EQ(BuildSectionMarker("", 1, 2, "a"), "a21");
}

TEST(SectionsTest, BaseFileName) {
  EXPECT_EQ(BaseFileName("c:\\fido\\stat\\report.txt"), "report.txt");
  EXPECT_EQ(BaseFileName("/var/fido/report.txt"), "report.txt");
  EXPECT_EQ(BaseFileName("dir\\sub/x.txt"), "x.txt");
  EXPECT_EQ(BaseFileName("plain"), "plain");
  EXPECT_EQ(BaseFileName("dir/"), "");
}

TEST(SectionsTest, MarkersArePrefixedOnce) {
  PostingSettings s;
  s.endEncodedString.clear();
  s.encodedMessage = std::string(255, 'h');
  PrefixMarkers(s);
  PrefixMarkers(s);
  EXPECT_EQ(s.encodedMessage, "\x01" + std::string(254, 'h'));
  EXPECT_EQ(s.beginEncodedString, "\x01Text.Section % of % of file %");
  EXPECT_EQ(s.endEncodedString, "");
}

}  // namespace
}  // namespace vex
