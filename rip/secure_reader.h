#pragma once
// Every frame read twice with the drive's cache defeated in between, at
// close to two reads per frame: the first pass over window k+1 (at least
// the cache's size) comes between the first and the second pass over
// window k, so the drive can no longer answer window k from its cache. Of
// the first pass only a digest per frame is kept. Frames whose two reads
// differ (or carry C2 flags) are read again in rounds, the cache defeated
// before each, until two reads agree; after the allowed reads the majority
// per byte is taken and the frame is marked suspicious. A frame the drive
// never delivers is silence, marked unreadable.
#include <cstdint>
#include <vector>

#include "rip/chunk_reader.h"
#include "rip/offset_window.h"
#include "rip/range_reader.h"

namespace rip {

class SecureReader : public ChunkReader {
 public:
  SecureReader(RangeReader& range, const OffsetWindow& window, MarkSink& marks)
      : range_(range), window_(window), marks_(marks) {}

  // All buffers, once: windows of more frames than the cache holds, evened
  // out over the `span` frames of the track so that no short window at its
  // end needs reads elsewhere before the one ahead of it.
  void Allocate(std::uint32_t cacheFrames, int retries, std::uint32_t span);
  std::uint32_t WindowFrames() const { return windowFrames_; }

  // For a drive whose stream is not accurate: each run of a pass overlaps
  // the run before by one frame, and a run that does not line up with it
  // (the drive landed off) is read again; the first run of a pass is taken
  // when two reads agree. Otherwise two reads landing off alike would agree.
  void SetVerifyLanding(bool on) { verifyLanding_ = on; }
  void Seek(std::int32_t lba) override;
  int Next(Chunk* out) override;

 private:
  static constexpr std::uint32_t kCompareBytes = 64;
  static constexpr int kLandingReads = 3;
  // One run of a pass into audio; `continues`: the pass read lba - 1 last.
  int ReadRun(std::int32_t lba, std::uint32_t count, bool continues, std::uint8_t* audio, std::uint8_t* flagged,
              std::uint8_t* status);
  std::uint32_t RunFrames() const { return kMaxFramesPerCommand - (verifyLanding_ ? 1 : 0); }

  enum : std::uint8_t { kP1Read = 1, kP1Flagged = 2, kP1Zeroed = 4 };
  struct Pending {
    std::uint32_t index;  // in the window
    std::uint32_t reads;
    std::uint32_t copies;
    bool lastRead;  // the last read delivered data (which the cache may now hold)
    bool done;
  };

  int FirstPass(std::int32_t start, std::uint32_t count, std::uint64_t* hashes, std::uint8_t* info);
  int SecondPass(std::int32_t start, std::uint32_t count, std::uint32_t* pending);
  int Resolve(std::int32_t start, const std::uint32_t* indices, std::uint32_t count);
  // Reads `frames` readable frames outside [excludeLo, excludeHi).
  int DefeatCache(std::int32_t excludeLo, std::int32_t excludeHi, std::uint32_t frames);
  std::uint8_t* Copy(std::uint32_t slot, std::uint32_t copy) {
    return pool_.data() + (std::size_t{slot} * retries_ + copy) * kFrameBytes;
  }

  RangeReader& range_;
  const OffsetWindow& window_;
  MarkSink& marks_;
  std::uint32_t cacheFrames_ = 0;
  std::uint32_t windowFrames_ = 0;
  std::uint32_t retries_ = 2;
  std::int32_t next_ = 0;
  bool firstPassReady_ = false;  // hashes_/info_ hold the first pass of next_'s window
  std::vector<std::uint8_t> data_;
  std::vector<std::uint8_t> flagged_, status_;
  std::vector<std::uint64_t> hashes_, nextHashes_;
  std::vector<std::uint8_t> info_, nextInfo_;
  std::vector<std::uint32_t> pending_;
  // Re-reads: up to kSlots frames at a time, each with room for every read.
  static constexpr std::uint32_t kSlots = 16;
  std::vector<std::uint8_t> pool_;
  std::vector<std::uint8_t> copyFlagged_;
  Pending slots_[kSlots] = {};
  bool verifyLanding_ = false;
  std::uint8_t lastHead_[kCompareBytes] = {};  // of the frame the pass read last
  alignas(16) std::uint8_t scratch_[kMaxFramesPerCommand * kFrameBytes];
  alignas(16) std::uint8_t landing_[kMaxFramesPerCommand * kFrameBytes];
  std::uint8_t landingFlags_[kMaxFramesPerCommand] = {};
  std::uint8_t landingStatus_[kMaxFramesPerCommand] = {};
  std::uint8_t scratchFlags_[kMaxFramesPerCommand] = {};
  std::uint8_t scratchStatus_[kMaxFramesPerCommand] = {};
};

}  // namespace rip
