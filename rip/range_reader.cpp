#include "rip/range_reader.h"

#include <algorithm>
#include <cstring>

namespace rip {

int RangeReader::Read(std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged,
                      std::uint8_t* status) {
  const std::int32_t end = lba + static_cast<std::int32_t>(count);
  const std::int32_t lo = window_.ReadableLo(), hi = window_.ReadableHi();
  // Split at the readable range's bounds: below, inside, above.
  const std::int32_t cuts[4] = {lba, std::clamp(lo, lba, end), std::clamp(hi, std::clamp(lo, lba, end), end), end};
  for (int part = 0; part < 3; ++part) {
    const std::int32_t a = cuts[part], b = cuts[part + 1];
    if (a >= b) continue;
    const auto i = static_cast<std::uint32_t>(a - lba), n = static_cast<std::uint32_t>(b - a);
    int r;
    if (part == 1) {
      r = ReadInside(a, n, audio + i * kFrameBytes, flagged + i, status + i);
    } else {
      r = ReadEdge(part == 0 ? &leadIn_ : &leadOut_, a, n, audio + i * kFrameBytes, flagged + i, status + i);
    }
    if (r != kReadGood) return r;
  }
  return kReadGood;
}

int RangeReader::ReadInside(std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged,
                            std::uint8_t* status) {
  int r = source_.Read(lba, count, audio, flagged);
  if (r == kReadGood) {
    std::memset(status, kFrameOk, count);
    return r;
  }
  if (r != kReadFailed) return r;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t* frame = audio + i * kFrameBytes;
    // A single frame that failed as part of the run fails alone too.
    r = count == 1 ? kReadFailed : source_.Read(lba + static_cast<std::int32_t>(i), 1, frame, flagged + i);
    if (r == kReadDriveGone || r == kReadStopped) return r;
    status[i] = r == kReadGood ? kFrameOk : kFrameFailed;
    if (r != kReadGood) {
      std::memset(frame, 0, kFrameBytes);
      flagged[i] = 0;
    }
  }
  return kReadGood;
}

int RangeReader::ReadEdge(int* state, std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged,
                          std::uint8_t* status) {
  int r = kReadFailed;
  // Once refused, never asked again: the drive cannot read there.
  if (*state != kEdgeZeroed) r = source_.Read(lba, count, audio, flagged);
  if (r == kReadDriveGone || r == kReadStopped) return r;
  if (r == kReadGood) {
    if (*state == kEdgeNotNeeded) *state = kEdgeRead;
    std::memset(status, kFrameOk, count);
    return r;
  }
  *state = kEdgeZeroed;
  std::memset(audio, 0, count * kFrameBytes);
  std::memset(flagged, 0, count);
  std::memset(status, kFrameZeroed, count);
  return kReadGood;
}

}  // namespace rip
