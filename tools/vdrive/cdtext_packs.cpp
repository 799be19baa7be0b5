#include "tools/vdrive/cdtext_packs.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tools/vdrive/regular_file.h"

namespace vdrive {

std::uint16_t CdTextCrc(const std::uint8_t* data, std::size_t length) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= static_cast<std::uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return static_cast<std::uint16_t>(~crc);
}

namespace {

constexpr int kMaxPacksPerBlock = 255;

struct PackWriter {
  std::vector<std::uint8_t>* out;
  int block;
  bool doubleByte;
  int sequence = 0;
  std::array<int, 16> counts{};

  void Emit(std::uint8_t type, std::uint8_t track, std::uint8_t charPos, const std::uint8_t* text12) {
    std::uint8_t pack[kCdTextPackSize] = {};
    pack[0] = type;
    pack[1] = track;
    pack[2] = static_cast<std::uint8_t>(sequence++);
    pack[3] = static_cast<std::uint8_t>((doubleByte ? 0x80 : 0) | (block << 4) | std::min<int>(charPos, 15));
    std::copy(text12, text12 + 12, pack + 4);
    const std::uint16_t crc = CdTextCrc(pack, 16);
    pack[16] = static_cast<std::uint8_t>(crc >> 8);
    pack[17] = static_cast<std::uint8_t>(crc);
    out->insert(out->end(), pack, pack + kCdTextPackSize);
    ++counts[type & 0x0F];
  }
};

// The string of one entry as stored: a double-byte string is padded to an
// even length so that every following string starts on a character pair.
std::string StoredText(const std::string& text, bool doubleByte) {
  std::string s = text;
  if (doubleByte && s.size() % 2 != 0) s.push_back(' ');
  s.append(doubleByte ? 2 : 1, '\0');
  return s;
}

// Text packs of one type: the strings of entries 0..N concatenated, cut into
// 12-byte pieces. Each pack names the entry of its first byte and how many
// characters of that entry precede it.
void EmitTextType(PackWriter& w, const CdTextBlock& block, int field, std::uint8_t firstTrack) {
  std::string all;
  std::vector<int> owner;     // entry index per byte
  std::vector<int> position;  // character index within its string per byte
  for (std::size_t e = 0; e < block.entries.size(); ++e) {
    const std::string s = StoredText(block.entries[e][field], block.doubleByte);
    for (std::size_t i = 0; i < s.size(); ++i) {
      all.push_back(s[i]);
      owner.push_back(static_cast<int>(e));
      position.push_back(static_cast<int>(block.doubleByte ? i / 2 : i));
    }
  }
  for (std::size_t off = 0; off < all.size(); off += 12) {
    std::uint8_t text[12] = {};
    const std::size_t n = std::min<std::size_t>(12, all.size() - off);
    std::copy(all.begin() + off, all.begin() + off + n, text);
    const int entry = owner[off];
    const std::uint8_t track = entry == 0 ? 0 : static_cast<std::uint8_t>(firstTrack + entry - 1);
    w.Emit(static_cast<std::uint8_t>(0x80 + field), track, static_cast<std::uint8_t>(position[off]), text);
  }
}

bool HasText(const CdTextBlock& block, int field) {
  for (const auto& e : block.entries)
    if (!e[field].empty()) return true;
  return false;
}

}  // namespace

std::vector<std::uint8_t> BuildCdTextPacks(const std::vector<CdTextBlock>& blocks, std::uint8_t firstTrack,
                                           std::uint8_t lastTrack) {
  std::vector<std::uint8_t> out;
  if (blocks.empty() || blocks.size() > 8) return out;
  std::vector<std::size_t> blockStart;
  std::vector<int> lastSequence;
  std::vector<PackWriter> writers;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    CdTextBlock block = blocks[b];
    block.entries.resize(static_cast<std::size_t>(lastTrack - firstTrack + 2));
    blockStart.push_back(out.size());
    PackWriter w{&out, static_cast<int>(b), block.doubleByte};
    for (int field = 0; field < kCdTextFieldCount; ++field) {
      if (HasText(block, field)) EmitTextType(w, block, field, firstTrack);
    }
    w.counts[0x0F] = 3;
    lastSequence.push_back(w.sequence + 2);
    if (lastSequence.back() >= kMaxPacksPerBlock) return {};
    // Size-information packs are written once every block's length is known.
    w.sequence += 3;
    out.resize(out.size() + 3 * kCdTextPackSize);
    writers.push_back(w);
  }
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    std::uint8_t info[36] = {};
    info[0] = blocks[b].characterCode;
    info[1] = firstTrack;
    info[2] = lastTrack;
    for (int t = 0; t < 16; ++t) info[4 + t] = static_cast<std::uint8_t>(writers[b].counts[t]);
    for (std::size_t k = 0; k < blocks.size(); ++k) {
      info[20 + k] = static_cast<std::uint8_t>(lastSequence[k]);
      info[28 + k] = blocks[k].language;
    }
    const std::size_t packsBefore = (b + 1 < blocks.size() ? blockStart[b + 1] : out.size()) - 3 * kCdTextPackSize;
    std::vector<std::uint8_t> sizePacks;
    PackWriter w{&sizePacks, static_cast<int>(b), blocks[b].doubleByte && blocks[b].sizePacksMarked};
    w.sequence = lastSequence[b] - 2;
    for (int i = 0; i < 3; ++i) w.Emit(0x8F, static_cast<std::uint8_t>(i), 0, info + 12 * i);
    std::copy(sizePacks.begin(), sizePacks.end(), out.begin() + static_cast<std::ptrdiff_t>(packsBefore));
  }
  return out;
}

int LoadCdTextFile(const std::string& path, std::vector<std::uint8_t>* packs) {
  if (!IsRegularFile(path)) return -1;
  std::ifstream in(path, std::ios::binary);
  if (!in) return -1;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > 8 * 255 * kCdTextPackSize + 5) return -1;
  std::size_t skip = 0;
  if (bytes.size() % kCdTextPackSize == 4 || bytes.size() % kCdTextPackSize == 5) skip = 4;
  const std::size_t count = (bytes.size() - skip) / kCdTextPackSize;
  if (count == 0) return -1;
  if ((bytes.size() - skip) % kCdTextPackSize > 1) return -1;
  packs->assign(bytes.begin() + static_cast<std::ptrdiff_t>(skip),
                bytes.begin() + static_cast<std::ptrdiff_t>(skip + count * kCdTextPackSize));
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t type = (*packs)[i * kCdTextPackSize];
    if (type < 0x80 || type > 0x8F) return -1;
  }
  return 0;
}

std::vector<CdTextBlock> DecodeCdTextPacks(const std::vector<std::uint8_t>& packs) {
  struct Raw {
    std::array<std::string, kCdTextFieldCount> text;
    std::uint8_t info[36] = {};
    bool doubleByte = false;
    bool sizePacksMarked = false;
    bool present = false;
  };
  Raw raw[8];
  for (std::size_t off = 0; off + kCdTextPackSize <= packs.size(); off += kCdTextPackSize) {
    const std::uint8_t* p = &packs[off];
    Raw& r = raw[(p[3] >> 4) & 7];
    r.present = true;
    if (p[0] >= 0x80 && p[0] < 0x80 + kCdTextFieldCount) {
      r.text[p[0] - 0x80].append(reinterpret_cast<const char*>(p + 4), 12);
      if (p[3] & 0x80) r.doubleByte = true;
    } else if (p[0] == 0x8F && p[1] < 3) {
      std::copy(p + 4, p + 16, r.info + 12 * p[1]);
      if (p[1] == 0 && (p[3] & 0x80)) {
        r.doubleByte = true;
        r.sizePacksMarked = true;
      }
    }
  }
  std::vector<CdTextBlock> blocks;
  for (int b = 0; b < 8; ++b) {
    if (!raw[b].present) continue;
    CdTextBlock block;
    block.characterCode = raw[b].info[0];
    block.language = raw[b].info[28 + b];
    block.doubleByte = raw[b].doubleByte || block.characterCode == kCharCodeMsJis;
    block.sizePacksMarked = raw[b].sizePacksMarked;
    const int first = raw[b].info[1], last = raw[b].info[2];
    block.entries.resize(static_cast<std::size_t>(last >= first ? last - first + 2 : 1));
    const std::size_t unit = block.doubleByte ? 2 : 1;
    for (int field = 0; field < kCdTextFieldCount; ++field) {
      const std::string& t = raw[b].text[field];
      std::size_t entry = 0;
      std::string cur;
      for (std::size_t i = 0; i + unit <= t.size() && entry < block.entries.size(); i += unit) {
        const bool end = unit == 1 ? t[i] == 0 : (t[i] == 0 || t[i + 1] == 0);
        if (end) {
          block.entries[entry++][field] = cur;
          cur.clear();
        } else {
          cur.append(t, i, unit);
        }
      }
    }
    blocks.push_back(block);
  }
  return blocks;
}

int CdTextCrcsValid(const std::vector<std::uint8_t>& packs) {
  for (std::size_t off = 0; off + kCdTextPackSize <= packs.size(); off += kCdTextPackSize) {
    const std::uint16_t crc = CdTextCrc(&packs[off], 16);
    if (packs[off + 16] != (crc >> 8) || packs[off + 17] != (crc & 0xFF)) return 0;
  }
  return 1;
}

}  // namespace vdrive
