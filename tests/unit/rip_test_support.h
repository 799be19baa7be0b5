#pragma once
// A rip session over a virtual drive D: with a generated disc, and the
// disc's own samples as the oracle of what a rip must deliver.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/cd_device.h"
#include "rip/rip_session.h"
#include "tests/unit/vdrive_test_support.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"
#include "util/critical_section.h"

namespace riptest {

inline discgen::DiscOptions ThreeTracks(int frames = 450, discgen::Layout layout = discgen::Layout::AudioOnly) {
  discgen::DiscOptions o;
  o.audioTracks = 3;
  o.trackFrames = frames;
  o.layout = layout;
  return o;
}

struct Rig {
  explicit Rig(const discgen::DiscOptions& options = ThreeTracks()) {
    disc = vdrive_test::MakeDisc(options);
    drive->Insert(disc);
    auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
    transport->Attach('D', drive);
    device.InstallTransport(std::move(transport), kTransportSpti);
    device.EnumerateDrives();
    lock.Create();
  }
  std::int32_t Start(int track) const { return disc->tracks()[track - 1].start; }
  std::uint32_t Frames(int track) const { return static_cast<std::uint32_t>(disc->tracks()[track - 1].length); }

  // The track's nominal samples, zeros in the first `head` and last `tail`.
  std::vector<std::uint8_t> Expected(int track, std::size_t head = 0, std::size_t tail = 0) const {
    std::vector<std::uint8_t> bytes(std::size_t{Frames(track)} * 2352);
    for (std::uint32_t f = 0; f < Frames(track); ++f) discgen::FillAudioFrame(Start(track) + f, &bytes[f * 2352]);
    std::fill(bytes.begin(), bytes.begin() + head * 4, 0);
    std::fill(bytes.end() - tail * 4, bytes.end(), 0);
    return bytes;
  }

  // The whole track through GetData in odd-sized pieces; -1 ends it early.
  std::vector<std::uint8_t> Rip(int track, const rip::RipOptions& options, std::size_t piece = 10007) {
    EXPECT_EQ(rip::kRipOpened, session.Open('D', track, options));
    std::vector<std::uint8_t> out, buffer(piece);
    for (;;) {
      const std::intptr_t n = session.GetData(reinterpret_cast<char*>(buffer.data()), piece, nullptr);
      if (n <= 0) {
        last = n;
        return out;
      }
      out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
  }

  vdrive::VirtualCdSystem system{"D"};
  std::shared_ptr<vdrive::Disc> disc;
  std::shared_ptr<vdrive::VirtualDrive> drive = std::make_shared<vdrive::VirtualDrive>();
  CdDevice device;
  CCriticalSection lock;
  rip::RipSession session{device, lock};
  std::intptr_t last = 0;
};

// The first frame where two byte strings differ, -1 when equal.
inline long FirstDifferentFrame(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  const auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (m.first == a.end() && m.second == b.end()) return -1;
  return static_cast<long>((m.first - a.begin()) / 2352);
}

}  // namespace riptest
