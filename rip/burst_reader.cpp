#include "rip/burst_reader.h"

#include <algorithm>
#include <cstring>

namespace rip {

namespace {
// A read that cannot be lined up is asked once more before it is taken at
// its nominal place (a drive landing late leaves a gap no overlap shows).
constexpr int kReadsPerRun = 2;
}  // namespace

void BurstReader::Seek(std::int32_t lba) {
  next_ = lba;
  haveReference_ = false;
}

int BurstReader::FindOverlap(const std::uint8_t* frames, std::uint32_t count, const std::uint8_t* reference) {
  // The drive landed early by i frames: frames[0..i] were delivered before.
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    if (std::memcmp(frames + std::size_t{i} * kFrameBytes, reference, kCompareBytes) == 0)
      return static_cast<int>(i + 1);
  }
  return -1;
}

bool BurstReader::SameHeads(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    if (std::memcmp(a + std::size_t{i} * kFrameBytes, b + std::size_t{i} * kFrameBytes, kCompareBytes) != 0)
      return false;
  }
  return true;
}

int BurstReader::AnchoredRead(std::int32_t lba, std::uint32_t count) {
  int r = range_.Read(lba, count, anchor_, flags_, status_);
  for (int attempt = 0; r == kReadGood && attempt < 2; ++attempt) {
    r = range_.Read(lba, count, scratch_, flags_, status_);
    if (r != kReadGood || SameHeads(anchor_, scratch_, count)) break;
    std::memcpy(anchor_, scratch_, std::size_t{count} * kFrameBytes);
  }
  return r;
}

int BurstReader::Next(Chunk* out) {
  const std::int32_t end = window_.EndLba();
  *out = Chunk{scratch_, next_, 0};
  if (next_ >= end) return kReadGood;
  // Overlap only inside the readable range: zeros line up with anything.
  const bool overlap = overlapOn_ && haveReference_ && window_.Readable(next_ - 1) && window_.Readable(next_);
  const std::int32_t from = overlap ? next_ - 1 : next_;
  const auto count = static_cast<std::uint32_t>(std::min<std::int64_t>(kMaxFramesPerCommand, end - from));
  std::uint32_t first = overlap ? 1 : 0;
  for (int attempt = 0; attempt < kReadsPerRun; ++attempt) {
    const int r =
        overlapOn_ && !haveReference_ ? AnchoredRead(from, count) : range_.Read(from, count, scratch_, flags_, status_);
    if (r != kReadGood) return r;
    if (!overlap || count < 2) break;
    const bool clean = std::all_of(status_, status_ + count, [](std::uint8_t s) { return s == kFrameOk; });
    if (!clean) break;  // a failed frame is silence: nothing to line up
    const int k = FindOverlap(scratch_, count, reference_);
    if (k >= 1) {
      first = static_cast<std::uint32_t>(k);
      break;
    }
  }
  // A drive that keeps landing early may bring nothing new; the run then
  // counts from where it was asked, so that the track always ends.
  if (first >= count) first = overlap ? 1 : 0;
  const std::uint32_t run = count - first;
  for (std::uint32_t i = first; i < count; ++i) {
    const std::int32_t lba = next_ + static_cast<std::int32_t>(i - first);
    if (status_[i] == kFrameFailed) marks_.MarkUnreadable(lba);
    if (flags_[i]) marks_.MarkSuspicious(lba);
  }
  std::memcpy(reference_, scratch_ + std::size_t{count - 1} * kFrameBytes, kCompareBytes);
  haveReference_ = true;
  *out = Chunk{scratch_ + std::size_t{first} * kFrameBytes, next_, run};
  next_ += static_cast<std::int32_t>(run);
  return kReadGood;
}

}  // namespace rip
