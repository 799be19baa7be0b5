#pragma once
// One run of up to 15 frames as the rip needs it: frames outside the
// readable range are tried once per side (lead-in, lead-out) and, when the
// drive refuses them, are zeros from then on; a failed command inside the
// range is retried frame by frame, so that one bad frame does not take its
// good neighbours with it.
#include <cstdint>

#include "rip/frame_source.h"
#include "rip/offset_window.h"
#include "rip/rip_types.h"

namespace rip {

enum FrameStatus : std::uint8_t { kFrameOk = 0, kFrameFailed = 1, kFrameZeroed = 2 };

class RangeReader {
 public:
  RangeReader(FrameSource& source, const OffsetWindow& window) : source_(source), window_(window) {}
  void Reset() { leadIn_ = leadOut_ = kEdgeNotNeeded; }

  // count (1..15) frames from lba into audio; flagged and status get one
  // entry per frame. Failed and zeroed frames hold zeros. Returns kReadGood,
  // kReadDriveGone or kReadStopped.
  int Read(std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged, std::uint8_t* status);

  int LeadIn() const { return leadIn_; }
  int LeadOut() const { return leadOut_; }
  FrameSource& Source() { return source_; }

 private:
  int ReadInside(std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged,
                 std::uint8_t* status);
  int ReadEdge(int* state, std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged,
               std::uint8_t* status);

  FrameSource& source_;
  const OffsetWindow& window_;
  int leadIn_ = kEdgeNotNeeded;
  int leadOut_ = kEdgeNotNeeded;
};

}  // namespace rip
