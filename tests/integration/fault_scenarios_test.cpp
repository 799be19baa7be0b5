// Drive faults while a track plays, through the real in_quorvo.dll over the
// pass-through: read errors at chosen places, the disc leaving the drive
// while paused or seeking, a seek onto a bad sector, short and garbled
// replies to READ TOC and CD-TEXT, and a second host process holding the
// drive lock. Every wait is bounded; a call that hangs ends the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "host_api/host_messages.h"
#include "tests/host/recording_output.h"
#include "tests/host/test_host.h"
#include "tests/integration/ini_file.h"
#include "tests/integration/shutdown_support.h"
#include "tests/integration/virtual_aspi.h"
#include "util/codepage.h"
#include "tools/vdrive/disc_image.h"
#include "util/named_event.h"

namespace {

using shutdown_support::Watchdog;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTrackFrames = 600;  // 8 s
constexpr int kReadCd = 0xBE;
const char kErrorCaption[] = "エラー - CDirectCDDA";
const char kNoTrack[] = "指定されたトラックは存在しません。";
const char kPatternTitle[] = "CD-DA TRACK - D:\\Track1";

std::string Dir() { return TestHost::ProgramDirectory(); }
std::string WinampIni() { return Dir() + "\\winamp.ini"; }

std::string ReadErrorText(int frames, int address) {
  return "Error:SendCommand\nReadFrames=" + std::to_string(frames) + "\nTempReadFrames=" + std::to_string(frames) +
         "\nLength=" + std::to_string(kTrackFrames) + "\nLBA=" + std::to_string(address) + "\n";
}

// Closes every read-error box as a user would, one after the other, and
// keeps their texts: a test can tell one box from a retry's second one.
class BoxWatcher {
 public:
  BoxWatcher() { thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
  ~BoxWatcher() { Join(); }
  void Join() {
    if (!thread_) return;
    stop_ = true;
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  int Count() const { return count_.load(); }
  std::vector<std::string> Texts() {
    Join();
    return texts_;
  }

 private:
  static BOOL CALLBACK Collect(HWND child, LPARAM text) {
    char name[16] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") != 0) return TRUE;  // not the OK button's caption
    wchar_t buffer[1024] = {};
    GetWindowTextW(child, buffer, 1024);
    *reinterpret_cast<std::string*>(text) += codepage::WideToUtf8(buffer);
    return TRUE;
  }
  static DWORD WINAPI Run(void* self) {
    auto* w = static_cast<BoxWatcher*>(self);
    while (!w->stop_) {
      if (HWND box = FindWindowW(L"#32770", codepage::Utf8ToWide(kErrorCaption).c_str())) {
        Sleep(50);  // let the box finish its set-up
        std::string text;
        EnumChildWindows(box, Collect, reinterpret_cast<LPARAM>(&text));
        w->texts_.push_back(text);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
        ++w->count_;
      }
      Sleep(20);
    }
    return 0;
  }
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<int> count_{0};
  std::vector<std::string> texts_;
};

class FaultScenarioTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 2;
    options.trackFrames = kTrackFrames;
    options.text = discgen::TextMode::EnglishJapanese;
    cue_ = virtual_aspi::MakeDisc(options, "fault_scenarios");
  }
  void SetUp() override {
    ASSERT_FALSE(cue_.empty());
    std::string error;
    ASSERT_EQ(0, disc_.LoadCue(Dir() + "\\" + cue_, &error)) << error;
    recording_output::Reset();
    recording_output::SetPace(0);
    TestHost::SetDspDoubles(false);
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    if (in_) {
      Watchdog dog("Stop and Quit", 30000);
      in_->Stop();
      in_->Quit();
    }
    host_.UnloadInputPlugin();
    DeleteFileA(WinampIni().c_str());
  }

  // Drive D: (0:0:0) holds the disc; the plug-in reaches it over the
  // pass-through, the automatic choice on Windows 10.
  void Start(const std::string& behaviour, const std::string& settings = "") {
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cue_ + "\r\nbehaviour=" + behaviour + "\r\n"));
    ini_file::Write(WinampIni(), "[QZ_CDDAPLAYER]\r\n" + settings);
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  // Track 1 from a buffer of two seconds that the drive fills at four times
  // speed, played until its first second is out: most of the track is still
  // unread.
  void PlayFromATwoSecondBuffer() {
    Start("latency 4", "BufferSize=176400\r\nPreReadSize=176400\r\n");
    recording_output::SetPace(4.0);
    char name[] = "cda://D,1";
    ASSERT_EQ(0, in_->Play(name));
    ASSERT_TRUE(host_.PumpUntil([&] { return FramesPlayed() >= 75; }));
  }
  void Quit() {
    in_->Stop();
    in_->Quit();
    in_ = nullptr;
    host_.UnloadInputPlugin();
    host_.ClearMessages();
    recording_output::Reset();
  }

  std::int32_t Lba(int track, int frame) const { return disc_.tracks()[track - 1].start + frame; }
  Bytes Image(int track, int from, int to) {
    Bytes out(static_cast<std::size_t>(to - from) * 2352);
    for (int f = from; f < to; ++f) disc_.ReadRawSector(Lba(track, f), &out[(f - from) * 2352]);
    return out;
  }
  // What the output received is the track's first frames and nothing else.
  ::testing::AssertionResult PlayedOnlyTheStart(int track = 1) {
    const Bytes pcm = recording_output::Captured();
    if (pcm.size() % 2352 != 0) return ::testing::AssertionFailure() << "a partial frame: " << pcm.size();
    if (Image(track, 0, static_cast<int>(pcm.size() / 2352)) != pcm)
      return ::testing::AssertionFailure() << "something else than the track's start was played";
    return ::testing::AssertionSuccess();
  }
  int FramesPlayed() { return static_cast<int>(recording_output::Captured().size() / 2352); }
  bool EndOfStream(DWORD timeoutMs = 30000) { return host_.PumpUntilMessage(host::kMsgEndOfStream, timeoutMs); }
  bool SawEndOfStream() {
    for (const auto& m : host_.Messages())
      if (m.msg == host::kMsgEndOfStream) return true;
    return false;
  }
  std::string Title(const char* name) {
    char title[GETFILEINFO_TITLE_LENGTH] = {};
    std::string copy = name;
    int length = -1;
    in_->GetFileInfo(&copy[0], title, &length);
    return codepage::AnsiToUtf8(title);
  }
  // Seeks from the host's thread, as the host does, and returns how long the
  // call took; a seek that never returns ends the program.
  DWORD TimedSeek(int ms) {
    Watchdog dog("SetOutputTime", 30000);
    const DWORD start = GetTickCount();
    in_->SetOutputTime(ms);
    return GetTickCount() - start;
  }

  static std::string cue_;
  vdrive::Disc disc_;
  TestHost host_;
  In_Module* in_ = nullptr;
};

std::string FaultScenarioTest::cue_;

// A read error ends the track: one box with the failed read, no second try,
// and the output plays what was read before it and nothing after. The drive
// reads at four times speed, so the output has taken everything read before
// the box is closed.
TEST_F(FaultScenarioTest, ReadErrorsAtTheStartInTheMiddleAndOnTheLastFrame) {
  struct Case {
    const char* where;
    int frame;      // the bad frame of track 1
    int readStart;  // the 15-frame read that covers it
  };
  const Case cases[] = {{"start", 0, 0}, {"middle", 300, 300}, {"last frame", kTrackFrames - 1, 585}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    Start("latency 4; readerror " + std::to_string(Lba(1, c.frame)));
    BoxWatcher boxes;
    char name[] = "cda://D,1";
    ASSERT_EQ(0, in_->Play(name));
    ASSERT_TRUE(EndOfStream()) << "the track did not end";
    host_.PumpFor(300);  // time for a retry's box, were there one
    EXPECT_EQ(std::vector<std::string>{ReadErrorText(15, c.readStart)}, boxes.Texts());
    EXPECT_EQ(static_cast<unsigned>(c.readStart / 15 + 1), virtual_aspi::CommandCount(0, 0, 0, kReadCd))
        << "reads after the failed one";
    EXPECT_EQ(c.readStart, FramesPlayed());
    EXPECT_TRUE(PlayedOnlyTheStart());
    EXPECT_TRUE(recording_output::Calls().Has("Open(44100,2,16,-1,-1)"));
    Quit();
  }
}

// A seek onto a bad sector: the box for it is owned by the host's window, so
// the seek must keep answering the host's messages while it waits, or host
// and plug-in wait for each other for ever.
TEST_F(FaultScenarioTest, ASeekOntoAReadErrorReturnsAndEndsTheTrack) {
  Start("latency 4; readerror " + std::to_string(Lba(1, 450)));
  recording_output::SetPace(4.0);
  BoxWatcher boxes;
  char name[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(name));
  ASSERT_TRUE(host_.PumpUntil([&] { return FramesPlayed() >= 75; }));
  const DWORD seekMs = TimedSeek(6000);
  EXPECT_LT(seekMs, 5000u) << "the seek waited for the box to time out";
  ASSERT_TRUE(EndOfStream());
  EXPECT_TRUE(recording_output::Calls().Has("Flush(6000)"));
  EXPECT_EQ(std::vector<std::string>{ReadErrorText(15, 450)}, boxes.Texts());
  EXPECT_LT(FramesPlayed(), 450);
  EXPECT_TRUE(PlayedOnlyTheStart()) << "audio from the bad place was played";
}

// The disc leaves the drive while the track is paused: nothing ends while
// paused; after UnPause the track ends at the first read that fails, with
// only the disc's audio played.
TEST_F(FaultScenarioTest, EjectWhilePausedEndsTheTrackAfterUnPause) {
  BoxWatcher boxes;
  ASSERT_NO_FATAL_FAILURE(PlayFromATwoSecondBuffer());
  in_->Pause();
  ASSERT_TRUE(host_.PumpUntil([&] { return recording_output::Calls().Has("Pause(1)"); }));
  ASSERT_EQ(0, virtual_aspi::Eject(0, 0, 0));
  host_.PumpFor(1000);
  EXPECT_FALSE(SawEndOfStream()) << "the track ended while paused";
  EXPECT_EQ(1, in_->IsPaused());
  in_->UnPause();
  ASSERT_TRUE(EndOfStream());
  EXPECT_TRUE(recording_output::Calls().Has("Pause(0)"));
  EXPECT_EQ(1u, boxes.Texts().size()) << "one box for the failed read";
  EXPECT_LT(FramesPlayed(), kTrackFrames);
  EXPECT_TRUE(PlayedOnlyTheStart());
}

// The disc leaves the drive and the user seeks: the seek returns, the box
// tells of the failed read and the track ends; nothing of the new place is
// played (there is none to play).
TEST_F(FaultScenarioTest, EjectThenSeekReturnsAndEndsTheTrack) {
  BoxWatcher boxes;
  ASSERT_NO_FATAL_FAILURE(PlayFromATwoSecondBuffer());
  ASSERT_EQ(0, virtual_aspi::Eject(0, 0, 0));
  const DWORD seekMs = TimedSeek(5000);
  EXPECT_LT(seekMs, 5000u);
  ASSERT_TRUE(EndOfStream());
  EXPECT_GE(boxes.Texts().size(), 1u);
  EXPECT_LT(FramesPlayed(), 375);
  EXPECT_TRUE(PlayedOnlyTheStart());
  // The stopped track leaves a drive that answers "no disc" for titles.
  in_->Stop();
  EXPECT_EQ("指定されたデバイスにCDが存在しません。", Title("cda://D,1"));
}

// Short and garbled replies to READ TOC and to the CD-TEXT request: a
// table of contents that cannot be trusted means no track (Play refuses,
// nothing is read, no box); a broken CD-TEXT leaves the pattern title and
// the track plays as ever.
TEST_F(FaultScenarioTest, ShortAndGarbledTocAndCdTextReplies) {
  struct Case {
    const char* behaviour;
    bool tocUsable;
  };
  const Case cases[] = {
      {"short 0x43 format=0 bytes=12", false},  // the header announces three descriptors
      {"short 0x43 bytes=2", false},            // every READ TOC: not even a header
      {"garble 0x43 format=0 from=4", false},   // header intact, descriptors scrambled
      {"garble 0x43 format=0", false},
      {"short 0x43 format=5 bytes=40", true},  // two packs of many
      {"short 0x43 format=5 bytes=0", true},
      {"garble 0x43 format=5 from=4", true},  // header intact, packs scrambled
      {"garble 0x43 format=5", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    Start(c.behaviour);
    char name[] = "cda://D,1";
    if (!c.tocUsable) {
      EXPECT_EQ(kNoTrack, Title(name));
      BoxWatcher boxes;
      EXPECT_EQ(-1, in_->Play(name));
      EXPECT_TRUE(recording_output::Calls().Calls().empty()) << "the output was opened";
      EXPECT_EQ(0u, virtual_aspi::CommandCount(0, 0, 0, kReadCd));
      EXPECT_TRUE(boxes.Texts().empty());
    } else {
      EXPECT_EQ(kPatternTitle, Title(name));
      ASSERT_EQ(0, in_->Play(name));
      ASSERT_TRUE(EndOfStream());
      in_->Stop();
      EXPECT_EQ(Image(1, 0, kTrackFrames), recording_output::Captured());
    }
    Quit();
  }
}

// Another host process holds the drive lock (a title query of a second
// player, say): Play waits for it, then plays the whole track.
TEST_F(FaultScenarioTest, PlayWaitsForASecondHostHoldingTheDriveLock) {
  Start("");
  CNamedEvent held;
  ASSERT_TRUE(held.Create(true, false, "quorvo-test-lock-held"));
  held.Reset();
  std::string command = "\"" + Dir() + "\\quorvo_host.exe\" --hold-lock 1500";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(0u, held.Wait(20000)) << "the other host never took the lock";
  char name[] = "cda://D,1";
  const DWORD start = GetTickCount();
  {
    Watchdog dog("Play while another process holds the lock", 60000);
    ASSERT_EQ(0, in_->Play(name));
  }
  EXPECT_GE(GetTickCount() - start, 500u) << "Play did not wait for the lock";
  ASSERT_TRUE(EndOfStream());
  in_->Stop();
  EXPECT_EQ(Image(1, 0, kTrackFrames), recording_output::Captured());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 20000));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
