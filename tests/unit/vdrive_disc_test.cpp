#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/vdrive_test_support.h"
#include "tools/vdrive/cdtext_packs.h"
#include "tools/vdrive/cue_sheet.h"
#include "tools/vdrive/disc_image.h"

namespace {

using vdrive::Disc;
using vdrive_test::FreshDir;
using vdrive_test::WriteFile;

// A raw image of n frames, each frame filled with its index.
std::string Image(int frames) {
  std::string s;
  for (int i = 0; i < frames; ++i) s.append(2352, static_cast<char>(i));
  return s;
}

TEST(VdriveCue, PregapIndexZeroAndSessionsPlaceTracks) {
  const std::string dir = FreshDir("cue");
  WriteFile(dir, "a.bin", Image(400));
  const std::string cue =
      "REM SESSION 01\r\n"
      "FILE \"a.bin\" BINARY\r\n"
      "  TRACK 01 AUDIO\r\n"
      "    INDEX 01 00:00:00\r\n"
      "  TRACK 02 AUDIO\r\n"
      "    PREGAP 00:00:10\r\n"
      "    INDEX 00 00:01:25\r\n"  // frame 100
      "    INDEX 01 00:01:45\r\n"  // frame 120
      "REM SESSION 02\r\n"
      "  TRACK 03 MODE1/2352\r\n"
      "    INDEX 01 00:04:00\r\n";  // frame 300
  Disc disc;
  std::string error;
  ASSERT_EQ(0, disc.LoadCueText(cue, dir, &error)) << error;
  ASSERT_EQ(3u, disc.tracks().size());
  ASSERT_EQ(2u, disc.sessions().size());
  const auto& t = disc.tracks();
  EXPECT_EQ(0, t[0].start);
  // Track 1 runs to the PREGAP of track 2; INDEX 00 frames belong to it in the TOC.
  EXPECT_EQ(130, t[1].start);
  EXPECT_EQ(130, t[0].length);
  EXPECT_EQ(100, t[1].regionStart);
  EXPECT_EQ(310, disc.sessions()[0].leadOut);
  EXPECT_EQ(180, t[1].length);
  EXPECT_EQ(310 + vdrive::kSessionGap, t[2].start);
  EXPECT_TRUE(t[2].data);
  EXPECT_EQ(4, t[2].control);
  EXPECT_EQ(2, t[2].session);
  EXPECT_EQ(t[2].start + 100, disc.leadOut());

  // Image bytes follow the layout: PREGAP reads as silence, the file resumes after it.
  std::uint8_t sector[2352];
  ASSERT_EQ(0, disc.ReadRawSector(105, sector));
  EXPECT_EQ(0, sector[0]);
  ASSERT_EQ(0, disc.ReadRawSector(110, sector));
  EXPECT_EQ(100, sector[0]);
  ASSERT_EQ(0, disc.ReadRawSector(t[2].start, sector));
  EXPECT_EQ(static_cast<std::uint8_t>(300), sector[2351]);
  // The gap between sessions and the lead-out are not readable.
  EXPECT_EQ(-1, disc.ReadRawSector(310, sector));
  EXPECT_EQ(-1, disc.ReadRawSector(disc.leadOut(), sector));
}

TEST(VdriveCue, TracksInSeparateFilesFollowEachOther) {
  const std::string dir = FreshDir("files");
  WriteFile(dir, "one.bin", Image(100));
  WriteFile(dir, "two.bin", Image(80) + std::string(1000, 'z'));  // a short last frame
  Disc disc;
  std::string error;
  ASSERT_EQ(0, disc.LoadCueText("FILE \"one.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                                "FILE \"two.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 00 00:00:00\n"
                                "  INDEX 01 00:00:30\n",
                                dir, &error))
      << error;
  EXPECT_EQ(130, disc.tracks()[1].start);
  EXPECT_EQ(130, disc.tracks()[0].length);
  EXPECT_EQ(181, disc.leadOut());
  std::uint8_t sector[2352];
  ASSERT_EQ(0, disc.ReadRawSector(100, sector));
  EXPECT_EQ(0, sector[0]);
  ASSERT_EQ(0, disc.ReadRawSector(180, sector));
  EXPECT_EQ('z', sector[999]);
  EXPECT_EQ(0, sector[1000]);  // padded with zeros
  EXPECT_EQ(-1, disc.LoadCueText("FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", dir, &error));
  EXPECT_NE(std::string::npos, error.find("gone.bin"));
}

TEST(VdriveCue, RejectsMalformedSheetsWithTheLine) {
  struct Case {
    const char* text;
    const char* why;
  } cases[] = {
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "TRACK before FILE"},
      {"FILE \"a.bin\" WAVE\n", "only BINARY"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 MODE1/2048\n", "unsupported track mode"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:61:00\n", "bad time"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", "no INDEX 01"},
      {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\n", "must follow"},
      {"REM SESSION 02\nREM SESSION 01\n", "must rise"},
      {"REM CDTEXT_LANGUAGE KLINGON\n", "unknown CD-TEXT language"},
  };
  for (const Case& c : cases) {
    vdrive::CueSheet cue;
    std::string error;
    EXPECT_EQ(-1, vdrive::ParseCueSheet(c.text, &cue, &error)) << c.text;
    EXPECT_NE(std::string::npos, error.find(c.why)) << error;
    EXPECT_EQ(0u, error.find("line ")) << error;
  }
}

TEST(VdriveCue, LanguageBlocksCollectDiscAndTrackTexts) {
  vdrive::CueSheet cue;
  std::string error;
  ASSERT_EQ(0, vdrive::ParseCueSheet("TITLE \"Album\"\n"
                                     "REM CDTEXT_LANGUAGE JAPANESE\n"
                                     "TITLE \"アルバム\"\n"
                                     "FILE \"a.bin\" BINARY\n"
                                     "TRACK 01 AUDIO\n"
                                     "REM CDTEXT_LANGUAGE ENGLISH\n"
                                     "PERFORMER Someone\n"
                                     "REM CDTEXT_LANGUAGE 0x69\n"
                                     "ARRANGER \"編曲\"\n"
                                     "INDEX 01 00:00:00\n"
                                     "REM CDTEXT_SIZE_PACKS MARKED\n",
                                     &cue, &error))
      << error;
  ASSERT_EQ(2u, cue.cdText.size());
  EXPECT_EQ(0x09, cue.cdText[0].language);
  EXPECT_FALSE(cue.cdText[0].doubleByte);
  EXPECT_EQ("Album", cue.cdText[0].entries[0][0]);
  EXPECT_EQ("Someone", cue.cdText[0].entries[1][1]);
  EXPECT_EQ(0x69, cue.cdText[1].language);
  EXPECT_TRUE(cue.cdText[1].doubleByte);
  EXPECT_EQ(0x80, cue.cdText[1].characterCode);
  EXPECT_TRUE(cue.cdText[1].sizePacksMarked);
  EXPECT_EQ("アルバム", cue.cdText[1].entries[0][0]);
  EXPECT_EQ("編曲", cue.cdText[1].entries[1][4]);
}

TEST(VdriveCdText, CrcMatchesAPackFromARealDisc) {
  const std::uint8_t pack[16] = {0x8F, 0x00, 0x2B, 0x00, 0x01, 0x01, 0x0D, 0x03,
                                 0x0C, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(0x7B3D, vdrive::CdTextCrc(pack, 16));
}

// Both forms of the Japanese block: the double-byte flag on its text packs
// only (as authoring tools write it, the default) or on its size packs too.
TEST(VdriveCdText, TwoBlocksCarrySizeInformationAndLanguages) {
  for (bool marked : {false, true}) {
  SCOPED_TRACE(marked ? "size packs marked" : "size packs unmarked");
  discgen::DiscOptions options;
  options.audioTracks = 12;
  options.trackFrames = 10;
  options.text = discgen::TextMode::EnglishJapanese;
  options.markSizePacks = marked;
  const auto blocks = discgen::DiscTexts(options);
  const std::vector<std::uint8_t> packs = vdrive::BuildCdTextPacks(blocks, 1, 12);
  ASSERT_FALSE(packs.empty());
  ASSERT_EQ(0u, packs.size() % 18);
  EXPECT_EQ(1, vdrive::CdTextCrcsValid(packs));

  // Each block: text packs, then three 0x8F packs; sequence numbers restart per block.
  int block = 0, expectSeq = 0, sizePacks = 0;
  for (std::size_t off = 0; off < packs.size(); off += 18) {
    const std::uint8_t* p = &packs[off];
    ASSERT_EQ(block, (p[3] >> 4) & 7) << off;
    EXPECT_EQ(block == 1 && (p[0] != 0x8F || marked), (p[3] & 0x80) != 0);
    EXPECT_EQ(expectSeq++, p[2]);
    if (p[0] != 0x8F) {
      EXPECT_EQ(0, sizePacks) << "text after the size information";
      continue;
    }
    EXPECT_EQ(sizePacks, p[1]);
    if (++sizePacks < 3) continue;
    // Size information spread over the three packs: 36 data bytes.
    const std::uint8_t* first = p - 36;
    const std::uint8_t* second = p - 18;
    EXPECT_EQ(block == 0 ? 0x00 : 0x80, first[4]);  // character code
    EXPECT_EQ(1, first[5]);                          // first and last track
    EXPECT_EQ(12, first[6]);
    EXPECT_EQ(3, second[4 + 7]);                     // three 0x8F packs counted
    EXPECT_EQ(expectSeq - 1, second[4 + 8 + block]); // this block's last sequence number
    EXPECT_EQ(0x09, p[4 + 4]);                       // languages of blocks 0 and 1
    EXPECT_EQ(0x69, p[4 + 5]);
    ++block;
    expectSeq = 0;
    sizePacks = 0;
  }
  EXPECT_EQ(2, block);

  const auto back = vdrive::DecodeCdTextPacks(packs);
  ASSERT_EQ(2u, back.size());
  for (std::size_t b = 0; b < 2; ++b) {
    EXPECT_EQ(blocks[b].language, back[b].language);
    ASSERT_EQ(13u, back[b].entries.size());
    EXPECT_EQ(b == 1, back[b].doubleByte);
    EXPECT_EQ(b == 1 && marked, back[b].sizePacksMarked);
    for (std::size_t e = 0; e < 13; ++e) EXPECT_EQ(blocks[b].entries[e], back[b].entries[e]) << b << " " << e;
  }
  }
}

TEST(VdriveCdText, PackHeadersNameTrackAndCharacterPosition) {
  vdrive::CdTextBlock b;
  b.entries.resize(3);
  b.entries[0][0] = "ABCDEFGHIJKLMNOPQRST";  // 20 characters + terminator
  b.entries[1][0] = "xy";
  b.entries[2][0] = "";
  const auto packs = vdrive::BuildCdTextPacks({b}, 1, 2);
  // Titles: 21 + 3 + 1 = 25 bytes -> 3 packs.
  ASSERT_GE(packs.size(), 3u * 18);
  EXPECT_EQ(0x80, packs[0]);
  EXPECT_EQ(0, packs[1]);
  EXPECT_EQ(0, packs[3] & 0x0F);
  EXPECT_EQ(0, packs[18 + 1]);            // still the disc title
  EXPECT_EQ(12, packs[18 + 3] & 0x0F);    // 12 characters came before
  EXPECT_EQ(2, packs[36 + 1]);            // bytes 24.. belong to track 2's empty title
  EXPECT_EQ(0, std::memcmp(&packs[18 + 4 + 8], "\0xy\0", 4));
  // Tracks 1-2, no double-byte: the decoded titles come back, the empty one too.
  const auto back = vdrive::DecodeCdTextPacks(packs);
  ASSERT_EQ(1u, back.size());
  EXPECT_EQ("xy", back[0].entries[1][0]);
  EXPECT_EQ("", back[0].entries[2][0]);
}

TEST(VdriveCdText, RawFileLoadsWithOrWithoutReadTocHeader) {
  const std::string dir = FreshDir("cdt");
  vdrive::CdTextBlock b;
  b.entries.resize(2);
  b.entries[0][0] = "Disc";
  const auto packs = vdrive::BuildCdTextPacks({b}, 1, 1);
  const std::string bare(packs.begin(), packs.end());
  std::vector<std::uint8_t> loaded;
  ASSERT_EQ(0, vdrive::LoadCdTextFile(WriteFile(dir, "bare.cdt", bare), &loaded));
  EXPECT_EQ(packs, loaded);
  ASSERT_EQ(0, vdrive::LoadCdTextFile(WriteFile(dir, "hdr.cdt", std::string("\x00\x00\x00\x00", 4) + bare + '\0'),
                                      &loaded));
  EXPECT_EQ(packs, loaded);
  EXPECT_EQ(-1, vdrive::LoadCdTextFile(WriteFile(dir, "junk.cdt", std::string(18, 'x')), &loaded));
  EXPECT_EQ(-1, vdrive::LoadCdTextFile(dir + "/missing.cdt", &loaded));
}

}  // namespace
