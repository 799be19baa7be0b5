#pragma once
// CD-TEXT as stored in the lead-in: texts per language, one TitleInfo for
// the disc (entry 0) and one per track. Texts are UTF-8, decoded from each
// block's character code: 0x00 ISO 8859-1, 0x01 ASCII, 0x80 MS-JIS (code
// page 932 whatever the system's code page); bytes that are no character of
// the block's code become U+FFFD.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TitleInfo {
  std::string title;       // pack type 0x80
  std::string performer;   // 0x81
  std::string songwriter;  // 0x82
  std::string composer;    // 0x83
  std::string arranger;    // 0x84
};

constexpr std::uint8_t kLanguageEnglish = 0x09;
constexpr std::uint8_t kLanguageJapanese = 0x69;
// Character codes of the size information.
constexpr std::uint8_t kCharCodeLatin1 = 0x00;
constexpr std::uint8_t kCharCodeAscii = 0x01;
constexpr std::uint8_t kCharCodeMsJis = 0x80;

// Language code (as the disc's size information writes it) -> entries.
using CdTextStore = std::map<std::uint8_t, std::vector<TitleInfo>>;

constexpr std::size_t kCdTextPackSize = 18;
constexpr std::size_t kCdTextMaxEntries = 106;   // the disc and 105 tracks per block
constexpr std::size_t kCdTextMaxBytes = 3024;    // per pack type and block

// Decodes a READ TOC format 5 reply into `store` (emptied first). Only the
// packs that both the reply's data length and `length` cover are read. A
// block counts only once all three of its size-information packs are
// present; a block after the eighth is ignored. A block is double-byte when
// its first size pack or any of its text packs carries the double-byte bit,
// or when its character code is MS-JIS (0x80); a double-byte block is
// decoded as code page 932 whatever its character code. Other codes are
// read as ISO 8859-1.
void DecodeCdText(const std::uint8_t* data, std::size_t length, CdTextStore& store);
