#pragma once
// A disc laid out on the LBA axis from a cue sheet: tracks, sessions,
// lead-outs, the raw image behind them and the lead-in's CD-TEXT.
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/vdrive/cue_sheet.h"

namespace vdrive {

constexpr int kFrameBytes = 2352;
constexpr int kMsfOffset = 150;       // LBA 0 is 00:02:00
// First session's lead-out (6750) plus the next session's lead-in (4500)
// and its first track's pregap (150): where a CD-Extra's data track starts.
constexpr int kSessionGap = 11400;

struct DiscTrack {
  int number = 0;
  int session = 1;
  bool data = false;
  std::uint8_t control = 0;  // Q-channel control nibble
  std::int32_t start = 0;    // LBA of INDEX 01
  std::int32_t length = 0;   // to the next track or the session's lead-out
  std::int32_t regionStart = 0;  // first LBA of its pregap
  std::int64_t imageFrame = 0;   // frame of INDEX 01 in its image file
};

struct DiscSession {
  int number = 1;
  int firstTrack = 0;  // indexes into Disc::tracks
  int lastTrack = 0;
  std::int32_t leadOut = 0;
};

class Disc {
 public:
  // Loads cue sheet and image files (relative names against the cue's
  // folder). 0 ok; -1 with *error.
  int LoadCue(const std::string& cuePath, std::string* error);
  // The same from cue text; files are looked up in baseDir.
  int LoadCueText(const std::string& cueText, const std::string& baseDir, std::string* error);

  const std::vector<DiscTrack>& tracks() const { return tracks_; }
  const std::vector<DiscSession>& sessions() const { return sessions_; }
  const std::vector<std::uint8_t>& cdTextPacks() const { return cdText_; }
  std::int32_t leadOut() const { return sessions_.empty() ? 0 : sessions_.back().leadOut; }

  // Track (index into tracks()) whose pregap or body holds the LBA, -1 in
  // a gap between sessions or outside the disc.
  int TrackAt(std::int32_t lba) const;

  // Copies the 2352 raw bytes of one sector. 0 ok, -1 outside the program
  // area or the image could not be read. Frames missing from a short image
  // and pregaps read as zeros.
  int ReadRawSector(std::int32_t lba, std::uint8_t* out) const;

 private:
  struct Segment {
    std::int32_t lba;
    std::int32_t frames;
    int file;                 // -1: silence
    std::int64_t fileFrame;
  };
  std::vector<DiscTrack> tracks_;
  std::vector<DiscSession> sessions_;
  std::vector<Segment> segments_;
  std::vector<std::uint8_t> cdText_;
  std::vector<std::string> paths_;
  std::vector<std::int64_t> fileFrames_;
  mutable std::vector<std::unique_ptr<std::ifstream>> streams_;
  mutable std::mutex streamLock_;
};

// "mm:ss:ff" of an absolute frame count, for messages.
std::string FramesToMsfText(std::int32_t frames);

}  // namespace vdrive
