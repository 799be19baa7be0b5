// devread: reads a disc image through the plug-in's own device layer (the
// CdTextDevice chain over the in-process virtual drive) and prints what it
// decoded, one fact per line, for cross-checks with other readers:
//   disctype T
//   track N audio|data start S length L
//   cdtext B 0xLL E field text
#include <cstdio>
#include <memory>
#include <string>

#include "device/cd_text_device.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: devread <cue>\n");
    return 2;
  }
  auto drive = std::make_shared<vdrive::VirtualDrive>();
  std::string error;
  if (drive->InsertCue(argv[1], &error) != 0) {
    std::fprintf(stderr, "devread: %s\n", error.c_str());
    return 1;
  }
  vdrive::VirtualCdSystem system("D");  // the one drive the tool reads
  auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
  transport->Attach('D', drive);

  CdTextDevice device;
  device.InstallTransport(std::move(transport), kTransportSpti);
  if (device.EnumerateDrives() != 1 || device.SelectDrive('D') != 'D') {
    std::fprintf(stderr, "devread: the drive did not answer INQUIRY\n");
    return 1;
  }
  const int last = device.ReadToc();
  if (last <= 0) {
    std::fprintf(stderr, "devread: READ TOC failed\n");
    return 1;
  }
  std::printf("disctype %d\n", device.Toc().discType);
  for (int n = 1; n <= last; ++n) {
    TrackEntry entry;
    if (!device.GetTrackEntry(n, &entry)) continue;
    std::printf("track %d %s start %u length %u\n", n, entry.dataTrack ? "data" : "audio", entry.start,
                entry.length);
  }
  static const char* const kFields[] = {"title", "performer", "songwriter", "composer", "arranger"};
  std::size_t block = 0;
  for (const auto& [language, entries] : device.CdText()) {
    for (std::size_t e = 0; e < entries.size(); ++e) {
      const std::string* texts[] = {&entries[e].title, &entries[e].performer, &entries[e].songwriter,
                                    &entries[e].composer, &entries[e].arranger};
      for (int f = 0; f < 5; ++f)
        if (!texts[f]->empty()) std::printf("cdtext %zu 0x%02X %zu %s %s\n", block, language, e, kFields[f], texts[f]->c_str());
    }
    ++block;
  }
  return 0;
}
