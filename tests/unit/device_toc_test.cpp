#include <gtest/gtest.h>

#include "device/cd_device.h"
#include "device/disc_toc.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;
using devtest::TocReply;
using devtest::TocTrack;

const Bytes kMsfCdb{0x43, 0x02, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0};
const Bytes kLbaCdb{0x43, 0x00, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0};
const Bytes kSessionCdb{0x43, 0, 0, 0, 0, 0, 0x01, 0x00, 0x0C, 0x40};

constexpr std::uint8_t kAudio = 0x02;  // copy permitted
constexpr std::uint8_t kData = 0x04;

struct Disc {
  std::vector<TocTrack> tracks;
  std::uint32_t leadOut;
  int msfOffset = 150;
};

void Script(devtest::ScriptedTransport& t, const Disc& disc, std::uint8_t lastSession = 1) {
  t.Reply(kMsfCdb, TocReply(disc.tracks, disc.leadOut, true, disc.msfOffset));
  t.Reply(kLbaCdb, TocReply(disc.tracks, disc.leadOut, false));
  t.Reply(kSessionCdb, devtest::SessionReply(1, lastSession));
}

Disc AudioDisc(int n, std::uint32_t step = 20000) {
  Disc disc;
  for (int i = 0; i < n; ++i) disc.tracks.push_back({kAudio, std::uint32_t(i) * step});
  disc.leadOut = std::uint32_t(n) * step;
  return disc;
}

class DeviceToc : public ::testing::Test {
 protected:
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped{system};
  CdDevice device;
  devtest::ScriptedTransport* transport = devtest::AttachDriveD(device, system);
};

TEST_F(DeviceToc, TwelveTrackAudioDisc) {
  Script(*transport, AudioDisc(12));
  EXPECT_EQ(12, device.ReadToc());
  EXPECT_EQ(12, device.LastTrack());
  EXPECT_EQ(kDiscAudioOnly, device.Toc().discType);
  EXPECT_EQ(150, device.Toc().msfOffset);

  std::vector<int> keys;
  for (const auto& entry : device.Toc().tracks) keys.push_back(entry.first);
  std::vector<int> expected{0};
  for (int k = 1; k <= 12; ++k) expected.push_back(k);
  expected.push_back(0xAA);
  EXPECT_EQ(expected, keys);

  TrackEntry track;
  ASSERT_EQ(1, device.GetTrackEntry(12, &track));
  EXPECT_EQ(220000u, track.start);
  EXPECT_EQ(240000u - 1, track.end);
  EXPECT_EQ(20000u, track.length);
  EXPECT_EQ(0u, track.dataTrack);
  EXPECT_EQ(0u, track.copyProhibited);
  // 220000 + 150 frames = 48:55:25
  EXPECT_EQ(48, track.minute);
  EXPECT_EQ(55, track.second);
  EXPECT_EQ(25, track.frame);

  TrackEntry disc;
  ASSERT_EQ(1, device.GetTrackEntry(0, &disc));
  EXPECT_EQ(0u, disc.start);
  EXPECT_EQ(239999u, disc.end);
  EXPECT_EQ(240000u, disc.length);
  EXPECT_EQ(2, disc.second);

  TrackEntry leadOut;
  ASSERT_EQ(1, device.GetTrackEntry(0xAA, &leadOut));
  EXPECT_EQ(240000u, leadOut.start);
  EXPECT_EQ(0u, leadOut.length);
  EXPECT_EQ(0u, leadOut.end);

  // One session: no full TOC; every buffer aligned and zero-filled.
  ASSERT_EQ(3u, transport->sent.size());
  EXPECT_EQ((std::vector<Bytes>{kMsfCdb, kLbaCdb, kSessionCdb}), transport->Cdbs());
  const std::uint32_t lengths[] = {804, 804, 12};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ("SendToDrive", transport->sent[i].via);
    EXPECT_EQ(lengths[i], transport->sent[i].dataLength);
    EXPECT_TRUE(transport->sent[i].aligned);
    EXPECT_TRUE(transport->sent[i].zeroFilled);
  }

  int m, s, f;
  device.LbaToMsf(0, &m, &s, &f);
  EXPECT_EQ(0, m);
  EXPECT_EQ(2, s);
  EXPECT_EQ(0, f);
  EXPECT_EQ(0, device.MsfToLba(0, 2, 0));
}

TEST_F(DeviceToc, TrackFlagsComeFromTheControlField) {
  Disc disc = AudioDisc(2);
  disc.tracks[0].control = 0x01 | 0x08;  // pre-emphasis, four channels, copy not permitted
  Script(*transport, disc);
  ASSERT_EQ(2, device.ReadToc());
  TrackEntry track;
  ASSERT_EQ(1, device.GetTrackEntry(1, &track));
  EXPECT_EQ(1u, track.preEmphasis);
  EXPECT_EQ(1u, track.copyProhibited);
  EXPECT_EQ(8u, track.fourChannel);
  EXPECT_EQ(0u, track.dataTrack);
}

TEST_F(DeviceToc, DataFirstDiscUsesTheFixedOffset) {
  Disc disc = AudioDisc(10);
  disc.tracks[0].control = kData;
  disc.msfOffset = 152;  // what the drive says is not used for this type
  Script(*transport, disc);
  ASSERT_EQ(10, device.ReadToc());
  EXPECT_EQ(kDiscDataThenAudio, device.Toc().discType);
  EXPECT_EQ(152, device.Toc().msfOffset);
  TrackEntry track;
  ASSERT_EQ(1, device.GetTrackEntry(1, &track));
  EXPECT_EQ(4u, track.dataTrack);
  int m, s, f;
  device.LbaToMsf(4500, &m, &s, &f);
  EXPECT_EQ(1, m);
  EXPECT_EQ(2, s);
  EXPECT_EQ(0, f);
}

TEST_F(DeviceToc, DiscTypesOfSingleTrackAndDataOnlyDiscs) {
  Script(*transport, AudioDisc(1));
  EXPECT_EQ(1, device.ReadToc());
  EXPECT_EQ(kDiscAudioOnly, device.Toc().discType);

  Disc data = AudioDisc(2);
  data.tracks[0].control = kData;
  data.tracks[1].control = kData;
  Script(*transport, data);
  EXPECT_EQ(2, device.ReadToc());
  EXPECT_EQ(kDiscDataOnly, device.Toc().discType);
}

TEST_F(DeviceToc, CdExtraLastAudioTrackEndsAtTheFirstSessionsLeadOut) {
  // Tracks 1-10 audio in session 1 (lead-out at 188600), track 11 data in
  // session 2 from 200000.
  Disc disc = AudioDisc(10, 18000);
  disc.tracks.push_back({kData, 200000});
  disc.leadOut = 230000;
  Script(*transport, disc, 2);
  const std::uint32_t leadOut1 = 188600 + 150;
  const std::uint32_t leadOut2 = 230000 + 150;
  const Bytes fullCdb{0x43, 0, 0, 0, 0, 0, 0x01, 0x04, 0x92, 0x80};
  transport->Reply(fullCdb, devtest::FullTocReply({
                                {1, 0xA0, 1, 0, 0},
                                {1, 0xA1, 10, 0, 0},
                                {1, 0xA2, std::uint8_t(leadOut1 / 4500), std::uint8_t(leadOut1 / 75 % 60),
                                 std::uint8_t(leadOut1 % 75)},
                                {2, 0xA0, 11, 0, 0},
                                {2, 0xA1, 11, 0, 0},
                                {2, 0xA2, std::uint8_t(leadOut2 / 4500), std::uint8_t(leadOut2 / 75 % 60),
                                 std::uint8_t(leadOut2 % 75)},
                            }));

  ASSERT_EQ(11, device.ReadToc());
  EXPECT_EQ(kDiscAudioThenData, device.Toc().discType);
  ASSERT_EQ(4u, transport->sent.size());
  EXPECT_EQ(fullCdb, transport->sent[3].cdb);
  EXPECT_EQ(1170u, transport->sent[3].dataLength);
  EXPECT_TRUE(transport->sent[3].aligned);

  TrackEntry track;
  ASSERT_EQ(1, device.GetTrackEntry(10, &track));
  EXPECT_EQ(162000u, track.start);
  EXPECT_EQ(188599u, track.end);
  EXPECT_EQ(188600u - 162000u, track.length);
  // The last session's last track keeps its end at the disc's lead-out.
  ASSERT_EQ(1, device.GetTrackEntry(11, &track));
  EXPECT_EQ(229999u, track.end);
}

TEST_F(DeviceToc, NoOffsetBeforeAnyTableOfContents) {
  EXPECT_EQ(kDiscUndetermined, device.Toc().discType);
  int m, s, f;
  device.LbaToMsf(75, &m, &s, &f);
  EXPECT_EQ(0, m);
  EXPECT_EQ(1, s);
  EXPECT_EQ(0, f);
  EXPECT_EQ(75, device.MsfToLba(0, 1, 0));
}

TEST_F(DeviceToc, FailuresAndTheTableLeftBehind) {
  Script(*transport, AudioDisc(3));
  ASSERT_EQ(3, device.ReadToc());

  // A failed first READ TOC leaves no table of the previous disc behind.
  transport->failing.insert(kMsfCdb);
  EXPECT_EQ(-1, device.ReadToc());
  EXPECT_EQ(0, device.LastTrack());
  EXPECT_EQ(kDiscUndetermined, device.Toc().discType);
  TrackEntry untouched;
  untouched.start = 777;
  EXPECT_EQ(0, device.GetTrackEntry(1, &untouched));
  EXPECT_EQ(777u, untouched.start);

  // A failure after the first two replies keeps the table they gave.
  transport->failing = {kSessionCdb};
  EXPECT_EQ(-1, device.ReadToc());
  EXPECT_EQ(3, device.LastTrack());
  EXPECT_EQ(1, device.GetTrackEntry(3, nullptr));
}

// Replies that contradict themselves are refused whole.
TEST(DeviceTocDecoder, RefusesInconsistentReplies) {
  const Disc good = AudioDisc(3);
  const Bytes msf = TocReply(good.tracks, good.leadOut, true);
  const Bytes lba = TocReply(good.tracks, good.leadOut, false);
  DiscToc toc;
  ASSERT_EQ(3, DecodeToc(msf.data(), msf.size(), lba.data(), lba.size(), toc));

  auto refuses = [&](Bytes badLba, Bytes badMsf, const char* what) {
    DiscToc t;
    t.lastTrack = 9;
    EXPECT_EQ(-1, DecodeToc(badMsf.data(), badMsf.size(), badLba.data(), badLba.size(), t)) << what;
    EXPECT_TRUE(t.tracks.empty()) << what;
    EXPECT_EQ(0, t.lastTrack) << what;
  };

  Bytes b = lba;
  b[3] = 0;
  refuses(b, msf, "last track 0");
  Bytes big(804, 0);
  big[3] = 100;
  refuses(big, big, "last track 100");
  refuses(Bytes(lba.begin(), lba.end() - 1), msf, "LBA reply one byte short");
  refuses(lba, Bytes(msf.begin(), msf.end() - 8), "MSF reply without the lead-out");
  refuses(Bytes(lba.begin(), lba.begin() + 3), msf, "no header");

  b = TocReply(good.tracks, 30000, false);  // lead-out before track 3's start
  refuses(b, msf, "lead-out before a track start");
  b = TocReply(good.tracks, 40000, false);  // track 3 of length 0
  refuses(b, msf, "empty track");
  b = TocReply({{kAudio, 0}, {kAudio, 20000}, {kAudio, 10000}}, 60000, false);
  refuses(b, msf, "tracks out of order");
  b = lba;
  b[4 + 8 + 2] = 0;
  refuses(b, msf, "track number 0");
  b = lba;
  b[4 + 8 + 2] = 1;
  refuses(b, msf, "repeated track number");

  // First track 2: descriptor `last` is the zero after the lead-out.
  Bytes firstTwo(804, 0);
  const Bytes two = TocReply({{kAudio, 0}, {kAudio, 20000}}, 40000, false);
  std::copy(two.begin(), two.end(), firstTwo.begin());
  firstTwo[2] = 2;
  firstTwo[3] = 3;
  firstTwo[4 + 2] = 2;
  firstTwo[4 + 8 + 2] = 3;
  refuses(firstTwo, Bytes(804, 0), "first track 2");
}

TEST(DeviceTocDecoder, FullTocNeverLengthensOrInvertsATrack) {
  const Disc disc = AudioDisc(3);
  const Bytes msf = TocReply(disc.tracks, disc.leadOut, true);
  const Bytes lba = TocReply(disc.tracks, disc.leadOut, false);
  DiscToc toc;
  ASSERT_EQ(3, DecodeToc(msf.data(), msf.size(), lba.data(), lba.size(), toc));
  const DiscToc before = toc;
  auto same = [&] {
    for (int k : {1, 2, 3}) {
      EXPECT_EQ(before.tracks.at(k).end, toc.tracks.at(k).end) << k;
      EXPECT_EQ(before.tracks.at(k).length, toc.tracks.at(k).length) << k;
    }
  };

  // Session 1 ends with track 2 at a lead-out before its start, after its
  // end, or of a track the disc does not have.
  for (std::uint8_t pmin : {std::uint8_t(2), std::uint8_t(20)}) {
    Bytes full = devtest::FullTocReply({{1, 0xA1, 2, 0, 0}, {1, 0xA2, pmin, 0, 0}});
    ApplyFullToc(full.data(), full.size(), 1, 2, toc);
    same();
  }
  Bytes full = devtest::FullTocReply({{1, 0xA1, 0xAA, 0, 0}, {1, 0xA2, 5, 0, 0}});
  ApplyFullToc(full.data(), full.size(), 1, 2, toc);
  full = devtest::FullTocReply({{1, 0xA1, 42, 0, 0}, {1, 0xA2, 5, 0, 0}});
  ApplyFullToc(full.data(), full.size(), 1, 2, toc);
  same();
  EXPECT_EQ(0u, toc.tracks.count(42));

  // A reply without a terminating descriptor is read up to its end only.
  Bytes garbage(1170, 0xFF);
  ApplyFullToc(garbage.data(), garbage.size(), 0, 255, toc);
  same();

  // A sound one shortens track 2 (ending at 30000 + 150 frames absolute).
  full = devtest::FullTocReply({{1, 0xA1, 2, 0, 0}, {1, 0xA2, 6, 42, 0}});
  ApplyFullToc(full.data(), full.size(), 1, 2, toc);
  EXPECT_EQ(29999u, toc.tracks.at(2).end);
  EXPECT_EQ(10000u, toc.tracks.at(2).length);
}

}  // namespace
