#include "accuraterip/dbar.h"

#include <utility>

namespace accuraterip {

namespace {

constexpr std::size_t kHeaderBytes = 13;
constexpr std::size_t kTrackBytes = 9;

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

int ParseDbar(const std::uint8_t* data, std::size_t length, const DiscIds& expected,
              std::vector<DbarResponse>* responses) {
  if (!responses) return kDbarMalformed;
  responses->clear();
  if (!data || length == 0) return kDbarEmpty;
  auto refuse = [responses]() {
    responses->clear();
    return kDbarMalformed;
  };
  std::size_t at = 0;
  while (at < length) {
    if (length - at < kHeaderBytes) return refuse();
    DbarResponse response;
    response.ids.audioTracks = data[at];
    response.ids.id1 = Le32(data + at + 1);
    response.ids.id2 = Le32(data + at + 5);
    response.ids.cddb = Le32(data + at + 9);
    at += kHeaderBytes;
    const DiscIds& ids = response.ids;
    if (ids.audioTracks == 0 || ids.audioTracks != expected.audioTracks || ids.id1 != expected.id1 ||
        ids.id2 != expected.id2 || ids.cddb != expected.cddb)
      return refuse();
    const std::size_t count = static_cast<std::size_t>(ids.audioTracks);
    if ((length - at) / kTrackBytes < count) return refuse();
    response.tracks.resize(count);
    for (DbarTrack& track : response.tracks) {
      track.confidence = data[at];
      track.crc = Le32(data + at + 1);
      track.offsetCrc = Le32(data + at + 5);
      at += kTrackBytes;
    }
    responses->push_back(std::move(response));
  }
  return kDbarOk;
}

TrackVerdict VerifyTrack(const std::vector<DbarResponse>& responses, int slot, std::uint32_t v1, std::uint32_t v2) {
  TrackVerdict verdict;
  if (slot < 0) return verdict;
  for (const DbarResponse& response : responses) {
    if (static_cast<std::size_t>(slot) >= response.tracks.size()) continue;
    const DbarTrack& track = response.tracks[static_cast<std::size_t>(slot)];
    if (track.confidence == 0) continue;
    if (track.crc == v1 || track.crc == v2) {
      verdict.state = kTrackMatch;
      if (track.confidence > verdict.confidence) verdict.confidence = track.confidence;
    } else if (verdict.state == kTrackNotInDatabase) {
      verdict.state = kTrackMismatch;
    }
  }
  return verdict;
}

}  // namespace accuraterip
