// archeck: the AccurateRip ids of a disc image and the checksums of its
// audio tracks, as the plug-in's core computes them (the table of contents
// read through its own device layer from the in-process virtual drive, the
// samples fed in pieces that split samples), for cross-checks with other
// implementations:
//   ids NNN ID1 ID2 CDDB
//   path accuraterip/...
//   track NUMBER SLOT V1 V2
#include <cstdio>
#include <memory>
#include <utility>
#include <string>

#include "accuraterip/checksum.h"
#include "accuraterip/disc_ids.h"
#include "device/cd_text_device.h"
#include "tools/vdrive/disc_image.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: archeck <cue>\n");
    return 2;
  }
  auto drive = std::make_shared<vdrive::VirtualDrive>();
  vdrive::Disc disc;
  std::string error;
  if (drive->InsertCue(argv[1], &error) != 0 || disc.LoadCue(argv[1], &error) != 0) {
    std::fprintf(stderr, "archeck: %s\n", error.c_str());
    return 1;
  }
  vdrive::VirtualCdSystem system("D");
  auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
  transport->Attach('D', drive);
  CdTextDevice device;
  device.InstallTransport(std::move(transport), kTransportSpti);
  if (device.EnumerateDrives() != 1 || device.SelectDrive('D') != 'D' || device.ReadToc() <= 0) {
    std::fprintf(stderr, "archeck: the drive did not give its table of contents\n");
    return 1;
  }
  const DiscToc& toc = device.Toc();
  accuraterip::DiscIds ids;
  if (!accuraterip::ComputeDiscIds(toc, &ids)) {
    std::fprintf(stderr, "archeck: no audio track\n");
    return 1;
  }
  std::printf("ids %03d %08x %08x %08x\n", ids.audioTracks, static_cast<unsigned>(ids.id1),
              static_cast<unsigned>(ids.id2), static_cast<unsigned>(ids.cddb));
  std::printf("path %s\n", accuraterip::RequestPath("", ids).c_str() + 1);

  std::uint8_t sector[vdrive::kFrameBytes];
  constexpr std::size_t kSplit = 1001;  // not a whole number of samples
  for (int n = 1; n <= toc.lastTrack; ++n) {
    accuraterip::TrackPlace place;
    if (!accuraterip::PlaceTrack(toc, n, &place)) continue;
    const TrackEntry& track = toc.tracks.at(n);
    accuraterip::TrackChecksum sums(track.length * accuraterip::kSamplesPerFrame, place.first, place.last);
    for (std::uint32_t f = 0; f < track.length; ++f) {
      if (disc.ReadRawSector(static_cast<std::int32_t>(track.start + f), sector) != 0) {
        std::fprintf(stderr, "archeck: track %d: LBA %u unreadable\n", n, track.start + f);
        return 1;
      }
      sums.Feed(sector, kSplit);
      sums.Feed(sector + kSplit, sizeof sector - kSplit);
    }
    if (!sums.Complete()) return 1;
    std::printf("track %d %d %08x %08x\n", n, place.slot, static_cast<unsigned>(sums.V1()),
                static_cast<unsigned>(sums.V2()));
  }
  return 0;
}
