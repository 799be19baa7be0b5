#pragma once
// Writes test discs as cue sheet + raw image (+ optional raw CD-TEXT file).
// Audio is deterministic: the stereo sample pair i of the frame at LBA a
// holds the value v = a * 588 + i, low 16 bits left, high 16 bits right, so
// any frame can be checked bit-exactly and a shifted read is recognised.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/vdrive/cdtext_packs.h"

namespace discgen {

enum class Layout {
  AudioOnly,  // N audio tracks
  DataFirst,  // a MODE1 data track, then N audio tracks after a 2 s PREGAP
  CdExtra,    // session 1: N audio tracks; session 2: one MODE1 data track
  Demo,       // three short pieces of synthesised music (fixed texts)
};

// Latin1: one English block (character code 0x00) whose texts go beyond ASCII.
enum class TextMode { None, English, EnglishJapanese, Latin1 };

struct DiscOptions {
  Layout layout = Layout::AudioOnly;
  int audioTracks = 3;
  int trackFrames = 300;   // per audio track (75 frames = 1 s)
  // Frames of each audio track in turn when given (overrides audioTracks
  // and trackFrames): odd and sub-second lengths.
  std::vector<int> trackLengths;
  int dataFrames = 300;
  int index0Frames = 0;    // INDEX 00 run inside the image before tracks 2..N
  TextMode text = TextMode::None;
  bool rawCdTextFile = false;  // packs in <name>.cdt via CDTEXTFILE instead of cue lines
  // The double-byte flag on the size-information packs of the Japanese block
  // too; by default only its text packs carry it, as authoring tools write.
  bool markSizePacks = false;
  std::string name = "disc";
};

// Writes <dir>/<name>.cue and .bin (and .cdt). 0 ok; -1 with *error.
int GenerateDisc(const DiscOptions& options, const std::string& dir, std::string* cuePath, std::string* error);

// The texts GenerateDisc puts on a disc (block 0 English, block 1 Japanese),
// as the disc carries them: Latin-1 bytes, Shift-JIS bytes in the Japanese block.
std::vector<vdrive::CdTextBlock> DiscTexts(const DiscOptions& options);

// Pattern frames.
void FillAudioFrame(std::int32_t lba, std::uint8_t* out2352);
void FillDataSector(std::int32_t lba, std::uint8_t* out2352);
// The value carried by stereo sample pair i of a pattern frame, or -1 when
// the 4 bytes are not a pattern sample.
std::int64_t PatternPosition(const std::uint8_t* pair4);

}  // namespace discgen
