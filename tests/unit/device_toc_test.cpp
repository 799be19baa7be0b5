#include <gtest/gtest.h>

#include "device/cd_device.h"
#include "device/disc_toc.h"
#include "device/mmc_commands.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;
using devtest::TocReply;
using devtest::TocTrack;

template <class Cdb>
Bytes B(const Cdb& cdb) {
  return Bytes(cdb.begin(), cdb.end());
}
const Bytes kMsf = B(mmc::ReadTocMsf()), kLba = B(mmc::ReadTocLba()), kSession = B(mmc::ReadSessionInfo());
constexpr std::uint8_t kAudio = 0x02, kData = 0x04;

std::vector<TocTrack> AudioTracks(int n, std::uint32_t step = 20000) {
  std::vector<TocTrack> tracks;
  for (int i = 0; i < n; ++i) tracks.push_back({kAudio, std::uint32_t(i) * step});
  return tracks;
}

class DeviceToc : public ::testing::Test {
 protected:
  void Script(const std::vector<TocTrack>& tracks, std::uint32_t leadOut, int msfOffset = 150, int sessions = 1) {
    t->replies[kMsf] = TocReply(tracks, leadOut, true, msfOffset);
    t->replies[kLba] = TocReply(tracks, leadOut, false);
    t->replies[kSession] = Bytes{0, 10, 1, static_cast<std::uint8_t>(sessions), 0, 0, 0, 0, 0, 0, 0, 0};
  }
  TrackEntry Entry(int key) {
    TrackEntry entry;
    EXPECT_EQ(1, device.GetTrackEntry(key, &entry)) << key;
    return entry;
  }
  std::vector<int> Msf(std::uint32_t lba) {
    int m, s, f;
    device.LbaToMsf(lba, &m, &s, &f);
    return {m, s, f};
  }

  devtest::FakeSystem system;
  devtest::ScopedSystem scoped{system};
  CdDevice device;
  devtest::ScriptedTransport* t = devtest::AttachDriveD(device, system);
};

TEST_F(DeviceToc, TwelveTrackAudioDisc) {
  std::vector<TocTrack> tracks = AudioTracks(12);
  tracks[1].control = 0x01 | 0x08;  // pre-emphasis, four channels, no copy
  Script(tracks, 240000);
  EXPECT_EQ(12, device.ReadToc());
  EXPECT_EQ(12, device.LastTrack());
  EXPECT_EQ(kDiscAudioOnly, device.Toc().discType);
  std::vector<int> keys, expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xAA};
  for (const auto& entry : device.Toc().tracks) keys.push_back(entry.first);
  EXPECT_EQ(expected, keys);

  const TrackEntry last = Entry(12);
  EXPECT_EQ(220000u, last.start);
  EXPECT_EQ(239999u, last.end);
  EXPECT_EQ(20000u, last.length);
  EXPECT_EQ((std::vector<int>{48, 55, 25}), (std::vector<int>{last.minute, last.second, last.frame}));
  EXPECT_EQ(0u, last.copyProhibited);
  const TrackEntry two = Entry(2);
  EXPECT_EQ((std::vector<std::uint32_t>{1, 1, 0, 8}),
            (std::vector<std::uint32_t>{two.preEmphasis, two.copyProhibited, two.dataTrack, two.fourChannel}));
  EXPECT_EQ(240000u, Entry(0).length);
  EXPECT_EQ(239999u, Entry(0).end);
  EXPECT_EQ(240000u, Entry(0xAA).start);

  // One session: no full TOC; buffers aligned and zero-filled.
  ASSERT_EQ(3u, t->sent.size());
  const std::uint32_t lengths[] = {804, 804, 12};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ((std::vector<Bytes>{kMsf, kLba, kSession})[i], t->sent[i].cdb);
    EXPECT_EQ(lengths[i], t->sent[i].dataLength);
    EXPECT_TRUE(t->sent[i].alignedAndZeroed);
  }
  EXPECT_EQ((std::vector<int>{0, 2, 0}), Msf(0));
  EXPECT_EQ(0, device.MsfToLba(0, 2, 0));
}

TEST_F(DeviceToc, DiscTypesAndTheirOffsets) {
  EXPECT_EQ((std::vector<int>{0, 1, 0}), Msf(75));  // nothing read yet: no offset

  std::vector<TocTrack> tracks = AudioTracks(10);
  tracks[0].control = kData;
  Script(tracks, 200000, 152);
  ASSERT_EQ(10, device.ReadToc());
  EXPECT_EQ(kDiscDataThenAudio, device.Toc().discType);
  EXPECT_EQ(4u, Entry(1).dataTrack);
  EXPECT_EQ((std::vector<int>{1, 2, 0}), Msf(4500));  // fixed 150, not the drive's 152

  Script(AudioTracks(1), 20000, 152);
  ASSERT_EQ(1, device.ReadToc());
  EXPECT_EQ(kDiscAudioOnly, device.Toc().discType);
  EXPECT_EQ((std::vector<int>{1, 2, 2}), Msf(4500));  // the drive's offset

  tracks = {{kData, 0}, {kData, 5000}};
  Script(tracks, 9000);
  ASSERT_EQ(2, device.ReadToc());
  EXPECT_EQ(kDiscDataOnly, device.Toc().discType);
}

TEST_F(DeviceToc, CdExtraLastAudioTrackEndsAtTheFirstSessionsLeadOut) {
  // Tracks 1-10 audio in session 1 (lead-out 188600), track 11 data in
  // session 2 from 200000.
  std::vector<TocTrack> tracks = AudioTracks(10, 18000);
  tracks.push_back({kData, 200000});
  Script(tracks, 230000, 150, 2);
  const Bytes full = B(mmc::ReadFullToc(1));
  t->replies[full] = devtest::FullTocReply({{{1, 0xA0}, 4500},
                                            {{1, 0xA1}, 10 * 4500},
                                            {{1, 0xA2}, 188600 + 150},
                                            {{2, 0xA1}, 11 * 4500},
                                            {{2, 0xA2}, 230000 + 150}});
  ASSERT_EQ(11, device.ReadToc());
  EXPECT_EQ(kDiscAudioThenData, device.Toc().discType);
  ASSERT_EQ(4u, t->sent.size());
  EXPECT_EQ(full, t->sent[3].cdb);
  EXPECT_EQ(1170u, t->sent[3].dataLength);
  EXPECT_EQ(188599u, Entry(10).end);
  EXPECT_EQ(188600u - 162000u, Entry(10).length);
  EXPECT_EQ(229999u, Entry(11).end);  // the last session's track is left alone
}

TEST_F(DeviceToc, FailuresAndTheTableLeftBehind) {
  Script(AudioTracks(3), 60000);
  ASSERT_EQ(3, device.ReadToc());
  // A failed first READ TOC leaves nothing of the previous disc.
  t->failing = {kMsf};
  EXPECT_EQ(-1, device.ReadToc());
  EXPECT_EQ(0, device.LastTrack());
  EXPECT_EQ(kDiscUndetermined, device.Toc().discType);
  TrackEntry untouched;
  untouched.start = 777;
  EXPECT_EQ(0, device.GetTrackEntry(1, &untouched));
  EXPECT_EQ(777u, untouched.start);
  // A drive that cannot tell its sessions (neither form answers) holds one.
  t->failing = {kSession};
  EXPECT_EQ(3, device.ReadToc());
  EXPECT_EQ(B(mmc::ReadSessionInfo(mmc::TocForm::kOld)), t->sent.back().cdb);
  // A failed full TOC keeps what the first two replies gave.
  Script(AudioTracks(3), 60000, 150, 2);
  t->failing = {};
  EXPECT_EQ(-1, device.ReadToc());
  EXPECT_EQ(3, device.LastTrack());
  EXPECT_EQ(1, device.GetTrackEntry(3, nullptr));
}

TEST(DeviceTocDecoder, RefusesRepliesThatContradictThemselves) {
  const std::vector<TocTrack> three = AudioTracks(3);
  const Bytes msf = TocReply(three, 60000, true), lba = TocReply(three, 60000, false);
  auto refuses = [&](Bytes badLba, Bytes badMsf) {
    DiscToc toc;
    toc.lastTrack = 9;
    const int result = DecodeToc(badMsf.data(), badMsf.size(), badLba.data(), badLba.size(), toc);
    return result == -1 && toc.tracks.empty() && toc.lastTrack == 0;
  };
  EXPECT_FALSE(refuses(lba, msf));
  Bytes b = lba;
  b[3] = 0;
  EXPECT_TRUE(refuses(b, msf)) << "last track 0";
  b = Bytes(804, 0);
  b[3] = 100;
  EXPECT_TRUE(refuses(b, b)) << "last track 100";
  EXPECT_TRUE(refuses(Bytes(lba.begin(), lba.end() - 1), msf)) << "LBA reply short";
  EXPECT_TRUE(refuses(lba, Bytes(msf.begin(), msf.end() - 8))) << "MSF reply short";
  EXPECT_TRUE(refuses(Bytes(lba.begin(), lba.begin() + 3), msf)) << "no header";
  EXPECT_TRUE(refuses(TocReply(three, 30000, false), msf)) << "lead-out before a track";
  EXPECT_TRUE(refuses(TocReply(three, 40000, false), msf)) << "empty track";
  EXPECT_TRUE(refuses(TocReply({{kAudio, 0}, {kAudio, 20000}, {kAudio, 10000}}, 60000, false), msf));
  for (std::uint8_t number : {0, 1, 100}) {
    b = lba;
    b[4 + 8 + 2] = number;  // track 2 numbered 0, again 1, or 100
    EXPECT_TRUE(refuses(b, msf)) << int(number);
  }
  // First track 2: descriptor `last` is past the lead-out, all zeros.
  b = Bytes(804, 0);
  const Bytes two = TocReply(AudioTracks(2), 40000, false);
  std::copy(two.begin(), two.end(), b.begin());
  b[3] = 3;
  EXPECT_TRUE(refuses(b, Bytes(804, 0)));
}

TEST(DeviceTocDecoder, FullTocOnlyEverShortensATrack) {
  const std::vector<TocTrack> three = AudioTracks(3);
  const Bytes msf = TocReply(three, 60000, true), lba = TocReply(three, 60000, false);
  DiscToc toc;
  ASSERT_EQ(3, DecodeToc(msf.data(), msf.size(), lba.data(), lba.size(), toc));
  const std::uint32_t end2 = toc.tracks.at(2).end;
  auto apply = [&](int lastTrack, std::uint32_t leadOut) {
    const Bytes full = devtest::FullTocReply({{{1, 0xA1}, lastTrack * 4500u}, {{1, 0xA2}, leadOut + 150}});
    ApplyFullToc(full.data(), full.size(), 1, 2, toc);
  };
  apply(2, 15000);   // before track 2's start
  apply(2, 50000);   // after its end
  apply(42, 30000);  // a track the disc does not have
  apply(0xAA, 30000);
  Bytes garbage(1170, 0xFF);  // no terminating descriptor
  ApplyFullToc(garbage.data(), garbage.size(), 0, 255, toc);
  EXPECT_EQ(end2, toc.tracks.at(2).end);
  EXPECT_EQ(0u, toc.tracks.count(42));
  EXPECT_EQ(0u, toc.tracks.at(0xAA).end);

  apply(2, 30000);
  EXPECT_EQ(29999u, toc.tracks.at(2).end);
  EXPECT_EQ(10000u, toc.tracks.at(2).length);
}

}  // namespace
