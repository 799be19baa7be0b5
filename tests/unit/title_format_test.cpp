#include "input/title_format.h"

#include <gtest/gtest.h>

#include <string>

#include "input/plugin_settings.h"
#include "util/codepage.h"

namespace {

TrackDescription Record() {
  TrackDescription r;
  r.track = TitleInfo{"A", "B", "S", "C", "R"};
  r.disc.title = "Album";
  r.lengthMs = 61234;
  return r;
}

bool EndsOnCharacterBoundary(const std::string& text) {
  return codepage::IsValidUtf8(text);
}

TEST(TitleFormat, CodesAndPercentSigns) {
  const TrackDescription r = Record();
  EXPECT_EQ("A - B", ExpandTitle('D', 3, "%1 - %2", r));
  EXPECT_EQ("%3", ExpandTitle('D', 3, "%%%6", r));
  EXPECT_EQ("100", ExpandTitle('D', 3, "100%", r));
  EXPECT_EQ("A", ExpandTitle('D', 3, "%x%1", r));
  EXPECT_EQ("A|B|S|C|R|12|e|Album|%", ExpandTitle('e', 12, "%1|%2|%3|%4|%5|%6|%7|%8|%%", r));
  EXPECT_EQ("", ExpandTitle('D', 3, "%0%9%", r));
  EXPECT_EQ("CD-DA TRACK - d:\\Track3", ExpandTitle('d', 3, PluginSettings().defaultTitleFormat, r));

  TrackDescription out = r;
  Expand('D', 7, "#%6", out);
  EXPECT_EQ("#7", out.text);
}

TEST(TitleFormat, AnUnknownCodeDropsAWholeMultiByteCharacter) {
  // "%ア" would otherwise leave the two continuation bytes of ア.
  EXPECT_EQ("[]", ExpandTitle('D', 1, "[%ア]", Record()));
  EXPECT_EQ(u8"日本\uFFFD", ExpandTitle('D', 1, "日本\xE6\x97", Record())) << "half a character at the end";
}

TEST(TitleFormat, LongExpansionsStopAt4095BytesOnACharacterBoundary) {
  TrackDescription r;
  r.track.title = std::string(3000, 'x');
  EXPECT_EQ(4095u, ExpandTitle('D', 1, "%1%1%1", r).size());

  r.track.title.clear();
  for (int i = 0; i < 1000; ++i) r.track.title += "あ";  // 3000 bytes, three a character
  const std::string inside = ExpandTitle('D', 1, "x%1%1", r);
  EXPECT_EQ(4093u, inside.size()) << "4095 would end inside a character";
  EXPECT_TRUE(EndsOnCharacterBoundary(inside));
  const std::string exact = ExpandTitle('D', 1, "%1%1", r);
  EXPECT_EQ(4095u, exact.size());
  EXPECT_TRUE(EndsOnCharacterBoundary(exact));
}

TEST(TitleFormat, ProduceAnswersKeysInAnyCase) {
  TrackDescription r = Record();
  const struct {
    const char* key;
    int answer;
    const char* value;
  } cases[] = {{"TYPE", 1, "CDDA"},   {"length", 1, "61234"}, {"Artist", 1, "B"}, {"title", 1, "A"},
               {"ALBUM", 1, "Album"}, {"TrackNo", 1, "9"},    {"GENRE", 0, ""},  {"TITLEX", 0, ""},
               {"", 0, ""},           {nullptr, 0, ""}};
  for (const auto& c : cases) {
    r.text = "stale";
    EXPECT_EQ(c.answer, Produce(c.key, 9, r)) << (c.key ? c.key : "null");
    EXPECT_EQ(c.value, r.text) << (c.key ? c.key : "null");
  }
}

TEST(TitleFormat, NamesAnswerOnlyWhenTheTrackOrDiscHasOne) {
  TrackDescription r;
  r.lengthMs = 2000;
  EXPECT_EQ(0, Produce("ARTIST", 1, r));
  EXPECT_EQ(0, Produce("TITLE", 1, r));
  EXPECT_EQ(0, Produce("ALBUM", 1, r));
  EXPECT_EQ(1, Produce("LENGTH", 1, r));
  EXPECT_EQ("2000", r.text);
  r.disc.title = "Album";
  EXPECT_EQ(1, Produce("ARTIST", 1, r));
  EXPECT_EQ("", r.text);
}

}  // namespace
