#pragma once
// The ids AccurateRip files a disc under, computed from its table of
// contents, the path of the disc's file on the server, and where each track
// of the disc stands in that file.
#include <cstdint>
#include <string>

#include "device/disc_toc.h"

namespace accuraterip {

struct DiscIds {
  int audioTracks = 0;     // n: the audio tracks the database counts
  std::uint32_t id1 = 0;   // sum of the audio tracks' starts and the lead-out
  std::uint32_t id2 = 0;   // the same weighted by the tracks' numbers
  std::uint32_t cddb = 0;  // the freedb id of the whole disc, data tracks included
};

// Fills `ids` from the table (LBAs, without the 2 s lead-in). Data tracks are
// left out and the audio tracks numbered from 1 in disc order (a data track
// first does not take number 1); the lead-out is the disc's, on an enhanced
// CD the end of the data session. false, with `ids` zeroed, when the table
// holds no audio track or no lead-out after the last one.
bool ComputeDiscIds(const DiscToc& toc, DiscIds* ids);

// "{server}/accuraterip/{h0}/{h1}/{h2}/dBAR-{nnn}-{id1}-{id2}-{cddb}.bin":
// h0..h2 the last three hex digits of id1, last first; ids as eight
// lower-case hex digits, nnn the audio track count in three decimal digits.
// A slash ending `server` is not doubled.
std::string RequestPath(const std::string& server, const DiscIds& ids);

// Where a track stands for AccurateRip.
struct TrackPlace {
  int slot = -1;       // its entry in each response: its place in the table (0 first)
  bool first = false;  // the first audio track: its first 5 frames less one sample do not count
  bool last = false;   // the last audio track: its last 5 frames do not count
};
// false for a data track or a number the table lacks. On a disc whose data
// track comes first the responses keep slot 0 for that track, so the last
// audio track's slot lies past their end: such a track is not in the
// database (see VerifyTrack).
bool PlaceTrack(const DiscToc& toc, int number, TrackPlace* place);

}  // namespace accuraterip
