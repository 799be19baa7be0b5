// Playing a track through the real in_quorvo.dll in the test host: the
// virtual drive, reached over ASPI or the pass-through, holds a generated
// disc, and what the recording output receives must be the image's bytes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host_api/host_messages.h"
#include "tests/host/recording_output.h"
#include "tests/integration/shutdown_support.h"
#include "tests/host/test_host.h"
#include "tests/integration/ini_file.h"
#include "tests/integration/transports.h"
#include "tests/integration/virtual_aspi.h"
#include "util/codepage.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/disc_image.h"

namespace {

using shutdown_support::Watchdog;

using Bytes = std::vector<std::uint8_t>;

constexpr int kTrackFrames = 600;  // 8 s per track
const char kErrorCaption[] = "エラー - CDirectCDDA";

std::string Dir() { return TestHost::ProgramDirectory(); }
std::string WinampIni() { return Dir() + "\\winamp.ini"; }
std::string VdriveIni() { return Dir() + "\\vdrive.ini"; }

typedef int (*LoadConfigFn)(const char*);

class PlaybackTest : public ::testing::TestWithParam<transports::Transport> {
 protected:
  void SetUp() override {
    std::string cue, error;
    discgen::DiscOptions options;
    options.audioTracks = 2;
    options.trackFrames = kTrackFrames;
    options.name = "playback";
    const std::string folder = Dir() + "\\playback_disc";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_EQ(0, discgen::GenerateDisc(options, folder, &cue, &error)) << error;
    ASSERT_EQ(0, disc_.LoadCue(cue, &error)) << error;
    cue_ = cue;
    recording_output::Reset();
    recording_output::SetPace(0);
    TestHost::SetDspDoubles(false);
    ASSERT_TRUE(host_.CreateMainWindow());
  }

  void TearDown() override {
    if (in_) {
      in_->Stop();
      in_->Quit();
    }
    host_.UnloadInputPlugin();
    DeleteFileA(WinampIni().c_str());
    DeleteFileA(VdriveIni().c_str());
  }

  // Drive D: is the virtual drive at ASPI address 0:0:0 with the disc in it.
  void Start(const std::string& behaviour = "") { StartOver(GetParam(), behaviour); }
  void StartOver(transports::Transport transport, const std::string& behaviour = "") {
    ini_file::Write(VdriveIni(), "[0:0:0]\r\nletter=D\r\ncue=" + cue_ + "\r\nbehaviour=" + behaviour + "\r\n");
    ini_file::Write(WinampIni(), "[QZ_CDDAPLAYER]\r\n" + transports::DriveSettings(transport, {{'D', "0:0:0"}}));
    // The layer stays loaded between tests; make it read the new file.
    if (HMODULE aspi = GetModuleHandleA("wnaspi32.dll")) {
      auto load = reinterpret_cast<LoadConfigFn>(reinterpret_cast<void (*)()>(GetProcAddress(aspi, "VDriveLoadConfig")));
      if (load) load(nullptr);
    }
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }

  Bytes Image(int track, int from = 0, int to = kTrackFrames) {
    Bytes out(static_cast<std::size_t>(to - from) * 2352);
    const std::int32_t start = disc_.tracks()[track - 1].start;
    for (int f = from; f < to; ++f) disc_.ReadRawSector(start + f, &out[(f - from) * 2352]);
    return out;
  }

  bool EndOfStream(DWORD timeoutMs = 60000) { return host_.PumpUntilMessage(host::kMsgEndOfStream, timeoutMs); }



  TestHost host_;
  In_Module* in_ = nullptr;
  vdrive::Disc disc_;
  std::string cue_;
};

INSTANTIATE_TEST_SUITE_P(Transports, PlaybackTest, transports::kBoth, transports::ParamName);

TEST_P(PlaybackTest, PlaysATrackBitExactAndTellsTheHostWhenItEnds) {
  Start();
  char name[] = "cda://D,2";
  ASSERT_EQ(0, in_->Play(name));
  EXPECT_EQ(8000, in_->GetLength());
  ASSERT_TRUE(EndOfStream()) << "no end-of-stream message";
  in_->Stop();
  const Bytes pcm = recording_output::Captured();
  ASSERT_EQ(Image(2).size(), pcm.size());
  EXPECT_TRUE(Image(2) == pcm) << "the audio differs from the image";

  std::vector<std::string> host;
  for (const auto& c : host_.Callbacks().Calls())
    if (c.rfind("SAAdd", 0) != 0 && c.rfind("VSAAdd", 0) != 0) host.push_back(c);
  const std::vector<std::string> expected = {"SetInfo(1411,44,2,1)", "SAVSAInit(500,44100)", "VSASetInfo(44100,2)",
                                             "SAVSADeInit"};
  EXPECT_EQ(expected, host);
  EXPECT_EQ("Open(44100,2,16,-1,-1)", recording_output::Calls().Calls().front());
  EXPECT_TRUE(recording_output::Calls().Has("Close"));
}

TEST_P(PlaybackTest, PausesSeeksAndStops) {
  Start();
  recording_output::SetPace(4.0);
  char name[] = "cda://d,1";
  ASSERT_EQ(0, in_->Play(name));
  in_->Pause();
  EXPECT_EQ(1, in_->IsPaused());
  ASSERT_TRUE(host_.PumpUntil([&] { return recording_output::Calls().Has("Pause(1)"); }));
  in_->UnPause();
  EXPECT_EQ(0, in_->IsPaused());
  ASSERT_TRUE(host_.PumpUntil([&] { return recording_output::Calls().Has("Pause(0)"); }));

  in_->SetOutputTime(5010);
  EXPECT_TRUE(recording_output::Calls().Has("Flush(5010)"));
  const int t = in_->GetOutputTime();
  EXPECT_GE(t, 5000);
  EXPECT_LE(t, 8000);
  ASSERT_TRUE(EndOfStream());
  {
    Watchdog dog("Stop", 30000);
    in_->Stop();
  }

  // What was written before the seek is the start of the track; what came
  // after it is the track from frame 375 on.
  const Bytes pcm = recording_output::Captured();
  const Bytes tail = Image(1, 375);
  ASSERT_GE(pcm.size(), tail.size());
  const std::size_t before = pcm.size() - tail.size();
  EXPECT_EQ(0u, before % 2352);
  EXPECT_TRUE(Bytes(pcm.begin() + static_cast<std::ptrdiff_t>(before), pcm.end()) == tail);
  const Bytes head = Image(1, 0, static_cast<int>(before / 2352));
  EXPECT_TRUE(Bytes(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(before)) == head);
}

TEST_P(PlaybackTest, StopDuringPlaybackReturnsAndASecondPlayStartsAfresh) {
  Start();
  recording_output::SetPace(1.0);
  char name[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(name));
  host_.PumpFor(300);
  {
    Watchdog dog("Stop", 30000);
    in_->Stop();
  }
  EXPECT_TRUE(recording_output::Calls().Has("Close"));
  recording_output::Reset();
  recording_output::SetPace(0);
  host_.ClearMessages();
  ASSERT_EQ(0, in_->Play(name));
  ASSERT_TRUE(EndOfStream());
  in_->Stop();
  EXPECT_TRUE(Image(1) == recording_output::Captured());
}

TEST_P(PlaybackTest, MissingTracksAndDrivesAreRefused) {
  Start();
  char noTrack[] = "cda://D,7";
  char noDrive[] = "cda://F,1";
  EXPECT_EQ(-1, in_->Play(noTrack));
  EXPECT_EQ(-1, in_->Play(noDrive));
  EXPECT_TRUE(recording_output::Calls().Calls().empty()) << "the output must not be opened";
}

TEST_P(PlaybackTest, StopClosesTheReadErrorBoxTheHostWindowOwns) {
  // The error lies inside the first fill; the box appears on the fill thread.
  Start("readerror " + std::to_string(disc_.tracks()[0].start + 40));
  recording_output::SetPace(1.0);
  ShowWindow(host_.MainWindow(), SW_SHOWNORMAL);
  char name[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(name));
  HWND box = nullptr;
  ASSERT_TRUE(host_.PumpUntil([&] { return (box = FindWindowW(L"#32770", codepage::Utf8ToWide(kErrorCaption).c_str())) != nullptr; })) << "no error box";
  EXPECT_EQ(host_.MainWindow(), GetWindow(box, GW_OWNER));
  const DWORD start = GetTickCount();
  {
    Watchdog dog("Stop with the error box open", 60000);
    in_->Stop();
  }
  EXPECT_LT(GetTickCount() - start, 1000u) << "Stop waited for the user";
  EXPECT_FALSE(IsWindow(box));
  EXPECT_TRUE(recording_output::Calls().Has("Close"));
}

TEST_P(PlaybackTest, AReadErrorEndsTheTrackWithTheEndOfStreamMessage) {
  Start("readerror " + std::to_string(disc_.tracks()[0].start + 300));
  char name[] = "cda://D,1";
  ModalBoxCloser closer(kErrorCaption, 60000);
  ASSERT_EQ(0, in_->Play(name));
  ASSERT_TRUE(EndOfStream());
  // The user closes the box before the host moves on (a Stop would close it).
  EXPECT_TRUE(host_.PumpUntil([&] { return closer.Closed(); }));
  in_->Stop();
  closer.Join();
  const Bytes pcm = recording_output::Captured();
  EXPECT_LE(pcm.size(), 300u * 2352);
  EXPECT_TRUE(Image(1, 0, static_cast<int>(pcm.size() / 2352)) == pcm);
}

// The disc leaves the drive while the track plays: the read that follows
// fails, and what was played is the track's beginning and nothing else.
TEST_P(PlaybackTest, EjectDuringPlayEndsTheTrackWithNothingButTheDiscsAudio) {
  Start("latency 2");  // reads keep only a little ahead of the output
  recording_output::SetPace(1.0);
  char name[] = "cda://D,1";
  ModalBoxCloser closer(kErrorCaption, 60000);
  ASSERT_EQ(0, in_->Play(name));
  ASSERT_TRUE(host_.PumpUntil([] { return recording_output::Captured().size() >= 75u * 2352; }));
  ASSERT_EQ(0, virtual_aspi::Eject(0, 0, 0));
  ASSERT_TRUE(EndOfStream());
  EXPECT_TRUE(host_.PumpUntil([&] { return closer.Closed(); })) << "no read error box";
  in_->Stop();
  closer.Join();
  const Bytes pcm = recording_output::Captured();
  EXPECT_LT(pcm.size(), Image(1).size()) << "the whole track was read before the eject";
  EXPECT_EQ(0u, pcm.size() % 2352);
  EXPECT_TRUE(Image(1, 0, static_cast<int>(pcm.size() / 2352)) == pcm) << "something else than the disc was played";
}

// Both transports carry the same commands: a track start and its playback
// send each opcode as often over the pass-through as over ASPI.
class TransportComparisonTest : public PlaybackTest {};

TEST_F(TransportComparisonTest, ATrackSendsTheSameCommandsOverEitherTransport) {
  const int opcodes[] = {0x00, 0x12, 0x43, 0xBB, 0xBE};
  std::map<transports::Transport, std::vector<unsigned>> sent;
  for (auto transport : {transports::Transport::kAspi, transports::Transport::kPassThrough}) {
    StartOver(transport);
    std::vector<unsigned> before;
    for (int op : opcodes) before.push_back(virtual_aspi::CommandCount(0, 0, 0, op));
    char name[] = "cda://D,1";
    ASSERT_EQ(0, in_->Play(name));
    ASSERT_TRUE(EndOfStream());
    in_->Stop();
    in_->Quit();
    in_ = nullptr;
    host_.UnloadInputPlugin();
    host_.ClearMessages();
    std::printf("commands for one track over %-11s:", transports::Name(transport).c_str());
    for (std::size_t i = 0; i < before.size(); ++i) {
      sent[transport].push_back(virtual_aspi::CommandCount(0, 0, 0, opcodes[i]) - before[i]);
      std::printf(" %02X x%u", opcodes[i], sent[transport].back());
    }
    std::printf("\n");
  }
  EXPECT_EQ(sent[transports::Transport::kAspi], sent[transports::Transport::kPassThrough]);
  EXPECT_GT(sent[transports::Transport::kAspi][4], 0u) << "no READ CD at all";
}

}  // namespace
