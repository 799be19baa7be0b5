// The table of contents from drives that know one form of READ TOC session
// information and full TOC only, or cannot tell their sessions at all, on
// single- and multisession discs. The oracle is the disc model: a track
// ends at the next one or at its own session's lead-out.
#include <gtest/gtest.h>

#include <tuple>

#include "device/cd_device.h"
#include "device_test_support.h"
#include "tests/unit/vdrive_test_support.h"
#include "tools/vdrive/drive_config.h"
#include "tools/vdrive/virtual_scsi_transport.h"

namespace {

struct Variant {
  const char* behaviour;
  unsigned tocCommands;  // READ TOC sent for a multisession disc; one fewer for others
  bool sessionsKnown;
};
// The old drive refuses the MMC session query first; the full TOC then goes
// in the form that answered. The failing drive answers format 0 only.
const Variant kVariants[] = {{"tocform mmc", 4, true},
                             {"tocform old", 5, true},
                             {"tocform both", 4, true},
                             {"fail 0x43 skip=2", 3, false}};

class DeviceTocForms : public ::testing::TestWithParam<std::tuple<Variant, discgen::Layout>> {};

INSTANTIATE_TEST_SUITE_P(Drives, DeviceTocForms,
                         ::testing::Combine(::testing::ValuesIn(kVariants),
                                            ::testing::Values(discgen::Layout::AudioOnly, discgen::Layout::CdExtra)));

TEST_P(DeviceTocForms, TracksEndWhereTheirSessionsSay) {
  const auto [variant, layout] = GetParam();
  discgen::DiscOptions options;
  options.layout = layout;
  options.audioTracks = 4;
  const auto disc = vdrive_test::MakeDisc(options);
  auto drive = std::make_shared<vdrive::VirtualDrive>();
  drive->Insert(disc);
  ASSERT_EQ(0, vdrive::ApplyBehaviour(*drive, variant.behaviour, nullptr));
  devtest::FakeSystem system;
  system.roots = {"D:\\"};
  system.cdroms = {'D'};
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
  transport->Attach('D', drive);
  device.InstallTransport(std::move(transport), kTransportSpti);
  ASSERT_EQ(1, device.EnumerateDrives());
  ASSERT_EQ('D', device.SelectDrive('D'));

  const auto& tracks = disc->tracks();
  const bool multisession = disc->sessions().size() > 1;
  ASSERT_EQ(static_cast<int>(tracks.size()), device.ReadToc());
  EXPECT_EQ(variant.tocCommands - (multisession || !variant.sessionsKnown ? 0 : 1), drive->CommandCount(0x43));
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    TrackEntry entry;
    ASSERT_EQ(1, device.GetTrackEntry(tracks[i].number, &entry));
    const bool toNext = !variant.sessionsKnown && i + 1 < tracks.size();
    const std::int32_t end = toNext ? tracks[i + 1].start : tracks[i].start + tracks[i].length;
    EXPECT_EQ(static_cast<std::uint32_t>(end - 1), entry.end) << tracks[i].number;
  }
}

}  // namespace
