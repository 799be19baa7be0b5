// The companion's portable parts: settings, the drive menu plan with its
// command table, the error texts and the per-request play table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "companion/companion_settings.h"
#include "companion/drive_menu.h"
#include "companion/play_request.h"
#include "temp_ini.h"

namespace {

struct MenuCase {
  const char* name;
  std::vector<std::string> roots;
  std::set<char> cdroms;
  bool allDrives;
  std::vector<char> letters;  // items in order
  int baseId;
  int separator;
};

class DriveMenuPlanTest : public ::testing::TestWithParam<MenuCase> {};

TEST_P(DriveMenuPlanTest, ItemsIdsPositionsAndSeparator) {
  const MenuCase& c = GetParam();
  const DriveMenuPlan plan =
      PlanDriveMenu(c.roots, [&](const std::string& root) { return c.cdroms.count(root[0]) != 0; }, c.allDrives);
  EXPECT_EQ(c.baseId, plan.baseId);
  ASSERT_EQ(c.letters.size(), plan.items.size());
  for (std::size_t k = 0; k < plan.items.size(); ++k) {
    EXPECT_EQ(c.letters[k], plan.items[k].letter);
    EXPECT_EQ(c.baseId + static_cast<int>(k), plan.items[k].id);
    EXPECT_EQ(4 + static_cast<int>(k), plan.items[k].position);
    EXPECT_EQ(std::string("Audio CD ") + c.letters[k] + ":", plan.items[k].text);
  }
  EXPECT_EQ(c.separator, plan.separatorPosition);
}

const std::vector<std::string> kSix = {"A:\\", "C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "H:\\", "I:\\", "Z:\\"};
const std::set<char> kSixCd = {'D', 'E', 'F', 'G', 'H', 'I'};

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveMenuPlanTest,
    ::testing::Values(MenuCase{"FourOfSix", kSix, kSixCd, false, {'D', 'E', 'F', 'G'}, 40323, 8},
                      MenuCase{"AllSix", kSix, kSixCd, true, {'D', 'E', 'F', 'G', 'H', 'I'}, 41950, 10},
                      MenuCase{"NoCdRom", kSix, {}, false, {}, 40323, 4},
                      MenuCase{"NoCdRomAllDrives", kSix, {}, true, {}, 41950, 4},
                      MenuCase{"NoRootsAtAll", {}, {}, false, {}, 40323, 4},
                      MenuCase{"SystemOrderIsKept", {"Q:\\", "B:\\", "", "M:\\"}, {'Q', 'M'}, false, {'Q', 'M'},
                               40323, 6}),
    [](const ::testing::TestParamInfo<MenuCase>& info) { return info.param.name; });

TEST(DriveCommandTable, OnlyInsertedIdsNameADrive) {
  DriveCommandTable table;
  EXPECT_EQ(0, table.Find(40323)) << "no drive before the menu is built";
  table.Reset(41950);
  table.Add(41950, 'D');
  table.Add(41951, 'H');
  EXPECT_EQ('D', table.Find(41950));
  EXPECT_EQ('H', table.Find(41951));
  for (int id : {41949, 41952, 40323, 0, 65535}) EXPECT_EQ(0, table.Find(id)) << id;
  table.Reset(40323);
  EXPECT_EQ(0, table.Find(41950)) << "a rebuilt menu forgets the old ids";
  EXPECT_EQ(0, table.Count());
}

TEST(DriveErrorText, LetterColonBackslashEmptyLineThenText) {
  EXPECT_EQ("E:\\\r\n\r\nCDがありません", DriveErrorText('E', kDriveErrorNoDisc));
  EXPECT_EQ("D:\\\r\n\r\n指定されたCD-ROMドライブは使用できません", DriveErrorText('D', kDriveErrorUnusable));
  EXPECT_EQ("I:\\\r\n\r\n指定されたCD-ROMドライブは現在使用されているため、使用することができません",
            DriveErrorText('I', kDriveErrorBusy));
  EXPECT_EQ("F:\\\r\n\r\nCD-ROMドライブが利用できません", DriveErrorText('F', kDriveErrorUnavailable));
}

TEST(PlayRequest, NamesEveryTrackInOrderWithEmptyTitlesAndLengths) {
  auto table = std::make_unique<PlayRequestTable>();
  std::memset(table.get(), 0x5A, sizeof *table);  // a previous request's leftovers
  ASSERT_EQ(12, FillPlayRequest(*table, 'D', 12));
  EXPECT_EQ(12, table->trackCount);
  EXPECT_EQ(nullptr, table->records[0].filename);
  for (int i = 1; i <= 12; ++i) {
    EXPECT_EQ("cda://D," + std::to_string(i), std::string(table->records[i].filename));
    EXPECT_EQ(table->names[i], table->records[i].filename);
    EXPECT_EQ(nullptr, table->records[i].title);
    EXPECT_EQ(0, table->records[i].length);
  }
  EXPECT_EQ(nullptr, table->records[13].filename);
}

TEST(PlayRequest, TrackNinetyNineFitsAndImpossibleCountsGiveNothing) {
  PlayRequestTable table;
  ASSERT_EQ(99, FillPlayRequest(table, 'I', 99));
  EXPECT_STREQ("cda://I,99", table.records[99].filename);
  for (int bad : {-1, 0, 100, 1000}) {
    EXPECT_EQ(0, FillPlayRequest(table, 'I', bad)) << bad;
    EXPECT_EQ(0, table.trackCount);
    EXPECT_EQ(nullptr, table.records[1].filename);
  }
}

TEST(CompanionSettings, OnlyTrueInAnyCaseIsTrueAndOnlyTwoKeysAreWritten) {
  TempIni ini;
  ini.Write("[QZ_CDDAPLAYER]\r\nAllDrives=TRUE\r\nQuickStart=1\r\nMultithreadInitialize=yes\r\nAspi=tRuE\r\n");
  CompanionSettings s;
  s.Load(SystemProfile(), ini.path());
  EXPECT_TRUE(s.allDrives);
  EXPECT_FALSE(s.quickStart);
  EXPECT_FALSE(s.multithreadInitialize);
  EXPECT_TRUE(s.aspi);

  TempIni fresh;
  CompanionSettings defaults;
  defaults.Load(SystemProfile(), fresh.path());
  EXPECT_FALSE(defaults.allDrives);
  EXPECT_TRUE(defaults.quickStart) << "a missing key keeps its default";
  defaults.aspi = true;
  defaults.multithreadInitialize = true;
  defaults.Save(SystemProfile(), fresh.path());
  EXPECT_EQ((std::vector<std::string>{"[QZ_CDDAPLAYER]", "AllDrives=false", "QuickStart=true"}), fresh.Lines());
}

TEST(CompanionSettings, TrueTextComparison) {
  for (const char* yes : {"true", "TRUE", "True"}) EXPECT_TRUE(IsTrueText(yes)) << yes;
  for (const char* no : {"", "1", "yes", "on", "true ", " true", "tru", "truee", "false"}) EXPECT_FALSE(IsTrueText(no)) << no;
}

}  // namespace
