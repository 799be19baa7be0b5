#pragma once
// The disc's table of contents and the decoders of the READ TOC replies it
// is built from. The decoders take the raw reply bytes and never read
// outside them; a reply that contradicts itself is refused as a whole.
#include <cstddef>
#include <cstdint>
#include <map>

struct TrackEntry {
  std::uint32_t length = 0;  // frames
  std::uint32_t start = 0;   // LBA
  std::uint32_t end = 0;     // LBA, inclusive
  std::uint8_t minute = 0;   // absolute start time from the MSF reply
  std::uint8_t second = 0;
  std::uint8_t frame = 0;
  std::uint32_t preEmphasis = 0;     // 0 or 1
  std::uint32_t copyProhibited = 0;  // 1 when digital copy is not permitted
  std::uint32_t dataTrack = 0;       // 0 or 4
  std::uint32_t fourChannel = 0;     // 0 or 8
};

constexpr int kDiscKey = 0;
constexpr int kLeadOutKey = 0xAA;

enum DiscType : int {
  kDiscAudioOnly = 0,
  kDiscDataOnly = 1,
  kDiscDataThenAudio = 2,
  kDiscAudioThenData = 3,
  kDiscUndetermined = 4,
};

struct DiscToc {
  int lastTrack = 0;
  int discType = kDiscUndetermined;
  std::int32_t msfOffset = 0;  // MSF start of track 1 minus its LBA, normally 150
  std::map<int, TrackEntry> tracks;  // 0 disc, 1-99 tracks, 0xAA lead-out

  void Clear() { *this = DiscToc{}; }
};

// Frames added to an LBA to get the absolute MSF time for this disc type.
std::int32_t MsfOffsetFor(const DiscToc& toc);
// Absolute MSF time to LBA (may be negative for garbage times).
std::int64_t MsfToLba(const DiscToc& toc, int minute, int second, int frame);

// Builds the track table from the MSF-form and LBA-form READ TOC (format 0)
// replies. Returns the last track number (1-99), or -1 when the replies are
// too short for their header, name a last track outside 1-99, carry a track
// number outside 1-99 or out of order, or have a track that does not start
// before the next one (or the lead-out); `toc` is then left cleared.
int DecodeToc(const std::uint8_t* msf, std::size_t msfLength, const std::uint8_t* lba, std::size_t lbaLength,
              DiscToc& toc);

struct SessionInfo {
  int firstSession = 0;
  int lastSession = 0;
};
// READ TOC session information reply; false when shorter than its header,
// not one descriptor long (another format's reply), or naming sessions
// outside 1-99 or out of order.
bool DecodeSessionInfo(const std::uint8_t* data, std::size_t length, SessionInfo& info);

// Ends the last track of every session from firstSession up to, but not
// including, lastSession at its own session's lead-out, taken from the full
// TOC reply. A session whose last track is not in the table, or whose
// lead-out does not lie after that track's start and within its current
// end, changes nothing.
void ApplyFullToc(const std::uint8_t* data, std::size_t length, int firstSession, int lastSession, DiscToc& toc);
