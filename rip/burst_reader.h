#pragma once
// One read per frame, with jitter correction: unless the drive says its
// stream is accurate, each read after the first starts one frame before the
// last one ended, and where the drive landed is found by lining that frame
// up with the last frame delivered. Frames the
// drive fails are silence, marked unreadable; frames it flags with C2
// pointers are marked suspicious.
#include <cstdint>

#include "rip/chunk_reader.h"
#include "rip/offset_window.h"
#include "rip/range_reader.h"

namespace rip {

class BurstReader : public ChunkReader {
 public:
  BurstReader(RangeReader& range, const OffsetWindow& window, MarkSink& marks)
      : range_(range), window_(window), marks_(marks) {}

  // Without overlap every frame is read exactly once: for drives whose
  // CD-DA stream is accurate (they say so in their capabilities).
  void SetOverlap(bool on) { overlapOn_ = on; }
  void Seek(std::int32_t lba) override;
  int Next(Chunk* out) override;

  // Where frames[0..count) landed against the reference head: the index of
  // the first frame not delivered before, or -1 when no frame lines up.
  static int FindOverlap(const std::uint8_t* frames, std::uint32_t count, const std::uint8_t* reference);

 private:
  static constexpr std::uint32_t kCompareBytes = 64;
  // The first read after a seek has nothing to be lined up with: it is
  // taken when two reads in a row (of at most three) agree.
  int AnchoredRead(std::int32_t lba, std::uint32_t count);
  static bool SameHeads(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t count);

  RangeReader& range_;
  const OffsetWindow& window_;
  MarkSink& marks_;
  std::int32_t next_ = 0;
  bool overlapOn_ = true;
  bool haveReference_ = false;
  std::uint8_t reference_[kCompareBytes] = {};
  alignas(16) std::uint8_t scratch_[kMaxFramesPerCommand * kFrameBytes];
  alignas(16) std::uint8_t anchor_[kMaxFramesPerCommand * kFrameBytes];
  std::uint8_t flags_[kMaxFramesPerCommand] = {};
  std::uint8_t status_[kMaxFramesPerCommand] = {};
};

}  // namespace rip
