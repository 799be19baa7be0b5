#include "input/track_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Parsed {
  int result;
  std::string drive;
  int track;
};

Parsed Parse(const char* name) {
  Parsed p{0, "untouched", -99};
  p.result = ParseTrackName(name, &p.drive, &p.track);
  return p;
}

TEST(TrackName, UrlFormKeepsLetterCaseAndLeadingZeros) {
  Parsed p = Parse("cda://D,3");
  EXPECT_EQ(1, p.result);
  EXPECT_EQ("D", p.drive);
  EXPECT_EQ(3, p.track);

  p = Parse("cda://d,003");
  EXPECT_EQ(1, p.result);
  EXPECT_EQ("d", p.drive);
  EXPECT_EQ(3, p.track);

  // The first match counts; what follows it is ignored.
  p = Parse("cda://D,3,7");
  EXPECT_EQ(1, p.result);
  EXPECT_EQ(3, p.track);
}

TEST(TrackName, TrackFileFormIsSearchedAnywhere) {
  Parsed p = Parse("D:\\Track03.cda");
  EXPECT_EQ(1, p.result);
  EXPECT_EQ("D", p.drive);
  EXPECT_EQ(3, p.track);

  EXPECT_EQ(3, Parse("D:\\Track3.cda").track);

  p = Parse("C:\\Music\\E:\\Track12.cda");
  EXPECT_EQ(1, p.result);
  EXPECT_EQ("E", p.drive);
  EXPECT_EQ(12, p.track);
}

TEST(TrackName, RejectedNamesLeaveOutsUntouched) {
  const char* rejected[] = {
      "CDA://D,3",        // prefix test is case-sensitive, then no track-file match
      "cda:/D,3",         // prefix only
      "cda://D,",         // no digits
      "cda://1,3",        // not a letter
      "D:\\track03.cda",  // pattern is case-sensitive
      "D:\\Track03.CDA",
      "D:\\Track.cda",
      "",
  };
  for (const char* name : rejected) {
    Parsed p = Parse(name);
    EXPECT_EQ(0, p.result) << name;
    EXPECT_EQ("untouched", p.drive) << name;
    EXPECT_EQ(-99, p.track) << name;
    EXPECT_EQ(0, IsOurFile(name)) << name;
  }
}

TEST(TrackName, TrackNumbersBeyondIntAreRejectedNotWrapped) {
  EXPECT_EQ(2147483647, Parse("cda://D,2147483647").track);
  EXPECT_EQ(0, Parse("cda://D,2147483648").result);
  EXPECT_EQ(0, Parse("cda://D,4294967299").result);  // would wrap to 3
  EXPECT_EQ(0, Parse("D:\\Track99999999999999999999.cda").result);
  // Leading zeros do not count towards the range.
  Parsed p = Parse("cda://D,0000000000003");
  EXPECT_EQ(1, p.result);
  EXPECT_EQ(3, p.track);
}

TEST(TrackName, NullNameAndOptionalOuts) {
  EXPECT_EQ(0, IsOurFile(nullptr));
  EXPECT_EQ(0, ParseTrackName(nullptr, nullptr, nullptr));
  EXPECT_EQ(1, IsOurFile("cda://D,3"));

  int track = 0;
  EXPECT_EQ(1, ParseTrackName("cda://q,12", nullptr, &track));
  EXPECT_EQ(12, track);

  char letter = '?';
  EXPECT_EQ(1, ParseTrackName("E:\\Track07.cda", &letter, nullptr));
  EXPECT_EQ('E', letter);
  letter = '?';
  EXPECT_EQ(0, ParseTrackName("E:\\Track.cda", &letter, &track));
  EXPECT_EQ('?', letter);
}

}  // namespace
