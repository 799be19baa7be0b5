// The input plug-in inside a host that behaves like a real one: it calls in
// from whatever message it dispatches, frees the library right after Quit,
// and may run a second process on the same drive. Quit is prompt whatever a
// background lookup is waiting for, the drive lock never spans an exchange
// with the server or a message loop, a lock whose holder died holds nobody up
// for ever, Stop survives the calls its wait lets in, and nothing heavy is
// left for the unload.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <dbt.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "host_api/host_messages.h"
#include "host_api/in_module.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/host/import_redirect.h"
#include "tests/host/recording_output.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/shutdown_support.h"
#include "tests/integration/virtual_aspi.h"
#include "util/named_event.h"

namespace {

using namespace dialog_helpers;
using cddb_fixture::Env;
using shutdown_support::Departure;
using shutdown_support::QuitFreeAndLive;
using shutdown_support::Watchdog;

const char kStatusCaption[] = "CDDBステータス";
const char kReadErrorCaption[] = "エラー - CDirectCDDA";
const char kInfoCaption[] = "CD-TEXT/CDDB情報";
constexpr UINT kAskTitle = WM_APP + 1;
constexpr UINT kNestedStop = WM_APP + 2;

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }
std::string CachePath() { return TestHost::ProgramDirectory() + "\\cddb_cache.dat"; }

// A second player process (the test host as a program); false when it
// cannot be started.
bool StartHostProcess(const std::string& arguments, PROCESS_INFORMATION* pi) {
  std::string command = "\"" + TestHost::ProgramDirectory() + "\\quorvo_host.exe\" " + arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  return CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != FALSE;
}

// A name server that never answers, reached through the plug-in's own import.
hostent* WINAPI SlowNameLookup(const char*) {
  Sleep(20000);
  WSASetLastError(WSAHOST_NOT_FOUND);
  return nullptr;
}

// D: holds two tracks of two seconds, without CD-TEXT (the default title).
class ShutdownTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 2;
    options.trackFrames = 150;
    options.text = discgen::TextMode::None;
    cue_ = virtual_aspi::MakeDisc(options, "shutdown");
  }
  void SetUp() override {
    server_ = "http://127.0.0.1:" + Env("QUORVO_CDDB_PORT");
    if (Env("QUORVO_CDDB_PORT").empty()) GTEST_SKIP() << "no CDDB fixture server (tests/cddb_server/with_servers.sh)";
    ASSERT_FALSE(cue_.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + cue_ + "\r\n"));
    recording_output::Reset();
    recording_output::SetPace(0);
    DeleteFileA(CachePath().c_str());
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    TestHost::SetMessageHook(nullptr);
    if (in_) {
      in_->Stop();
      in_->Quit();
    }
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
    DeleteFileA(CachePath().c_str());
  }

  // CDDB first, then the default title.
  void Load(const std::string& url, bool autoClose = true, const std::string& more = "", bool slowNames = false) {
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n"
                               "TitlePriority0=CDDB\r\nTitlePriority1=default\r\nCDDB_URL=" + url +
                                   "\r\nCDDB_DialogAutoClose=" + (autoClose ? "true" : "false") + "\r\n" + more);
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    if (slowNames) {
      ASSERT_TRUE(import_redirect::Redirect(host_.InputLibrary(), "ws2_32.dll", "gethostbyname",
                                            reinterpret_cast<void*>(&SlowNameLookup)));
    }
    in_->Init();
  }

  std::string Title(const char* file) {
    char title[GETFILEINFO_TITLE_LENGTH] = {};
    std::string name = file;
    in_->GetFileInfo(&name[0], title, nullptr);
    return title;
  }

  // The background lookup's status window: of this process, of another thread.
  HWND BackgroundStatus() {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
      host_.PumpFor(20);
      for (HWND w = nullptr;
           (w = FindWindowExW(nullptr, w, nullptr, codepage::Utf8ToWide(kStatusCaption).c_str())) != nullptr;) {
        DWORD pid = 0;
        const DWORD thread = GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && thread != GetCurrentThreadId() && IsWindowVisible(w)) return w;
      }
    }
    return nullptr;
  }

  static std::string cue_;
  std::string server_;
  TestHost host_;
  In_Module* in_ = nullptr;
};

std::string ShutdownTest::cue_;

TEST_F(ShutdownTest, QuitIsPromptWhateverTheBackgroundLookupWaitsFor) {
  struct Case {
    const char* state;
    std::string url;
    bool autoClose, slowNames, lookupEnded;
    DWORD liveMs;  // the host's life after FreeLibrary
  };
  const Case cases[] = {
      {"a server that never answers", server_ + "/fault/silent", true, false, false, 2000},
      // The thread stays in the name lookup after Quit, holding the library.
      {"a name lookup", "http://cddb.example.invalid/~cddb/cddb.cgi", true, true, false, 40000},
      {"a connect", "http://127.0.0.1:" + Env("QUORVO_BLACKHOLE_PORT") + "/~cddb/cddb.cgi", true, false, false, 2000},
      {"a header dripping in", server_ + "/fault/slow/1000", true, false, false, 2000},
      {"the server after a redirect", server_ + "/moved/fault/silent", true, false, false, 2000},
      {"its user (auto-close off)", "http://127.0.0.1:1/~cddb/cddb.cgi", false, false, true, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    Load(c.url, c.autoClose, "", c.slowNames);
    Title("cda://D,1");  // starts the lookup and answers at once
    const HWND status = BackgroundStatus();
    ASSERT_NE(nullptr, status);
    if (c.lookupEnded) {
      const HWND close = GetDlgItem(status, IDC_STATUS_CLOSE);
      for (int i = 0; i < 500 && !IsWindowEnabled(close); ++i) host_.PumpFor(20);
      ASSERT_TRUE(IsWindowEnabled(close));
    } else {
      host_.PumpFor(700);  // well inside the exchange
    }
    const Departure d = QuitFreeAndLive(host_, in_, nullptr, c.liveMs);
    std::printf("Quit while a lookup waits for %s: %lu ms\n", c.state, static_cast<unsigned long>(d.quitMs));
    EXPECT_LT(d.quitMs, 2000u);
    EXPECT_FALSE(IsWindow(status));
    EXPECT_TRUE(d.unloaded) << "a thread of the plug-in still holds it";
  }
}

TEST_F(ShutdownTest, TheDriveLockIsFreeWhileTheInfoBoxTalksToTheServerAndWaits) {
  // Three seconds for every request of the information box's lookup.
  Load(server_ + "/delay/3000/~cddb/cddb.cgi");
  recording_output::SetPace(1.0);
  int nextPlay = -9;
  std::string asked;
  DWORD askMs = 0;
  TestHost::SetMessageHook([&](UINT msg, WPARAM, LPARAM) {
    if (msg == host::kMsgEndOfStream) {  // the host moves on to the next entry
      in_->Stop();
      char next[] = "cda://D,2";
      nextPlay = in_->Play(next);
      return true;
    }
    if (msg == kAskTitle) {
      const DWORD start = GetTickCount();
      asked = Title("cda://D,1");
      askMs = GetTickCount() - start;
      return true;
    }
    return false;
  });
  char first[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(first));

  DWORD otherProcessMs = 0;
  std::thread user([&] {
    if (!WaitForWindow(kStatusCaption, 20000)) return;
    // Another player takes the drive lock while the exchange runs.
    const DWORD start = GetTickCount();
    PROCESS_INFORMATION pi = {};
    if (StartHostProcess("--hold-lock 10", &pi)) {
      WaitForSingleObject(pi.hProcess, 30000);
      otherProcessMs = GetTickCount() - start;
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    PostMessageA(host_.MainWindow(), kAskTitle, 0, 0);
    const HWND box = WaitForWindow(kInfoCaption, 30000);
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  {
    Watchdog dog("InfoBox during playback and title queries", 60000);
    in_->InfoBox(first, host_.MainWindow());
  }
  user.join();
  EXPECT_EQ(0, nextPlay) << "Play from the end-of-stream message";
  EXPECT_FALSE(asked.empty());
  EXPECT_LT(askMs, 3000u) << "a title query waited for the server";
  EXPECT_GT(otherProcessMs, 0u);
  EXPECT_LT(otherProcessMs, 10000u) << "the other process waited for the exchange";
}

// A player that quits and frees the plug-in from a message the settings
// sheet's loop dispatched: the sheet's frames still have to return into the
// library. Its own process, since the library then stays mapped for good.
TEST_F(ShutdownTest, AQuitFromInsideTheSettingsSheetLeavesTheLibraryMappedUntilItReturns) {
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(StartHostProcess("--quit-inside-config", &pi));
  const DWORD waited = WaitForSingleObject(pi.hProcess, 60000);
  if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 9);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited) << "the host hung";
  EXPECT_EQ(0u, code) << "4: Config did not return with the library mapped; otherwise the host crashed";
}

TEST_F(ShutdownTest, ALockWhoseHolderWasKilledHoldsUpOneQueryForItsBoundOnly) {
  Load("http://127.0.0.1:1/~cddb/cddb.cgi");
  CNamedEvent held;
  ASSERT_TRUE(held.Create(true, false, "quorvo-test-lock-held"));
  held.Reset();
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(StartHostProcess("--hold-lock 600000", &pi));
  ASSERT_EQ(0u, held.Wait(20000)) << "the other host never took the lock";
  TerminateProcess(pi.hProcess, 9);  // the way log-off ends a player
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  Watchdog dog("title queries after the holder died", 90000);
  DWORD start = GetTickCount();
  EXPECT_EQ("CD-DA TRACK - D:\\Track1", Title("cda://D,1"));
  const DWORD first = GetTickCount() - start;
  EXPECT_GE(first, 25000u);
  EXPECT_LT(first, 45000u);
  start = GetTickCount();
  EXPECT_FALSE(Title("cda://D,2").empty());
  EXPECT_LT(GetTickCount() - start, 5000u) << "the lock was left taken";
}

TEST_F(ShutdownTest, StopAnswersTheCallsItsWaitLetsInWithoutClosingTwice) {
  Load("http://127.0.0.1:1/~cddb/cddb.cgi");
  // Every read takes four seconds, so Stop waits for the fill thread.
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "latency 0.05"));
  int nestedPlay = -9;
  DWORD nestedStopMs = 0;
  TestHost::SetMessageHook([&](UINT msg, WPARAM, LPARAM lParam) {
    if (msg == host::kMsgIpc && lParam == host::kIpcStartPlay) {  // the companion's request
      char name[] = "cda://D,2";
      nestedPlay = in_->Play(name);
      return true;
    }
    if (msg == kNestedStop) {
      const DWORD start = GetTickCount();
      in_->Stop();
      nestedStopMs = GetTickCount() - start;
      return true;
    }
    return false;
  });
  char name[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(name));
  host_.PumpFor(300);  // the fill thread is inside its first read
  std::atomic<bool> stopping{false};
  std::thread other([&] {
    while (!stopping.load()) Sleep(5);
    Sleep(300);
    SendMessageA(host_.MainWindow(), host::kMsgIpc, 0, host::kIpcStartPlay);
    SendMessageA(host_.MainWindow(), kNestedStop, 0, 0);
  });
  DWORD stopMs = 0;
  {
    Watchdog dog("Stop with nested calls", 60000);
    stopping = true;
    const DWORD start = GetTickCount();
    in_->Stop();
    stopMs = GetTickCount() - start;
  }
  other.join();
  EXPECT_GE(stopMs, 300u) << "the scenario needs Stop to wait for the read";
  EXPECT_EQ(1, nestedPlay) << "a Play during Stop is refused";
  EXPECT_LT(nestedStopMs, 200u) << "a Stop during Stop waits for nothing";
  int closes = 0;
  for (const std::string& call : recording_output::Calls().Calls()) closes += call == "Close";
  EXPECT_EQ(1, closes);
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "latency 0"));
  EXPECT_EQ(0, in_->Play(name)) << "the engine is whole after the nested calls";
  in_->Stop();
}

// The plug-in's FreeLibrary of the ASPI layer and its WinSock clean-up, seen
// through its own imports: both belong to Quit, none to the unload.
struct Teardown {
  enum { kBefore, kQuit, kUnload } phase = kBefore;
  int freedInQuit = 0, freedAtUnload = 0, cleanedInQuit = 0, cleanedAtUnload = 0;
  BOOL(WINAPI* freeLibrary)(HMODULE) = nullptr;
  int(WINAPI* cleanup)() = nullptr;
} g_teardown;

BOOL WINAPI RecordingFreeLibrary(HMODULE module) {
  if (module == GetModuleHandleA("wnaspi32.dll")) {
    if (g_teardown.phase == Teardown::kQuit) ++g_teardown.freedInQuit;
    if (g_teardown.phase == Teardown::kUnload) ++g_teardown.freedAtUnload;
  }
  return g_teardown.freeLibrary(module);
}

int WINAPI RecordingCleanup() {
  if (g_teardown.phase == Teardown::kQuit) ++g_teardown.cleanedInQuit;
  if (g_teardown.phase == Teardown::kUnload) ++g_teardown.cleanedAtUnload;
  return g_teardown.cleanup();
}

// A host that quits while the read-error box waits for its user, without a
// Stop first: Quit closes the box, ends playback and leaves nothing running
// in the library it is about to free.
TEST_F(ShutdownTest, QuitWithTheReadErrorBoxOpenClosesItAndUnloads) {
  Load("http://127.0.0.1:1/~cddb/cddb.cgi");
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "readerror 40"));  // inside the first fill
  recording_output::SetPace(1.0);
  ShowWindow(host_.MainWindow(), SW_SHOWNORMAL);
  char name[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(name));
  HWND box = nullptr;
  for (DWORD start = GetTickCount(); !box && GetTickCount() - start < 20000;) {
    host_.PumpFor(20);
    box = FindWindowW(L"#32770", codepage::Utf8ToWide(kReadErrorCaption).c_str());
  }
  ASSERT_NE(nullptr, box) << "no read-error box";
  const Departure d = QuitFreeAndLive(host_, in_, nullptr, 3000);
  std::printf("Quit with the read-error box open: %lu ms\n", static_cast<unsigned long>(d.quitMs));
  EXPECT_LT(d.quitMs, 2000u);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_TRUE(d.unloaded) << "a thread of the plug-in still holds it";
}

TEST_F(ShutdownTest, BroadcastsDuringStartUpAreAnsweredAndNothingHeavyWaitsForTheUnload) {
  // The first INQUIRY hangs until the transport gives up on it (15 s).
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "hang 0x12 times=1"));
  Load("http://127.0.0.1:1/~cddb/cddb.cgi", true, "MultithreadInitialize=true\r\n");
  void* original = nullptr;
  ASSERT_TRUE(import_redirect::Redirect(host_.InputLibrary(), "kernel32.dll", "FreeLibrary",
                                        reinterpret_cast<void*>(&RecordingFreeLibrary), &original));
  g_teardown = Teardown{};
  g_teardown.freeLibrary = reinterpret_cast<BOOL(WINAPI*)(HMODULE)>(original);
  ASSERT_TRUE(import_redirect::Redirect(host_.InputLibrary(), "ws2_32.dll", "WSACleanup",
                                        reinterpret_cast<void*>(&RecordingCleanup), &original));
  g_teardown.cleanup = reinterpret_cast<int(WINAPI*)()>(original);

  // The drive table is still being built: the removal of D: is answered
  // without it, at once.
  const HWND monitor = FindOwnWindow("ステータスモニタ");
  ASSERT_NE(nullptr, monitor);
  DEV_BROADCAST_VOLUME volume = {};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << 3;
  DWORD_PTR answer = 0;
  const DWORD start = GetTickCount();
  ASSERT_TRUE(SendMessageTimeoutA(monitor, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                                  reinterpret_cast<LPARAM>(&volume), SMTO_NORMAL, 5000, &answer));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(TRUE, static_cast<BOOL>(answer));

  Watchdog dog("Quit after a slow start-up", 60000);
  g_teardown.phase = Teardown::kQuit;
  in_->Quit();
  g_teardown.phase = Teardown::kUnload;
  in_ = nullptr;
  host_.UnloadInputPlugin();
  g_teardown.phase = Teardown::kBefore;
  EXPECT_GE(g_teardown.freedInQuit, 2) << "each reader's ASPI layer";
  EXPECT_EQ(0, g_teardown.freedAtUnload);
  EXPECT_GE(g_teardown.cleanedInQuit, 1);
  EXPECT_EQ(0, g_teardown.cleanedAtUnload);
}

// The companion in the middle of its work: D: holds twelve tracks.
class CompanionShutdownTest : public ShutdownTest {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 12;
    options.trackFrames = 75;
    twelve_ = virtual_aspi::MakeDisc(options, "shutdown_12");
  }
  void SetUp() override {
    ASSERT_FALSE(twelve_.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + twelve_ + "\r\n"));
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    TestHost::SetMessageHook(nullptr);
    if (gen_) gen_->quit();
    host_.UnloadGeneralPlugin();
    DeleteFileA(IniPath().c_str());
  }
  void Start(const std::string& more = "") {
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\nQuickStart=false\r\n" + more);
    gen_ = host_.LoadGeneralPlugin();
    ASSERT_NE(nullptr, gen_);
    ASSERT_EQ(0, gen_->init());
  }
  Departure Leave(DWORD liveMs) {
    winampGeneralPurposePlugin* gen = gen_;
    gen_ = nullptr;
    return QuitFreeAndLive(host_, in_, gen, liveMs);
  }
  static constexpr int kDriveD = 40323;
  static std::string twelve_;
  winampGeneralPurposePlugin* gen_ = nullptr;
};

std::string CompanionShutdownTest::twelve_;

TEST_F(CompanionShutdownTest, QuitInTheMiddleOfAPlaylistFill) {
  Start();
  TestHost::SetMessageHook([](UINT msg, WPARAM, LPARAM lParam) {
    if (msg == host::kMsgIpc && lParam == host::kIpcEnqueueFile) Sleep(150);  // a slow playlist
    return false;
  });
  PostMessageA(host_.MainWindow(), WM_COMMAND, MAKEWPARAM(kDriveD, 0), 0);
  for (DWORD start = GetTickCount(); host_.Playlist().size() < 2 && GetTickCount() - start < 20000;) {
    host_.PumpFor(10);
  }
  ASSERT_GE(host_.Playlist().size(), 2u);
  const Departure d = Leave(10000);
  EXPECT_LT(d.quitMs, 2000u);
  EXPECT_LT(host_.Playlist().size(), 12u) << "the fill went on after quit";
  EXPECT_TRUE(d.unloaded);
}

TEST_F(CompanionShutdownTest, QuitDuringADriveStartUpThatTakesItsTime) {
  // The start-up's INQUIRY hangs until the transport gives up (15 s).
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "hang 0x12 times=1"));
  Start("MultithreadInitialize=true\r\n");
  host_.PumpFor(300);
  const Departure d = Leave(20000);
  EXPECT_LT(d.quitMs, 2000u);
  EXPECT_TRUE(d.unloaded) << "the start-up thread never let go of the library";
}

// Another plug-in subclasses the host window after us: quit leaves our
// procedure in its chain, passing everything on, and keeps the library; an
// init after that goes on with it.
LONG_PTR g_ourProc = 0;
LRESULT CALLBACK LaterSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(reinterpret_cast<WNDPROC>(g_ourProc), hwnd, msg, wParam, lParam);
}

TEST_F(CompanionShutdownTest, AProcedureSubclassedAfterOursKeepsTheChainWhole) {
  Start();
  const HWND host = host_.MainWindow();
  g_ourProc = SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass));
  const Departure d = Leave(500);
  EXPECT_LT(d.quitMs, 2000u);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&LaterSubclass), GetWindowLongPtrA(host, GWLP_WNDPROC));
  EXPECT_FALSE(d.unloaded) << "the chain still calls into the library";
  host_.ClearMessages();
  SendMessageA(host, WM_COMMAND, MAKEWPARAM(kDriveD, 0), 0);  // ignored by us, seen by the host
  host_.PumpFor(300);
  bool seen = false;
  for (const WindowMessage& m : host_.Messages()) seen = seen || (m.msg == WM_COMMAND && LOWORD(m.wParam) == kDriveD);
  EXPECT_TRUE(seen);
  EXPECT_TRUE(host_.Playlist().empty());

  // Started again on that window (the library stayed): our procedure is still
  // in the chain and is not put in a second time. One set of drive items,
  // each message through the chain once, no recursion.
  gen_ = host_.LoadGeneralPlugin();
  ASSERT_NE(nullptr, gen_);
  ASSERT_EQ(0, gen_->init());
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&LaterSubclass), GetWindowLongPtrA(host, GWLP_WNDPROC));
  const HMENU sub = GetSubMenu(host_.MainMenu(), 2);
  int driveItems = 0;
  for (int i = 0; i < GetMenuItemCount(sub); ++i) driveItems += GetMenuItemID(sub, i) == kDriveD ? 1 : 0;
  EXPECT_EQ(1, driveItems);
  host_.ClearMessages();
  SendMessageA(host, WM_COMMAND, MAKEWPARAM(kDriveD, 0), 0);
  EXPECT_TRUE(host_.PumpUntil([&] { return host_.Playlist().size() == 12; }, 20000));
  int commands = 0;
  for (const WindowMessage& m : host_.Messages()) commands += m.msg == WM_COMMAND ? 1 : 0;
  EXPECT_EQ(1, commands);
  SetWindowLongPtrA(host, GWLP_WNDPROC, g_ourProc);
}

}  // namespace
