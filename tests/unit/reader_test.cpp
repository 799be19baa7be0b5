#include "device/cd_direct_cdda.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "tests/unit/device_test_support.h"
#include "tests/unit/vdrive_test_support.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "util/message_box.h"

namespace {

constexpr std::uint32_t kFrame = CDirectCDDA::kFrameBytes;

// Remembers the data length of every READ CD on its way to the drive.
class RecordingTransport : public vdrive::VirtualScsiTransport {
 public:
  std::vector<std::uint32_t> readLengths;
  int Send(const std::uint8_t* cdb, std::uint8_t n, void* data, std::uint32_t length) override {
    if (n > 0 && cdb[0] == 0xBE) readLengths.push_back(length);
    return VirtualScsiTransport::Send(cdb, n, data, length);
  }
};

discgen::DiscOptions Disc(int trackFrames, discgen::Layout layout = discgen::Layout::AudioOnly) {
  discgen::DiscOptions options;
  options.layout = layout;
  options.audioTracks = 3;
  options.trackFrames = trackFrames;
  return options;
}

// A reader whose drive D: is a virtual drive.
struct Rig {
  explicit Rig(const discgen::DiscOptions* options) {
    if (options) drive->Insert(vdrive_test::MakeDisc(*options));
    system.roots = {"D:\\"};
    system.cdroms = {'D'};
    devtest::ScopedSystem scoped(system);
    auto owned = std::make_unique<RecordingTransport>();
    transport = owned.get();
    transport->Attach('D', drive);
    reader.InstallTransport(std::move(owned), kTransportSpti);
    reader.EnumerateDrives();
    reader.SelectDrive('D');
  }
  std::uint32_t Start() const { return reader.CurrentTrack().start; }

  devtest::FakeSystem system;
  std::shared_ptr<vdrive::VirtualDrive> drive = std::make_shared<vdrive::VirtualDrive>();
  RecordingTransport* transport = nullptr;
  CDirectCDDA reader;
};

// The LBA a whole pattern frame was cut from, or -1 when any of its sample
// pairs is out of step.
std::int64_t FrameLba(const std::uint8_t* frame) {
  const std::int64_t first = discgen::PatternPosition(frame);
  if (first < 0 || first % 588 != 0) return -1;
  for (int i = 1; i < 588; ++i) {
    if (discgen::PatternPosition(frame + 4 * i) != first + i) return -1;
  }
  return first / 588;
}

struct Played {
  std::vector<std::int64_t> lbas;
  int endCode = -1;
};

// Fills and takes frame by frame, as the engine's two threads would, until
// the reader reports something other than data.
Played PlayToEnd(CDirectCDDA& reader, int takePerFill = 20, std::size_t maxFrames = 100000) {
  Played out;
  std::uint8_t frame[kFrame];
  for (int guard = 0; guard < 20000 && out.endCode < 0 && out.lbas.size() < maxFrames; ++guard) {
    const int fill = reader.Fill(15);
    if (fill != kReaderOk && fill != kReaderEndOfTrack && fill != kReaderBufferFull) {
      out.endCode = fill;
      break;
    }
    for (int k = 0; k < takePerFill && out.lbas.size() < maxFrames; ++k) {
      std::uint32_t taken = 0;
      const int rc = reader.TakeFrames(1, frame, &taken);
      if (taken == 0) {
        if (rc != kReaderOk) out.endCode = rc;
        break;
      }
      EXPECT_EQ(1u, taken);
      out.lbas.push_back(FrameLba(frame));
    }
  }
  return out;
}

std::vector<std::int64_t> Frames(std::int64_t first, std::int64_t count) {
  std::vector<std::int64_t> v;
  for (std::int64_t i = 0; i < count; ++i) v.push_back(first + i);
  return v;
}

// Where two frame sequences part, for readable failures.
::testing::AssertionResult SameFrames(const std::vector<std::int64_t>& expected, const std::vector<std::int64_t>& got) {
  for (std::size_t i = 0; i < expected.size() && i < got.size(); ++i) {
    if (expected[i] != got[i])
      return ::testing::AssertionFailure() << "frame " << i << ": expected LBA " << expected[i] << ", got " << got[i];
  }
  if (expected.size() != got.size())
    return ::testing::AssertionFailure() << expected.size() << " frames expected, " << got.size() << " played";
  return ::testing::AssertionSuccess();
}

TEST(Reader, OpenTrackCodes) {
  {
    Rig rig(nullptr);
    EXPECT_EQ(kReaderNotReady, rig.reader.OpenTrack(1));
  }
  {
    const auto options = Disc(100);
    Rig rig(&options);
    rig.drive->FailCommand(0x43);  // an unreadable table: as good as an empty one
    EXPECT_EQ(kReaderNoToc, rig.reader.OpenTrack(1));
    rig.drive->ClearBehaviours();
    EXPECT_EQ(kReaderNoTrack, rig.reader.OpenTrack(4));
    // The whole-disc and lead-out keys are no tracks.
    EXPECT_EQ(kReaderNoTrack, rig.reader.OpenTrack(0));
    EXPECT_EQ(kReaderNoTrack, rig.reader.OpenTrack(0xAA));
    EXPECT_EQ(0, rig.reader.IsOpen());
    EXPECT_EQ(kReaderOk, rig.reader.OpenTrack(3));
    EXPECT_EQ(1, rig.reader.IsOpen());
    EXPECT_EQ(100u, rig.reader.CurrentTrack().length);
    rig.reader.CloseTrack();
    EXPECT_EQ(0, rig.reader.IsOpen());
  }
  {
    const auto options = Disc(100, discgen::Layout::DataFirst);
    Rig rig(&options);
    EXPECT_EQ(kReaderDataTrack, rig.reader.OpenTrack(1));
    EXPECT_EQ(0u, rig.drive->CommandCount(0xBE));
    EXPECT_EQ(kReaderOk, rig.reader.OpenTrack(2));
  }
}

TEST(Reader, EveryFrameOfATrackArrivesExactly) {
  const auto options = Disc(302);
  for (int jitter = 0; jitter <= 1; ++jitter) {
    Rig rig(&options);
    ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(2));
    rig.reader.SetJitterCorrection(jitter);
    rig.reader.SetBufferBlocks(1);  // 75 frames: the buffer fills up on the way
    rig.reader.Seek(0);
    const Played played = PlayToEnd(rig.reader, 7);
    EXPECT_TRUE(SameFrames(Frames(rig.Start(), 302), played.lbas)) << "jitter " << jitter;
    EXPECT_EQ(kReaderEndOfTrack, played.endCode);
    EXPECT_EQ(kReaderEndOfTrack, rig.reader.LastReadResult());
    std::uint8_t frame[kFrame];
    std::uint32_t taken = 9;
    EXPECT_EQ(kReaderEndOfTrack, rig.reader.TakeFrames(1, frame, &taken));
    EXPECT_EQ(0u, taken);
    // Nothing but the track itself was asked for.
    for (const auto& read : rig.drive->ReadLog()) {
      EXPECT_GE(read.requested, static_cast<std::int32_t>(rig.Start()));
      EXPECT_LE(read.requested + read.frames, rig.Start() + 302);
    }
  }
}

TEST(Reader, LastReadIsClippedButKeepsTheFullDataLength) {
  const auto options = Disc(48);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(1));
  rig.reader.Seek(0);
  EXPECT_EQ(kReaderOk, rig.reader.Fill(48));
  EXPECT_EQ(48u * kFrame, rig.reader.BufferedBytes());
  const auto log = rig.drive->ReadLog();
  ASSERT_EQ(4u, log.size());
  EXPECT_EQ(45, log[3].requested);
  EXPECT_EQ(3u, log[3].frames);
  EXPECT_EQ(std::vector<std::uint32_t>(4, 15 * kFrame), rig.transport->readLengths);
  EXPECT_EQ(kReaderEndOfTrack, rig.reader.Fill(15));
  EXPECT_EQ(4u, rig.drive->CommandCount(0xBE));
}

TEST(Reader, FullBufferDropsTheReadAndKeepsThePosition) {
  const auto options = Disc(200);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(1));
  rig.reader.SetBufferBlocks(1);  // 75 frames
  rig.reader.Seek(0);
  EXPECT_EQ(kReaderBufferFull, rig.reader.Fill(100));
  EXPECT_EQ(75u, rig.reader.Position());
  EXPECT_EQ(75u * kFrame, rig.reader.BufferedBytes());
  std::vector<std::uint8_t> frames(15 * kFrame);
  std::uint32_t taken = 0;
  ASSERT_EQ(kReaderOk, rig.reader.TakeFrames(15, frames.data(), &taken));
  EXPECT_EQ(15u, taken);
  EXPECT_EQ(kReaderOk, rig.reader.Fill(15));
  EXPECT_EQ(90u, rig.reader.Position());
  EXPECT_EQ(75u * kFrame, rig.reader.BufferedBytes());
}

TEST(Reader, OneFramePerReadWithJitterCorrectionStillAdvances) {
  const auto options = Disc(40);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(1));
  rig.reader.SetJitterCorrection(1);
  rig.reader.Seek(0);
  rig.reader.SetFramesPerRead(1);
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t before = rig.reader.Position();
    ASSERT_EQ(kReaderOk, rig.reader.Fill(1));
    ASSERT_GT(rig.reader.Position(), before);
  }
  EXPECT_EQ(rig.reader.Position() * kFrame, rig.reader.BufferedBytes());
  for (const auto& read : rig.drive->ReadLog()) EXPECT_LE(read.frames, 2u);
  rig.reader.SetFramesPerRead(15);
  const Played played = PlayToEnd(rig.reader);
  EXPECT_TRUE(SameFrames(Frames(0, 40), played.lbas));
}

TEST(Reader, JitterCorrectionUndoesEarlyLandings) {
  const auto options = Disc(200);
  for (int early = 1; early <= 14; ++early) {
    for (std::uint32_t every : {1u, 2u}) {
      // A drive that keeps landing 14 early never delivers a new frame; one
      // that always lands early can never deliver the track's last frames.
      if (early == 14 && every == 1) continue;
      Rig rig(&options);
      ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(2));
      rig.reader.SetJitterCorrection(1);
      rig.reader.Seek(0);
      ASSERT_EQ(kReaderOk, rig.reader.Fill(15));  // on target: the first reference
      rig.drive->SetLanding(-early, every);
      const std::size_t frames = every == 1 ? 150 : 200;
      const Played played = PlayToEnd(rig.reader, 20, frames);
      EXPECT_TRUE(SameFrames(Frames(rig.Start(), static_cast<std::int64_t>(frames)), played.lbas)) << "early by " << early << " every " << every;
      if (every == 2) {
        EXPECT_EQ(kReaderEndOfTrack, PlayToEnd(rig.reader).endCode);
      }
    }
  }
}

// A drive that lands late at the end of the disc, or always far early, keeps
// answering with frames already held; the track must still come to its end
// (the engine would otherwise wait for ever). Playback here keeps up with
// the drive and empties the buffer after every fill.
TEST(Reader, TheTrackEndsWhereverTheDriveLands) {
  const auto options = Disc(200);
  for (int landing : {1, 5, -14}) {
    Rig rig(&options);
    ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(3));  // the disc's last track
    rig.reader.SetJitterCorrection(1);
    rig.reader.Seek(0);
    rig.drive->SetLanding(landing);
    const Played played = PlayToEnd(rig.reader, 1000);
    EXPECT_EQ(kReaderEndOfTrack, played.endCode) << "landing " << landing;
  }
}

// The three outcomes of lining up, driven through Fill on a drive that
// lands where the test says.
TEST(Reader, OverlapOutcomesThroughFill) {
  const auto options = Disc(200);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(1));
  rig.reader.SetJitterCorrection(1);
  rig.reader.Seek(0);
  ASSERT_EQ(kReaderOk, rig.reader.Fill(15));
  ASSERT_EQ(15u, rig.reader.Position());

  // One frame early: F[1] is the newest frame held, 13 frames are new.
  rig.drive->SetLanding(-1);
  ASSERT_EQ(kReaderOk, rig.reader.Fill(1));
  EXPECT_EQ(28u, rig.reader.Position());
  EXPECT_EQ(28u * kFrame, rig.reader.BufferedBytes());

  // Fourteen early: the whole read lies inside the data held.
  rig.drive->SetLanding(-14);
  ASSERT_EQ(kReaderOk, rig.reader.Fill(1));
  EXPECT_EQ(28u, rig.reader.Position());
  EXPECT_EQ(28u * kFrame, rig.reader.BufferedBytes());

  // Five late: nothing matches, the newest frame is replaced by F[0].
  rig.drive->SetLanding(5);
  ASSERT_EQ(kReaderOk, rig.reader.Fill(1));
  EXPECT_EQ(42u, rig.reader.Position());
  ASSERT_EQ(42u * kFrame, rig.reader.BufferedBytes());
  std::vector<std::uint8_t> all(42 * kFrame);
  std::uint32_t taken = 0;
  rig.reader.TakeFrames(42, all.data(), &taken);
  ASSERT_EQ(42u, taken);
  EXPECT_EQ(26, FrameLba(&all[26 * kFrame]));
  EXPECT_EQ(27 + 5, FrameLba(&all[27 * kFrame]));  // asked for 27, got 32
  EXPECT_EQ(27 + 5 + 14, FrameLba(&all[41 * kFrame]));
}

TEST(Reader, MatchOverlapCases) {
  CDirectCDDA reader;
  std::vector<std::uint8_t> frames(15 * kFrame);
  auto fill = [&frames](std::int32_t first) {
    for (int i = 0; i < 15; ++i) discgen::FillAudioFrame(first + i, &frames[i * kFrame]);
  };
  fill(500);
  EXPECT_EQ(0, reader.MatchOverlap(frames.data(), 15));  // nothing held
  reader.Buffer().Write(frames.data(), 15 * kFrame);      // holds 500..514

  fill(513);  // landed one early
  EXPECT_EQ(2, reader.MatchOverlap(frames.data(), 15));
  fill(514);  // on target
  EXPECT_EQ(1, reader.MatchOverlap(frames.data(), 15));
  fill(500);  // entirely inside what is held
  EXPECT_EQ(-15, reader.MatchOverlap(frames.data(), 15));
  fill(510);  // a short read ending in the newest frame held
  EXPECT_EQ(-5, reader.MatchOverlap(frames.data(), 5));
  fill(520);  // nothing matches
  EXPECT_EQ(-1, reader.MatchOverlap(frames.data(), 15));
  // Only the first 64 bytes count.
  fill(513);
  frames[kFrame + 64] ^= 0xFF;
  EXPECT_EQ(2, reader.MatchOverlap(frames.data(), 15));
  frames[kFrame + 63] ^= 0xFF;
  EXPECT_EQ(-2, reader.MatchOverlap(frames.data(), 15));  // F[0] is the second newest

  // A read so early that it lies wholly inside the data held is recognised
  // as old data, not taken for new frames.
  fill(515);
  reader.Buffer().Write(frames.data(), 15 * kFrame);  // holds 500..529
  fill(500);
  EXPECT_EQ(-30, reader.MatchOverlap(frames.data(), 15));
}

TEST(Reader, SeekStartsAtTheFrameAskedFor) {
  const auto options = Disc(300);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(2));
  rig.reader.SetJitterCorrection(1);
  rig.reader.Seek(0);
  ASSERT_EQ(kReaderOk, rig.reader.Fill(15));
  EXPECT_EQ(static_cast<std::int32_t>(rig.Start()), rig.drive->ReadLog().at(0).requested);

  // Into the middle, with data held: the buffer and the last result are reset,
  // and the first frame played is the one asked for (not one before it).
  rig.reader.Seek(150);
  EXPECT_EQ(0u, rig.reader.BufferedBytes());
  const Played played = PlayToEnd(rig.reader);
  EXPECT_TRUE(SameFrames(Frames(rig.Start() + 150, 150), played.lbas));

  // Past the end, even where adding a run would wrap: end of track, no READ
  // CD sent.
  rig.reader.Seek(0xFFFFFFF8u);
  const std::uint32_t reads = rig.drive->CommandCount(0xBE);
  EXPECT_EQ(kReaderEndOfTrack, rig.reader.Fill(15));
  EXPECT_EQ(reads, rig.drive->CommandCount(0xBE));
  std::uint8_t frame[kFrame];
  std::uint32_t taken = 1;
  EXPECT_EQ(kReaderEndOfTrack, rig.reader.TakeFrames(1, frame, &taken));
  EXPECT_EQ(0u, taken);
  rig.reader.Seek(0);
  EXPECT_EQ(kReaderOk, rig.reader.TakeFrames(1, frame, &taken));  // nothing yet
  EXPECT_EQ(0u, taken);
}

TEST(Reader, BufferOfNoBlocksStillHoldsOne) {
  CDirectCDDA reader;
  EXPECT_EQ(176400u * 10, reader.Buffer().Capacity());
  EXPECT_EQ(176400u, reader.SetBufferBlocks(0));
  EXPECT_EQ(176400u * 3, reader.SetBufferBlocks(3));
}

#ifndef _WIN32
// The Win32 box is modal; only the recording seam can be checked here.
TEST(Reader, ReadErrorShowsTheBoxAndStopsWithSix) {
  const auto options = Disc(100);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(2));
  rig.drive->AddReadError(static_cast<std::int32_t>(rig.Start()) + 35);
  rig.reader.Seek(0);
  msgbox::RecordedForTesting().clear();
  EXPECT_EQ(kReaderReadError, rig.reader.Fill(60));
  EXPECT_EQ(kReaderReadError, rig.reader.LastReadResult());
  ASSERT_EQ(1u, msgbox::RecordedForTesting().size());
  const msgbox::Shown& box = msgbox::RecordedForTesting()[0];
  EXPECT_EQ("エラー - CDirectCDDA", box.caption);
  EXPECT_EQ("Error:SendCommand\nReadFrames=15\nTempReadFrames=15\nLength=100\nLBA=30\n", box.text);
  EXPECT_EQ(msgbox::kIconError, box.type);
  msgbox::RecordedForTesting().clear();
  // What was read before the error is still played, then 6.
  std::vector<std::uint8_t> all(40 * kFrame);
  std::uint32_t taken = 0;
  EXPECT_EQ(kReaderOk, rig.reader.TakeFrames(40, all.data(), &taken));
  EXPECT_EQ(30u, taken);
  EXPECT_EQ(kReaderReadError, rig.reader.TakeFrames(1, all.data(), &taken));
  EXPECT_EQ(0u, taken);
}
#endif

// The engine's two threads: a fill thread calling Fill, a playback thread
// taking frames and seeking while the fill thread is busy. Every frame taken
// must be the one expected, also right after each seek.
TEST(Reader, SeeksWhileTheFillThreadRuns) {
  const auto options = Disc(900);
  Rig rig(&options);
  ASSERT_EQ(kReaderOk, rig.reader.OpenTrack(2));
  rig.reader.SetJitterCorrection(1);
  rig.reader.SetBufferBlocks(1);
  rig.reader.Seek(0);
  std::atomic<bool> running{true};
  std::thread filler([&] {
    while (running.load()) {
      const int rc = rig.reader.Fill(15);
      if (rc != kReaderOk) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const std::int64_t start = rig.Start();
  const std::uint32_t seeks[] = {400, 10, 850, 0, 600};
  std::int64_t expected = start;
  std::size_t seekIndex = 0;
  int sinceSeek = 0;
  int mismatches = 0, played = 0;
  std::uint8_t frame[kFrame];
  for (int guard = 0; guard < 200000; ++guard) {
    std::uint32_t taken = 0;
    const int rc = rig.reader.TakeFrames(1, frame, &taken);
    if (taken == 1) {
      if (FrameLba(frame) != expected) ++mismatches;
      ++expected;
      ++played;
      if (++sinceSeek == 120 && seekIndex < std::size(seeks)) {
        rig.reader.Seek(seeks[seekIndex]);
        expected = start + seeks[seekIndex++];
        sinceSeek = 0;
      }
      continue;
    }
    if (rc == kReaderEndOfTrack) {
      if (seekIndex == std::size(seeks)) break;
      rig.reader.Seek(seeks[seekIndex]);
      expected = start + seeks[seekIndex++];
      sinceSeek = 0;
      continue;
    }
    ASSERT_EQ(kReaderOk, rc);
    std::this_thread::yield();
  }
  running = false;
  filler.join();
  EXPECT_EQ(0, mismatches);
  EXPECT_EQ(start + 900, expected);
  EXPECT_GT(played, 5 * 120);
}

}  // namespace
