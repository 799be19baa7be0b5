// The companion's portable parts: the drive menu plan (also for systems
// without a CD-ROM drive, which the Wine prefix cannot show), the error
// texts and the bounds of the per-request play table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "companion/drive_menu.h"
#include "companion/play_request.h"

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

TEST(DriveErrorText, LetterColonBackslashEmptyLineThenText) {
  EXPECT_EQ("E:\\\r\n\r\nCDがありません", DriveErrorText('E', kDriveErrorNoDisc));
  EXPECT_EQ("D:\\\r\n\r\n指定されたCD-ROMドライブは使用できません", DriveErrorText('D', kDriveErrorUnusable));
  EXPECT_EQ("I:\\\r\n\r\n指定されたCD-ROMドライブは現在使用されているため、使用することができません",
            DriveErrorText('I', kDriveErrorBusy));
  EXPECT_EQ("F:\\\r\n\r\nCD-ROMドライブが利用できません", DriveErrorText('F', kDriveErrorUnavailable));
}

TEST(PlayRequest, TrackNinetyNineFitsAndImpossibleCountsGiveNothing) {
  PlayRequestTable table;
  std::memset(&table, 0x5A, sizeof table);  // a previous request's leftovers
  ASSERT_EQ(99, FillPlayRequest(table, 'I', 99));
  EXPECT_EQ(nullptr, table.records[0].filename);
  EXPECT_EQ(nullptr, table.records[99].title);
  EXPECT_STREQ("cda://I,99", table.records[99].filename);
  for (int bad : {-1, 0, 100, 1000}) {
    EXPECT_EQ(0, FillPlayRequest(table, 'I', bad)) << bad;
    EXPECT_EQ(0, table.trackCount);
    EXPECT_EQ(nullptr, table.records[1].filename);
  }
}

}  // namespace
