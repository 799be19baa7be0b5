// The playback engine on the playback reader over the in-process virtual
// drive, with a fake host and output plug-in in the module table. Every
// audio sample of a generated disc carries its own position, so what the
// output receives is compared byte for byte with the image. POSIX only:
// the end-of-stream message and the reader's error box are recorded here
// (under Wine the integration tests play through the real DLL instead).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/cd_direct_cdda.h"
#include "host_api/host_messages.h"
#include "input/host_slots.h"
#include "input/playback_engine.h"
#include "input/readers.h"
#include "tests/unit/device_test_support.h"
#include "tests/unit/vdrive_test_support.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "util/host_window.h"
#include "util/message_box.h"
#include "util/plugin_thread.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

HWND const kMainWindow = reinterpret_cast<HWND>(0x5150);
constexpr int kOpenLatency = 321;

// Polls until the condition holds; generous, so that a slow machine (or
// ThreadSanitizer) never fails a test that is merely late.
template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = 30s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// The host's callbacks and output plug-in. One log for both, in call order.
// The output can be held: CanWrite answers 0 while the gate is shut, and
// IsPlaying answers 1 while it is told to keep sounding.
struct FakeHost {
  std::mutex mutex;
  std::vector<std::string> calls;
  Bytes pcm;  // written since Open or the last Flush
  std::atomic<bool> gateShut{false};
  std::atomic<bool> keepSounding{false};
  std::atomic<int> openResult{kOpenLatency};
  std::atomic<bool> dspActive{false};
  std::atomic<int> dspAnswer{-1};  // -1: double the samples; otherwise returned as is
  std::atomic<int> writes{0};
  // When set, the output takes a block only while the read-ahead buffer
  // holds at least this many frames (or the reader is done): playback that
  // is slower than reading, without any clock.
  std::atomic<std::uint32_t> paceFrames{0};

  void Log(std::string call) {
    std::lock_guard<std::mutex> hold(mutex);
    calls.push_back(std::move(call));
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> hold(mutex);
    return calls;
  }
  Bytes Pcm() {
    std::lock_guard<std::mutex> hold(mutex);
    return pcm;
  }
  bool Called(const std::string& call) {
    for (const auto& c : Calls())
      if (c == call) return true;
    return false;
  }
  int Count(const std::string& call) {
    int n = 0;
    for (const auto& c : Calls()) n += c == call;
    return n;
  }
};

FakeHost* g_fake = nullptr;

std::string Args(std::initializer_list<int> values) {
  std::string out = "(";
  for (int v : values) out += (out.size() > 1 ? "," : "") + std::to_string(v);
  return out + ")";
}

namespace out {
int Open(int rate, int channels, int bits, int bufferMs, int prebufferMs) {
  g_fake->Log("Open" + Args({rate, channels, bits, bufferMs, prebufferMs}));
  std::lock_guard<std::mutex> hold(g_fake->mutex);
  g_fake->pcm.clear();
  return g_fake->openResult.load();
}
void Close() { g_fake->Log("Close"); }
int Write(char* buffer, int length) {
  std::lock_guard<std::mutex> hold(g_fake->mutex);
  g_fake->pcm.insert(g_fake->pcm.end(), buffer, buffer + length);
  ++g_fake->writes;
  return 0;
}
int CanWrite() {
  if (g_fake->gateShut.load()) return 0;
  const std::uint32_t pace = g_fake->paceFrames.load();
  if (pace && PlaybackReader().BufferedBytes() < pace * 2352 && PlaybackReader().LastReadResult() == 0) return 0;
  return 65536;
}
int IsPlaying() { return g_fake->keepSounding.load() ? 1 : 0; }
int Pause(int on) {
  g_fake->Log("Pause" + Args({on}));
  return 0;
}
void SetVolume(int v) { g_fake->Log("SetVolume" + Args({v})); }
void SetPan(int p) { g_fake->Log("SetPan" + Args({p})); }
void Flush(int t) {
  g_fake->Log("Flush" + Args({t}));
  std::lock_guard<std::mutex> hold(g_fake->mutex);
  g_fake->pcm.clear();
}
int GetOutputTime() { return 400; }
int GetWrittenTime() { return 500; }
}  // namespace out

namespace host {
void SetInfo(int bitrate, int rate, int stereo, int synched) {
  g_fake->Log("SetInfo" + Args({bitrate, rate, stereo, synched}));
}
void SAVSAInit(int latency, int rate) { g_fake->Log("SAVSAInit" + Args({latency, rate})); }
void SAVSADeInit() { g_fake->Log("SAVSADeInit"); }
void SAAddPCMData(void*, int, int, int) {}
void VSAAddPCMData(void*, int, int, int) {}
void VSASetInfo(int rate, int channels) { g_fake->Log("VSASetInfo" + Args({rate, channels})); }
int DspIsActive() { return g_fake->dspActive.load() ? 1 : 0; }
int DspDoSamples(short* samples, int count, int, int channels, int) {
  const int answer = g_fake->dspAnswer.load();
  if (answer >= 0) return answer;
  for (int i = count - 1; i >= 0; --i) {
    for (int c = 0; c < channels; ++c) {
      samples[2 * i * channels + c] = samples[i * channels + c];
      samples[(2 * i + 1) * channels + c] = samples[i * channels + c];
    }
  }
  return 2 * count;
}
}  // namespace host

Out_Module g_out = {0x10, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                    out::Open, out::Close, out::Write, out::CanWrite, out::IsPlaying, out::Pause,
                    out::SetVolume, out::SetPan, out::Flush, out::GetOutputTime, out::GetWrittenTime};

// Boxes shown by the reader can be held open by a test.
std::mutex g_boxMutex;
std::condition_variable g_boxChanged;
bool g_boxOpen = false;
bool g_boxRelease = false;
void HoldBoxOpen(const msgbox::Shown&) {
  std::unique_lock<std::mutex> hold(g_boxMutex);
  g_boxOpen = true;
  g_boxChanged.notify_all();
  g_boxChanged.wait(hold, [] { return g_boxRelease; });
  g_boxOpen = false;
}

class PlaybackEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake_;
    In_Module& m = Module();
    m.hMainWindow = kMainWindow;
    m.outMod = &g_out;
    m.SetInfo = host::SetInfo;
    m.SAVSAInit = host::SAVSAInit;
    m.SAVSADeInit = host::SAVSADeInit;
    m.SAAddPCMData = host::SAAddPCMData;
    m.VSAAddPCMData = host::VSAAddPCMData;
    m.VSASetInfo = host::VSASetInfo;
    m.dsp_isactive = host::DspIsActive;
    m.dsp_dosamples = host::DspDoSamples;
    host_window::ClearPostedForTesting();
    msgbox::RecordedForTesting().clear();
    Engine().SetVolume(0);
    Engine().SetPan(0);
  }

  void TearDown() override {
    Engine().Stop();
    EXPECT_FALSE(Engine().HasThreads());
    msgbox::SetShowHookForTesting(nullptr);
    In_Module& m = Module();
    m.outMod = nullptr;
    m.SetInfo = nullptr;
    m.SAVSAInit = nullptr;
    m.SAVSADeInit = nullptr;
    m.SAAddPCMData = nullptr;
    m.VSAAddPCMData = nullptr;
    m.VSASetInfo = nullptr;
    m.dsp_isactive = nullptr;
    m.dsp_dosamples = nullptr;
    g_fake = nullptr;
  }

  // Puts the disc into drive D: (E: is a second drive with a disc of its
  // own) and makes them the playback reader's drives.
  void Insert(const discgen::DiscOptions& options) {
    disc_ = vdrive_test::MakeDisc(options);
    drive_ = std::make_shared<vdrive::VirtualDrive>();
    drive_->Insert(disc_);
    other_ = std::make_shared<vdrive::VirtualDrive>();
    other_->Insert(disc_);
    auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
    transport->Attach('D', drive_);
    transport->Attach('E', other_);
    system_.roots = {"C:\\", "D:\\", "E:\\"};
    system_.cdroms = {'D', 'E'};
    devtest::ScopedSystem scoped(system_);
    PlaybackReader().InstallTransport(std::move(transport), 2);
    ASSERT_EQ(2, PlaybackReader().EnumerateDrives());
  }

  const vdrive::DiscTrack& Track(int number) {
    for (const auto& t : disc_->tracks())
      if (t.number == number) return t;
    ADD_FAILURE() << "no track " << number;
    return disc_->tracks().front();
  }

  // The image's bytes of frames [from, to) of a track.
  Bytes Expected(int number, std::int32_t from = 0, std::int32_t to = -1) {
    const vdrive::DiscTrack& t = Track(number);
    if (to < 0) to = t.length;
    Bytes bytes(static_cast<std::size_t>(to - from) * 2352);
    for (std::int32_t f = from; f < to; ++f) disc_->ReadRawSector(t.start + f, &bytes[(f - from) * 2352]);
    return bytes;
  }

  int Play(const std::string& name, PlaybackOptions options = PlaybackOptions{176400, 882000, 65535, false}) {
    return Engine().Play(name.c_str(), options);
  }

  static bool EndOfStreamPosted() {
    for (const auto& p : host_window::PostedForTesting())
      if (p.window == kMainWindow && p.msg == ::host::kMsgEndOfStream && p.wParam == 0 && p.lParam == 0)
        return true;
    return false;
  }

  void PlayToEndAndStop() {
    ASSERT_TRUE(Eventually(EndOfStreamPosted)) << "the end of the stream never came";
    Engine().Stop();
    host_window::ClearPostedForTesting();
  }

  // Frames the output has received since Open or the last Flush.
  std::size_t FramesWritten() { return fake_.Pcm().size() / 2352; }

  FakeHost fake_;
  devtest::FakeSystem system_;
  std::shared_ptr<vdrive::Disc> disc_;
  std::shared_ptr<vdrive::VirtualDrive> drive_, other_;
};

// Where two runs of audio first part, for a readable failure.
std::string FirstDifference(const Bytes& expected, const Bytes& actual) {
  if (expected == actual) return "same";
  std::size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  std::string where = "frames: expected " + std::to_string(expected.size() / 2352) + ", got " +
                      std::to_string(actual.size() / 2352) + "; first difference in frame " + std::to_string(i / 2352);
  if (i + 4 <= actual.size()) where += ", which holds sample " + std::to_string(discgen::PatternPosition(&actual[i & ~std::size_t{3}]));
  return where;
}

discgen::DiscOptions Disc(discgen::Layout layout, int frames = 600, int tracks = 2) {
  discgen::DiscOptions o;
  o.layout = layout;
  o.audioTracks = tracks;
  o.trackFrames = frames;
  o.index0Frames = 30;
  return o;
}

TEST(PlaybackEngineFrameTime, ConvertsWithTheIntegerFormulas) {
  EXPECT_EQ(0u, FramesToMs(0));
  EXPECT_EQ(13u, FramesToMs(1));
  EXPECT_EQ(986u, FramesToMs(74));
  EXPECT_EQ(1000u, FramesToMs(75));
  EXPECT_EQ(3600000u, FramesToMs(270000));
  EXPECT_EQ(75, MsToFrames(1010));
  EXPECT_EQ(74, MsToFrames(999));
  EXPECT_EQ(-75, MsToFrames(-1010));
  EXPECT_EQ(4500, MsToFrames(60000));
}

TEST(PlaybackEngineBufferPlan, HoldsAtLeastABlockAndNeverWaitsForMoreThanAFillReaches) {
  const std::uint32_t oneFillBelowBlock = 176400 - 15 * 2352;
  BufferPlan small = PlanBuffer(176400, 2352);
  EXPECT_EQ(1u, small.blocks);
  EXPECT_EQ(oneFillBelowBlock, small.preReadBytes);
  EXPECT_EQ(2352u, small.refillBelowBytes);

  BufferPlan usual = PlanBuffer(176400, 882000);
  EXPECT_EQ(10u, usual.blocks);
  EXPECT_EQ(176400u, usual.preReadBytes);
  EXPECT_EQ(882000u, usual.refillBelowBytes);

  BufferPlan preReadTooBig = PlanBuffer(3528000, 176400);
  EXPECT_EQ(2u, preReadTooBig.blocks);
  EXPECT_EQ(2 * 176400u - 15 * 2352, preReadTooBig.preReadBytes);

  // No buffer limit at all would never start a fill: the refill threshold
  // stays at one frame at least.
  for (std::uint32_t tiny : {0u, 1u, 2351u}) {
    BufferPlan none = PlanBuffer(176400, tiny);
    EXPECT_EQ(1u, none.blocks);
    EXPECT_EQ(2352u, none.refillBelowBytes) << tiny;
  }

  BufferPlan huge = PlanBuffer(0xFFFFFFFFu, 0xFFFFFFFFu);  // 2 x BufferSize must not wrap
  EXPECT_GT(huge.blocks, 40u);
  EXPECT_LE(huge.blocks, 120u);
  EXPECT_LE(huge.preReadBytes, huge.blocks * 176400u - 15 * 2352);
}

struct WholeTrackCase {
  const char* name;
  discgen::Layout layout;
  int track;
  std::uint32_t preRead, buffer;
};

class PlaybackEngineWholeTrack : public PlaybackEngineTest, public ::testing::WithParamInterface<WholeTrackCase> {};

TEST_P(PlaybackEngineWholeTrack, PlaysEveryFrameOfTheTrackExactlyOnce) {
  const WholeTrackCase& c = GetParam();
  Insert(Disc(c.layout, 700, 2));
  const int track = c.track;
  ASSERT_EQ(0, Play("cda://D," + std::to_string(track), PlaybackOptions{c.preRead, c.buffer, 65535, false}));
  EXPECT_EQ(static_cast<int>(FramesToMs(Track(track).length)), Engine().GetLength());
  PlayToEndAndStop();
  const Bytes pcm = fake_.Pcm();
  ASSERT_EQ(Expected(track).size(), pcm.size());
  EXPECT_TRUE(Expected(track) == pcm) << "the audio differs from the image";
  EXPECT_EQ(static_cast<std::uint32_t>(Track(track).length), Engine().DecodePosition());
  EXPECT_EQ(static_cast<int>(FramesToMs(Track(track).length)), Engine().GetLength()) << "Stop keeps the length";
}

INSTANTIATE_TEST_SUITE_P(
    PlaybackEngineLayouts, PlaybackEngineWholeTrack,
    ::testing::Values(WholeTrackCase{"AudioDefaults", discgen::Layout::AudioOnly, 2, 176400, 882000},
                      WholeTrackCase{"AudioOneFramePreRead", discgen::Layout::AudioOnly, 1, 2352, 176400},
                      WholeTrackCase{"AudioNoPreRead", discgen::Layout::AudioOnly, 1, 0, 352800},
                      WholeTrackCase{"AudioBufferBelowABlock", discgen::Layout::AudioOnly, 2, 176400, 2352},
                      WholeTrackCase{"AudioPreReadAboveCapacity", discgen::Layout::AudioOnly, 1, 3528000, 88200},
                      WholeTrackCase{"AudioPreReadLongerThanTrack", discgen::Layout::AudioOnly, 2, 3528000, 3528000},
                      WholeTrackCase{"DataFirst", discgen::Layout::DataFirst, 2, 176400, 176400},
                      WholeTrackCase{"DataFirstLastTrack", discgen::Layout::DataFirst, 3, 35280, 882000},
                      WholeTrackCase{"CdExtraLastAudioTrack", discgen::Layout::CdExtra, 2, 176400, 352800}),
    [](const ::testing::TestParamInfo<WholeTrackCase>& info) { return std::string(info.param.name); });

class PlaybackEngineJitter : public PlaybackEngineTest, public ::testing::WithParamInterface<int> {};

// The last read of a track can be shorter than an early landing, and then
// nothing in it lines up with the buffer; the drive lands true from there.
class LandsTrueAtTheEnd : public vdrive::VirtualScsiTransport {
 public:
  LandsTrueAtTheEnd(std::shared_ptr<vdrive::VirtualDrive> drive, std::int32_t steadyFrom)
      : drive_(std::move(drive)), steadyFrom_(steadyFrom) {}
  int Send(const std::uint8_t* cdb, std::uint8_t length, void* data, std::uint32_t dataLength) override {
    if (length >= 9 && cdb[0] == 0xBE) {
      const std::int32_t lba = (cdb[2] << 24) | (cdb[3] << 16) | (cdb[4] << 8) | cdb[5];
      const std::int32_t frames = (cdb[6] << 16) | (cdb[7] << 8) | cdb[8];
      if (lba + 2 * frames >= steadyFrom_) drive_->SetLanding(0);
    }
    return vdrive::VirtualScsiTransport::Send(cdb, length, data, dataLength);
  }

 private:
  std::shared_ptr<vdrive::VirtualDrive> drive_;
  std::int32_t steadyFrom_;
};

TEST_P(PlaybackEngineJitter, DropsFramesADriveLandingEarlyDeliversAgain) {
  Insert(Disc(discgen::Layout::AudioOnly, 900, 2));
  auto transport = std::make_unique<LandsTrueAtTheEnd>(drive_, Track(2).start + Track(2).length);
  transport->Attach('D', drive_);
  {
    devtest::ScopedSystem scoped(system_);
    PlaybackReader().InstallTransport(std::move(transport), 2);
    ASSERT_EQ(1, PlaybackReader().EnumerateDrives());
  }
  drive_->SetLanding(-GetParam(), 3);
  // Lining up needs frames in the buffer to compare with: a drive that
  // keeps ahead of playback, as it does when nothing goes wrong.
  fake_.paceFrames = 20;
  ASSERT_EQ(0, Play("cda://D,2", PlaybackOptions{176400, 352800, 65535, true}));
  PlayToEndAndStop();
  EXPECT_EQ("same", FirstDifference(Expected(2), fake_.Pcm()));
  bool landedEarly = false;
  for (const auto& r : drive_->ReadLog()) landedEarly = landedEarly || r.delivered < r.requested;
  EXPECT_TRUE(landedEarly);
}

INSTANTIATE_TEST_SUITE_P(PlaybackEngineEarlyBy, PlaybackEngineJitter, ::testing::Values(1, 2, 7, 13, 14));

TEST_F(PlaybackEngineTest, JitterCorrectionWithAOneFramePreReadStillAdvances) {
  Insert(Disc(discgen::Layout::AudioOnly, 300, 1));
  fake_.paceFrames = 20;
  ASSERT_EQ(0, Play("cda://D,1", PlaybackOptions{2352, 176400, 65535, true}));
  PlayToEndAndStop();
  EXPECT_TRUE(Expected(1) == fake_.Pcm());
}

TEST_F(PlaybackEngineTest, StartsWithTheHostsCallsInOrderAndEndsWithCloseAndDeInit) {
  Insert(Disc(discgen::Layout::AudioOnly, 150, 1));
  Engine().SetVolume(200);
  Engine().SetPan(-50);
  ASSERT_EQ(0, Play("cda://d,1", PlaybackOptions{176400, 882000, 2822, false}));
  EXPECT_EQ("cda://d,1", Engine().CurrentFileName());
  EXPECT_EQ("d", Engine().PlayingDriveText());
  PlayToEndAndStop();
  const std::vector<std::string> expected = {
      "Open(44100,2,16,-1,-1)", "SetInfo(1411,44,2,1)", "SAVSAInit(321,44100)", "VSASetInfo(44100,2)",
      "SetVolume(200)",         "SetPan(-50)",          "Close",                "SAVSADeInit"};
  EXPECT_EQ(expected, fake_.Calls());
  EXPECT_EQ(2822, drive_->RequestedReadSpeed());
  EXPECT_EQ(150, static_cast<int>(FramesWritten()));
  EXPECT_EQ("", Engine().PlayingDriveText());
  EXPECT_EQ("cda://d,1", Engine().CurrentFileName());
}

TEST_F(PlaybackEngineTest, OutOfRangeVolumeAndPanAreIgnoredAndChangesReachTheOutput) {
  Insert(Disc(discgen::Layout::AudioOnly, 300, 1));
  Engine().SetVolume(90);
  Engine().SetPan(20);
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  ASSERT_TRUE(Eventually([&] { return fake_.Called("SetPan(20)"); }));
  Engine().SetVolume(256);
  Engine().SetVolume(-1);
  Engine().SetPan(-128);
  Engine().SetPan(128);
  Engine().SetVolume(255);
  Engine().SetPan(-127);
  ASSERT_TRUE(Eventually([&] { return fake_.Called("SetPan(-127)") && fake_.Called("SetVolume(255)"); }));
  fake_.gateShut = false;
  PlayToEndAndStop();
  for (const auto& call : fake_.Calls()) {
    EXPECT_NE("SetVolume(256)", call);
    EXPECT_NE("SetVolume(-1)", call);
    EXPECT_NE("SetPan(-128)", call);
    EXPECT_NE("SetPan(128)", call);
  }
  EXPECT_EQ(1, fake_.Count("SetVolume(255)"));
}

TEST_F(PlaybackEngineTest, TheDspMayStretchABlockToTwiceItsSamplesButNeverBeyondTheBlock) {
  Insert(Disc(discgen::Layout::AudioOnly, 120, 1));
  fake_.dspActive = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  PlayToEndAndStop();
  const Bytes plain = Expected(1);
  const Bytes pcm = fake_.Pcm();
  ASSERT_EQ(2 * plain.size(), pcm.size());
  for (std::size_t pair = 0; pair < plain.size() / 4; ++pair) {
    ASSERT_EQ(0, std::memcmp(&plain[pair * 4], &pcm[pair * 8], 4)) << pair;
    ASSERT_EQ(0, std::memcmp(&plain[pair * 4], &pcm[pair * 8 + 4], 4)) << pair;
  }

  // A DSP that claims more samples than fit gets no more than the block.
  fake_.dspAnswer = 100000;
  ASSERT_EQ(0, Play("cda://D,1"));
  PlayToEndAndStop();
  EXPECT_EQ(120u * 2 * 2352, fake_.Pcm().size());
}

TEST_F(PlaybackEngineTest, PauseReachesTheOutputAndHoldsTheStream) {
  Insert(Disc(discgen::Layout::AudioOnly, 300, 1));
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  Engine().Pause();
  EXPECT_EQ(1, Engine().IsPaused());
  ASSERT_TRUE(Eventually([&] { return fake_.Called("Pause(1)"); }));
  fake_.gateShut = false;
  const int writes = fake_.writes.load();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(writes, fake_.writes.load()) << "wrote while paused";
  Engine().UnPause();
  EXPECT_EQ(0, Engine().IsPaused());
  PlayToEndAndStop();
  EXPECT_EQ(1, fake_.Count("Pause(1)"));
  EXPECT_EQ(1, fake_.Count("Pause(0)"));
  EXPECT_TRUE(Expected(1) == fake_.Pcm());
}

TEST_F(PlaybackEngineTest, SeekTruncatesToAFrameFlushesTheOutputAndNeverGoesBeforeTheStart) {
  Insert(Disc(discgen::Layout::AudioOnly, 400, 2));
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,2"));
  Engine().SetOutputTime(1010);
  EXPECT_EQ(75u, Engine().DecodePosition());
  EXPECT_EQ(1000 + 400 - 500, Engine().GetOutputTime());
  EXPECT_TRUE(fake_.Called("Flush(1010)"));
  Engine().SetOutputTime(-500);
  EXPECT_TRUE(fake_.Called("Flush(0)"));
  EXPECT_EQ(0u, Engine().DecodePosition());
  fake_.gateShut = false;
  PlayToEndAndStop();
  EXPECT_EQ("same", FirstDifference(Expected(2), fake_.Pcm()));
}

TEST_F(PlaybackEngineTest, SeekWhilePausedRepositionsAndStaysPaused) {
  Insert(Disc(discgen::Layout::AudioOnly, 400, 1));
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  Engine().Pause();
  ASSERT_TRUE(Eventually([&] { return fake_.Called("Pause(1)"); }));
  fake_.gateShut = false;
  Engine().SetOutputTime(2000);
  EXPECT_TRUE(fake_.Called("Flush(2000)"));
  EXPECT_EQ(150u, Engine().DecodePosition());
  EXPECT_EQ(1, Engine().IsPaused());
  EXPECT_FALSE(fake_.Called("Pause(0)"));
  EXPECT_EQ(0u, FramesWritten());
  Engine().UnPause();
  PlayToEndAndStop();
  EXPECT_TRUE(Expected(1, 150) == fake_.Pcm());
}

TEST_F(PlaybackEngineTest, PlayWithoutStopEndsTheOldThreadsFirst) {
  Insert(Disc(discgen::Layout::AudioOnly, 300, 2));
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  fake_.gateShut = false;
  ASSERT_EQ(0, Play("cda://D,2"));
  PlayToEndAndStop();
  EXPECT_TRUE(Expected(2) == fake_.Pcm());
  EXPECT_EQ(2, fake_.Count("Close"));
}

TEST_F(PlaybackEngineTest, RemovingTheDiscWhilePreReadingEndsPlayback) {
  Insert(Disc(discgen::Layout::AudioOnly, 900, 1));
  drive_->SetLatency(vdrive::LatencyModel{1.0, 0});  // a pre-read of seconds
  ASSERT_EQ(0, Play("cda://D,1", PlaybackOptions{3528000, 3528000, 65535, false}));
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceRemoveComplete, true, 1u << 3));
  PlayToEndAndStop();
  EXPECT_EQ(0u, FramesWritten());
}

TEST_F(PlaybackEngineTest, SeekPastTheEndEndsTheStream) {
  Insert(Disc(discgen::Layout::AudioOnly, 300, 2));
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  Engine().SetOutputTime(60000);
  fake_.gateShut = false;
  PlayToEndAndStop();
  EXPECT_EQ(0u, FramesWritten());
  EXPECT_EQ(4500u, Engine().DecodePosition());
}

TEST_F(PlaybackEngineTest, StopFromEveryStateLeavesNoThreadAndClosesTheOutputOnce) {
  Insert(Disc(discgen::Layout::AudioOnly, 600, 1));
  Engine().Stop();  // idle
  EXPECT_FALSE(Engine().HasThreads());
  EXPECT_EQ(0, fake_.Count("Close"));

  // Pre-reading from a slow drive.
  drive_->SetLatency(vdrive::LatencyModel{1.0, 0});
  ASSERT_EQ(0, Play("cda://D,1", PlaybackOptions{3528000, 3528000, 65535, false}));
  Engine().Stop();
  EXPECT_FALSE(Engine().HasThreads());
  drive_->SetLatency(vdrive::LatencyModel{});

  // Streaming into a full output.
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  ASSERT_TRUE(Eventually([&] { return fake_.Called("SetPan(0)"); }));
  Engine().Stop();
  EXPECT_FALSE(Engine().HasThreads());

  // Paused.
  ASSERT_EQ(0, Play("cda://D,1"));
  Engine().Pause();
  ASSERT_TRUE(Eventually([&] { return fake_.Called("Pause(1)"); }));
  Engine().Stop();
  EXPECT_FALSE(Engine().HasThreads());
  Engine().UnPause();

  // Draining: everything read, the output still sounding.
  fake_.gateShut = false;
  fake_.keepSounding = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  ASSERT_TRUE(Eventually([&] { return FramesWritten() == 600; }));
  Engine().Stop();
  EXPECT_FALSE(Engine().HasThreads());
  EXPECT_FALSE(EndOfStreamPosted());
  fake_.keepSounding = false;

  // Ended, and stopped twice.
  ASSERT_EQ(0, Play("cda://D,1"));
  PlayToEndAndStop();
  Engine().Stop();
  EXPECT_FALSE(Engine().HasThreads());
  EXPECT_EQ(5, fake_.Count("Open(44100,2,16,-1,-1)"));
  EXPECT_EQ(5, fake_.Count("Close"));
  EXPECT_EQ("", Engine().PlayingDriveText());
}

TEST_F(PlaybackEngineTest, TracksThatCannotBeOpenedAreRefusedBeforeTheOutputOpens) {
  Insert(Disc(discgen::Layout::DataFirst, 300, 1));
  EXPECT_EQ(-1, Play("cda://D,1")) << "data track";
  EXPECT_EQ(-1, Play("cda://D,9")) << "no such track";
  EXPECT_EQ(-1, Play("cda://G,2")) << "not a drive of the table";
  EXPECT_EQ(-1, Play("D:\\song.mp3")) << "not a track name";
  drive_->Eject();
  EXPECT_EQ(-1, Play("cda://D,2")) << "no disc";
  EXPECT_EQ(0, fake_.Count("Open(44100,2,16,-1,-1)"));
  EXPECT_FALSE(Engine().HasThreads());
}

TEST_F(PlaybackEngineTest, AnOutputThatWillNotOpenOrAThreadThatCannotStartStopsPlayback) {
  Insert(Disc(discgen::Layout::AudioOnly, 75, 1));
  fake_.openResult = -1;
  EXPECT_EQ(1, Play("cda://D,1"));
  EXPECT_FALSE(Engine().HasThreads());
  EXPECT_EQ(0, fake_.Count("Close"));
  EXPECT_TRUE(fake_.Called("SAVSADeInit"));
  EXPECT_EQ("", Engine().PlayingDriveText());

  fake_.openResult = 0;
  plugin_thread::RefuseStartsForTesting(1);
  EXPECT_EQ(1, Play("cda://D,1"));
  EXPECT_FALSE(Engine().HasThreads());
  EXPECT_FALSE(Engine().Running());
  EXPECT_EQ(1, fake_.Count("Close")) << "the output opened for it is closed again";
  EXPECT_EQ("", Engine().PlayingDriveText());
  EXPECT_EQ(0, Play("cda://D,1")) << "nothing is left behind";
}

TEST_F(PlaybackEngineTest, AReadErrorPlaysOnlyGoodFramesDrainsAndEndsTheTrack) {
  Insert(Disc(discgen::Layout::AudioOnly, 900, 1));
  drive_->AddReadError(Track(1).start + 500);
  fake_.keepSounding = true;
  ASSERT_EQ(0, Play("cda://D,1", PlaybackOptions{35280, 176400, 65535, false}));
  ASSERT_TRUE(Eventually([&] { return Engine().FillError(); }));
  ASSERT_EQ(1u, msgbox::RecordedForTesting().size());
  const Bytes pcm = fake_.Pcm();
  EXPECT_LE(pcm.size(), 500u * 2352);
  EXPECT_TRUE(Expected(1, 0, static_cast<std::int32_t>(pcm.size() / 2352)) == pcm);

  // A seek after the failure reads nothing more and ends after draining too.
  const std::uint32_t reads = drive_->CommandCount(0xBE);
  Engine().SetOutputTime(1000);
  EXPECT_EQ(reads, drive_->CommandCount(0xBE));
  EXPECT_FALSE(EndOfStreamPosted()) << "the output is still sounding";
  fake_.keepSounding = false;
  PlayToEndAndStop();
  EXPECT_EQ(1u, msgbox::RecordedForTesting().size());
  EXPECT_EQ(0u, FramesWritten());
}

void ReleaseBox() {
  {
    std::lock_guard<std::mutex> hold(g_boxMutex);
    g_boxRelease = true;
  }
  g_boxChanged.notify_all();
}

TEST_F(PlaybackEngineTest, StopClosesTheReadErrorBoxAndANestedStopOrPlayWaitsForNothing) {
  Insert(Disc(discgen::Layout::AudioOnly, 600, 1));
  drive_->AddReadError(Track(1).start + 40);  // inside the first fill
  {
    std::lock_guard<std::mutex> hold(g_boxMutex);
    g_boxOpen = false;
    g_boxRelease = false;
  }
  msgbox::SetShowHookForTesting(HoldBoxOpen);
  // What the host would do from a message dispatched while Stop waits: the
  // box closes Stop's wait only after both came back.
  static std::atomic<int> nested{0};
  nested = 0;
  msgbox::SetCloseHookForTesting([] {
    Engine().Stop();
    if (Engine().Play(const_cast<char*>("cda://D,1"), PlaybackOptions{35280, 176400, 65535, false}) == 1) ++nested;
    ReleaseBox();
  });
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1", PlaybackOptions{35280, 176400, 65535, false}));
  {
    std::unique_lock<std::mutex> hold(g_boxMutex);
    ASSERT_TRUE(g_boxChanged.wait_for(hold, 30s, [] { return g_boxOpen; }));
  }
  auto stopped = std::async(std::launch::async, [] { Engine().Stop(); });
  ASSERT_EQ(std::future_status::ready, stopped.wait_for(30s)) << "Stop waited for a box nobody closed";
  msgbox::SetCloseHookForTesting(nullptr);
  EXPECT_EQ(1, nested.load()) << "a Play during Stop is refused";
  EXPECT_FALSE(Engine().HasThreads());
  EXPECT_EQ(1, fake_.Count("Close")) << "the output is closed once";
}

TEST_F(PlaybackEngineTest, RemovingThePlayingDiscEndsPlaybackAndOtherDrivesDoNot) {
  Insert(Disc(discgen::Layout::AudioOnly, 300, 1));
  fake_.gateShut = true;
  ASSERT_EQ(0, Play("cda://D,1"));
  EXPECT_EQ(0, Engine().OnDeviceChange(0x8001, true, 1u << 3));
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceRemoveComplete, true, 1u << 4));  // E:
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceQueryRemoveFailed, true, 1u << 4));
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceRemoveComplete, false, 1u << 3));  // not a volume
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceRemoveComplete, true, 0));
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceArrival, true, 1u << 4));
  EXPECT_EQ("D", Engine().PlayingDriveText());
  // Another disc arriving in the playing drive only forgets the drive text.
  EXPECT_EQ(1, Engine().OnDeviceChange(kDeviceArrival, true, (1u << 3) | (1u << 5)));
  EXPECT_EQ("", Engine().PlayingDriveText());
  EXPECT_FALSE(Engine().FillError());
  fake_.gateShut = false;
  PlayToEndAndStop();
  EXPECT_TRUE(Expected(1) == fake_.Pcm());

  // The lowest letter of the mask counts; a removal the system gave up on
  // ends playback as well.
  for (std::uint32_t event : {kDeviceRemoveComplete, kDeviceQueryRemoveFailed}) {
    fake_.gateShut = true;
    ASSERT_EQ(0, Play("cda://D,1"));
    EXPECT_EQ(1, Engine().OnDeviceChange(event, true, (1u << 3) | (1u << 6)));
    EXPECT_TRUE(Engine().FillError());
    EXPECT_EQ("", Engine().PlayingDriveText());
    fake_.gateShut = false;
    PlayToEndAndStop();
    EXPECT_EQ(0u, FramesWritten());
  }
}

}  // namespace
