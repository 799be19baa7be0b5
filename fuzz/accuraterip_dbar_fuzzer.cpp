// The database's answer for a disc, parsed for the disc its own first header
// names (so that well-formed inputs get past the id checks), then every
// track's verdict against what was parsed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "accuraterip/dbar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> body(data, data + size);  // exact bounds for the sanitizer
  accuraterip::DiscIds expected;
  if (size >= 13) {
    expected.audioTracks = data[0];
    expected.id1 = std::uint32_t(data[1]) | std::uint32_t(data[2]) << 8 | std::uint32_t(data[3]) << 16 |
                   std::uint32_t(data[4]) << 24;
    expected.id2 = std::uint32_t(data[5]) | std::uint32_t(data[6]) << 8 | std::uint32_t(data[7]) << 16 |
                   std::uint32_t(data[8]) << 24;
    expected.cddb = std::uint32_t(data[9]) | std::uint32_t(data[10]) << 8 | std::uint32_t(data[11]) << 16 |
                    std::uint32_t(data[12]) << 24;
  }
  std::vector<accuraterip::DbarResponse> responses;
  const int result = accuraterip::ParseDbar(body.data(), body.size(), expected, &responses);

  // Success accounts for every byte; failure trusts nothing.
  std::size_t bytes = 0;
  for (const auto& r : responses) {
    if (r.ids.audioTracks != expected.audioTracks || r.tracks.size() != std::size_t(expected.audioTracks))
      __builtin_trap();
    bytes += 13 + 9 * r.tracks.size();
  }
  if (result == accuraterip::kDbarOk && bytes != size) __builtin_trap();
  if (result != accuraterip::kDbarOk && !responses.empty()) __builtin_trap();
  if ((result == accuraterip::kDbarEmpty) != (size == 0)) __builtin_trap();

  for (int slot = -1; slot <= expected.audioTracks; ++slot) {
    const std::uint32_t crc = responses.empty() || slot < 0 || slot >= expected.audioTracks
                                  ? 0
                                  : responses.back().tracks[std::size_t(slot)].crc;
    const accuraterip::TrackVerdict verdict = accuraterip::VerifyTrack(responses, slot, crc, ~crc);
    if (verdict.state == accuraterip::kTrackMatch && verdict.confidence == 0) __builtin_trap();
    if (verdict.state != accuraterip::kTrackMatch && verdict.confidence != 0) __builtin_trap();
  }
  return 0;
}
