#include <gtest/gtest.h>

#include <tuple>

#include "rip/rip_log.h"
#include "tests/unit/rip_test_support.h"

namespace {

using riptest::Rig;

struct OffsetCase {
  int offset;
  int track;
  bool overread;
  bool cdExtra = false;  // track 3 ends at the first session's lead-out
};

class RipOffsets : public ::testing::TestWithParam<std::tuple<OffsetCase, bool>> {};

// A drive with read offset N corrected by N gives the disc's own samples;
// where it cannot read past the disc's edge those samples are zeros.
TEST_P(RipOffsets, CorrectedBitExactEdgesZeroOrOverread) {
  const auto [c, secure] = GetParam();
  auto disc = riptest::ThreeTracks();
  if (c.cdExtra) disc.layout = discgen::Layout::CdExtra;
  Rig rig(disc);
  rig.drive->SetReadOffset(c.offset);
  rig.drive->SetOverread(c.overread, c.overread);
  rip::RipOptions options;
  options.readOffset = c.offset;
  options.secure = secure;
  const bool leadIn = c.track == 1 && c.offset < 0, leadOut = c.track == 3 && c.offset > 0;
  const std::size_t head = leadIn && !c.overread ? -c.offset : 0, tail = leadOut && !c.overread ? c.offset : 0;
  EXPECT_EQ(-1, riptest::FirstDifferentFrame(rig.Expected(c.track, head, tail), rig.Rip(c.track, options)));
  const int edge = c.overread ? rip::kEdgeRead : rip::kEdgeZeroed;
  EXPECT_EQ(leadIn ? edge : rip::kEdgeNotNeeded, rig.session.Report().leadIn);
  EXPECT_EQ(leadOut ? edge : rip::kEdgeNotNeeded, rig.session.Report().leadOut);
  EXPECT_TRUE(rig.session.Report().unreadable.empty() && rig.session.Report().suspicious.empty());
}

INSTANTIATE_TEST_SUITE_P(Rip, RipOffsets,
                         ::testing::Combine(::testing::Values(OffsetCase{6, 2, false}, OffsetCase{-30, 2, false},
                                                              OffsetCase{667, 2, false}, OffsetCase{-30, 1, false},
                                                              OffsetCase{-30, 1, true}, OffsetCase{667, 3, false},
                                                              OffsetCase{667, 3, true}, OffsetCase{667, 3, false, true},
                                                              OffsetCase{667, 3, true, true}),
                                            ::testing::Bool()));

// Sectors read wrong a few times behind a drive cache that keeps the wrong
// data: secure reads get past both, a burst read keeps the fault.
// With C2 pointers a burst rip cannot mend the frames but marks them.
TEST(RipFaults, FlakySectorsBehindACache) {
  for (int mode = 0; mode < 4; ++mode) {
    const bool secure = mode < 2, c2 = mode % 2;
    Rig rig;
    rig.drive->SetC2(c2);
    rig.drive->SetCache(64);
    rig.drive->AddFlakySector(rig.Start(2) + 100, 3);
    rig.drive->AddFlakySector(rig.Start(2) + 101, 1);
    rip::RipOptions options;
    options.secure = secure;
    const auto got = rig.Rip(2, options);
    EXPECT_EQ(secure ? -1 : 100, riptest::FirstDifferentFrame(rig.Expected(2), got)) << mode;
    if (!secure) {
      EXPECT_EQ((c2 ? std::vector<std::uint32_t>{100, 101} : std::vector<std::uint32_t>{}),
                rig.session.Report().suspicious);
      continue;
    }
    EXPECT_EQ((64u * 1024 + 2351) / 2352 + 1, rig.session.CacheFrames());
    EXPECT_GE(rig.session.Report().rereadFrames, 2u);
    EXPECT_TRUE(rig.session.Report().suspicious.empty());
  }
}

// An always-wrong and an unreadable sector among good ones: the track comes
// whole, the good frames exact, both positions marked in report and log.
TEST(RipFaults, ScatteredSectorsMarkedWithAndWithoutC2) {
  for (bool c2 : {false, true}) {
    Rig rig;
    rig.drive->SetC2(c2);
    rig.drive->SetCache(32);
    ASSERT_EQ(0, rig.drive->ScatterSectors(7, 1, 1, rig.Start(2) + 1, rig.Start(3) - 1));
    const auto list = rig.drive->ScatteredSectors();
    const std::uint32_t wrong = list.wrong[0] - rig.Start(2), bad = list.unreadable[0] - rig.Start(2);
    rip::RipOptions options;
    options.retries = 6;
    auto got = rig.Rip(2, options);
    ASSERT_EQ(rig.Expected(2).size(), got.size());
    const rip::TrackReport& report = rig.session.Report();
    EXPECT_EQ(c2, rig.session.Capabilities().c2);
    EXPECT_EQ(std::vector<std::uint32_t>{wrong}, report.suspicious) << c2;
    EXPECT_EQ(std::vector<std::uint32_t>{bad}, report.unreadable) << c2;
    EXPECT_TRUE(std::all_of(got.begin() + bad * 2352, got.begin() + (bad + 1) * 2352, [](auto b) { return !b; }));
    auto expected = rig.Expected(2);
    for (std::uint32_t f : {wrong, bad})
      std::fill_n(expected.begin() + f * 2352, 2352, 0), std::fill_n(got.begin() + f * 2352, 2352, 0);
    EXPECT_EQ(-1, riptest::FirstDifferentFrame(expected, got));
    const std::string log = rip::ComposeLog(rip::RipLogDisc{}, {report});
    EXPECT_NE(std::string::npos, log.find("疑わしい位置 " + rip::TrackTime(wrong) + "\r\n"));
    EXPECT_NE(std::string::npos, log.find("読めない位置 " + rip::TrackTime(bad) + "\r\n"));
  }
}

}  // namespace
