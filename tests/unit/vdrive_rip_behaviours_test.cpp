// The drive behaviours a ripper must cope with: read offset, lead-in/out
// over-read, read cache, flaky and scattered sectors, C2 pointers, the
// capabilities page. The oracle is the generator's audio: the 4 bytes of
// absolute sample s hold s itself (little-endian), 0 outside the disc.
#include <gtest/gtest.h>

#include <vector>

#include "tests/unit/vdrive_test_support.h"
#include "tools/vdrive/drive_config.h"

namespace {

using vdrive::CommandResult;

constexpr std::uint32_t kFrame = 2352, kC2 = 294;
constexpr std::int32_t kLeadOut = 200;

// The disc's audio of `frames` frames from `lba` as a drive with offset n
// delivers it.
std::vector<std::uint8_t> Oracle(std::int32_t lba, std::uint32_t frames = 1, int n = 0) {
  std::vector<std::uint8_t> out(frames * kFrame);
  for (std::uint32_t k = 0; k < frames * 588; ++k) {
    const std::int64_t s = std::int64_t(lba) * 588 + k - n;
    const std::uint32_t v = (s >= 0 && s < kLeadOut * 588) ? static_cast<std::uint32_t>(s) : 0;
    for (int j = 0; j < 4; ++j) out[4 * k + j] = static_cast<std::uint8_t>(v >> (8 * j));
  }
  return out;
}

struct Rig {
  Rig() {
    discgen::DiscOptions o;
    o.audioTracks = 2;
    o.trackFrames = 100;
    drive.Insert(vdrive_test::MakeDisc(o));
  }
  void Apply(const char* text) {
    std::string error;
    ASSERT_EQ(0, vdrive::ApplyBehaviour(drive, text, &error)) << error;
  }
  // READ CD, CD-DA, user data (byte 9 0x10) or user data + C2 (0x12).
  CommandResult Read(std::int32_t lba, std::uint8_t frames, std::uint8_t byte9 = 0x10) {
    const std::uint32_t u = static_cast<std::uint32_t>(lba);
    const std::uint8_t cdb[12] = {0xBE, 0x04, std::uint8_t(u >> 24), std::uint8_t(u >> 16), std::uint8_t(u >> 8),
                                  std::uint8_t(u), 0, 0, frames, byte9, 0, 0};
    buf.assign(frames * (kFrame + kC2), 0xEE);
    return drive.Execute(cdb, 12, buf.data(), static_cast<std::uint32_t>(buf.size()));
  }
  std::vector<std::uint8_t> Frames(std::uint32_t n = 1) const { return {buf.begin(), buf.begin() + n * kFrame}; }
  vdrive::VirtualDrive drive;
  std::vector<std::uint8_t> buf;
};

class VdriveReadOffset : public ::testing::TestWithParam<int> {};

TEST_P(VdriveReadOffset, ShiftsTheDiscBy4NBytesWithSilenceBeyondItsEdges) {
  const int n = GetParam();
  Rig rig;
  rig.Apply(("offset " + std::to_string(n)).c_str());
  // Without over-read the lead-in and lead-out are out of range.
  EXPECT_EQ(0x21, rig.Read(-1, 1).sense.asc);
  EXPECT_EQ(0x21, rig.Read(kLeadOut - 1, 2).sense.asc);
  rig.Apply("overread on");
  for (std::int32_t lba : {-150, -10, -2, 0, 1, 98, 197, 199, 200, 348}) {
    ASSERT_TRUE(rig.Read(lba, 2).ok()) << lba;
    EXPECT_TRUE(Oracle(lba, 2, n) == rig.Frames(2)) << lba;
  }
  EXPECT_EQ(0x21, rig.Read(-151, 1).sense.asc);
  EXPECT_EQ(0x21, rig.Read(kLeadOut + 149, 2).sense.asc);
}

INSTANTIATE_TEST_SUITE_P(Offsets, VdriveReadOffset, ::testing::Values(6, -30, 667));

// Flaky reads are wrong k times, differently each time; C2 flags exactly the
// wrong bytes. The cache repeats what it holds (errors included) without a
// disc read and forgets it after enough other reads.
TEST(VdriveRipBehaviours, FlakySectorsC2PointersAndTheCache) {
  Rig rig;
  rig.Apply("c2 off; flaky 50 times=3; flaky 120 times=1; cache 64");  // 64 KiB: 27 frames
  EXPECT_EQ(0x24, rig.Read(50, 1, 0x12).sense.asc);
  rig.Apply("c2 on");
  const std::vector<std::uint8_t> right = Oracle(50);
  std::vector<std::uint8_t> before;
  for (int i = 0; i < 4; ++i) {
    rig.drive.SetCache(64);  // empties it: every read reaches the disc
    ASSERT_TRUE(rig.Read(50, 1, 0x12).ok());
    for (std::uint32_t b = 0; b < kFrame; ++b) {
      ASSERT_EQ(rig.buf[b] != right[b], (rig.buf[kFrame + b / 8] >> (7 - b % 8)) & 1) << "read " << i << " byte " << b;
    }
    EXPECT_EQ(i == 3, right == rig.Frames()) << i;
    EXPECT_NE(before, rig.Frames()) << i;  // wrong differently each time
    before = rig.Frames();
  }

  // The cache: the wrong first read of 120 comes back from memory.
  rig.drive.ResetCounters();
  ASSERT_TRUE(rig.Read(120, 1, 0x12).ok());
  const std::vector<std::uint8_t> wrong = rig.buf;
  ASSERT_TRUE(rig.Read(120, 1, 0x12).ok());
  EXPECT_EQ(wrong, rig.buf);
  EXPECT_EQ(1u, rig.drive.DiscFramesRead());
  ASSERT_TRUE(rig.Read(130, 27).ok());  // pushes 120 out
  ASSERT_TRUE(rig.Read(120, 1, 0x12).ok());
  EXPECT_EQ(29u, rig.drive.DiscFramesRead());
  EXPECT_NE(wrong, rig.buf);
}

TEST(VdriveRipBehaviours, ScatteredSectorsAreAlwaysWrongOrUnreadable) {
  Rig rig;
  rig.Apply("scatter seed=7 wrong=3 unreadable=2 from=10 to=190");
  const vdrive::ScatterList s = rig.drive.ScatteredSectors();
  ASSERT_EQ(3u, s.wrong.size());
  ASSERT_EQ(2u, s.unreadable.size());
  for (int i = 0; i < 2; ++i) {
    for (std::int32_t lba : s.wrong) EXPECT_TRUE(rig.Read(lba, 1).ok() && Oracle(lba) != rig.Frames()) << lba;
  }
  for (std::int32_t lba : s.unreadable) EXPECT_EQ(0x11, rig.Read(lba - 1, 3).sense.asc) << lba;
  std::string error;
  EXPECT_EQ(-1, vdrive::ApplyBehaviour(rig.drive, "scatter seed=1 wrong=5 unreadable=0 from=0 to=4", &error));
}

// MODE SENSE(10) page 2Ah as a ripper decodes it; `clear` resets it.
TEST(VdriveRipBehaviours, ModeSenseCapabilitiesPage) {
  Rig rig;
  std::vector<std::uint8_t> a;
  auto sense = [&](std::uint8_t allocation) {
    const std::uint8_t cdb[10] = {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, allocation, 0};
    a.assign(64, 0xEE);
    return rig.drive.Execute(cdb, 10, a.data(), 64);
  };
  for (const bool on : {true, false}) {
    rig.Apply(on ? "cache 2048; c2 on" : "clear");
    ASSERT_EQ(28u, sense(36).transferred);
    // Mode data length, no block descriptors, page 2Ah of 20 bytes.
    EXPECT_EQ((std::vector<int>{0, 26, 0, 0, 0x2A, 0x12}), (std::vector<int>{a[0], a[1], a[6], a[7], a[8], a[9]}));
    EXPECT_EQ(0x03 | (on ? 0x10 : 0), a[8 + 5] & 0x13);  // CD-DA, accurate, C2
    EXPECT_EQ(on ? 2048 : 0, (a[8 + 12] << 8) | a[8 + 13]);
    EXPECT_GT((a[8 + 14] << 8) | a[8 + 15], 0);
  }
  EXPECT_EQ(12u, sense(12).transferred);
  EXPECT_EQ(0xEE, a[12]);
}

}  // namespace
