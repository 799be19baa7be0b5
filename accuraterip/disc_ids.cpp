#include "accuraterip/disc_ids.h"

#include <cstdio>

#include "cddb/disc_id.h"

namespace accuraterip {

namespace {

bool IsTrack(int key) { return key != kDiscKey && key != kLeadOutKey; }

}  // namespace

bool ComputeDiscIds(const DiscToc& toc, DiscIds* ids) {
  if (!ids) return false;
  *ids = DiscIds{};
  const auto leadOut = toc.tracks.find(kLeadOutKey);
  if (leadOut == toc.tracks.end()) return false;
  // Sums wrap at 32 bits as the database's own ids do.
  std::uint32_t id1 = 0, id2 = 0, number = 0, lastStart = 0;
  for (const auto& entry : toc.tracks) {
    if (!IsTrack(entry.first) || entry.second.dataTrack) continue;
    const std::uint32_t start = entry.second.start;
    ++number;
    id1 += start;
    id2 += (start > 0 ? start : 1) * number;
    lastStart = start;
  }
  const std::uint32_t end = leadOut->second.start;
  if (number == 0 || end <= lastStart) return false;
  ids->audioTracks = static_cast<int>(number);
  ids->id1 = id1 + end;
  ids->id2 = id2 + end * (number + 1);
  ids->cddb = ComputeDiscId(toc);
  return true;
}

std::string RequestPath(const std::string& server, const DiscIds& ids) {
  char id1[9];
  std::snprintf(id1, sizeof id1, "%08x", static_cast<unsigned>(ids.id1));
  char tail[80];
  std::snprintf(tail, sizeof tail, "accuraterip/%c/%c/%c/dBAR-%03d-%s-%08x-%08x.bin", id1[7], id1[6], id1[5],
                ids.audioTracks, id1, static_cast<unsigned>(ids.id2), static_cast<unsigned>(ids.cddb));
  std::string path = server;
  if (path.empty() || path.back() != '/') path += '/';
  return path + tail;
}

bool PlaceTrack(const DiscToc& toc, int number, TrackPlace* place) {
  if (!place || !IsTrack(number)) return false;
  *place = TrackPlace{};
  const auto it = toc.tracks.find(number);
  if (it == toc.tracks.end() || it->second.dataTrack) return false;
  int slot = 0;
  bool audioBefore = false, audioAfter = false;
  for (const auto& entry : toc.tracks) {
    if (!IsTrack(entry.first)) continue;
    if (entry.first < number) {
      ++slot;
      audioBefore = audioBefore || !entry.second.dataTrack;
    } else if (entry.first > number) {
      audioAfter = audioAfter || !entry.second.dataTrack;
    }
  }
  place->slot = slot;
  place->first = !audioBefore;
  place->last = !audioAfter;
  return true;
}

}  // namespace accuraterip
