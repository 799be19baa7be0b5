#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "device/drive_capabilities.h"
#include "rip/crc32.h"
#include "rip/offset_window.h"
#include "tests/unit/rip_test_support.h"

namespace {

using riptest::Rig;

rip::RipOptions Mode(bool secure, int offset = 0) {
  rip::RipOptions o;
  o.secure = secure;
  o.readOffset = offset;
  return o;
}

class RipModes : public ::testing::TestWithParam<bool> {};

// Every track, whatever the piece size, ends exactly at its length; a
// later call gives 0; a seek starts at the sample asked for. Both modes
// line up reads that land early.
TEST_P(RipModes, WholeTracksBitExactAndSetTime) {
  Rig rig;
  rig.drive->SetLanding(-2, 3);
  for (int track = 1; track <= 3; ++track) {
    EXPECT_EQ(rig.Expected(track), rig.Rip(track, Mode(GetParam()), track == 2 ? 2352 * 15 : 10007));
    EXPECT_EQ(0, rig.last);
    EXPECT_TRUE(rig.session.Report().whole);
    EXPECT_TRUE(rig.session.Report().suspicious.empty() && rig.session.Report().unreadable.empty());
  }
  ASSERT_EQ(rip::kRipOpened, rig.session.Open('D', 2, Mode(GetParam())));
  EXPECT_EQ(1, rig.session.SetTime(1234));
  std::vector<std::uint8_t> got(4000);
  ASSERT_EQ(4000, rig.session.GetData(reinterpret_cast<char*>(got.data()), got.size(), nullptr));
  const auto expected = rig.Expected(2);
  const std::size_t from = std::size_t{1234} * 44100 / 1000 * 4;
  EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + from));
  // Only a rip from the first sample on gives the track's CRC.
  while (rig.session.GetData(reinterpret_cast<char*>(got.data()), got.size(), nullptr) > 0) {
  }
  EXPECT_FALSE(rig.session.Report().whole);
  EXPECT_EQ(1, rig.session.SetTime(0));
  while (rig.session.GetData(reinterpret_cast<char*>(got.data()), got.size(), nullptr) > 0) {
  }
  EXPECT_TRUE(rig.session.Report().whole);
  EXPECT_EQ(rip::Crc32(0, expected.data(), expected.size()), rig.session.Report().crc32);
}

// A frame the drive never delivers is silence, marked, and the rip goes
// on to the track's full length; one that fails a few times is read
// (secure) or is silence too (burst).
TEST_P(RipModes, UnreadableFrameIsSilenceAndMarked) {
  Rig rig;
  rig.drive->AddReadError(rig.Start(2) + 200);
  rig.drive->AddReadError(rig.Start(2) + 300, 2);
  auto expected = rig.Expected(2);
  std::fill_n(expected.begin() + 200 * 2352, 2352, 0);
  if (!GetParam()) std::fill_n(expected.begin() + 300 * 2352, 2352, 0);
  EXPECT_EQ(-1, riptest::FirstDifferentFrame(expected, rig.Rip(2, Mode(GetParam()))));
  EXPECT_EQ((GetParam() ? std::vector<std::uint32_t>{200} : std::vector<std::uint32_t>{200, 300}),
            rig.session.Report().unreadable);
}

// Eject, killswitch and Abort from another thread end GetData with -1
// quickly, also when the drive is slow.
TEST_P(RipModes, StopsPromptly) {
  Rig rig;
  rig.drive->SetLatency({1, 0});  // 1x: 75 frames a second
  std::vector<char> buffer(2352 * 75 * 4);
  for (int how = 0; how < 3; ++how) {
    ASSERT_EQ(rip::kRipOpened, rig.session.Open('D', 1, Mode(GetParam())));
    int kill = 0;
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      if (how == 0) rig.drive->Eject();
      if (how == 1) kill = 1;
      if (how == 2) rig.session.Abort();
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(-1, rig.session.GetData(buffer.data(), buffer.size(), &kill)) << how;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1)) << how;
    stopper.join();
    if (how != 1) {
      EXPECT_EQ(-1, rig.session.GetData(buffer.data(), 100, nullptr)) << how;
    }
    if (how == 0) {
      rig.drive->Insert(rig.disc);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rip, RipModes, ::testing::Bool());

TEST(RipSession, OpenCodes) {
  Rig rig(([] {
    auto o = riptest::ThreeTracks(100);
    o.layout = discgen::Layout::CdExtra;
    return o;
  })());
  EXPECT_EQ(rip::kRipNoDrive, rig.session.Open('E', 1, {}));
  EXPECT_EQ(rip::kRipNoTrack, rig.session.Open('D', 9, {}));
  EXPECT_EQ(rip::kRipDataTrack, rig.session.Open('D', 4, {}));
  EXPECT_EQ(-1, rig.session.GetData(nullptr, 0, nullptr));
  rig.drive->Eject();
  EXPECT_EQ(rip::kRipNotReady, rig.session.Open('D', 1, {}));
}

TEST(RipSession, OffsetWindowAndCapabilities) {
  rip::OffsetWindow w;
  w.Setup(100, 10, -30, 0, 1000);  // 30 samples early: starts in frame 99
  EXPECT_EQ(99, w.FirstLba());
  EXPECT_EQ(110, w.EndLba());
  std::int32_t lba;
  std::uint32_t within;
  w.Locate(0, &lba, &within);
  EXPECT_EQ(99, lba);
  EXPECT_EQ(2352u - 120, within);
  std::uint32_t first, last;
  ASSERT_TRUE(w.TrackFramesOf(100, &first, &last));
  EXPECT_EQ(0u, first);
  EXPECT_EQ(1u, last);
  EXPECT_FALSE(w.TrackFramesOf(110, &first, &last));

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
