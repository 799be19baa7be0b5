#pragma once
// AccurateRip's track checksums over a track's samples, computed as the
// samples stream by, and the checksum of one frame that offset detection
// compares.
//
// A sample is one stereo pair read as a 32-bit little-endian value s[k]
// (left channel low), k = 0 at the track's first sample once the read
// offset is corrected; its position is p = k + 1. Then
//   v1 = sum of s[k] * p                          (mod 2^32)
//   v2 = sum of hi32(s[k] * p) + lo32(s[k] * p)   (mod 2^32, the product in 64 bits)
// over the positions that count: all of them, except that the disc's first
// audio track leaves out p < 5 * 588 (its first 5 frames less one sample)
// and the last audio track leaves out p > samples - 5 * 588 (its last 5
// frames); the positions of left-out samples still count for the rest.
#include <cstddef>
#include <cstdint>

namespace accuraterip {

constexpr std::uint32_t kSamplesPerFrame = 588;
constexpr std::uint32_t kBytesPerSample = 4;

class TrackChecksum {
 public:
  // `samples`: the track's length (its frames * 588); `first`/`last` from PlaceTrack.
  TrackChecksum(std::uint32_t samples, bool first, bool last);

  // The next bytes of the track in order, in chunks of any size (a sample
  // may be split between two calls). Bytes past the track's end are ignored.
  void Feed(const void* data, std::size_t length);

  bool Complete() const { return fed_ == samples_; }  // every sample fed
  std::uint32_t V1() const { return v1_; }
  std::uint32_t V2() const { return v2_; }

 private:
  void Add(std::uint32_t sample);

  std::uint32_t samples_;
  std::uint32_t from_;  // positions from_ <= p <= to_ count
  std::uint32_t to_;
  std::uint32_t fed_ = 0;
  std::uint8_t pending_[kBytesPerSample] = {};
  std::size_t pendingBytes_ = 0;
  std::uint32_t v1_ = 0;
  std::uint32_t v2_ = 0;
};

// The checksum of a track's offset frame, its frame 450 (samples 450 * 588
// up to 451 * 588 of the offset-corrected track): the v1 sum over those 588
// samples alone, positions counted from 1 at the frame's first sample,
//   sum over j = 0..587 of s[450 * 588 + j] * (j + 1)   (mod 2^32).
// This is the definition CUETools' AccurateRip verifier uses (its CRC450,
// taken from running sums at the frame's bounds) and the one ARver's notes
// "Offset detection" describe ("an ARv1 offset finding checksum calculated
// only from audio frames in the CD sector 450"). `frame` holds 588 samples.
constexpr std::uint32_t kOffsetFrame = 450;
std::uint32_t OffsetFrameCrc(const std::uint8_t* frame);

}  // namespace accuraterip
