#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/unit/vdrive_test_support.h"
#include "tools/vdrive/drive_config.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"

namespace {

using vdrive::CommandResult;
using vdrive::VirtualDrive;
using vdrive_test::MakeDisc;

std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

const std::uint8_t kTocMsf[10] = {0x43, 0x02, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0};
const std::uint8_t kTocLba[10] = {0x43, 0x00, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0};
const std::uint8_t kSessions[10] = {0x43, 0, 0, 0, 0, 0, 0x01, 0x00, 0x0C, 0x40};
const std::uint8_t kCdText[10] = {0x43, 0, 0x05, 0, 0, 0, 0, 0x8F, 0x70, 0};
const std::uint8_t kTur[6] = {0, 0, 0, 0, 0, 0};
const std::uint8_t kInquiry[6] = {0x12, 0, 0, 0, 0x24, 0};

std::vector<std::uint8_t> ReadCdCdb(std::uint32_t lba, std::uint8_t count, std::uint8_t type = 0x04) {
  return {0xBE, type, static_cast<std::uint8_t>(lba >> 24), static_cast<std::uint8_t>(lba >> 16),
          static_cast<std::uint8_t>(lba >> 8), static_cast<std::uint8_t>(lba), 0, 0, count, 0x10, 0, 0};
}

discgen::DiscOptions Options(discgen::Layout layout, int tracks, discgen::TextMode text = discgen::TextMode::None) {
  discgen::DiscOptions s;
  s.layout = layout;
  s.audioTracks = tracks;
  s.trackFrames = 60;
  s.dataFrames = 40;
  s.text = text;
  return s;
}

struct DriveWithDisc {
  explicit DriveWithDisc(const discgen::DiscOptions& options) { drive.Insert(MakeDisc(options)); }
  CommandResult Run(const std::uint8_t* cdb, std::size_t n, std::vector<std::uint8_t>& buf) {
    return drive.Execute(cdb, n, buf.data(), static_cast<std::uint32_t>(buf.size()));
  }
  VirtualDrive drive;
};

TEST(VdriveMmc, InquiryIdentifiesARemovableCdDrive) {
  VirtualDrive drive(vdrive::DriveIdentity{"VENDOR", "PRODUCT NAME", "1.2"});
  std::vector<std::uint8_t> buf(36, 0xEE);
  ASSERT_TRUE(drive.Execute(kInquiry, 6, buf.data(), 36).ok());  // no disc needed
  EXPECT_EQ(0x05, buf[0]);
  EXPECT_EQ(0x80, buf[1]);
  EXPECT_EQ(0, std::memcmp(&buf[8], "VENDOR  PRODUCT NAME    1.2 ", 28));
  // A short allocation length is honoured.
  std::vector<std::uint8_t> small(36, 0xEE);
  const std::uint8_t cdb[6] = {0x12, 0, 0, 0, 8, 0};
  EXPECT_EQ(8u, drive.Execute(cdb, 6, small.data(), 36).transferred);
  EXPECT_EQ(0xEE, small[8]);
}

TEST(VdriveMmc, TocInMsfAndLbaFormListsTracksAndLeadOut) {
  DriveWithDisc d(Options(discgen::Layout::DataFirst, 2));
  std::vector<std::uint8_t> lba(804), msf(804);
  ASSERT_TRUE(d.Run(kTocLba, 10, lba).ok());
  ASSERT_TRUE(d.Run(kTocMsf, 10, msf).ok());
  EXPECT_EQ(2 + 4 * 8, (lba[0] << 8) | lba[1]);
  EXPECT_EQ(1, lba[2]);
  EXPECT_EQ(3, lba[3]);
  // Data track 1 (40 frames), PREGAP of 150, audio tracks of 60 frames.
  const std::uint32_t starts[] = {0, 190, 250, 310};
  const std::uint8_t numbers[] = {1, 2, 3, 0xAA};
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t* dl = &lba[4 + 8 * i];
    const std::uint8_t* dm = &msf[4 + 8 * i];
    EXPECT_EQ(numbers[i], dl[2]);
    EXPECT_EQ(i == 0 ? 0x14 : 0x10, dl[1]) << i;  // the lead-out takes the last track's control
    EXPECT_EQ(starts[i], Be32(dl + 4));
    const std::uint32_t abs = starts[i] + 150;
    EXPECT_EQ(0, dm[4]);
    EXPECT_EQ(abs / 4500, dm[5]);
    EXPECT_EQ(abs / 75 % 60, dm[6]);
    EXPECT_EQ(abs % 75, dm[7]);
  }
  // Starting track 2 leaves track 1 out; a track beyond the disc is refused.
  std::uint8_t from2[10];
  std::memcpy(from2, kTocLba, 10);
  from2[6] = 2;
  ASSERT_TRUE(d.Run(from2, 10, lba).ok());
  EXPECT_EQ(2, lba[4 + 2]);
  from2[6] = 4;
  EXPECT_EQ(CommandResult::kCheckCondition, d.Run(from2, 10, lba).status);
}

TEST(VdriveMmc, SessionInformationAndFullTocOfCdExtra) {
  DriveWithDisc d(Options(discgen::Layout::CdExtra, 3));
  std::vector<std::uint8_t> s(12);
  ASSERT_TRUE(d.Run(kSessions, 10, s).ok());
  EXPECT_EQ(10, (s[0] << 8) | s[1]);
  EXPECT_EQ(1, s[2]);
  EXPECT_EQ(2, s[3]);
  EXPECT_EQ(4, s[6]);                                  // first track of the last session
  EXPECT_EQ(180u + vdrive::kSessionGap, Be32(&s[8]));  // session 1 lead-out + gap

  std::vector<std::uint8_t> full(1184);
  const std::uint8_t cdb[10] = {0x43, 0, 0, 0, 0, 0, s[2], 0x04, 0x92, 0x80};
  const CommandResult r = d.Run(cdb, 10, full);
  ASSERT_TRUE(r.ok());
  const int length = (full[0] << 8) | full[1];
  ASSERT_EQ(0, (length - 2) % 11);
  EXPECT_EQ(static_cast<std::uint32_t>(length + 2), r.transferred);
  struct Point {
    int session, point, pmin, psec, pframe, control;
  };
  std::vector<Point> points;
  for (int off = 4; off + 11 <= length + 2; off += 11) {
    const std::uint8_t* p = &full[static_cast<std::size_t>(off)];
    points.push_back({p[0], p[3], p[8], p[9], p[10], p[1] & 0x0F});
  }
  auto find = [&](int session, int point) -> const Point* {
    for (const Point& p : points)
      if (p.session == session && p.point == point) return &p;
    return nullptr;
  };
  // Session 1: tracks 1-3, lead-out at 180 (00:04:30 with the 150 offset).
  ASSERT_NE(nullptr, find(1, 0xA0));
  EXPECT_EQ(1, find(1, 0xA0)->pmin);
  ASSERT_NE(nullptr, find(1, 0xA1));
  EXPECT_EQ(3, find(1, 0xA1)->pmin);
  ASSERT_NE(nullptr, find(1, 0xA2));
  EXPECT_EQ((180 + 150) / 4500, find(1, 0xA2)->pmin);
  EXPECT_EQ((180 + 150) / 75 % 60, find(1, 0xA2)->psec);
  EXPECT_EQ((180 + 150) % 75, find(1, 0xA2)->pframe);
  ASSERT_NE(nullptr, find(1, 0xB0));  // multi-session pointer
  // Session 2: data track 4, CD-ROM XA session, its own lead-out.
  ASSERT_NE(nullptr, find(2, 0xA0));
  EXPECT_EQ(4, find(2, 0xA0)->pmin);
  EXPECT_EQ(0x20, find(2, 0xA0)->psec);
  EXPECT_EQ(4, find(2, 0xA1)->pmin);
  const int lo2 = 180 + vdrive::kSessionGap + 40 + 150;
  EXPECT_EQ(lo2 / 4500, find(2, 0xA2)->pmin);
  EXPECT_EQ(lo2 / 75 % 60, find(2, 0xA2)->psec);
  ASSERT_NE(nullptr, find(2, 4));
  EXPECT_EQ(4, find(2, 4)->control);
  EXPECT_EQ(nullptr, find(2, 0xB0));
  // Starting at session 2 leaves session 1 out.
  const std::uint8_t second[10] = {0x43, 0, 0, 0, 0, 0, 2, 0x04, 0x92, 0x80};
  ASSERT_TRUE(d.Run(second, 10, full).ok());
  EXPECT_EQ(2, full[4]);
}

TEST(VdriveMmc, CdTextAnswerCarriesThePacksAndHonoursAllocation) {
  DriveWithDisc d(Options(discgen::Layout::AudioOnly, 3, discgen::TextMode::EnglishJapanese));
  std::vector<std::uint8_t> buf(36736);
  const CommandResult r = d.Run(kCdText, 10, buf);
  ASSERT_TRUE(r.ok());
  const auto& packs = d.drive.disc()->cdTextPacks();
  EXPECT_EQ(packs.size() + 2, static_cast<std::size_t>((buf[0] << 8) | buf[1]));
  EXPECT_EQ(packs.size() + 4, r.transferred);
  EXPECT_EQ(0, std::memcmp(&buf[4], packs.data(), packs.size()));

  std::uint8_t shortCdb[10];
  std::memcpy(shortCdb, kCdText, 10);
  shortCdb[7] = 0;
  shortCdb[8] = 40;
  std::vector<std::uint8_t> small(64, 0xEE);
  EXPECT_EQ(40u, d.Run(shortCdb, 10, small).transferred);
  EXPECT_EQ(0xEE, small[40]);
  // An answer longer than the caller's buffer is an overrun, never a write past it.
  std::vector<std::uint8_t> tiny(20, 0xEE);
  const CommandResult o = d.drive.Execute(kCdText, 10, tiny.data(), 10);
  EXPECT_TRUE(o.overrun);
  EXPECT_FALSE(o.ok());
  EXPECT_EQ(0xEE, tiny[10]);

  DriveWithDisc plain(Options(discgen::Layout::AudioOnly, 1));
  ASSERT_TRUE(plain.Run(kCdText, 10, buf).ok());
  EXPECT_EQ(2, (buf[0] << 8) | buf[1]);
}

TEST(VdriveMmc, ReadCdDeliversThePatternAndRefusesDataSectors) {
  DriveWithDisc d(Options(discgen::Layout::DataFirst, 2));
  std::vector<std::uint8_t> buf(15 * 2352);
  const auto cdb = ReadCdCdb(200, 15);
  ASSERT_TRUE(d.Run(cdb.data(), 12, buf).ok());
  for (int f = 0; f < 15; ++f)
    for (int i = 0; i < 588; i += 97)
      ASSERT_EQ((200 + f) * 588 + i, discgen::PatternPosition(&buf[static_cast<std::size_t>(f * 2352 + i * 4)]));
  // The PREGAP before the first audio track reads as silence.
  ASSERT_TRUE(d.Run(ReadCdCdb(45, 1).data(), 12, buf).ok());
  EXPECT_EQ(0, discgen::PatternPosition(&buf[1000]));

  EXPECT_EQ(vdrive::kSenseIllegalModeForTrack.asc, d.Run(ReadCdCdb(39, 2).data(), 12, buf).sense.asc);
  EXPECT_EQ(vdrive::kSenseLbaOutOfRange.asc, d.Run(ReadCdCdb(300, 15).data(), 12, buf).sense.asc);
  // Any sector type with user data only gives the 2048 bytes of a data sector.
  ASSERT_TRUE(d.Run(ReadCdCdb(3, 1, 0x00).data(), 12, buf).ok());
  EXPECT_EQ(0, std::memcmp(buf.data(), "DATA LBA 00000003", 17));
  // Fifteen frames into a one-frame buffer: an overrun.
  EXPECT_TRUE(d.drive.Execute(cdb.data(), 12, buf.data(), 2352).overrun);
}

TEST(VdriveMmc, EjectAndInsertChangeWhatTheDriveAnswers) {
  DriveWithDisc d(Options(discgen::Layout::AudioOnly, 2));
  std::vector<std::uint8_t> buf(804);
  EXPECT_TRUE(d.drive.Execute(kTur, 6, nullptr, 0).ok());
  auto disc = d.drive.disc();
  d.drive.Eject();
  CommandResult r = d.drive.Execute(kTur, 6, nullptr, 0);
  EXPECT_EQ(CommandResult::kCheckCondition, r.status);
  EXPECT_EQ(0x02, r.sense.key);
  EXPECT_EQ(0x3A, r.sense.asc);
  std::uint8_t sense[18];
  r.FillSense(sense, sizeof sense);
  EXPECT_EQ(0x70, sense[0]);
  EXPECT_EQ(0x02, sense[2]);
  EXPECT_EQ(0x3A, sense[12]);
  EXPECT_FALSE(d.Run(kTocLba, 10, buf).ok());
  EXPECT_TRUE(d.Run(kInquiry, 6, buf).ok());

  d.drive.SetUnitAttentionOnInsert(true);
  d.drive.Insert(disc);
  EXPECT_EQ(0x06, d.drive.Execute(kTur, 6, nullptr, 0).sense.key);
  EXPECT_TRUE(d.drive.Execute(kTur, 6, nullptr, 0).ok());
}

TEST(VdriveBehaviour, FailingCommandsReadErrorsAndLanding) {
  DriveWithDisc d(Options(discgen::Layout::AudioOnly, 2));
  std::vector<std::uint8_t> buf(15 * 2352);
  std::string error;
  ASSERT_EQ(0, vdrive::ApplyBehaviour(d.drive, "fail 0x43 skip=1 times=2; readerror 50 times=1; landing -1 every=2",
                                      &error))
      << error;
  EXPECT_TRUE(d.Run(kTocLba, 10, buf).ok());
  EXPECT_FALSE(d.Run(kTocLba, 10, buf).ok());
  EXPECT_FALSE(d.Run(kTocLba, 10, buf).ok());
  EXPECT_TRUE(d.Run(kTocLba, 10, buf).ok());
  EXPECT_TRUE(d.Run(kTur, 6, buf).ok());

  // READ CD 1: on target. READ CD 2: one frame early.
  ASSERT_TRUE(d.Run(ReadCdCdb(30, 15).data(), 12, buf).ok());
  EXPECT_EQ(30 * 588, discgen::PatternPosition(buf.data()));
  ASSERT_TRUE(d.Run(ReadCdCdb(30, 15).data(), 12, buf).ok());
  EXPECT_EQ(29 * 588, discgen::PatternPosition(buf.data()));
  // The read error fires once for a read covering LBA 50.
  const CommandResult bad = d.Run(ReadCdCdb(45, 10).data(), 12, buf);
  EXPECT_EQ(0x03, bad.sense.key);
  EXPECT_EQ(0x11, bad.sense.asc);
  EXPECT_TRUE(d.Run(ReadCdCdb(45, 10).data(), 12, buf).ok());
  const auto log = d.drive.ReadLog();
  ASSERT_EQ(3u, log.size());  // the failed read never delivered
  EXPECT_EQ(29, log[1].delivered);
  EXPECT_EQ(30, log[1].requested);

  d.drive.ClearBehaviours();
  EXPECT_TRUE(d.Run(kTocLba, 10, buf).ok());
  EXPECT_EQ(-1, vdrive::ApplyBehaviour(d.drive, "fail 300", &error));
  EXPECT_EQ(-1, vdrive::ApplyBehaviour(d.drive, "explode now", &error));
  EXPECT_EQ(-1, vdrive::ApplyBehaviour(d.drive, "landing 1 every=0", &error));
}

// A short reply leaves the rest of the buffer untouched; a garbled one is
// scrambled past `from`, identically each time; format= picks one READ TOC.
TEST(VdriveBehaviour, ShortAndGarbledRepliesOfOneTocFormat) {
  DriveWithDisc d(Options(discgen::Layout::AudioOnly, 3, discgen::TextMode::English));
  std::vector<std::uint8_t> clean(36720), buf(36720, 0xEE);
  const CommandResult whole = d.Run(kCdText, 10, clean);
  ASSERT_TRUE(whole.ok());
  ASSERT_GT(whole.transferred, 22u);
  std::string error;
  ASSERT_EQ(0, vdrive::ApplyBehaviour(d.drive, "short 0x43 format=5 bytes=22 times=1; garble 0x43 format=0 from=4",
                                      &error))
      << error;
  CommandResult r = d.Run(kCdText, 10, buf);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(22u, r.transferred);
  EXPECT_EQ(0, std::memcmp(buf.data(), clean.data(), 22));
  EXPECT_EQ(0xEE, buf[22]) << "bytes past a short transfer were written";
  EXPECT_EQ(clean[0], buf[0]) << "the header keeps claiming the whole answer";
  r = d.Run(kCdText, 10, buf);  // times=1: whole again
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(whole.transferred, r.transferred);
  EXPECT_EQ(0, std::memcmp(buf.data(), clean.data(), whole.transferred));

  std::vector<std::uint8_t> plainToc(804), first(804), second(804);
  ASSERT_TRUE(d.Run(kSessions, 10, first).ok());  // another format: untouched
  EXPECT_EQ(1, first[3]);
  ASSERT_TRUE(d.Run(kTocLba, 10, first).ok());
  ASSERT_TRUE(d.Run(kTocLba, 10, second).ok());
  d.drive.ClearBehaviours();
  ASSERT_TRUE(d.Run(kTocLba, 10, plainToc).ok());
  EXPECT_EQ(0, std::memcmp(first.data(), plainToc.data(), 4)) << "the header was garbled";
  EXPECT_NE(0, std::memcmp(first.data() + 4, plainToc.data() + 4, 32)) << "the descriptors were not garbled";
  EXPECT_EQ(first, second) << "garbling is not deterministic";

  EXPECT_EQ(-1, vdrive::ApplyBehaviour(d.drive, "short 0x43", &error));
  EXPECT_EQ(-1, vdrive::ApplyBehaviour(d.drive, "garble 0x43 format=16", &error));
}

TEST(VdriveBehaviour, CountersRecordEveryCommandReceived) {
  DriveWithDisc d(Options(discgen::Layout::AudioOnly, 1));
  std::vector<std::uint8_t> buf(2352);
  EXPECT_EQ(0u, d.drive.CommandCount(-1));
  d.drive.FailCommand(0xBE);
  const std::uint8_t speed[12] = {0xBB, 0, 0x02, 0xC2, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  d.Run(speed, 12, buf);
  d.Run(ReadCdCdb(0, 1).data(), 12, buf);
  d.Run(ReadCdCdb(0, 1).data(), 12, buf);
  const std::uint8_t unknown[6] = {0x1B, 0, 0, 0, 0, 0};
  EXPECT_EQ(vdrive::kSenseInvalidOpcode.asc, d.drive.Execute(unknown, 6, nullptr, 0).sense.asc);
  EXPECT_EQ(2u, d.drive.CommandCount(0xBE));  // failed commands were still received
  EXPECT_EQ(1u, d.drive.CommandCount(0xBB));
  EXPECT_EQ(0u, d.drive.CommandCount(0x43));
  EXPECT_EQ(4u, d.drive.CommandCount(-1));
  EXPECT_EQ(0x02C2, d.drive.RequestedReadSpeed());
  d.drive.ResetCounters();
  EXPECT_EQ(0u, d.drive.CommandCount(-1));
}

TEST(VdriveBehaviour, LatencySleepsOutsideTheDriveLock) {
  DriveWithDisc d(Options(discgen::Layout::AudioOnly, 1));
  d.drive.SetLatency(vdrive::LatencyModel{75.0 / 75.0 * 10, 200});  // 10x: 15 frames = 20 ms, + seek
  std::vector<std::uint8_t> buf(15 * 2352);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    d.Run(ReadCdCdb(0, 15).data(), 12, buf);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // The drive still answers while the read takes its time.
  EXPECT_EQ(1u, d.drive.CommandCount(0xBE));
  EXPECT_FALSE(done.load());
  reader.join();
  EXPECT_TRUE(done.load());
}

TEST(VdriveTransport, LettersReachTheirDrivesOnly) {
  auto drive = std::make_shared<VirtualDrive>();
  drive->Insert(MakeDisc(Options(discgen::Layout::AudioOnly, 2)));
  vdrive::VirtualScsiTransport t;
  t.Attach('e', drive, ScsiAddress{0, 1, 0, 3, 0});
  EXPECT_EQ(1, t.Initialize());
  EXPECT_EQ(1, t.IsAvailable());
  CdDrive e;
  e.rootPath = "E:\\";
  CdDrive f;
  f.rootPath = "F:\\";
  std::vector<std::uint8_t> buf(804);
  EXPECT_EQ(0, t.SendToDrive(e, kTocLba, 10, buf.data(), 804));
  EXPECT_EQ(-1, t.SendToDrive(f, kTocLba, 10, buf.data(), 804));
  EXPECT_EQ(-1, t.Send(kTur, 6, nullptr, 0));  // nothing open
  EXPECT_EQ(0, t.Open(f));
  ASSERT_EQ(1, t.Reopen(e));
  EXPECT_EQ(0, t.Send(kInquiry, 6, buf.data(), 36));
  ScsiAddress a{};
  ASSERT_EQ(1, t.GetAddress(&a));
  EXPECT_EQ(8u, a.Length);
  EXPECT_EQ(1, a.PortNumber);
  EXPECT_EQ(3, a.TargetId);
  drive->Eject();
  EXPECT_EQ(-1, t.Send(kTur, 6, nullptr, 0));  // check condition is failure
  EXPECT_EQ(1, t.Close());
  EXPECT_EQ(0, t.Close());
  EXPECT_EQ(2u, drive->CommandCount(0x00) + drive->CommandCount(0x12));
}

TEST(VdriveConfig, SectionsNameAddressesAndKeepTheirSettings) {
  std::vector<vdrive::DriveConfig> drives;
  std::string error;
  ASSERT_EQ(0, vdrive::ParseDriveConfig("; virtual drives\n[1:0:0]\ncue = discs\\demo.cue\nvendor=ACME\n"
                                        "behaviour=landing -1\n\n[0:2:1]\nproduct=SECOND\nother=ignored\n",
                                        &drives, &error))
      << error;
  ASSERT_EQ(2u, drives.size());
  EXPECT_EQ(1, drives[0].hostAdapter);
  EXPECT_EQ("discs\\demo.cue", drives[0].cue);
  EXPECT_EQ("ACME", drives[0].identity.vendor);
  EXPECT_EQ("landing -1", drives[0].behaviour);
  EXPECT_EQ(2, drives[1].target);
  EXPECT_EQ(1, drives[1].lun);
  EXPECT_EQ("SECOND", drives[1].identity.product);
  EXPECT_EQ(0, drives[0].letter);
  ASSERT_EQ(0, vdrive::ParseDriveConfig("[0:0:0]\nletter=d\n[0:1:0]\nletter=E\n", &drives, &error)) << error;
  EXPECT_EQ('D', drives[0].letter);
  EXPECT_EQ('E', drives[1].letter);
  for (const char* bad : {"[0:0:0]\nletter=DE\n", "[0:0:0]\nletter=1\n", "[0:0:0]\nletter=D\n[0:1:0]\nletter=d\n"})
    EXPECT_EQ(-1, vdrive::ParseDriveConfig(bad, &drives, &error)) << bad;
  EXPECT_EQ(-1, vdrive::ParseDriveConfig("[1:0]\n", &drives, &error));
  EXPECT_EQ(-1, vdrive::ParseDriveConfig("cue=x\n", &drives, &error));
  EXPECT_EQ(-1, vdrive::ParseDriveConfig("[0:0:0]\n[0:0:0]\n", &drives, &error));
}

}  // namespace
