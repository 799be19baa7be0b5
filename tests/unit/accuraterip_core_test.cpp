// AccurateRip's core: ids of discs with data tracks (the worked examples of
// ARver's notes on data tracks), the answer's faults, verdicts, and the
// read offset found from offset frames. Ids, slots and track checksums of
// generated discs are compared with whipper's by tools/archeck.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "accuraterip/dbar.h"
#include "accuraterip/offset_search.h"

namespace {

using namespace accuraterip;
using Bytes = std::vector<std::uint8_t>;

TEST(AccurateRip, IdsOfMixedModeAndEnhancedDiscs) {
  struct Case {
    std::vector<std::uint32_t> starts;  // LBA; the data track's start is 0 or the last
    std::uint32_t leadOut;
    int dataTrack, discType;
    const char* path;
  } cases[] = {
      {{0, 66578, 76352, 85813, 93610, 103898, 115916, 124593, 134056, 142766, 151702, 160570, 169275, 178581, 188309,
        196561, 206204, 214695, 223536, 225596, 226234, 232518, 239297, 239781, 244839, 254114, 259916, 261072, 261524},
       261826, 1, kDiscDataThenAudio, "http://ar/accuraterip/4/5/a/dBAR-028-00517a54-05a845d2-af0da31d.bin"},
      // The lead-out is the disc's, not the audio session's (270185).
      {{0, 12617, 40337, 63075, 93260, 117965, 151715, 184190, 215110, 247305, 281585}, 333651, 11,
       kDiscAudioThenData, "http://ar/accuraterip/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin"},
  };
  for (const Case& c : cases) {
    DiscToc toc;
    toc.discType = c.discType;
    toc.msfOffset = 150;
    toc.lastTrack = static_cast<int>(c.starts.size());
    for (int n = 1; n <= toc.lastTrack; ++n) {
      toc.tracks[n].start = c.starts[static_cast<std::size_t>(n - 1)];
      toc.tracks[n].dataTrack = n == c.dataTrack ? 4 : 0;
    }
    toc.tracks[kLeadOutKey].start = c.leadOut;
    DiscIds ids;
    ASSERT_TRUE(ComputeDiscIds(toc, &ids));
    EXPECT_EQ(RequestPath("http://ar/", ids), c.path);
  }
}

const DiscIds kDisc = {3, 0x00012345, 0x00234567, 0x1F02E003};

Bytes Response(const DiscIds& ids, const std::vector<DbarTrack>& tracks) {
  Bytes out{static_cast<std::uint8_t>(ids.audioTracks)};
  auto put = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  for (std::uint32_t id : {ids.id1, ids.id2, ids.cddb}) put(id);
  for (const DbarTrack& t : tracks) {
    out.push_back(t.confidence);
    put(t.crc);
    put(t.offsetCrc);
  }
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Two pressings; slot 2 of the first is a placeholder.
const Bytes kFirst = Response(kDisc, {{5, 0xA1, 1}, {5, 0xA2, 2}, {0, 0, 0}});
const Bytes kBody = kFirst + Response(kDisc, {{2, 0xB1, 1}, {9, 0xA2, 2}, {3, 0xB3, 0}});

TEST(AccurateRip, BadAnswersAreRefusedWhole) {
  auto with = [](std::size_t at, std::uint8_t value) {
    Bytes body = kBody;
    body[at] = value;
    return body;
  };
  const std::size_t second = kFirst.size();  // the second response's header
  struct Case {
    const char* name;
    Bytes body;
    int result;
  } cases[] = {
      {"no bytes", {}, kDbarEmpty},
      {"cut in a header", Bytes(kBody.begin(), kBody.begin() + second + 12), kDbarMalformed},
      {"cut in a track", Bytes(kBody.begin(), kBody.end() - 1), kDbarMalformed},
      {"bytes after the last response", kBody + Bytes{0}, kDbarMalformed},
      {"more tracks than the disc", with(second, 4) + Bytes(9), kDbarMalformed},
      {"fewer tracks than the disc", with(second, 2), kDbarMalformed},
      {"no tracks", with(0, 0), kDbarMalformed},
      {"another disc", with(second + 9, 0x04), kDbarMalformed},
  };
  for (const Case& c : cases) {
    std::vector<DbarResponse> responses(1);
    EXPECT_EQ(ParseDbar(c.body.data(), c.body.size(), kDisc, &responses), c.result) << c.name;
    EXPECT_TRUE(responses.empty()) << c.name;
  }
}

TEST(AccurateRip, VerdictsTakeTheHighestMatchingConfidence) {
  std::vector<DbarResponse> responses;
  ASSERT_EQ(ParseDbar(kBody.data(), kBody.size(), kDisc, &responses), kDbarOk);
  ASSERT_EQ(responses.size(), 2u);
  EXPECT_EQ(responses[1].tracks[1].offsetCrc, 2u);
  struct Case {
    int slot;
    std::uint32_t v1, v2;
    int state, confidence;
  } cases[] = {{0, 0xA1, 7, kTrackMatch, 5},  {0, 7, 0xB1, kTrackMatch, 2}, {1, 0xA2, 0, kTrackMatch, 9},
               {2, 0, 0, kTrackMismatch, 0},  // a placeholder's 0 is no checksum
               {3, 0xA1, 0, kTrackNotInDatabase, 0}};
  for (const Case& c : cases) {
    const TrackVerdict verdict = VerifyTrack(responses, c.slot, c.v1, c.v2);
    EXPECT_TRUE(verdict.state == c.state && verdict.confidence == c.confidence) << c.slot;
  }
}

// Random tracks read by a drive with read offset `drive`: the windows as
// delivered, and a pressing (confidence 4) holding the disc's offset frames.
TEST(AccurateRip, OffsetFramesTellTheDrivesOffset) {
  for (int drive : {667, -2940, 2940}) {
    const int shift = drive > 0 ? -30 : 30;
    std::mt19937 random(static_cast<std::uint32_t>(drive));
    std::vector<Bytes> windows;
    windows.reserve(3);
    std::vector<DbarResponse> responses(2);
    std::vector<OffsetWindow> offered;
    for (int t = 0; t < 3; ++t) {
      // [k]: the track's sample kOffsetWindowStart - kMaxOffset + k; its offset frame at 2 * kMaxOffset.
      Bytes disc((kOffsetWindowSamples + 2 * kMaxOffset) * 4);
      for (auto& b : disc) b = static_cast<std::uint8_t>(random());
      const auto from = disc.begin() + (kMaxOffset - drive) * 4;
      windows.emplace_back(from, from + kOffsetWindowSamples * 4);
      offered.push_back({t, windows.back().data()});
      responses[0].tracks.push_back({4, 0, OffsetFrameCrc(disc.data() + 2 * kMaxOffset * 4)});
      // Another pressing, 30 samples apart, knows track 0 only.
      responses[1].tracks.push_back({t == 0 ? std::uint8_t(9) : std::uint8_t(0), 0,
                                     OffsetFrameCrc(disc.data() + (2 * kMaxOffset + shift) * 4)});
    }
    responses[0].tracks[1].confidence = 0;
    const auto candidates = FindOffsets(offered, responses);
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_TRUE(candidates[0].offset == drive && candidates[0].tracks == 2 && candidates[0].confidence == 8);
    EXPECT_TRUE(candidates[1].offset == drive + shift && candidates[1].confidence == 9);
    int offset = 0;
    EXPECT_TRUE(DetectOffset(candidates, &offset));
    EXPECT_EQ(offset, drive);
    // One track alone cannot tell, nor can two offsets that tie.
    EXPECT_FALSE(DetectOffset(FindOffsets({offered[0]}, responses), &offset));
    EXPECT_FALSE(DetectOffset({{5, 2, 4}, {-5, 2, 4}}, &offset));
  }
  // A constant signal has its checksum at every shift: it proves nothing.
  const Bytes flat(kOffsetWindowSamples * 4, 1);
  std::vector<DbarResponse> answer(1);
  answer[0].tracks.assign(2, {5, 0, OffsetFrameCrc(flat.data())});
  EXPECT_TRUE(FindOffsets({{0, flat.data()}, {1, flat.data()}}, answer).empty());
}

}  // namespace
