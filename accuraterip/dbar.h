#pragma once
// The database's answer for a disc (a "dBAR" file): one response per
// pressing, each a header (track count, id1, id2, freedb id) and per track
// its confidence, its checksum and the checksum of its offset frame. Fields
// are little-endian. The body comes off the network: every read is
// bounds-checked, and a body that is wrong anywhere is refused as a whole.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "accuraterip/disc_ids.h"

namespace accuraterip {

enum DbarResult : int {
  kDbarOk = 0,
  kDbarEmpty = 1,      // no bytes: nothing known about the disc
  kDbarMalformed = 2,  // cut, or not an answer for the disc asked for
};

struct DbarTrack {
  std::uint8_t confidence = 0;  // independent rips that gave `crc`
  std::uint32_t crc = 0;        // the track's v1 or v2 checksum (the file does not say which)
  std::uint32_t offsetCrc = 0;  // the offset frame's checksum (see OffsetFrameCrc), 0 when none
};

struct DbarResponse {
  DiscIds ids;  // as the response states them
  std::vector<DbarTrack> tracks;
};

// Parses `data` into `responses` (cleared first). kDbarMalformed when a
// header or track list is cut short, or a response's track count or ids
// differ from `expected` (a track count that does not fit the disc, an
// answer for another disc); `responses` is then left empty, as none of them
// can be trusted.
int ParseDbar(const std::uint8_t* data, std::size_t length, const DiscIds& expected,
              std::vector<DbarResponse>* responses);

enum TrackVerdictState : int {
  kTrackNotInDatabase = 0,  // no response holds a checksum for the track
  kTrackMatch = 1,
  kTrackMismatch = 2,
};

struct TrackVerdict {
  int state = kTrackNotInDatabase;
  int confidence = 0;  // of the matching response; the highest when several match
};

// A track (its slot from PlaceTrack, its v1 and v2 over the whole track)
// against the responses. Entries of confidence 0 are placeholders (data
// tracks, tracks too short to check) and count as no checksum.
TrackVerdict VerifyTrack(const std::vector<DbarResponse>& responses, int slot, std::uint32_t v1, std::uint32_t v2);

}  // namespace accuraterip
