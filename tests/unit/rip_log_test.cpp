#include "rip/rip_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "rip/crc32.h"
#include "tests/unit/vdrive_test_support.h"

namespace {

// Two tracks, one with every kind of mark, one clean: the log's lines, its
// file (named from the album and performer, else the disc id) and what a
// later run of the player reads back from it.
TEST(RipLog, ComposedWrittenAndReadBack) {
  EXPECT_EQ(0xCBF43926u, rip::Crc32(0, "123456789", 9));  // zlib's check value
  rip::RipLogDisc d{"",  "", "QUORVO", "VIRTUAL CD-ROM", "1.00", "SPTI", 6, true, "", "", 0x1a2b3c4d,
                    "AccurateRip で検出", "一致 1 / 不一致 0 / データベースにありません 0"};
  EXPECT_EQ("1A2B3C4D.log", rip::LogFileName(d));
  std::vector<rip::TrackReport> tracks(2);
  tracks[0] = {3, 4500 * 61 + 74, true, 0x0BADF00D, 900, {75 * 59 + 1}, {4500 * 61 + 73}, rip::kEdgeRead, 0,
               true, 0x0000ABCD, 0xFEDC0001, "一致（信頼度 7）"};
  tracks[1] = {9, 37, true, 0xFFFFFFFF, 0, {}, {}, 0, rip::kEdgeZeroed, false, 0, 0, ""};
  const std::string log = rip::ComposeLog(d, tracks);
  EXPECT_EQ(0, log.compare(0, 3, "\xEF\xBB\xBF"));
  for (const char* lines :
       {"ドライブ: QUORVO VIRTUAL CD-ROM 1.00\r\n", "読み取りオフセット: +6（AccurateRip で検出）\r\n",
        "    AccurateRip 一致 1 / 不一致 0 / データベースにありません 0\r\n", "モード: セキュア\r\n",
        "トラック 3\r\n    長さ 61:00.74\r\n    コピーCRC 0BADF00D\r\n    AccurateRip v1 0000ABCD\r\n"
        "    AccurateRip v2 FEDC0001\r\n    AccurateRip 一致（信頼度 7）\r\n    再読み込みフレーム数 900\r\n    リードイン "
        "ドライブから読み取り\r\n    疑わしい位置 0:59.01\r\n    読めない位置 61:00.73\r\n    判定: 読み取りエラーあり\r\n",
        "トラック 9\r\n    長さ 0:00.37\r\n    コピーCRC FFFFFFFF\r\n    再読み込みフレーム数 0\r\n    リードアウト "
        "読めないためゼロで補完\r\n    判定: エラーなし\r\n"}) {
    EXPECT_NE(std::string::npos, log.find(lines)) << lines << log;
  }

  d.performer = "AC/DC: 声";
  d.album = "x\ny";
  EXPECT_NE(std::string::npos, rip::ComposeLog(d, {}).find("アルバム: x y\r\n"));
  d.album = "Live?*. ";
  const std::string folder = vdrive_test::FreshDir("logs") + "/new/sub";
  ASSERT_EQ(1, rip::WriteLogFile(folder, d, tracks));
  EXPECT_EQ(0, rip::WriteLogFile("", d, {}));
  std::ifstream in(std::filesystem::u8path(folder + "/AC_DC_ 声 - Live__.log"), std::ios::binary);
  EXPECT_EQ(rip::ComposeLog(d, tracks), std::string(std::istreambuf_iterator<char>(in), {}));
  const std::vector<rip::TrackReport> back = rip::ReadLogTracks(folder, d);
  ASSERT_EQ(2u, back.size());
  EXPECT_EQ(rip::ComposeLog(d, tracks), rip::ComposeLog(d, back));
  EXPECT_TRUE(rip::ParseLogTracks("トラック 100\r\n    コピーCRC 00000000\r\n").empty());
}

}  // namespace
