// Our CDDB disc id against libdiscid's, for many tables of contents.
#include <discid/discid.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "cddb/disc_id.h"
#include "cddb_test_support.h"

namespace {

// libdiscid's freedb id of the same disc: offsets are absolute sectors
// (LBA + 150), index 0 the lead-out.
std::string TheirId(const std::vector<std::uint32_t>& starts, std::uint32_t leadOut) {
  DiscId* d = discid_new();
  int offsets[100] = {0};
  offsets[0] = static_cast<int>(leadOut + 150);
  for (std::size_t i = 0; i < starts.size(); ++i) offsets[i + 1] = static_cast<int>(starts[i] + 150);
  std::string id;
  if (discid_put(d, 1, static_cast<int>(starts.size()), offsets)) id = discid_get_freedb_id(d);
  discid_free(d);
  return id;
}

std::string OurId(const DiscToc& toc) {
  char text[16];
  std::snprintf(text, sizeof text, "%.8x", static_cast<unsigned>(ComputeDiscId(toc)));
  return text;
}

}  // namespace

TEST(CddbDiscIdAgainstLibdiscid, WorkedExample) {
  EXPECT_EQ("0d012c02", TheirId({0, 18430 - 150}, 302 * 75 - 150));
  EXPECT_EQ("0d012c02", OurId(cddbtest::ExampleToc()));
}

TEST(CddbDiscIdAgainstLibdiscid, GeneratedDiscs) {
  std::mt19937 random(20261208);
  int digitSumWraps = 0;
  for (int n = 0; n < 3000; ++n) {
    const int tracks = 1 + static_cast<int>(random() % 99);
    // Short tracks on some discs so that 99 of them fit; long ones elsewhere.
    const std::uint32_t maxLength = (n % 3 == 0) ? 2000 : 330000 / static_cast<std::uint32_t>(tracks);
    std::vector<std::uint32_t> starts;
    std::uint32_t at = (n % 5 == 0) ? random() % 300 : 0;
    for (int i = 0; i < tracks; ++i) {
      starts.push_back(at);
      at += 300 + random() % maxLength;
    }
    // The disc types our drive code reports: a data first track, audio
    // with a data session after it (CD-Extra: 11400-frame gap before the
    // last track), and plain audio.
    int type = kDiscAudioOnly;
    if (n % 7 == 1) type = kDiscDataThenAudio;
    if (n % 7 == 2 && tracks > 1) {
      type = kDiscAudioThenData;
      starts.back() += 11400;
      at += 11400;
    }
    if (at + 150 > 449999) continue;  // beyond what a disc holds
    const DiscToc toc = cddbtest::MakeToc(starts, at, type);
    const std::string ours = OurId(toc);
    ASSERT_EQ(TheirId(starts, at), ours) << "disc " << n << " with " << tracks << " tracks";
    if (ours.compare(0, 2, "00") == 0 && tracks > 20) ++digitSumWraps;
  }
  // Some discs reached a digit sum of exactly 255 (or a multiple).
  EXPECT_GT(digitSumWraps, 0);
}
