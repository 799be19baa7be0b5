#include "tools/discgen/disc_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tools/vdrive/disc_image.h"
#include "util/codepage.h"
#include "util/codepage_platform.h"

namespace discgen {

namespace {

using vdrive::CdTextBlock;
using vdrive::kFrameBytes;

constexpr int kPregapFrames = 150;
constexpr double kPi = 3.14159265358979323846;

std::string Two(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

std::string Msf(int frames) { return vdrive::FramesToMsfText(frames); }

// Full-width digits (UTF-8), so that a double-byte block holds only pairs.
std::string WideNumber(int n) {
  std::string s;
  for (char c : std::to_string(n)) {
    s += "\xEF\xBC";  // U+FF10 + digit
    s.push_back(static_cast<char>(0x90 + (c - '0')));
  }
  return s;
}

// The texts are written here in UTF-8; a disc carries them in its block's
// character code, whatever the code page of the system writing the disc.
std::string ToCp932(const std::string& utf8) {
  std::string out;
  codepage::platform::Utf16ToCodePage(932, codepage::Utf8ToUtf16(utf8), &out);
  return out;
}

std::string ToLatin1(const std::string& utf8) {
  std::string out;
  for (const char16_t c : codepage::Utf8ToUtf16(utf8)) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

void EncodeBlock(CdTextBlock& block, std::string (*encode)(const std::string&)) {
  for (auto& entry : block.entries)
    for (std::string& field : entry) field = encode(field);
}

void PutSample(std::uint8_t* p, int left, int right) {
  p[0] = static_cast<std::uint8_t>(left);
  p[1] = static_cast<std::uint8_t>(left >> 8);
  p[2] = static_cast<std::uint8_t>(right);
  p[3] = static_cast<std::uint8_t>(right >> 8);
}

// ---- demo music: additive synthesis with simple envelopes ----

struct Note {
  int midi;       // 0: rest
  double beats;
};

struct Piece {
  double bpm;
  std::vector<Note> melody;
  std::vector<Note> bass;
  double brightness;  // weight of the upper partials
};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

double Envelope(double t, double length) {
  const double attack = 0.015, decay = 0.25, sustain = 0.55, release = 0.12;
  double a;
  if (t < attack) a = t / attack;
  else if (t < attack + decay) a = 1.0 - (1.0 - sustain) * (t - attack) / decay;
  else a = sustain;
  if (t > length - release) a *= std::max(0.0, (length - t) / release);
  return a;
}

// Renders one voice into a float stereo buffer.
void RenderVoice(const std::vector<Note>& notes, double bpm, double gain, double pan, double brightness,
                 std::vector<float>& left, std::vector<float>& right) {
  const double beat = 60.0 / bpm;
  const std::size_t total = left.size();
  std::size_t pos = 0;
  std::size_t i = 0;
  while (pos < total) {
    const Note& n = notes[i++ % notes.size()];
    const std::size_t len = static_cast<std::size_t>(n.beats * beat * 44100.0);
    if (n.midi > 0) {
      const double hz = NoteHz(n.midi);
      const double seconds = static_cast<double>(len) / 44100.0;
      for (std::size_t k = 0; k < len && pos + k < total; ++k) {
        const double t = static_cast<double>(k) / 44100.0;
        double v = 0;
        double w = 1.0;
        for (int h = 1; h <= 5; ++h) {
          v += w * std::sin(2.0 * kPi * hz * h * t) / h;
          w *= brightness;
        }
        v *= Envelope(t, seconds) * gain;
        left[pos + k] += static_cast<float>(v * (1.0 - pan));
        right[pos + k] += static_cast<float>(v * pan);
      }
    }
    pos += len;
  }
}

std::vector<Piece> DemoPieces() {
  return {
      {96, {{72, 1}, {76, 1}, {79, 1}, {76, 1}, {74, 1}, {77, 1}, {81, 2}, {79, 1}, {76, 1}, {72, 2}},
       {{48, 2}, {53, 2}, {55, 2}, {48, 2}}, 0.55},
      {72, {{69, 1.5}, {72, 0.5}, {74, 1}, {76, 1}, {74, 2}, {72, 1}, {69, 1}, {67, 2}, {0, 1}},
       {{45, 4}, {43, 4}, {41, 4}, {40, 4}}, 0.35},
      {120, {{64, 0.5}, {67, 0.5}, {71, 0.5}, {74, 0.5}, {72, 1}, {71, 0.5}, {67, 0.5}, {69, 2}, {0, 0.5}},
       {{40, 1}, {40, 1}, {45, 1}, {47, 1}}, 0.7},
  };
}

std::vector<std::uint8_t> RenderDemoTrack(int piece, int frames) {
  const std::size_t samples = static_cast<std::size_t>(frames) * 588;
  std::vector<float> l(samples, 0.0f), r(samples, 0.0f);
  const Piece p = DemoPieces()[static_cast<std::size_t>(piece % 3)];
  RenderVoice(p.melody, p.bpm, 0.30, 0.65, p.brightness, l, r);
  RenderVoice(p.bass, p.bpm, 0.35, 0.40, 0.3, l, r);
  std::vector<std::uint8_t> out(samples * 4);
  for (std::size_t i = 0; i < samples; ++i) {
    // Fade the last half second so tracks end cleanly.
    const double fade = std::min(1.0, static_cast<double>(samples - i) / 22050.0);
    const auto clip = [fade](float v) {
      const double x = std::max(-1.0, std::min(1.0, v * fade));
      return static_cast<int>(std::lround(x * 32000.0));
    };
    PutSample(&out[i * 4], clip(l[i]), clip(r[i]));
  }
  return out;
}

// ---- texts ----

std::array<std::string, vdrive::kCdTextFieldCount> Fields(std::string title, std::string performer,
                                                          std::string songwriter = "", std::string composer = "",
                                                          std::string arranger = "") {
  return {std::move(title), std::move(performer), std::move(songwriter), std::move(composer), std::move(arranger)};
}

// Writes one CD-TEXT block's lines for an entry (0 disc, k track k).
void WriteTextLines(std::ofstream& cue, const std::array<std::string, vdrive::kCdTextFieldCount>& f,
                    const char* indent) {
  static const char* const kKeys[] = {"TITLE", "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER"};
  for (int i = 0; i < vdrive::kCdTextFieldCount; ++i)
    if (!f[static_cast<std::size_t>(i)].empty())
      cue << indent << kKeys[i] << " \"" << f[static_cast<std::size_t>(i)] << "\"\r\n";
}

}  // namespace

void FillAudioFrame(std::int32_t lba, std::uint8_t* out) {
  for (int i = 0; i < 588; ++i) {
    const std::uint32_t v = static_cast<std::uint32_t>(lba) * 588u + static_cast<std::uint32_t>(i);
    PutSample(out + i * 4, static_cast<int>(v & 0xFFFF), static_cast<int>(v >> 16));
  }
}

std::int64_t PatternPosition(const std::uint8_t* p) {
  return static_cast<std::int64_t>(p[0] | (p[1] << 8)) | (static_cast<std::int64_t>(p[2] | (p[3] << 8)) << 16);
}

void FillDataSector(std::int32_t lba, std::uint8_t* out) {
  std::memset(out, 0, kFrameBytes);
  std::memset(out + 1, 0xFF, 10);
  const int x = lba + vdrive::kMsfOffset;
  const auto bcd = [](int v) { return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10)); };
  out[12] = bcd(x / 4500);
  out[13] = bcd(x / 75 % 60);
  out[14] = bcd(x % 75);
  out[15] = 1;  // mode 1
  char line[32];
  const int n = std::snprintf(line, sizeof line, "DATA LBA %08d\n", static_cast<int>(lba));
  for (int off = 0; off + n <= 2048; off += n) std::memcpy(out + 16 + off, line, static_cast<std::size_t>(n));
}

std::vector<CdTextBlock> DiscTexts(const DiscOptions& options) {
  std::vector<CdTextBlock> blocks;
  if (options.text == TextMode::None) return blocks;
  const bool demo = options.layout == Layout::Demo;
  const int audio = options.trackLengths.empty() ? options.audioTracks : static_cast<int>(options.trackLengths.size());
  const int tracks = demo ? 3 : audio + (options.layout == Layout::AudioOnly ? 0 : 1);
  const int firstAudio = options.layout == Layout::DataFirst ? 2 : 1;
  CdTextBlock en;
  en.language = vdrive::kLanguageEnglish;
  en.entries.resize(static_cast<std::size_t>(tracks + 1));
  static const char* const kDemoEn[] = {"Morning Light", "Paper Lanterns", "Night Train"};
  static const char* const kDemoJa[] = {"朝の光", "紙の灯籠", "夜汽車"};
  if (demo) {
    en.entries[0] = Fields("Quorvo Demo Sessions", "Quorvo Synth Trio", "", "A. Composer");
    for (int k = 1; k <= 3; ++k) en.entries[static_cast<std::size_t>(k)] = Fields(kDemoEn[k - 1], "Quorvo Synth Trio");
  } else {
    en.entries[0] = Fields("Virtual Test Disc", "The Pattern Players", "Disc Songwriter", "Disc Composer",
                           "Disc Arranger");
    for (int k = 1; k <= tracks; ++k) {
      const bool audio = options.layout == Layout::CdExtra ? k < tracks : k >= firstAudio;
      en.entries[static_cast<std::size_t>(k)] =
          audio ? Fields("Track " + Two(k) + " Title", "Performer " + std::to_string(k),
                         k == 1 ? "Songwriter One" : "", k == 2 ? "Composer Two" : "", "")
                : Fields("Data", "");
    }
  }
  if (options.text == TextMode::Latin1) {
    // ISO 8859-1 beyond ASCII, in the block's character code 0x00.
    en.entries[0] = Fields("Café", "Björk", "Sigur Rós");
    for (int k = 1; k <= tracks; ++k) en.entries[static_cast<std::size_t>(k)] = Fields("Café " + Two(k), "Björk");
    EncodeBlock(en, ToLatin1);
  }
  blocks.push_back(en);
  if (options.text == TextMode::EnglishJapanese) {
    CdTextBlock ja;
    ja.language = vdrive::kLanguageJapanese;
    ja.doubleByte = true;
    ja.sizePacksMarked = options.markSizePacks;
    ja.characterCode = vdrive::kCharCodeMsJis;
    ja.entries.resize(static_cast<std::size_t>(tracks + 1));
    if (demo) {
      ja.entries[0] = Fields("クォルボ・デモ", "クォルボ・シンセ・トリオ");
      for (int k = 1; k <= 3; ++k) ja.entries[static_cast<std::size_t>(k)] = Fields(kDemoJa[k - 1], "クォルボ・シンセ・トリオ");
    } else {
      ja.entries[0] = Fields("仮想テストディスク", "パターン楽団", "作詞者", "作曲者", "編曲者");
      for (int k = 1; k <= tracks; ++k)
        ja.entries[static_cast<std::size_t>(k)] =
            Fields("トラック" + WideNumber(k), "演奏者" + WideNumber(k), k % 2 ? "作詞者" + WideNumber(k) : "");
    }
    EncodeBlock(ja, ToCp932);
    blocks.push_back(ja);
  }
  return blocks;
}

int GenerateDisc(const DiscOptions& options, const std::string& dir, std::string* cuePath, std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return -1;
  };
  const bool demo = options.layout == Layout::Demo;
  std::vector<int> lengths = options.trackLengths;
  if (demo) lengths.assign(3, 15 * 75);
  else if (lengths.empty()) lengths.assign(static_cast<std::size_t>(std::max(options.audioTracks, 0)), options.trackFrames);
  const int audioTracks = static_cast<int>(lengths.size());
  const int shortest = lengths.empty() ? 0 : *std::min_element(lengths.begin(), lengths.end());
  if (audioTracks < 1 || audioTracks > 98 || shortest < 1 || options.dataFrames < 1 || options.index0Frames < 0 ||
      options.index0Frames >= shortest)
    return fail("disc parameters out of range");
  if (options.name.empty() || options.name.find_first_of("/\\\"") != std::string::npos) return fail("bad disc name");

  std::string base = dir;
  if (!base.empty() && base.back() != '/' && base.back() != '\\') base.push_back('/');
  const std::string binName = options.name + ".bin";
  std::ofstream bin(base + binName, std::ios::binary | std::ios::trunc);
  std::ofstream cue(base + options.name + ".cue", std::ios::binary | std::ios::trunc);
  if (!bin || !cue) return fail("cannot write into " + dir);

  const std::vector<CdTextBlock> texts = DiscTexts(options);
  const bool textLines = !texts.empty() && !options.rawCdTextFile;
  if (!texts.empty() && options.rawCdTextFile) {
    const int total = audioTracks + (options.layout == Layout::DataFirst || options.layout == Layout::CdExtra ? 1 : 0);
    const std::vector<std::uint8_t> packs = vdrive::BuildCdTextPacks(texts, 1, static_cast<std::uint8_t>(total));
    std::ofstream cdt(base + options.name + ".cdt", std::ios::binary | std::ios::trunc);
    if (!cdt || packs.empty()) return fail("cannot write CD-TEXT file");
    cdt.write(reinterpret_cast<const char*>(packs.data()), static_cast<std::streamsize>(packs.size()));
    cue << "CDTEXTFILE \"" << options.name << ".cdt\"\r\n";
  }
  const auto entryText = [&](std::size_t entry, const char* indent) {
    if (!textLines) return;
    for (const CdTextBlock& b : texts) {
      if (texts.size() > 1)
        cue << indent << "REM CDTEXT_LANGUAGE " << (b.language == vdrive::kLanguageJapanese ? "JAPANESE" : "ENGLISH")
            << "\r\n";
      if (entry < b.entries.size()) WriteTextLines(cue, b.entries[entry], indent);
    }
  };
  if (textLines && options.markSizePacks) cue << "REM CDTEXT_SIZE_PACKS MARKED\r\n";
  entryText(0, "");
  if (options.layout == Layout::CdExtra) cue << "REM SESSION 01\r\n";
  cue << "FILE \"" << binName << "\" BINARY\r\n";

  std::uint8_t frame[kFrameBytes];
  std::int32_t lba = 0;      // disc address of the next frame written
  std::int32_t fileAt = 0;   // image frame of the next frame written
  int number = 1;
  const auto writeData = [&]() {
    cue << "  TRACK " << Two(number) << " MODE1/2352\r\n";
    entryText(static_cast<std::size_t>(number), "    ");
    cue << "    INDEX 01 " << Msf(fileAt) << "\r\n";
    for (int i = 0; i < options.dataFrames; ++i) {
      FillDataSector(lba++, frame);
      bin.write(reinterpret_cast<const char*>(frame), kFrameBytes);
      ++fileAt;
    }
    ++number;
  };

  if (options.layout == Layout::DataFirst) {
    writeData();
    lba += kPregapFrames;  // the PREGAP below is not in the image
  }
  for (int t = 0; t < audioTracks; ++t, ++number) {
    const int trackFrames = lengths[static_cast<std::size_t>(t)];
    cue << "  TRACK " << Two(number) << " AUDIO\r\n";
    entryText(static_cast<std::size_t>(number), "    ");
    if (options.layout == Layout::DataFirst && t == 0) cue << "    PREGAP " << Msf(kPregapFrames) << "\r\n";
    const int index0 = (t > 0 && !demo) ? options.index0Frames : 0;
    if (index0 > 0) cue << "    INDEX 00 " << Msf(fileAt) << "\r\n";
    cue << "    INDEX 01 " << Msf(fileAt + index0) << "\r\n";
    if (demo) {
      const std::vector<std::uint8_t> pcm = RenderDemoTrack(t, trackFrames);
      bin.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
      lba += trackFrames;
      fileAt += trackFrames;
    } else {
      for (int i = 0; i < trackFrames; ++i) {
        FillAudioFrame(lba++, frame);
        bin.write(reinterpret_cast<const char*>(frame), kFrameBytes);
        ++fileAt;
      }
    }
  }
  if (options.layout == Layout::CdExtra) {
    cue << "REM SESSION 02\r\n";
    lba += vdrive::kSessionGap;
    writeData();
  }
  bin.close();
  cue.close();
  if (!bin || !cue) return fail("write failed in " + dir);
  if (cuePath) *cuePath = base + options.name + ".cue";
  return 0;
}

}  // namespace discgen
