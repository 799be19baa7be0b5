#pragma once
// Finds a drive's read offset from the database: the offset frames of the
// disc's tracks, read without correction, are checked at every shift in
// -2940..+2940 samples against the responses' offset-frame checksums.
//
// Sign: a drive with read offset +N delivers each sample N samples early
// (the disc's sample i arrives at position i + N); the correction +N, as the
// read offset setting applies it, takes sample i from the delivered
// position i + N. The search gives that correction.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "accuraterip/checksum.h"
#include "accuraterip/dbar.h"

namespace accuraterip {

constexpr int kMaxOffset = 2940;  // 5 frames either way
// The samples a window holds, and the track-relative sample it starts at:
// the offset frame with kMaxOffset samples on either side, which is exactly
// the track's frames 445 to 455 as the drive delivers them uncorrected.
constexpr std::size_t kOffsetWindowSamples = kSamplesPerFrame + 2 * kMaxOffset;
constexpr std::uint32_t kOffsetWindowStart = kOffsetFrame * kSamplesPerFrame - kMaxOffset;
constexpr std::uint32_t kOffsetWindowFirstFrame = kOffsetWindowStart / kSamplesPerFrame;
constexpr std::uint32_t kOffsetWindowFrames = kOffsetWindowSamples / kSamplesPerFrame;
static_assert(kOffsetWindowStart % kSamplesPerFrame == 0 && kOffsetWindowSamples % kSamplesPerFrame == 0,
              "the window is whole frames");
// The frames a track needs for its window to lie inside it.
constexpr std::uint32_t kOffsetWindowMinFrames = kOffsetWindowFirstFrame + kOffsetWindowFrames;

struct OffsetWindow {
  int slot = -1;                        // the track's entry in the responses (PlaceTrack)
  const std::uint8_t* bytes = nullptr;  // kOffsetWindowSamples samples as delivered, from kOffsetWindowStart
};

struct OffsetCandidate {
  int offset = 0;      // the correction that makes the tracks agree
  int tracks = 0;      // tracks whose offset frame agrees at it
  int confidence = 0;  // sum over those tracks of the highest confidence of an agreeing response
};

// Every offset at which at least one track agrees with a response, most
// tracks first, then most confidence, then smallest shift. A track agrees
// with a response's entry when its offset frame, corrected by the offset,
// has the entry's checksum at exactly that one shift of the window: entries
// of confidence 0 or checksum 0 (none stored, or silence) and checksums met
// at several shifts (silence, a periodic signal) prove nothing.
std::vector<OffsetCandidate> FindOffsets(const std::vector<OffsetWindow>& windows,
                                         const std::vector<DbarResponse>& responses);

// The offset the disc tells: the first candidate when two or more tracks
// agree on it with a total confidence of 2 or more and no other candidate
// ties with it. false when the disc cannot tell.
bool DetectOffset(const std::vector<OffsetCandidate>& candidates, int* offset);

}  // namespace accuraterip
