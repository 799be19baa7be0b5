#pragma once
// What a rip is asked to do and what it reports of one track.
#include <cstdint>
#include <string>
#include <vector>

namespace rip {

struct RipOptions {
  int readOffset = 0;  // samples; track sample i is the one the drive delivers readOffset samples later
  bool secure = true;
  int retries = 16;  // reads of one frame at most before its majority is taken
};

enum RipOpenResult { kRipOpened = 0, kRipNoDrive = 1, kRipNotReady = 2, kRipNoTrack = 3, kRipDataTrack = 4 };

struct RipPosition {
  std::uint32_t frame;  // frame of the track (track time = frame / 75)
};

enum EdgeState { kEdgeNotNeeded = 0, kEdgeRead = 1, kEdgeZeroed = 2 };

struct TrackReport {
  int track = 0;
  std::uint32_t frames = 0;  // length
  bool whole = false;        // every sample delivered, in order, from 0
  std::uint32_t crc32 = 0;   // of the delivered samples (valid when whole)
  std::uint32_t rereadFrames = 0;
  std::vector<std::uint32_t> suspicious, unreadable;  // track-relative frames, ascending
  int leadIn = 0, leadOut = 0;                        // EdgeState
  // AccurateRip, filled in by the caller: the track's checksums (when
  // arSums) and what the database says of them (empty: no verdict line).
  bool arSums = false;
  std::uint32_t arV1 = 0, arV2 = 0;
  std::string arVerdict;
};

}  // namespace rip
