#include "cddb/disc_id.h"

#include <cstdio>

namespace {

// Absolute seconds of a track start (or the lead-out) as the disc's MSF
// time gives it; an entry the table lacks counts as 0.
std::uint32_t AbsoluteSeconds(const DiscToc& toc, int key) {
  auto it = toc.tracks.find(key);
  if (it == toc.tracks.end()) return 0;
  std::int64_t frames = std::int64_t(it->second.start) + MsfOffsetFor(toc);
  if (frames < 0) frames = 0;
  return static_cast<std::uint32_t>((frames / 4500) * 60 + (frames / 75) % 60);
}

std::uint32_t DigitSum(std::uint32_t n) {
  std::uint32_t sum = 0;
  for (; n > 0; n /= 10) sum += n % 10;
  return sum;
}

}  // namespace

std::uint32_t ComputeDiscId(const DiscToc& toc) {
  const int last = toc.lastTrack < 0 ? 0 : (toc.lastTrack > 99 ? 99 : toc.lastTrack);
  std::uint32_t n = 0;
  for (int i = 1; i <= last; ++i) n += DigitSum(AbsoluteSeconds(toc, i));
  const std::uint32_t t = AbsoluteSeconds(toc, kLeadOutKey) - AbsoluteSeconds(toc, 1);
  return ((n % 255) << 24) | (t << 8) | static_cast<std::uint32_t>(last);
}

std::uint32_t BuildQueryKey(const DiscToc& toc, std::string* key) {
  const std::uint32_t id = ComputeDiscId(toc);
  if (key) key->clear();
  if (id == 0 || !key) return id;
  char piece[32];
  std::snprintf(piece, sizeof piece, "%.8X+%u", static_cast<unsigned>(id), static_cast<unsigned>(id & 0xFF));
  *key = piece;
  auto msfFrames = [&](int number, bool wholeSeconds) -> unsigned {
    auto it = toc.tracks.find(number);
    if (it == toc.tracks.end()) return 0;
    const TrackEntry& e = it->second;
    const unsigned seconds = unsigned(e.minute) * 60 + e.second;
    return wholeSeconds ? seconds : seconds * 75 + e.frame;
  };
  for (unsigned i = 1; i <= (id & 0xFF); ++i) {
    std::snprintf(piece, sizeof piece, "+%u", msfFrames(static_cast<int>(i), false));
    *key += piece;
  }
  std::snprintf(piece, sizeof piece, "+%u", msfFrames(kLeadOutKey, true));
  *key += piece;
  return id;
}
