// Ripping through the real in_quorvo.dll as the player's converter does: the
// extended-read exports over both transports, against a CD-Extra disc with
// odd track lengths. What arrives must be the image's own bytes (read from
// the .bin, not through any reader of ours), whatever the drive does wrong.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/host/test_host.h"
#include "tests/integration/ini_file.h"
#include "tests/integration/shutdown_support.h"
#include "tests/integration/transports.h"
#include "tests/integration/virtual_aspi.h"
#include "tools/vdrive/drive_config.h"

namespace {

using transports::Transport;
using Bytes = std::vector<std::uint8_t>;

// Frames of the audio tracks: odd counts, one under a second; track 5 is data
// in session 2.
const std::vector<int> kLengths = {301, 37, 449, 226};
constexpr int kFrame = 2352;
constexpr int kTrack3 = 301 + 37;  // its first LBA (and image frame)

std::string Dir() { return TestHost::ProgramDirectory(); }
std::string LogFolder() { return Dir() + "\\rip_test_logs"; }

Bytes Image(int track) {
  std::ifstream bin(Dir() + "\\discs\\rip.bin", std::ios::binary);
  int frame = 0;
  for (int t = 1; t < track; ++t) frame += kLengths[t - 1];
  Bytes out(static_cast<std::size_t>(kLengths[track - 1]) * kFrame);
  bin.seekg(static_cast<std::streamoff>(frame) * kFrame);
  bin.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return out;
}

// Track frames where the rip differs from the image, for the message.
std::string Differences(const Bytes& pcm, const Bytes& image) {
  std::string frames;
  for (std::size_t f = 0; f * kFrame < std::max(pcm.size(), image.size()); ++f) {
    const std::size_t at = f * kFrame, end = (f + 1) * kFrame;
    if (end > pcm.size() || end > image.size() || !std::equal(&pcm[at], &pcm[at] + kFrame, &image[at]))
      frames += " " + std::to_string(f);
  }
  return frames.empty() ? "none" : frames;
}

std::string TrackTime(int frame) {
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d.%02d", frame / 4500, frame / 75 % 60, frame % 75);
  return text;
}

class RipFixture {
 protected:
  void Begin(Transport transport, const std::string& behaviour, const std::string& settings = "") {
    discgen::DiscOptions options;
    options.layout = discgen::Layout::CdExtra;
    options.trackLengths = kLengths;
    ASSERT_EQ("discs\\rip.cue", virtual_aspi::MakeDisc(options, "rip"));
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=discs\\rip.cue\r\nbehaviour=" + behaviour + "\r\n"));
    CreateDirectoryA(LogFolder().c_str(), nullptr);
    for (const std::string& f : LogFiles()) DeleteFileA(f.c_str());
    ini_file::Write(Dir() + "\\winamp.ini", "[QZ_CDDAPLAYER]\r\n" +
                                                 transports::DriveSettings(transport, {{'D', "0:0:0"}}) + settings +
                                                 "Rip_LogFolder=" + LogFolder() + "\r\n");
    ASSERT_TRUE(host_.CreateMainWindow());
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    read_ = host_.InputExtendedRead();
    ASSERT_TRUE(read_.Complete());
    in_->Init();
  }
  void End() {
    if (in_) in_->Quit();
    in_ = nullptr;
    host_.UnloadInputPlugin();
    DeleteFileA((Dir() + "\\winamp.ini").c_str());
  }

  // Opens the track by name and checks the format; 0 when refused.
  intptr_t Open(const std::string& name, int* size) {
    int bps = 0, nch = 0, srate = 0;
    const intptr_t h = read_.open(name.c_str(), size, &bps, &nch, &srate);
    if (h) {
      EXPECT_TRUE(bps == 16 && nch == 2 && srate == 44100) << name << ": " << bps << "/" << nch << "/" << srate;
    }
    return h;
  }
  // Reads to the end in pieces that split frames; *last: the final result.
  Bytes ReadAll(intptr_t h, intptr_t* last = nullptr) {
    Bytes pcm;
    char buffer[10000];
    intptr_t n;
    while ((n = read_.getData(h, buffer, sizeof buffer, nullptr)) > 0) pcm.insert(pcm.end(), buffer, buffer + n);
    if (last) *last = n;
    return pcm;
  }
  std::vector<std::string> LogFiles() {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((LogFolder() + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(LogFolder() + "\\" + found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return files;
  }

  TestHost host_;
  In_Module* in_ = nullptr;
  TestHost::ExtendedRead read_;
};

class RipTest : public RipFixture, public ::testing::TestWithParam<Transport> {
 protected:
  void TearDown() override { End(); }
};
INSTANTIATE_TEST_SUITE_P(Transports, RipTest, transports::kBoth, transports::ParamName);

TEST_P(RipTest, EveryAudioTrackArrivesExactlyByBothNamesAndTheDataTrackIsRefused) {
  Begin(GetParam(), "");
  for (int track = 1; track <= 4; ++track) {
    const Bytes image = Image(track);
    int size = 0, bps = 0, nch = 0, srate = 0;
    intptr_t last = 1;
    const intptr_t a = Open("cda://D," + std::to_string(track), &size);
    ASSERT_NE(0, a) << track;
    EXPECT_EQ(static_cast<int>(image.size()), size);
    EXPECT_TRUE(ReadAll(a, &last) == image) << "track " << track << " by its cda:// name";
    EXPECT_EQ(0, last) << "0 at the end";
    read_.close(a);
    const std::wstring file = L"D:\\Track0" + std::to_wstring(track) + L".cda";
    const intptr_t w = read_.openW(file.c_str(), &size, &bps, &nch, &srate);
    ASSERT_NE(0, w) << track;
    EXPECT_TRUE(ReadAll(w) == image) << "track " << track << " by its file name";
    read_.close(w);
  }

  // setTime lands on the sample, not the frame: 2.5 s is 110250 samples in.
  int size = 0;
  const intptr_t h = Open("cda://D,3", &size);
  ASSERT_NE(0, h);
  ASSERT_EQ(1, read_.setTime(h, 2500));
  const Bytes image = Image(3);
  EXPECT_TRUE(ReadAll(h) == Bytes(image.begin() + 110250 * 4, image.end()));
  ASSERT_EQ(1, read_.setTime(h, 0)) << "and back";
  EXPECT_TRUE(ReadAll(h) == image);
  read_.close(h);

  for (const char* refused : {"cda://D,5", "cda://D,6", "cda://E,1"}) {
    size = -7;
    EXPECT_EQ(0, Open(refused, &size)) << refused;
    EXPECT_EQ(-7, size) << refused << ": nothing touched";
  }
  EXPECT_EQ(0, read_.openW(L"D:\\Track05.cda", &size, &size, &size, &size));
}

// A wrong sector that never reads the same twice, and one that never reads:
// the track still arrives whole, every other frame exact, and the log names both.
TEST_P(RipTest, ScatteredBadSectorsGiveAWholeTrackAndALogThatMarksThem) {
  const int from = kTrack3 + 40, to = kTrack3 + 400;
  const vdrive::ScatterList bad = vdrive::ChooseScatteredSectors(23, 1, 1, from, to);
  ASSERT_EQ(1u, bad.wrong.size() * bad.unreadable.size());
  const std::string scatter =
      "scatter seed=23 wrong=1 unreadable=1 from=" + std::to_string(from) + " to=" + std::to_string(to);
  Begin(GetParam(), scatter);
  int size = 0;
  const intptr_t h = Open("cda://D,3", &size);
  ASSERT_NE(0, h);
  const Bytes pcm = ReadAll(h);
  read_.close(h);
  const Bytes image = Image(3);
  ASSERT_EQ(image.size(), pcm.size()) << "whole length";
  const int wrong = bad.wrong[0] - kTrack3, unreadable = bad.unreadable[0] - kTrack3;
  for (int f = 0; f < kLengths[2]; ++f) {
    const auto at = pcm.begin() + f * kFrame;
    if (f == unreadable) {
      EXPECT_EQ(at + kFrame, std::find_if(at, at + kFrame, [](auto b) { return b != 0; })) << "silence";
    } else if (f != wrong) {
      EXPECT_TRUE(std::equal(at, at + kFrame, image.begin() + f * kFrame)) << "frame " << f;
    }
  }
  const std::vector<std::string> logs = LogFiles();
  ASSERT_EQ(1u, logs.size());
  const std::string log = ini_file::Read(logs[0]);
  for (int f : {wrong, unreadable}) EXPECT_NE(std::string::npos, log.find(" " + TrackTime(f) + "\r\n")) << f << log;
}

// The drive misbehaves (behaviour), the settings correct it or not: each
// track must arrive exactly, or (the control) must not.
struct DriveCase {
  const char* behaviour;
  const char* settings;
  std::vector<int> tracks;
  bool exact;
};
void PrintTo(const DriveCase& c, std::ostream* out) { *out << c.behaviour << " / " << c.settings; }
const DriveCase kDriveCases[] = {
    {"offset 6", "Rip_ReadOffset=6\r\n", {2, 3}, true},
    {"offset -30", "Rip_ReadOffset=-30\r\n", {2, 3}, true},
    {"offset 667", "Rip_ReadOffset=667\r\n", {2, 3}, true},
    {"offset 667", "Rip_ReadOffset=0\r\n", {3}, false},
    // Wrong on the first reads, and a cache that repeats what it delivered.
    {"cache 512; flaky 358 times=1; flaky 640 times=2", "Rip_Secure=true\r\n", {3}, true},
    {"cache 512; c2 on; flaky 358 times=1; flaky 640 times=2", "Rip_Secure=true\r\n", {3}, true},
    {"cache 512; flaky 358 times=1; flaky 640 times=2", "Rip_Secure=false\r\n", {3}, false},
};

class RipDriveTest : public RipFixture, public ::testing::TestWithParam<std::tuple<DriveCase, Transport>> {
 protected:
  void TearDown() override { End(); }
};
INSTANTIATE_TEST_SUITE_P(Cases, RipDriveTest, ::testing::Combine(::testing::ValuesIn(kDriveCases), transports::kBoth),
                         transports::CombinedName<DriveCase>);

TEST_P(RipDriveTest, TracksArriveExactlyWhenTheSettingsCorrectTheDrive) {
  const DriveCase& c = std::get<0>(GetParam());
  Begin(std::get<1>(GetParam()), c.behaviour, c.settings);
  for (int track : c.tracks) {
    int size = 0;
    const intptr_t h = Open("cda://D," + std::to_string(track), &size);
    ASSERT_NE(0, h);
    const Bytes pcm = ReadAll(h);
    read_.close(h);
    EXPECT_EQ(static_cast<std::size_t>(size), pcm.size()) << "whole length, track " << track;
    const Bytes image = Image(track);
    EXPECT_EQ(c.exact, pcm == image) << "track " << track << ", frames differing:" << Differences(pcm, image);
  }
}

// A rip cut short while getData is busy on a slow drive.
enum class Cut { kKillswitch, kEject, kQuit };

class RipCutTest : public RipFixture, public ::testing::TestWithParam<std::tuple<Cut, Transport>> {
 protected:
  void TearDown() override { End(); }
};
INSTANTIATE_TEST_SUITE_P(Cases, RipCutTest,
                         ::testing::Combine(::testing::Values(Cut::kKillswitch, Cut::kEject, Cut::kQuit),
                                            transports::kBoth),
                         transports::CombinedName<Cut>);

struct Puller {
  TestHost::ExtendedRead read;
  intptr_t handle;
  volatile int kill = 0;
  volatile intptr_t last = 1;
  volatile DWORD returnedAt = 0;
  static DWORD WINAPI Run(void* self) {
    auto* p = static_cast<Puller*>(self);
    static char buffer[1 << 20];  // the whole track in one call: seconds at this speed
    do {
      p->last = p->read.getData(p->handle, buffer, sizeof buffer, const_cast<int*>(&p->kill));
    } while (p->last > 0 && !p->kill);
    p->returnedAt = GetTickCount();
    return 0;
  }
};

TEST_P(RipCutTest, GetDataReturnsPromptlyAndNothingKeepsRunning) {
  const Cut cut = std::get<0>(GetParam());
  Begin(std::get<1>(GetParam()), "latency 2");
  int size = 0;
  Puller puller{read_, Open("cda://D,3", &size)};
  ASSERT_NE(0, puller.handle);
  HANDLE thread = CreateThread(nullptr, 0, Puller::Run, &puller, 0, nullptr);
  host_.PumpFor(400);
  ASSERT_EQ(1, puller.last) << "still reading";
  DWORD at = GetTickCount();
  // For Quit the converter first pauses: a call still inside at Quit keeps
  // the library mapped for good (quorvo_host --rip --quit-after-bytes has that case).
  if (cut != Cut::kEject) puller.kill = 1;
  if (cut == Cut::kEject) {
    ASSERT_EQ(0, virtual_aspi::Eject(0, 0, 0));
  }
  EXPECT_TRUE(host_.PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 5000));
  CloseHandle(thread);
  EXPECT_LE(puller.returnedAt - at, cut == Cut::kEject ? 2000u : 1000u);
  if (cut == Cut::kEject) {
    EXPECT_EQ(-1, puller.last) << "the drive is gone";
  }
  if (cut != Cut::kQuit) {
    read_.close(puller.handle);
    return;
  }
  // The handle still open; the player frees the library right after Quit.
  at = GetTickCount();
  {
    shutdown_support::Watchdog dog("Quit with a rip open", 30000);
    in_->Quit();
    in_ = nullptr;
  }
  EXPECT_LE(GetTickCount() - at, 2000u) << "Quit";
  host_.UnloadInputPlugin();
  EXPECT_TRUE(host_.PumpUntil([] { return GetModuleHandleA("in_quorvo.dll") == nullptr; }, 2000))
      << "a thread of the plug-in still holds it";
  host_.PumpFor(300);  // code of ours still running would crash now
}

}  // namespace
