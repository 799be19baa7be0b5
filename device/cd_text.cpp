#include "device/cd_text.h"

#include <algorithm>
#include <array>

#include "util/codepage.h"

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kTextBytes = 12;
constexpr int kTextTypes = 5;  // 0x80 .. 0x84
constexpr int kMaxBlocks = 8;

std::string& Field(TitleInfo& info, int type) {
  switch (type) {
    case 0: return info.title;
    case 1: return info.performer;
    case 2: return info.songwriter;
    case 3: return info.composer;
    default: return info.arranger;
  }
}

// Splits one type's collected text at its terminators into the entries.
// The tab character is an ordinary character here.
void SplitStrings(const std::vector<std::uint8_t>& text, bool doubleByte, int type, std::vector<TitleInfo>& entries) {
  std::size_t entry = 0;
  const std::size_t step = doubleByte ? 2 : 1;
  for (std::size_t k = 0; k + step <= text.size(); k += step) {
    const bool terminator = doubleByte ? (text[k] == 0 || text[k + 1] == 0) : text[k] == 0;
    if (terminator) {
      ++entry;
      continue;
    }
    if (entry >= entries.size()) continue;  // beyond the block's entries: dropped
    std::string& out = Field(entries[entry], type);
    out.append(reinterpret_cast<const char*>(&text[k]), step);
  }
}

// ASCII blocks: a byte above 0x7F is no character of theirs.
std::string AsciiToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x80) out += c;
    else out += "\xEF\xBF\xBD";  // U+FFFD
  }
  return out;
}

// A double-byte block is MS-JIS whatever its character code says: discs
// that set the bit carry Shift-JIS text.
std::string ToUtf8(const std::string& bytes, bool doubleByte, std::uint8_t charCode) {
  if (doubleByte || charCode == kCharCodeMsJis) return codepage::Cp932ToUtf8(bytes);
  if (charCode == kCharCodeAscii) return AsciiToUtf8(bytes);
  // ISO 8859-1, and the codes this decoder does not know (Latin-1 keeps
  // every byte visible).
  return codepage::Latin1ToUtf8(bytes);
}

void DecodeEntries(std::vector<TitleInfo>& entries, bool doubleByte, std::uint8_t charCode) {
  for (TitleInfo& info : entries) {
    for (int t = 0; t < kTextTypes; ++t) {
      std::string& field = Field(info, t);
      field = ToUtf8(field, doubleByte, charCode);
    }
  }
}

}  // namespace

void DecodeCdText(const std::uint8_t* data, std::size_t length, CdTextStore& store) {
  store.clear();
  if (!data || length < kHeader) return;
  const std::size_t dataLength = (std::size_t(data[0]) << 8) | data[1];
  if (dataLength < 2) return;
  const std::size_t packCount =
      std::min((dataLength - 2) / kCdTextPackSize, (length - kHeader) / kCdTextPackSize);

  std::array<std::vector<std::uint8_t>, kTextTypes> collected;
  bool textPacksDoubleByte = false;  // a text pack of this block carries the bit
  int block = 0;
  for (std::size_t i = 0; i < packCount; ++i) {
    const std::uint8_t* pack = data + kHeader + i * kCdTextPackSize;
    const std::uint8_t type = pack[0];
    if (type >= 0x80 && type <= 0x84) {
      std::vector<std::uint8_t>& text = collected[type - 0x80];
      if (pack[3] & 0x80) textPacksDoubleByte = true;
      if (text.size() + kTextBytes <= kCdTextMaxBytes) text.insert(text.end(), pack + 4, pack + 4 + kTextBytes);
      continue;
    }
    if (type != 0x8F) continue;

    // The first of the block's three size-information packs.
    if (i + 2 >= packCount || block >= kMaxBlocks) break;
    const std::uint8_t* third = pack + 2 * kCdTextPackSize;
    const int lastTrack = pack[4 + 2];
    // Authoring software commonly sets the double-byte bit on the text packs
    // only and says "MS-JIS" in the size information's character code.
    const bool doubleByte = (pack[3] & 0x80) != 0 || pack[4] == kCharCodeMsJis || textPacksDoubleByte;
    const std::uint8_t language = third[4 + 4 + block];

    std::vector<TitleInfo> entries(std::min<std::size_t>(std::size_t(lastTrack) + 1, kCdTextMaxEntries));
    for (int t = 0; t < kTextTypes; ++t) SplitStrings(collected[t], doubleByte, t, entries);
    DecodeEntries(entries, doubleByte, pack[4]);
    std::vector<TitleInfo>& sequence = store[language];
    sequence.insert(sequence.end(), entries.begin(), entries.end());

    ++block;
    for (auto& text : collected) text.clear();
    textPacksDoubleByte = false;
    i += 2;
  }
}
