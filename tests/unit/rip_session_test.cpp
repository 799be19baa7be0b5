#include <gtest/gtest.h>

#include "device/drive_capabilities.h"
#include "rip/crc32.h"
#include "tests/unit/rip_test_support.h"

namespace {

using riptest::Rig;

class RipModes : public ::testing::TestWithParam<bool> {};

// Both modes line up reads that land early; whatever the piece size, a
// track ends exactly at its length, then 0. Only a rip from the first
// sample on is whole and has the track's CRC; a seek lands on the sample
// (floored) in the middle of a frame.
TEST_P(RipModes, WholeTracksBitExactAndSetTime) {
  Rig rig;
  rig.drive->SetLanding(-2, 3);
  for (int track = 1; track <= 3; ++track) {
    const auto expected = rig.Expected(track);
    EXPECT_EQ(expected, rig.Rip(track, rip::RipOptions{0, GetParam()}, track == 2 ? 2352 * 15 : 10007));
    EXPECT_EQ(0, rig.last);
    const rip::TrackReport& r = rig.session.Report();
    EXPECT_TRUE(r.whole && r.suspicious.empty() && r.unreadable.empty());
    EXPECT_EQ(rip::Crc32(0, expected.data(), expected.size()), r.crc32);
  }
  EXPECT_EQ(1, rig.session.SetTime(1234));
  std::vector<std::uint8_t> got(4000);
  ASSERT_EQ(4000, rig.session.GetData(reinterpret_cast<char*>(got.data()), got.size(), nullptr));
  EXPECT_TRUE(std::equal(got.begin(), got.end(), rig.Expected(3).begin() + 1234 * 44100 / 1000 * 4));
  while (rig.session.GetData(reinterpret_cast<char*>(got.data()), got.size(), nullptr) > 0) {
  }
  EXPECT_FALSE(rig.session.Report().whole);
}

INSTANTIATE_TEST_SUITE_P(Rip, RipModes, ::testing::Bool());

TEST(RipSession, OpenCodes) {
  Rig rig(riptest::ThreeTracks(100, discgen::Layout::CdExtra));
  EXPECT_EQ(rip::kRipNoDrive, rig.session.Open('E', 1, {}));
  EXPECT_EQ(rip::kRipNoTrack, rig.session.Open('D', 9, {}));
  EXPECT_EQ(rip::kRipDataTrack, rig.session.Open('D', 4, {}));
  EXPECT_EQ(-1, rig.session.GetData(nullptr, 0, nullptr));
  rig.drive->Eject();
  EXPECT_EQ(rip::kRipNotReady, rig.session.Open('D', 1, {}));
}

TEST(RipSession, CapabilitiesDecoding) {
  // Header stating 2 descriptor bytes, then page 2Ah: C2 and 2048 KiB.
  std::uint8_t reply[36] = {0, 34, 0, 0, 0, 0, 0, 2, 0xFF, 0xFF, 0x2A, 0x12};
  reply[10 + 5] = 0x11;
  reply[10 + 12] = 0x08;
  const DriveCapabilities caps = DecodeCapabilities(reply, sizeof reply);
  EXPECT_TRUE(caps.known && caps.c2 && !caps.accurateStream);
  EXPECT_EQ(2048u, caps.bufferKiB);
  EXPECT_FALSE(DecodeCapabilities(reply, 23).known);  // page cut before the buffer size
  reply[1] = 12;                                      // mode data shorter than the page
  EXPECT_FALSE(DecodeCapabilities(reply, sizeof reply).known);
}

}  // namespace
