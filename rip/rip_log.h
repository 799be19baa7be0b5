#pragma once
// The rip log: one UTF-8 text per disc (byte-order mark, CRLF line ends)
// naming the drive, how it was read, and per track the copy CRC, the frames
// re-read and every position that is not sure.
#include <cstdint>
#include <string>
#include <vector>

#include "rip/rip_types.h"

namespace rip {

struct RipLogDisc {
  std::string program;  // who wrote the log ("in_quorvo.dll Ver.0.26")
  std::string written;  // when it was last written, local time
  std::string vendor, product, revision, transport;  // UTF-8
  int readOffset = 0;
  bool secure = true;
  std::string album, performer;  // UTF-8; empty when unknown
  std::uint32_t discId = 0;      // freedb
  std::string offsetNote;        // how the offset was come by (「AccurateRip で検出」); empty: set by hand
  std::string arSummary;         // the summary's AccurateRip line, without its label; empty: none
};

// "<performer> - <album>.log" when both are known, else "<8 hex digits of
// the disc id>.log"; characters Windows refuses in a file name replaced.
std::string LogFileName(const RipLogDisc& disc);
std::string ComposeLog(const RipLogDisc& disc, const std::vector<TrackReport>& tracks);
// Writes the log into the folder (ANSI code page; made when missing),
// replacing an older one of the same disc. 1 ok, 0 failed.
int WriteLogFile(const std::string& folderAnsi, const RipLogDisc& disc, const std::vector<TrackReport>& tracks);

// The tracks of a log this plug-in wrote earlier (another run of the
// player), so that a new track joins them instead of replacing them. Lines
// it does not know are passed over; a hand-edited file gives what it can.
std::vector<TrackReport> ParseLogTracks(const std::string& text);
// Reads the disc's log from the folder, if there is one.
std::vector<TrackReport> ReadLogTracks(const std::string& folderAnsi, const RipLogDisc& disc);

// Track time of a frame, "m:ss.ff" (ff: frames of 1/75 s).
std::string TrackTime(std::uint32_t frame);

}  // namespace rip
