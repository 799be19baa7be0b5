#include "rip/offset_window.h"

namespace rip {

namespace {
constexpr std::int64_t kFrameBytes = 2352;
}

void OffsetWindow::Setup(std::int32_t trackStart, std::uint32_t trackFrames, int offset, std::int32_t readableLo,
                         std::int32_t readableHi) {
  firstByte_ = (std::int64_t{trackStart} * 588 + offset) * 4;
  frames_ = trackFrames;
  lo_ = readableLo;
  hi_ = readableHi;
}

std::int32_t OffsetWindow::FirstLba() const { return static_cast<std::int32_t>(FloorDiv(firstByte_, kFrameBytes)); }

std::int32_t OffsetWindow::EndLba() const {
  const std::int64_t end = firstByte_ + static_cast<std::int64_t>(TrackBytes());
  return static_cast<std::int32_t>(FloorDiv(end + kFrameBytes - 1, kFrameBytes));
}

void OffsetWindow::Locate(std::uint64_t trackByte, std::int32_t* lba, std::uint32_t* within) const {
  const std::int64_t at = firstByte_ + static_cast<std::int64_t>(trackByte);
  const std::int64_t frame = FloorDiv(at, kFrameBytes);
  *lba = static_cast<std::int32_t>(frame);
  *within = static_cast<std::uint32_t>(at - frame * kFrameBytes);
}

bool OffsetWindow::TrackFramesOf(std::int32_t lba, std::uint32_t* first, std::uint32_t* last) const {
  const std::int64_t begin = std::int64_t{lba} * kFrameBytes - firstByte_;
  const std::int64_t end = begin + kFrameBytes;  // exclusive
  const auto total = static_cast<std::int64_t>(TrackBytes());
  if (end <= 0 || begin >= total) return false;
  *first = static_cast<std::uint32_t>((begin < 0 ? 0 : begin) / kFrameBytes);
  *last = static_cast<std::uint32_t>(((end > total ? total : end) - 1) / kFrameBytes);
  return true;
}

}  // namespace rip
