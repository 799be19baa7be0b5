#include "rip/rip_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "rip/crc32.h"
#include "tests/unit/rip_test_support.h"

namespace {

// The CRC written out bit by bit from its definition, as an oracle for the
// table-driven one.
std::uint32_t BitwiseCrc(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

rip::RipLogDisc Disc() {
  rip::RipLogDisc d;
  d.vendor = "QUORVO";
  d.product = "VIRTUAL CD-ROM";
  d.revision = "1.00";
  d.transport = "SPTI";
  d.readOffset = 6;
  d.discId = 0x1a2b3c4d;
  return d;
}

TEST(RipLog, CopyCrcMatchesTheOracleAndTheLogSaysIt) {
  EXPECT_EQ(0xCBF43926u, rip::Crc32(0, "123456789", 9));  // zlib's check value
  riptest::Rig rig;
  rig.drive->AddReadError(rig.Start(1) + 75 * 3 + 12);
  const auto bytes = rig.Rip(1, {});
  std::vector<rip::TrackReport> tracks{rig.session.Report()};
  ASSERT_TRUE(tracks[0].whole);
  EXPECT_EQ(BitwiseCrc(bytes), tracks[0].crc32);

  const std::string log = rip::ComposeLog(Disc(), tracks);
  EXPECT_EQ(0, log.compare(0, 3, "\xEF\xBB\xBF"));
  for (std::size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1)) {
    ASSERT_EQ('\r', log[i - 1]) << "bare LF at " << i;
  }
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08X", BitwiseCrc(bytes));
  for (const std::string& line :
       {std::string("ドライブ: QUORVO VIRTUAL CD-ROM 1.00\r\n"), std::string("読み取りオフセット: +6\r\n"),
        std::string("モード: セキュア\r\n"), "トラック 1\r\n    長さ 0:06.00\r\n    コピーCRC " + std::string(crc),
        std::string("読めない位置 0:03.12\r\n"), std::string("判定: 読み取りエラーあり\r\n")}) {
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  }
}

TEST(RipLog, FileNameAndFile) {
  rip::RipLogDisc d = Disc();
  EXPECT_EQ("1A2B3C4D.log", rip::LogFileName(d));
  d.performer = "AC/DC: 声";
  d.album = "x\ny";
  EXPECT_NE(std::string::npos, rip::ComposeLog(d, {}).find("アルバム: x y\r\n"));
  d.album = "Live?*. ";
  EXPECT_EQ("AC_DC_ 声 - Live__.log", rip::LogFileName(d));

  // A later run of the player reads the tracks back from the file.
  std::vector<rip::TrackReport> tracks(2);
  tracks[0] = {3, 4500 * 61 + 74, true, 0x0BADF00D, 900, {75 * 59 + 1}, {4500 * 61 + 73}, rip::kEdgeRead, 0};
  tracks[1] = {9, 37, true, 0xFFFFFFFF, 0, {}, {}, 0, rip::kEdgeZeroed};
  const std::string folder = vdrive_test::FreshDir("logs") + "/new/sub";
  ASSERT_EQ(1, rip::WriteLogFile(folder, d, tracks));
  EXPECT_EQ(0, rip::WriteLogFile("", d, {}));
  std::ifstream in(std::filesystem::u8path(folder + "/AC_DC_ 声 - Live__.log"), std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(rip::ComposeLog(d, tracks), written);
  const std::vector<rip::TrackReport> back = rip::ReadLogTracks(folder, d);
  ASSERT_EQ(2u, back.size());
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(rip::ComposeLog(d, {tracks[i]}), rip::ComposeLog(d, {back[i]})) << i;
  }
  EXPECT_TRUE(rip::ParseLogTracks("トラック 100\r\n    コピーCRC 00000000\r\n").empty());
}

}  // namespace
