// The companion plug-in gen_quorvo.dll in the test host: its drive menu, the
// playlist it fills from the virtual drives (over ASPI and over the
// pass-through), its settings and settings page, and the way back to the
// host's own window procedure.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host_api/host_messages.h"
#include "resources/save_notice_strings.h"
#include "tests/host/recording_output.h"
#include "tests/host/test_host.h"
#include "tests/host/window_driver.h"
#include "tests/integration/ini_file.h"
#include "tests/integration/transports.h"
#include "tests/integration/virtual_aspi.h"
#include "tools/vdrive/disc_image.h"
#include "util/codepage.h"

namespace {

using transports::Transport;

constexpr int kInquiry = 0x12;
constexpr int kTracks = 12;
constexpr int kTrackFrames = 75;
const char kSection[] = "QZ_CDDAPLAYER";
const char kErrorCaption[] = "エラー  - gen_quorvo.dll";
const char kSheetCaption[] = "設定  -  音楽CD再生プラグイン - 補助プラグイン [gen_quorvo.dll]";
// D: 0:0:0 and F: 0:2:0 hold the twelve-track disc, E: 0:1:0 is empty;
// G:, H: and I: are CD-ROM drives of the prefix without a virtual drive.
std::string DriveMap(Transport transport) {
  return transports::DriveSettings(transport, {{'D', "0:0:0"}, {'E', "0:1:0"}, {'F', "0:2:0"}});
}

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }

std::string TwelveTrackCue() {
  static const std::string cue = [] {
    discgen::DiscOptions options;
    options.audioTracks = kTracks;
    options.trackFrames = kTrackFrames;
    return virtual_aspi::MakeDisc(options, "companion_12");
  }();
  return cue;
}

class CompanionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TwelveTrackCue().empty());
    ASSERT_EQ(3, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + TwelveTrackCue() +
                                         "\r\n[0:1:0]\r\nletter=E\r\n[0:2:0]\r\nletter=F\r\ncue=" + TwelveTrackCue() +
                                         "\r\n"));
    ASSERT_TRUE(host_.CreateMainWindow(unicodeHost_));
    hostProc_ = GetWindowLongPtrA(host_.MainWindow(), GWLP_WNDPROC);
  }
  void TearDown() override {
    Quit();
    if (in_) {
      in_->Stop();
      in_->Quit();
    }
    host_.UnloadGeneralPlugin();
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
  }

  void Start(const std::string& settings) {
    ini_file::Write(IniPath(), std::string("[") + kSection + "]\r\n" + DriveMap(transport_) + settings);
    gen_ = host_.LoadGeneralPlugin();
    ASSERT_NE(nullptr, gen_);
    ASSERT_EQ(0, gen_->init());
    host_.ClearMessages();
  }
  // The companion, and the input plug-in beside it ready to play.
  void StartWithInputPlugin(const std::string& settings) {
    Start(settings);
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  void Quit() {
    if (gen_) gen_->quit();
    gen_ = nullptr;
  }
  void Choose(int id) { SendMessageA(host_.MainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  // The playlist IPC codes the host received, in order.
  std::vector<LPARAM> PlaylistIpc() const {
    std::vector<LPARAM> codes;
    for (const auto& m : host_.Messages())
      if (m.msg == host::kMsgIpc && m.lParam >= host::kIpcEnqueueFile && m.lParam <= host::kIpcStartPlay)
        codes.push_back(m.lParam);
    return codes;
  }
  bool HostSawCommand(int id) const {
    for (const auto& m : host_.Messages())
      if (m.msg == WM_COMMAND && LOWORD(m.wParam) == id) return true;
    return false;
  }
  static std::vector<LPARAM> Expected(bool play) {
    std::vector<LPARAM> codes = {host::kIpcDeletePlaylist};
    codes.insert(codes.end(), kTracks, host::kIpcEnqueueFile);
    if (play) codes.push_back(host::kIpcStartPlay);
    return codes;
  }
  static std::vector<std::string> TrackNames(char letter) {
    std::vector<std::string> names;
    for (int i = 1; i <= kTracks; ++i) names.push_back(std::string("cda://") + letter + "," + std::to_string(i));
    return names;
  }
  // The request thread waits 100 ms before its first message; give it time
  // to send everything it would.
  std::vector<LPARAM> IpcAfterRequest(std::size_t expectedCount) {
    host_.PumpUntil([&] { return PlaylistIpc().size() >= expectedCount; }, 20000);
    host_.PumpFor(300);
    return PlaylistIpc();
  }

  TestHost host_;
  winampGeneralPurposePlugin* gen_ = nullptr;
  In_Module* in_ = nullptr;
  LONG_PTR hostProc_ = 0;
  Transport transport_ = Transport::kAspi;
  bool unicodeHost_ = false;
};

// A scenario over both transports.
class CompanionTransportTest : public CompanionTest, public ::testing::WithParamInterface<Transport> {
 protected:
  CompanionTransportTest() { transport_ = GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Transports, CompanionTransportTest, transports::kBoth, transports::ParamName);

// A table of cases, each over both transports.
template <class Case>
class CompanionCaseTest : public CompanionTest, public ::testing::WithParamInterface<std::tuple<Case, Transport>> {
 protected:
  CompanionCaseTest() { transport_ = std::get<1>(this->GetParam()); }
  const Case& Param() const { return std::get<0>(this->GetParam()); }
};

struct MenuCase {
  const char* allDrives;
  int baseId;
  int items;
  const char* letters;
};

class CompanionMenuTest : public CompanionCaseTest<MenuCase> {};

TEST_P(CompanionMenuTest, DriveItemsFollowTheHostsOwnAndASeparatorEndsThem) {
  const MenuCase& c = Param();
  Start(std::string("AllDrives=") + c.allDrives + "\r\n");
  EXPECT_EQ(0x10, gen_->version);
  EXPECT_STREQ("QZS Audio CD Player plug-in - assistant plug-in Ver.0.26", gen_->description);

  HMENU sub = GetSubMenu(host_.MainMenu(), 2);
  ASSERT_NE(nullptr, sub);
  ASSERT_EQ(6 + c.items + 1, GetMenuItemCount(sub));
  for (int pos = 0; pos < 4; ++pos) EXPECT_EQ(40020u + pos, GetMenuItemID(sub, pos)) << "host item moved";
  for (int k = 0; k < c.items; ++k) {
    EXPECT_EQ(static_cast<UINT>(c.baseId + k), GetMenuItemID(sub, 4 + k));
    char text[64] = {};
    GetMenuStringA(sub, 4 + k, text, sizeof text, MF_BYPOSITION);
    EXPECT_EQ(std::string("Audio CD ") + c.letters[k] + ":", text);
  }
  EXPECT_TRUE(GetMenuState(sub, 4 + c.items, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(40024u, GetMenuItemID(sub, 5 + c.items)) << "the host's fifth item follows the separator";
}

INSTANTIATE_TEST_SUITE_P(Drives, CompanionMenuTest,
                         ::testing::Combine(::testing::Values(MenuCase{"false", 40323, 4, "DEFG"},
                                                              MenuCase{"true", 41950, 6, "DEFGHI"}),
                                            transports::kBoth),
                         transports::CombinedName<MenuCase>);

class CompanionRequestTest : public CompanionCaseTest<bool> {};

TEST_P(CompanionRequestTest, TwelveTracksReplaceThePlaylistInOrderAndQuickStartPlays) {
  const bool quickStart = Param();
  Start(std::string("QuickStart=") + (quickStart ? "true" : "false") + "\r\n");
  Choose(40323);
  EXPECT_TRUE(HostSawCommand(40323)) << "the host's own procedure must still get the command";
  EXPECT_EQ(Expected(quickStart), IpcAfterRequest(Expected(quickStart).size()));
  EXPECT_EQ(TrackNames('D'), host_.Playlist());

  // Two quick clicks: the first request gives way, the second one's list
  // arrives whole and last.
  host_.ClearMessages();
  Choose(40325);
  Choose(40323);
  host_.PumpUntil([&] { return host_.Playlist() == TrackNames('D'); }, 20000);
  const std::vector<LPARAM> codes = IpcAfterRequest(0);
  const std::vector<LPARAM> last = Expected(quickStart);
  ASSERT_GE(codes.size(), last.size());
  EXPECT_EQ(last, std::vector<LPARAM>(codes.end() - static_cast<std::ptrdiff_t>(last.size()), codes.end()));
  EXPECT_EQ(TrackNames('D'), host_.Playlist());
}

INSTANTIATE_TEST_SUITE_P(QuickStart, CompanionRequestTest, ::testing::Combine(::testing::Bool(), transports::kBoth),
                         transports::CombinedName<bool>);

struct ErrorCase {
  int id;
  const char* expectedText;
};

class CompanionErrorTest : public CompanionCaseTest<ErrorCase> {};

TEST_P(CompanionErrorTest, ADriveThatCannotPlayShowsWhyAndSendsNothing) {
  Start("");
  ini_file::Write(IniPath(), std::string("[") + kSection + "]\r\n" + DriveMap(transport_));
  host_.LoadInputPlugin();  // nothing may reach an input plug-in either
  ModalBoxCloser closer(kErrorCaption);
  Choose(Param().id);
  closer.Join();
  ASSERT_TRUE(closer.Closed()) << "no error box";
  EXPECT_EQ(Param().expectedText, closer.Text());
  host_.PumpFor(300);
  EXPECT_TRUE(PlaylistIpc().empty());
  EXPECT_TRUE(HostSawCommand(Param().id));
}

INSTANTIATE_TEST_SUITE_P(Drives, CompanionErrorTest,
                         ::testing::Combine(::testing::Values(ErrorCase{40324, "E:\\\r\n\r\nCDがありません"},
                                                              ErrorCase{40326, "G:\\\r\n\r\n指定されたCD-ROMドライブは使用できません"}),
                                            transports::kBoth),
                         transports::CombinedName<ErrorCase>);

TEST_F(CompanionTest, OtherCommandsGoOnlyToTheHostAndQuitGivesItsProcedureBack) {
  Start("");
  EXPECT_NE(hostProc_, GetWindowLongPtrA(host_.MainWindow(), GWLP_WNDPROC));
  for (int id : {40000, 40322, 40327, 41950}) {
    Choose(id);
    EXPECT_TRUE(HostSawCommand(id)) << id;
  }
  host_.PumpFor(300);
  EXPECT_TRUE(PlaylistIpc().empty());
  Quit();
  EXPECT_EQ(hostProc_, GetWindowLongPtrA(host_.MainWindow(), GWLP_WNDPROC));
}

TEST_F(CompanionTest, QuitDuringARequestEndsItBeforeReturningAndTheLibraryCanGo) {
  Start("");
  Choose(40323);
  Quit();  // within the request's first 100 ms
  host_.UnloadGeneralPlugin();  // a thread still inside the library would crash from here on
  host_.PumpFor(500);
  EXPECT_TRUE(PlaylistIpc().empty());
  EXPECT_EQ(hostProc_, GetWindowLongPtrA(host_.MainWindow(), GWLP_WNDPROC));
}

TEST_F(CompanionTest, SettingsReadAsTrueOnlyForTrueAndQuitWritesOnlyItsOwnTwo) {
  const std::string before = std::string("[") + kSection + "]\r\n" + DriveMap(Transport::kAspi) +
                             "AllDrives=TRUE\r\nQuickStart=1\r\nMultithreadInitialize=yes\r\n";
  ini_file::Write(IniPath(), before);
  gen_ = host_.LoadGeneralPlugin();
  ASSERT_NE(nullptr, gen_);
  ASSERT_EQ(0, gen_->init());
  EXPECT_EQ(41950u, GetMenuItemID(GetSubMenu(host_.MainMenu(), 2), 4)) << "TRUE counts as true";
  host_.ClearMessages();
  Choose(41950);
  EXPECT_EQ(Expected(false), IpcAfterRequest(Expected(false).size())) << "1 counts as false";
  Quit();

  const std::string after = ini_file::Read(IniPath());
  std::vector<std::string> keys;
  for (const auto& entry : ini_file::Section(after, kSection)) keys.push_back(entry.first);
  const std::vector<std::string> expected = {"Aspi", "AspiDevMap_D", "AspiDevMap_E", "AspiDevMap_F",
                                             "AllDrives", "QuickStart", "MultithreadInitialize"};
  EXPECT_EQ(expected, keys);
  EXPECT_EQ("true", ini_file::Value(after, kSection, "AllDrives"));
  EXPECT_EQ("false", ini_file::Value(after, kSection, "QuickStart"));
  EXPECT_EQ("yes", ini_file::Value(after, kSection, "MultithreadInitialize")) << "not the companion's key";
}

// Both start-ups fail (an exception in a step): each still signals its end,
// so a menu command reports the drive it cannot use instead of waiting for
// ever, Play fails at once, and both plug-ins quit promptly.
TEST_F(CompanionTest, StartUpsThatFailLeavePlugInsThatAnswerAndQuitPromptly) {
  struct Fault {
    Fault() { SetEnvironmentVariableA("QUORVO_FAULT", "in_init,gen_startup"); }
    ~Fault() { SetEnvironmentVariableA("QUORVO_FAULT", nullptr); }
  } fault;
  ASSERT_NO_FATAL_FAILURE(StartWithInputPlugin("MultithreadInitialize=true\r\n"));
  ModalBoxCloser closer(kErrorCaption);
  Choose(40323);
  closer.Join();
  EXPECT_EQ(0u, closer.Text().find("D:\\\r\n\r\n")) << "no drive error: " << closer.Text();
  host_.PumpFor(300);
  EXPECT_TRUE(PlaylistIpc().empty());
  std::string name = "cda://D,1";
  EXPECT_NE(0, in_->Play(&name[0]));
  const DWORD start = GetTickCount();
  in_->Quit();
  in_ = nullptr;
  Quit();
  EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST_P(CompanionTransportTest, ThreadedStartReturnsBeforeTheDrivesAreProbedAndTheFirstCommandWaits) {
  // E:'s INQUIRY never completes: the transport gives up after its own
  // time-out, and F: is probed only after that.
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 1, 0, "hang 0x12 times=1"));
  Start("MultithreadInitialize=true\r\nQuickStart=false\r\n");
  EXPECT_EQ(0u, virtual_aspi::CommandCount(0, 2, 0, kInquiry)) << "init waited for the drive probes";
  Choose(40325);
  EXPECT_EQ(1u, virtual_aspi::CommandCount(0, 2, 0, kInquiry)) << "the command ran before the drives were probed";
  EXPECT_EQ(Expected(false), IpcAfterRequest(Expected(false).size()));
  EXPECT_EQ(TrackNames('F'), host_.Playlist());
}

TEST_P(CompanionTransportTest, AMenuClickPlaysTheFirstTrackThroughTheInputPlugin) {
  recording_output::Reset();
  recording_output::SetPace(0);
  ASSERT_NO_FATAL_FAILURE(StartWithInputPlugin("QuickStart=true\r\n"));
  Choose(40323);
  ASSERT_TRUE(host_.PumpUntilMessage(host::kMsgEndOfStream, 30000)) << "track 1 never ended";
  in_->Stop();

  vdrive::Disc disc;
  std::string error;
  ASSERT_EQ(0, disc.LoadCue(TestHost::ProgramDirectory() + "\\" + TwelveTrackCue(), &error)) << error;
  std::vector<std::uint8_t> image(static_cast<std::size_t>(kTrackFrames) * 2352);
  for (int f = 0; f < kTrackFrames; ++f) disc.ReadRawSector(disc.tracks()[0].start + f, &image[f * 2352u]);
  EXPECT_TRUE(image == recording_output::Captured()) << "what was played is not track 1";
  EXPECT_EQ(TrackNames('D'), host_.Playlist());
}

// The playback reader keeps its drive open while it plays; a click on the
// same drive opens it beside that handle.
TEST_P(CompanionTransportTest, AClickOnThePlayingDriveOpensItBesideThePlaybackReader) {
  recording_output::Reset();
  recording_output::SetPace(1.0);
  ASSERT_NO_FATAL_FAILURE(StartWithInputPlugin("QuickStart=false\r\n"));
  char name[] = "cda://D,2";
  ASSERT_EQ(0, in_->Play(name));
  ModalBoxCloser closer(kErrorCaption, 3000);
  Choose(40323);
  closer.Join();
  EXPECT_FALSE(closer.Closed()) << closer.Text();
  EXPECT_EQ(Expected(false), IpcAfterRequest(Expected(false).size()));
  EXPECT_EQ(TrackNames('D'), host_.Playlist());
}

// What the settings page shows and does, read from a watcher thread while
// the sheet is modal on the host's thread.
struct SheetVisit {
  bool clickAllDrives = false;
  bool clickQuickStart = false;
  int closeWith = IDOK;
  std::string screenshot;
  // Read from the page:
  bool found = false;
  bool applyVisible = true;
  std::string texts[3];
  bool checks[2] = {};
  SIZE pageSize = {};
  SIZE expectedSize = {};
  std::vector<int> autoPops;
  std::vector<int> maxWidths;
  std::vector<std::string> tips;
  std::string savedPath;
};

DWORD WINAPI VisitSheet(void* param) {
  auto* v = static_cast<SheetVisit*>(param);
  HWND sheet = window_driver::WaitForWindow(kSheetCaption, "#32770", 20000);
  if (!sheet) return 0;
  Sleep(300);  // let the sheet paint
  HWND page = window_driver::SheetCurrentPage(sheet);
  if (!page) return 0;
  v->found = true;
  HWND apply = GetDlgItem(sheet, 0x3021);
  v->applyVisible = apply && IsWindowVisible(apply);
  const int ids[3] = {1012, 1014, 1013};
  for (int i = 0; i < 3; ++i) v->texts[i] = window_driver::Text(GetDlgItem(page, ids[i]));
  v->checks[0] = window_driver::IsChecked(GetDlgItem(page, 1012));
  v->checks[1] = window_driver::IsChecked(GetDlgItem(page, 1013));
  RECT client;
  GetClientRect(page, &client);
  v->pageSize = {client.right, client.bottom};
  RECT units = {0, 0, 211, 139};
  MapDialogRect(page, &units);
  v->expectedSize = {units.right, units.bottom};

  for (int id : {1012, 1013}) {
    window_driver::TooltipInfo tip;
    if (!window_driver::ReadTooltip(GetDlgItem(page, id), &tip)) continue;
    v->tips.push_back(tip.text);
    v->autoPops.push_back(tip.autoPopMs);
    v->maxWidths.push_back(tip.maxWidth);
  }
  if (!v->screenshot.empty()) v->savedPath = window_driver::SaveScreenshot(sheet, v->screenshot);
  if (v->clickAllDrives) SendDlgItemMessageA(page, 1012, BM_CLICK, 0, 0);
  if (v->clickQuickStart) SendDlgItemMessageA(page, 1013, BM_CLICK, 0, 0);
  PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(v->closeWith, BN_CLICKED), 0);
  return 0;
}

void ShowSheet(winampGeneralPurposePlugin* gen, SheetVisit& visit) {
  HANDLE thread = CreateThread(nullptr, 0, VisitSheet, &visit, 0, nullptr);
  gen->config();
  WaitForSingleObject(thread, 30000);
  CloseHandle(thread);
}

TEST_F(CompanionTest, SettingsPageShowsBothSettingsAndOnlyOkKeepsAChange) {
  Start("");
  SheetVisit cancelled;
  cancelled.clickAllDrives = true;
  cancelled.closeWith = IDCANCEL;
  cancelled.screenshot = "companion_settings_page";
  ShowSheet(gen_, cancelled);
  ASSERT_TRUE(cancelled.found) << "no settings sheet";
  EXPECT_FALSE(cancelled.applyVisible) << "the sheet has no Apply button";
  EXPECT_EQ("メニューに全てのCD-ROMドライブを列挙する(&A)", cancelled.texts[0]);
  EXPECT_EQ("※Winamp再起動後、有効になります", cancelled.texts[1]);
  EXPECT_EQ("CD-ROMドライブを開くと同時に再生を開始する(&Q)", cancelled.texts[2]);
  EXPECT_FALSE(cancelled.checks[0]);
  EXPECT_TRUE(cancelled.checks[1]);
  EXPECT_EQ(cancelled.expectedSize.cx, cancelled.pageSize.cx);
  EXPECT_EQ(cancelled.expectedSize.cy, cancelled.pageSize.cy);
  const int screen = GetSystemMetrics(SM_CXSCREEN);
  EXPECT_EQ((std::vector<int>{10000, 10000}), cancelled.autoPops);
  EXPECT_EQ((std::vector<int>{screen, screen}), cancelled.maxWidths);
  const std::vector<std::string> tips = {
      "通常、Winampで列挙されるCD-ROMドライブは4つまでに制限されますが、\n独自の方法により、全てのCD-ROMが列挙されるよう"
      "にします\n\n※このオプションを有効にした場合、Winampの動作に不具合が出る場合があります\n　その場合は、このオプ"
      "ションは無効にしてください",
      "CD-ROMドライブを開くと同時に再生を開始します"};
  EXPECT_EQ(tips, cancelled.tips);
  EXPECT_FALSE(cancelled.savedPath.empty()) << "no screenshot";

  SheetVisit accepted;
  accepted.clickAllDrives = true;
  accepted.clickQuickStart = true;
  ShowSheet(gen_, accepted);
  ASSERT_TRUE(accepted.found);
  EXPECT_FALSE(accepted.checks[0]) << "Cancel must leave the setting";
  Quit();
  const std::string after = ini_file::Read(IniPath());
  EXPECT_EQ("true", ini_file::Value(after, kSection, "AllDrives"));
  EXPECT_EQ("false", ini_file::Value(after, kSection, "QuickStart"));
}

// What the companion shows reads exactly on any system code page, in an
// older host's ANSI main window and in a Unicode one such as Winamp 5's.
class UnicodeCompanion : public CompanionTest, public ::testing::WithParamInterface<bool> {
 protected:
  UnicodeCompanion() { unicodeHost_ = GetParam(); }
  void TearDown() override {
    CompanionTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string folder_ = TestHost::ProgramDirectory() + "\\unicode_notice";
};

TEST_P(UnicodeCompanion, MenuItemSettingsPageAndSaveNoticeReadExactly) {
  Start("");
  EXPECT_EQ(unicodeHost_, IsWindowUnicode(host_.MainWindow()) != FALSE) << "the subclass keeps the window's kind";
  EXPECT_EQ("Audio CD D:", window_driver::MenuText(GetSubMenu(host_.MainMenu(), 2), 4));
  SheetVisit visit;
  visit.closeWith = IDCANCEL;
  ShowSheet(gen_, visit);
  ASSERT_TRUE(visit.found) << "no sheet captioned " << kSheetCaption;
  EXPECT_EQ("メニューに全てのCD-ROMドライブを列挙する(&A)", visit.texts[0]);
  EXPECT_EQ("※Winamp再起動後、有効になります", visit.texts[1]);
  EXPECT_EQ("CD-ROMドライブを開くと同時に再生を開始する(&Q)", visit.texts[2]);

  // A folder in the way of the settings file: the save at quit fails, and the next start tells it.
  gen_->quit();
  std::filesystem::create_directories(folder_ + "\\winamp.ini");
  TestHost::SetSettingsAnswer(TestHost::SettingsAnswer::kCurrent, codepage::Utf8ToWide(folder_));
  ASSERT_EQ(0, gen_->init());
  gen_->quit();
  ModalBoxCloser closer(kErrorCaption);
  ASSERT_EQ(0, gen_->init());
  host_.PumpUntil([&] { return closer.Closed(); }, 20000);
  closer.Join();
  std::string expected = STR_SAVE_COMPANION_FAILED;
  expected.replace(expected.find("%2"), 2, STR_SAVE_REASON_IS_FOLDER);
  EXPECT_EQ(expected.replace(expected.find("%1"), 2, folder_ + "\\winamp.ini"), closer.Text());
}

INSTANTIATE_TEST_SUITE_P(, UnicodeCompanion, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "UnicodeHostWindow" : "AnsiHostWindow"; });

}  // namespace
