// The portable halves of the information box and the cache manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cddb/cache_manager.h"
#include "cddb/cache_rows.h"
#include "input/plugin_settings.h"
#include "ui/info_box_model.h"

namespace {

TEST(InfoBoxModel, LengthCountsFramesNotHundredths) {
  struct Case {
    unsigned frames;
    const char* text;
  } cases[] = {{13636, "3:01.61"}, {0, "0:00.00"}, {74, "0:00.74"}, {75, "0:01.00"},
               {4499, "0:59.74"}, {4500, "1:00.00"}, {449999, "99:59.74"}, {0xFFFFFFFFu, "954437:10.45"}};
  for (const Case& c : cases) EXPECT_EQ(FormatTrackLength(c.frames), c.text) << c.frames;
}

TEST(InfoBoxModel, SourcesFollowThePriorityAndSkipUnknownNames) {
  PluginSettings settings;
  settings.titlePriority = {"CDDB", "nonsense", "default", "CD-TEXT(EN)"};
  const std::vector<InfoBoxSource> sources = InfoBoxSources(settings);
  ASSERT_EQ(sources.size(), 3u);
  EXPECT_EQ(sources[0].name, "CDDB");
  EXPECT_EQ(sources[1].displayName, "デフォルト");
  EXPECT_EQ(sources[2].displayName, "CD-TEXT(英語)");
}

// Asked once, when the box opens, for the entry the resolve gave; no verdict shows the default text.
TEST(InfoBoxModel, VerificationIsAskedAtOpeningForTheResolvedEntry) {
  std::vector<std::uint32_t> asked;
  InfoBoxModel model({{"CDDB", "CDDB"}, {"default", "デフォルト"}},
                     [](const std::string&, const char*, TrackDescription& r) { r.entry.start = 1234; },
                     [&](const std::string&, const TrackEntry& e) { return asked.push_back(e.start), std::string(); });
  model.Open("cda://D,2");
  EXPECT_TRUE(model.Choose(1));
  EXPECT_EQ(kNotVerifiedText, model.Fields().verification);
  EXPECT_EQ(std::vector<std::uint32_t>{1234}, asked);
}

std::vector<CacheRow> Rows() {
  return {{0x0A000001u, "k1", "beta", "Zed"},
          {0xF0000000u, "k2", "alpha", "amy"},
          {0x00000002u, "k3", "alphabet", ""},
          {0x7FFFFFFFu, "k4", "\x93\xfa\x96\x7b", "Amy"}};  // Shift-JIS sorts above ASCII bytewise
}

std::vector<std::string> KeysSorted(std::vector<CacheRow> rows, const CacheSortState& state) {
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const CacheRow& a, const CacheRow& b) { return state.Compare(a, b) < 0; });
  std::vector<std::string> keys;
  for (const CacheRow& row : rows) keys.push_back(row.key);
  return keys;
}

TEST(CacheRows, ColumnsCompareUnsignedIdsAndBytewiseTextsShorterFirst) {
  const std::vector<CacheRow> rows = Rows();
  EXPECT_LT(CompareCacheRows(rows[0], rows[1], 0), 0);  // 0xF0000000 is large, not negative
  EXPECT_LT(CompareCacheRows(rows[1], rows[2], 1), 0);  // "alpha" before "alphabet"
  EXPECT_LT(CompareCacheRows(rows[0], rows[3], 1), 0);  // bytes above 0x80 are not negative
  EXPECT_LT(CompareCacheRows(rows[3], rows[1], 2), 0);  // case matters: 'A' < 'a'
  EXPECT_LT(CompareCacheRows(rows[2], rows[0], 2), 0);  // empty first
  EXPECT_EQ(CompareCacheRows(rows[1], rows[1], 1), 0);
  EXPECT_EQ(CompareCacheRows(rows[0], rows[1], 7), 0);
  EXPECT_EQ(DiscIdText(0x0A0B0C0Du), "0A0B0C0D");
  EXPECT_EQ(DiscIdText(2), "00000002");
}

TEST(CacheRows, ARowShowsTheDiscEntryOrNothing) {
  CddbDiscRecord record;
  record.discId = 0x0D012C02u;
  record.tracks[1].title = "First";
  CacheRow row = MakeCacheRow("key", record);
  EXPECT_EQ(row.discId, 0x0D012C02u);
  EXPECT_EQ(row.key, "key");
  EXPECT_EQ(row.title, "");  // a track's texts never stand in for the disc's
  record.tracks[0] = {"Album", "Band", "", "", ""};
  row = MakeCacheRow("key", record);
  EXPECT_EQ(row.title, "Album");
  EXPECT_EQ(row.performer, "Band");
}

TEST(CacheRows, ClicksTurnTheSameColumnAndKeepEachColumnsDirection) {
  const std::vector<CacheRow> rows = Rows();
  CacheSortState state;
  state.Click(0);  // the column sorted at the start: the first click turns it
  EXPECT_EQ(KeysSorted(rows, state), (std::vector<std::string>{"k2", "k4", "k1", "k3"}));
  state.Click(1);
  EXPECT_EQ(KeysSorted(rows, state), (std::vector<std::string>{"k2", "k3", "k1", "k4"}));
  state.Click(1);
  EXPECT_EQ(KeysSorted(rows, state), (std::vector<std::string>{"k4", "k1", "k3", "k2"}));
  state.Click(2);
  EXPECT_EQ(KeysSorted(rows, state), (std::vector<std::string>{"k3", "k4", "k1", "k2"}));
  state.Click(0);  // id keeps the descending direction it was left in
  EXPECT_FALSE(state.Ascending(0));
  EXPECT_EQ(KeysSorted(rows, state).front(), "k2");
  state.Click(3);
  state.Click(-1);
  EXPECT_EQ(state.Column(), 0);
  EXPECT_FALSE(state.Ascending(1));
}

}  // namespace
