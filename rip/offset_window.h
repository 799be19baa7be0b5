#pragma once
// Where a track's bytes lie in what the drive delivers. With a read offset
// of N samples, track sample i is the sample the drive delivers N samples
// after the track's nominal sample i: track byte p is byte
// (start * 588 + N) * 4 + p of the drive's stream, whose frame L holds
// bytes [L * 2352, (L + 1) * 2352). Frames outside [readableLo, readableHi)
// (the lead-in below the track's run of audio tracks, the lead-out past
// its session) may or may not be readable.
#include <cstdint>

namespace rip {

class OffsetWindow {
 public:
  void Setup(std::int32_t trackStart, std::uint32_t trackFrames, int offset, std::int32_t readableLo,
             std::int32_t readableHi);

  std::uint64_t TrackBytes() const { return std::uint64_t{frames_} * 2352; }
  // The drive frames that hold the track: [FirstLba, EndLba).
  std::int32_t FirstLba() const;
  std::int32_t EndLba() const;
  // The drive frame holding track byte p and p's place in it.
  void Locate(std::uint64_t trackByte, std::int32_t* lba, std::uint32_t* within) const;
  // The track frames [*first, *last] that hold bytes of drive frame lba;
  // false when none does.
  bool TrackFramesOf(std::int32_t lba, std::uint32_t* first, std::uint32_t* last) const;

  bool Readable(std::int32_t lba) const { return lba >= lo_ && lba < hi_; }
  std::int32_t ReadableLo() const { return lo_; }
  std::int32_t ReadableHi() const { return hi_; }

 private:
  std::int64_t firstByte_ = 0;  // drive-stream byte of track byte 0
  std::uint32_t frames_ = 0;
  std::int32_t lo_ = 0, hi_ = 0;
};

// Division rounding towards minus infinity, for offsets below zero.
inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace rip
