// The table of contents on drives that know only one form of READ TOC
// session information and full TOC (MMC's format in byte 2, or the older
// control-byte bits), on single- and multisession discs. The oracle is the
// disc model itself: every track ends at the next track or at its own
// session's lead-out.
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
  unsigned tocCommands;  // READ TOC commands one table takes on a multisession disc, one less on others
};

class DeviceTocForms : public ::testing::TestWithParam<std::tuple<Variant, discgen::Layout>> {
 protected:
  void SetUp() override {
    discgen::DiscOptions options;
    options.layout = std::get<1>(GetParam());
    options.audioTracks = 4;
    options.name = "forms";
    disc_ = vdrive_test::MakeDisc(options);
    drive_->Insert(disc_);
    system_.roots = {"D:\\"};
    system_.cdroms = {'D'};
    auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
    transport->Attach('D', drive_);
    device_.InstallTransport(std::move(transport), kTransportSpti);
    ASSERT_EQ(1, device_.EnumerateDrives());
    ASSERT_EQ('D', device_.SelectDrive('D'));
    ASSERT_EQ(0, vdrive::ApplyBehaviour(*drive_, std::get<0>(GetParam()).behaviour, nullptr));
  }
  bool Multisession() const { return disc_->sessions().size() > 1; }

  // Tracks end where the disc model says, or, where the drive could not
  // tell its sessions, at the next track.
  void ExpectTable(bool sessionsKnown) {
    ASSERT_EQ(static_cast<int>(disc_->tracks().size()), device_.ReadToc());
    for (std::size_t i = 0; i < disc_->tracks().size(); ++i) {
      const vdrive::DiscTrack& track = disc_->tracks()[i];
      TrackEntry entry;
      ASSERT_EQ(1, device_.GetTrackEntry(track.number, &entry));
      EXPECT_EQ(static_cast<std::uint32_t>(track.start), entry.start) << track.number;
      const std::int32_t end = sessionsKnown || i + 1 == disc_->tracks().size()
                                   ? track.start + track.length
                                   : disc_->tracks()[i + 1].start;
      EXPECT_EQ(static_cast<std::uint32_t>(end - 1), entry.end) << track.number;
    }
  }

  devtest::FakeSystem system_;
  devtest::ScopedSystem scoped_{system_};
  std::shared_ptr<vdrive::VirtualDrive> drive_ = std::make_shared<vdrive::VirtualDrive>();
  std::shared_ptr<vdrive::Disc> disc_;
  CdDevice device_;
};

// MMC form accepted: format 0 twice, session information, full TOC. Old
// drive: the session information is refused once in the MMC form first,
// and the full TOC then asked in the form that answered.
const Variant kVariants[] = {{"tocform mmc", 4}, {"tocform old", 5}, {"tocform both", 4}};

INSTANTIATE_TEST_SUITE_P(Drives, DeviceTocForms,
                         ::testing::Combine(::testing::ValuesIn(kVariants),
                                            ::testing::Values(discgen::Layout::AudioOnly, discgen::Layout::CdExtra)));

TEST_P(DeviceTocForms, SessionsComeOutRightInEitherForm) {
  drive_->ResetCounters();
  ExpectTable(true);
  EXPECT_EQ(std::get<0>(GetParam()).tocCommands - (Multisession() ? 0 : 1), drive_->CommandCount(0x43));
}

// Format 0 answers, session information fails in both forms: a single
// session, not "no table of contents".
TEST_P(DeviceTocForms, AFailedSessionQueryMeansOneSession) {
  ASSERT_EQ(0, vdrive::ApplyBehaviour(*drive_, "fail 0x43 skip=2", nullptr));
  ExpectTable(!Multisession());
}

}  // namespace
