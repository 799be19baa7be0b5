#include "accuraterip/checksum.h"

namespace accuraterip {

namespace {

constexpr std::uint32_t kSkippedSamples = 5 * kSamplesPerFrame;

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

TrackChecksum::TrackChecksum(std::uint32_t samples, bool first, bool last)
    : samples_(samples), from_(first ? kSkippedSamples : 1), to_(samples) {
  // A last track of 5 frames or less has nothing left that counts.
  if (last) to_ = samples > kSkippedSamples ? samples - kSkippedSamples : 0;
}

void TrackChecksum::Add(std::uint32_t sample) {
  const std::uint32_t p = ++fed_;
  if (p < from_ || p > to_) return;
  const std::uint64_t product = std::uint64_t(sample) * p;
  v1_ += static_cast<std::uint32_t>(product);
  v2_ += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
}

void TrackChecksum::Feed(const void* data, std::size_t length) {
  const std::uint8_t* in = static_cast<const std::uint8_t*>(data);
  if (!in) return;
  // Complete a sample split by the previous call first.
  while (length > 0 && pendingBytes_ > 0 && fed_ < samples_) {
    pending_[pendingBytes_++] = *in++;
    --length;
    if (pendingBytes_ == kBytesPerSample) {
      pendingBytes_ = 0;
      Add(Le32(pending_));
    }
  }
  while (length >= kBytesPerSample && fed_ < samples_) {
    Add(Le32(in));
    in += kBytesPerSample;
    length -= kBytesPerSample;
  }
  while (length > 0 && fed_ < samples_) {
    pending_[pendingBytes_++] = *in++;
    --length;
  }
}

std::uint32_t OffsetFrameCrc(const std::uint8_t* frame) {
  std::uint32_t crc = 0;
  if (!frame) return crc;
  for (std::uint32_t j = 0; j < kSamplesPerFrame; ++j) crc += Le32(frame + j * kBytesPerSample) * (j + 1);
  return crc;
}

}  // namespace accuraterip
