#pragma once
// CD-TEXT as it lies in the lead-in: 18-byte packs grouped in blocks, one
// block per language, each closed by three size-information packs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vdrive {

constexpr std::size_t kCdTextPackSize = 18;
constexpr int kCdTextFieldCount = 5;  // title, performer, songwriter, composer, arranger
constexpr std::uint8_t kLanguageEnglish = 0x09;
constexpr std::uint8_t kLanguageJapanese = 0x69;
constexpr std::uint8_t kCharCodeIso8859 = 0x00;
constexpr std::uint8_t kCharCodeMsJis = 0x80;

// The texts of one block. entries[0] is the disc, entries[k] track k.
// Fields are raw bytes (Shift-JIS for a double-byte block).
struct CdTextBlock {
  std::uint8_t language = kLanguageEnglish;
  bool doubleByte = false;
  // Whether the size-information packs carry the double-byte bit as well.
  // Authoring software commonly sets it on the text packs only and marks
  // the block by its character code, so that is the default.
  bool sizePacksMarked = false;
  std::uint8_t characterCode = kCharCodeIso8859;
  std::vector<std::array<std::string, kCdTextFieldCount>> entries;
};

// CRC-16 over pack bytes 0..15: CCITT polynomial 0x1021, initial 0, inverted.
std::uint16_t CdTextCrc(const std::uint8_t* data, std::size_t length);

// Packs for up to eight blocks, in block order, CRCs filled in. Tracks run
// firstTrack..lastTrack. Empty when there is no block or too much text for
// one block (255 packs).
std::vector<std::uint8_t> BuildCdTextPacks(const std::vector<CdTextBlock>& blocks, std::uint8_t firstTrack,
                                           std::uint8_t lastTrack);

// Reads a raw pack file: bare packs, or packs behind the 4-byte READ TOC
// header (optionally with a trailing zero byte). 0 ok, -1 unreadable or malformed.
int LoadCdTextFile(const std::string& path, std::vector<std::uint8_t>* packs);

// Reads packs back into blocks (language from the size information,
// strings split at their terminators); entries run up to the last track. A
// block is double-byte when any of its packs carries the bit or its
// character code is MS-JIS.
std::vector<CdTextBlock> DecodeCdTextPacks(const std::vector<std::uint8_t>& packs);

// 1 when every pack's CRC matches.
int CdTextCrcsValid(const std::vector<std::uint8_t>& packs);

}  // namespace vdrive
