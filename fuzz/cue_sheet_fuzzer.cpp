// Cue sheets of any content for the virtual drive: parsed, laid out over a
// folder of fixture images, and what comes out is read as a drive would.
// File names are only resolved inside that folder; a name that could leave
// it is parsed but not laid out.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/cd_text.h"
#include "fuzz/scratch_dir.h"
#include "tools/vdrive/cdtext_packs.h"
#include "tools/vdrive/cue_sheet.h"
#include "tools/vdrive/disc_image.h"

namespace {

std::string g_dir;

// Images by name and size in bytes (sparse: nothing is written).
const struct {
  const char* name;
  long long bytes;
} kImages[] = {
    {"a.bin", 2352LL * 600}, {"b.bin", 1000}, {"empty.bin", 0}, {"big.bin", 2352LL * 360000},
};
const char kTextFile[] = "text.cdt";

// A name without separators is an entry of the folder, the folder itself
// ("" or ".") or its parent (".."): never anything else on the machine.
bool StaysInFolder(const std::string& name) { return name.find_first_of("/\\:") == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_dir = fuzz::MakeScratchDir("cue-fuzz");
  for (const auto& image : kImages) {
    const int fd = open((g_dir + "/" + image.name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, image.bytes) != 0) std::abort();
    close(fd);
  }
  vdrive::CdTextBlock block;
  block.entries.push_back({"Album", "Artist", "", "", ""});
  block.entries.push_back({"One", "", "", "", ""});
  const std::vector<std::uint8_t> packs = vdrive::BuildCdTextPacks({block}, 1, 1);
  std::FILE* f = std::fopen((g_dir + "/" + kTextFile).c_str(), "wb");
  if (f == nullptr || std::fwrite(packs.data(), 1, packs.size(), f) != packs.size()) std::abort();
  std::fclose(f);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  vdrive::CueSheet cue;
  std::string error;
  if (vdrive::ParseCueSheet(text, &cue, &error) != 0) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (cue.tracks.empty() || cue.tracks.size() > 99 || cue.cdText.size() > 8) __builtin_trap();
  for (const std::string& name : cue.files)
    if (!StaysInFolder(name)) return 0;
  if (!cue.cdTextFile.empty() && !StaysInFolder(cue.cdTextFile)) return 0;

  vdrive::Disc disc;
  if (disc.LoadCueText(text, g_dir, &error) != 0) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (disc.tracks().size() != cue.tracks.size() || disc.sessions().empty()) __builtin_trap();
  std::vector<std::uint8_t> sector(vdrive::kFrameBytes);
  for (const vdrive::DiscTrack& t : disc.tracks()) {
    if (t.length <= 0 || t.start < t.regionStart) __builtin_trap();
    if (disc.ReadRawSector(t.start, sector.data()) != 0) __builtin_trap();
    if (disc.ReadRawSector(t.start + t.length - 1, sector.data()) != 0 && disc.TrackAt(t.start + t.length - 1) >= 0)
      __builtin_trap();
  }

  // The lead-in's CD-TEXT as the drive hands it out, read by the plug-in's
  // own decoder.
  const std::vector<std::uint8_t>& packs = disc.cdTextPacks();
  if (!packs.empty()) {
    if (cue.cdTextFile.empty() && !vdrive::CdTextCrcsValid(packs)) __builtin_trap();
    std::vector<std::uint8_t> reply{static_cast<std::uint8_t>((packs.size() + 2) >> 8),
                                    static_cast<std::uint8_t>(packs.size() + 2), 0, 0};
    reply.insert(reply.end(), packs.begin(), packs.end());
    CdTextStore store;
    DecodeCdText(reply.data(), reply.size(), store);
    vdrive::DecodeCdTextPacks(packs);
  }
  return 0;
}
