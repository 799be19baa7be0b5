#pragma once
// A cue sheet as written by disc-image tools, plus two extensions for this
// drive: "REM SESSION nn" starts a session (as CD-Extra rips write it) and
// "REM CDTEXT_LANGUAGE <ENGLISH|JAPANESE|0xNN>" picks the CD-TEXT block that
// the following TITLE/PERFORMER/SONGWRITER/COMPOSER/ARRANGER lines fill.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/vdrive/cdtext_packs.h"

namespace vdrive {

enum class TrackMode { Audio, Mode1Raw, Mode2Raw };

struct CueTrack {
  int number = 0;
  TrackMode mode = TrackMode::Audio;
  int file = -1;            // index into CueSheet::files
  int session = 1;
  int index0 = -1;          // file frame of INDEX 00, -1 when absent
  int index1 = -1;          // file frame of INDEX 01
  int pregap = 0;           // PREGAP frames (silence not in the file)
  int postgap = 0;          // POSTGAP frames
  std::uint8_t flags = 0;   // FLAGS: PRE 1, DCP 2, 4CH 8
};

struct CueSheet {
  std::vector<std::string> files;  // as written in FILE lines
  std::vector<CueTrack> tracks;
  std::string cdTextFile;          // CDTEXTFILE, empty when absent
  std::vector<CdTextBlock> cdText; // blocks in order of first use
  bool cdTextSizePacksMarked = false;  // REM CDTEXT_SIZE_PACKS MARKED
};

// Parses cue text. 0 ok; -1 with *error naming the line on malformed or
// unsupported input.
int ParseCueSheet(const std::string& text, CueSheet* out, std::string* error);

// Frames of "mm:ss:ff"; -1 when malformed.
int ParseMsf(const std::string& text);

// Language code of an ENGLISH/JAPANESE/0xNN name; -1 when unknown.
int LanguageCode(const std::string& name);

}  // namespace vdrive
