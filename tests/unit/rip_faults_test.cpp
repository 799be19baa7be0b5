#include <gtest/gtest.h>

#include <tuple>

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
  Rig rig(riptest::ThreeTracks(450, c.cdExtra ? discgen::Layout::CdExtra : discgen::Layout::AudioOnly));
  rig.drive->SetReadOffset(c.offset);
  rig.drive->SetOverread(c.overread, c.overread);
  const bool leadIn = c.track == 1 && c.offset < 0, leadOut = c.track == 3 && c.offset > 0;
  const std::size_t head = leadIn && !c.overread ? -c.offset : 0, tail = leadOut && !c.overread ? c.offset : 0;
  EXPECT_EQ(-1, riptest::FirstDifferentFrame(rig.Expected(c.track, head, tail), rig.Rip(c.track, {c.offset, secure})));
  const int edge = c.overread ? rip::kEdgeRead : rip::kEdgeZeroed;
  EXPECT_EQ(leadIn ? edge : rip::kEdgeNotNeeded, rig.session.Report().leadIn);
  EXPECT_EQ(leadOut ? edge : rip::kEdgeNotNeeded, rig.session.Report().leadOut);
  EXPECT_TRUE(rig.session.Report().unreadable.empty() && rig.session.Report().suspicious.empty());
}

INSTANTIATE_TEST_SUITE_P(Rip, RipOffsets,
                         ::testing::Combine(::testing::Values(OffsetCase{667, 2, false}, OffsetCase{-30, 1, false},
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
    EXPECT_EQ(secure ? -1 : 100, riptest::FirstDifferentFrame(rig.Expected(2), rig.Rip(2, {0, secure}))) << mode;
    const std::vector<std::uint32_t> marked = c2 && !secure ? std::vector<std::uint32_t>{100, 101}
                                                            : std::vector<std::uint32_t>{};
    EXPECT_EQ(marked, rig.session.Report().suspicious) << mode;
    if (secure) {
      EXPECT_EQ((64u * 1024 + 2351) / 2352 + 1, rig.session.CacheFrames());
      EXPECT_GE(rig.session.Report().rereadFrames, 2u);
    }
  }
}

// An always-wrong and an always-unreadable sector among good ones, and one
// that fails twice: the track comes whole, the good frames exact, the
// unreadable one silence, both marked; the one failing twice is read
// (secure) or is silence and marked too (burst, where C2 marks the wrong one).
TEST(RipFaults, ScatteredAndUnreadableSectors) {
  for (int mode = 0; mode < 3; ++mode) {
    const bool secure = mode < 2, c2 = mode > 0;
    Rig rig;
    rig.drive->SetC2(c2);
    rig.drive->SetCache(32);
    ASSERT_EQ(0, rig.drive->ScatterSectors(7, 1, 1, rig.Start(2) + 1, rig.Start(2) + 250));
    rig.drive->AddReadError(rig.Start(2) + 300, 2);
    const auto list = rig.drive->ScatteredSectors();
    const std::uint32_t wrong = list.wrong[0] - rig.Start(2), bad = list.unreadable[0] - rig.Start(2);
    auto got = rig.Rip(2, {0, secure, 6}), expected = rig.Expected(2);
    ASSERT_EQ(expected.size(), got.size());
    EXPECT_EQ(c2, rig.session.Capabilities().c2);
    EXPECT_EQ(std::vector<std::uint32_t>{wrong}, rig.session.Report().suspicious) << mode;
    EXPECT_EQ((secure ? std::vector<std::uint32_t>{bad} : std::vector<std::uint32_t>{bad, 300}),
              rig.session.Report().unreadable)
        << mode;
    std::fill_n(expected.begin() + bad * 2352, 2352, 0);
    if (!secure) std::fill_n(expected.begin() + 300 * 2352, 2352, 0);
    std::copy_n(expected.begin() + wrong * 2352, 2352, got.begin() + wrong * 2352);
    EXPECT_EQ(-1, riptest::FirstDifferentFrame(expected, got));
  }
}

}  // namespace
