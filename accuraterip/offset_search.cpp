#include "accuraterip/offset_search.h"

#include <algorithm>
#include <map>

namespace accuraterip {

namespace {

constexpr std::size_t kShifts = 2 * kMaxOffset + 1;

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

// crcs[b]: the offset-frame checksum of the window's 588 samples from b on,
// i.e. with the correction b - kMaxOffset. Running sums keep it one pass:
// moving the frame one sample on drops w[b] (weight 1), adds w[b + 588]
// (weight 589) and lowers every weight by one.
void ShiftedCrcs(const std::uint8_t* window, std::vector<std::uint32_t>& crcs) {
  crcs.assign(kShifts, 0);
  auto w = [window](std::size_t i) { return Le32(window + i * kBytesPerSample); };
  std::uint32_t crc = OffsetFrameCrc(window), sum = 0;
  for (std::size_t j = 0; j < kSamplesPerFrame; ++j) sum += w(j);
  crcs[0] = crc;
  for (std::size_t b = 0; b + 1 < kShifts; ++b) {
    const std::uint32_t out = w(b), in = w(b + kSamplesPerFrame);
    sum = sum - out + in;
    crc = crc - out + in * (kSamplesPerFrame + 1) - sum;
    crcs[b + 1] = crc;
  }
}

}  // namespace

std::vector<OffsetCandidate> FindOffsets(const std::vector<OffsetWindow>& windows,
                                         const std::vector<DbarResponse>& responses) {
  // offset -> slot -> the highest confidence agreeing there.
  std::map<int, std::map<int, int>> agreeing;
  std::vector<std::uint32_t> crcs;
  for (const OffsetWindow& window : windows) {
    if (!window.bytes || window.slot < 0) continue;
    const std::size_t slot = static_cast<std::size_t>(window.slot);
    ShiftedCrcs(window.bytes, crcs);
    for (const DbarResponse& response : responses) {
      if (slot >= response.tracks.size()) continue;
      const DbarTrack& entry = response.tracks[slot];
      if (entry.confidence == 0 || entry.offsetCrc == 0) continue;
      std::size_t found = 0, at = 0;
      for (std::size_t b = 0; b < kShifts && found < 2; ++b)
        if (crcs[b] == entry.offsetCrc) {
          ++found;
          at = b;
        }
      if (found != 1) continue;
      int& best = agreeing[static_cast<int>(at) - kMaxOffset][window.slot];
      best = std::max(best, static_cast<int>(entry.confidence));
    }
  }
  std::vector<OffsetCandidate> candidates;
  for (const auto& offset : agreeing) {
    OffsetCandidate candidate;
    candidate.offset = offset.first;
    for (const auto& track : offset.second) {
      ++candidate.tracks;
      candidate.confidence += track.second;
    }
    candidates.push_back(candidate);
  }
  std::sort(candidates.begin(), candidates.end(), [](const OffsetCandidate& a, const OffsetCandidate& b) {
    if (a.tracks != b.tracks) return a.tracks > b.tracks;
    if (a.confidence != b.confidence) return a.confidence > b.confidence;
    const int da = a.offset < 0 ? -a.offset : a.offset, db = b.offset < 0 ? -b.offset : b.offset;
    return da != db ? da < db : a.offset < b.offset;
  });
  return candidates;
}

bool DetectOffset(const std::vector<OffsetCandidate>& candidates, int* offset) {
  if (candidates.empty() || !offset) return false;
  const OffsetCandidate& best = candidates.front();
  if (best.tracks < 2 || best.confidence < 2) return false;
  if (candidates.size() > 1 && candidates[1].tracks == best.tracks && candidates[1].confidence == best.confidence)
    return false;
  *offset = best.offset;
  return true;
}

}  // namespace accuraterip
