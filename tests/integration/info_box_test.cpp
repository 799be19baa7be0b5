// The track information box and the device-change window through the real
// DLL in the test host: a watcher thread reads and drives the modal box.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <string>
#include <thread>
#include <vector>

#include "host_api/host_messages.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/host/recording_output.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/virtual_aspi.h"

namespace {

using namespace dialog_helpers;

const char kInfoCaption[] = "CD-TEXT/CDDB情報";
const char kMonitorCaption[] = "ステータスモニタ";
constexpr int kTrackFrames = 13636;  // 3:01.61

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }

struct Shown {
  std::string title, length, drive, track, sourceTitle, performer, songwriter, composer, arranger;
  bool operator==(const Shown& o) const {
    return title == o.title && length == o.length && drive == o.drive && track == o.track &&
           sourceTitle == o.sourceTitle && performer == o.performer && songwriter == o.songwriter &&
           composer == o.composer && arranger == o.arranger;
  }
};

Shown Read(HWND box) {
  return {ItemText(box, IDC_INFO_TITLE),     ItemText(box, IDC_INFO_LENGTH),       ItemText(box, IDC_INFO_DRIVE),
          ItemText(box, IDC_INFO_TRACK),     ItemText(box, IDC_INFO_SOURCE_TITLE), ItemText(box, IDC_INFO_PERFORMER),
          ItemText(box, IDC_INFO_SONGWRITER), ItemText(box, IDC_INFO_COMPOSER),    ItemText(box, IDC_INFO_ARRANGER)};
}

// D: holds a one-track disc of 13636 frames with English and Japanese CD-TEXT.
class InfoBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 1;
    options.trackFrames = kTrackFrames;
    options.text = discgen::TextMode::EnglishJapanese;
    cue_ = virtual_aspi::MakeDisc(options, "info_box");
  }
  void SetUp() override {
    ASSERT_FALSE(cue_.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + cue_ + "\r\n"));
    recording_output::Reset();
    recording_output::SetPace(0);
    ASSERT_TRUE(host_.CreateMainWindow());
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n" + Priorities());
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  virtual std::string Priorities() const {
    return "TitlePriority0=CD-TEXT(JP)\r\nTitlePriority1=CD-TEXT(EN)\r\nTitlePriority2=default\r\n"
           "TitlePriority3=CDDB\r\n";
  }
  void TearDown() override {
    if (in_) {
      in_->Stop();
      in_->Quit();
    }
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
  }

  // Opens the box for `file` and lets `drive` work on it from another thread;
  // the box is closed with OK at the end whatever happened.
  template <class Drive>
  int RunBox(const char* file, Drive drive) {
    std::thread watcher([&] {
      HWND box = WaitForWindow(kInfoCaption, 20000);
      if (!box) return;
      drive(box);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    std::string name = file;
    const int result = in_->InfoBox(&name[0], host_.MainWindow());
    watcher.join();
    return result;
  }

  static std::string cue_;
  TestHost host_;
  In_Module* in_ = nullptr;
};

std::string InfoBoxTest::cue_;

TEST_F(InfoBoxTest, ShowsTheFirstSourceAndRefreshesOnlyOnAnotherSource) {
  Shown opened, same, english, defaults, back;
  std::vector<std::string> sources;
  std::string verification;
  bool pictured = false;
  const int result = RunBox("cda://D,1", [&](HWND box) {
    sources = window_driver::ComboItems(GetDlgItem(box, IDC_INFO_SOURCE));
    opened = Read(box);
    verification = ItemText(box, IDC_INFO_VERIFICATION);
    pictured = SaveScreenshot(box, "102_info_box");
    SelectComboItem(box, IDC_INFO_SOURCE, 0);
    same = Read(box);
    SelectComboItem(box, IDC_INFO_SOURCE, 1);
    english = Read(box);
    SelectComboItem(box, IDC_INFO_SOURCE, 2);
    defaults = Read(box);
    SelectComboItem(box, IDC_INFO_SOURCE, 0);
    back = Read(box);
  });
  EXPECT_EQ(0, result);
  EXPECT_TRUE(pictured);
  EXPECT_EQ(sources, (std::vector<std::string>{"CD-TEXT(日本語)", "CD-TEXT(英語)", "デフォルト", "CDDB"}));
  EXPECT_EQ(opened.title, "トラック１ - 演奏者１");
  EXPECT_EQ(opened.length, "3:01.61");
  EXPECT_EQ(opened.drive, "D:\\");
  EXPECT_EQ(opened.track, "1");
  EXPECT_EQ(opened.sourceTitle, "トラック１");
  EXPECT_EQ(opened.performer, "演奏者１");
  EXPECT_EQ(verification, "このセッションでは照合していません");  // nothing ripped in this process
  EXPECT_TRUE(same == opened);

  EXPECT_EQ(english.title, "Track 01 Title - Performer 1");
  EXPECT_EQ(english.sourceTitle, "Track 01 Title");
  EXPECT_EQ(english.performer, "Performer 1");
  EXPECT_EQ(english.songwriter, "Songwriter One");
  EXPECT_EQ(english.length, "3:01.61");  // length, drive and track stay
  EXPECT_EQ(english.drive, "D:\\");

  EXPECT_EQ(defaults.title, "CD-DA TRACK - D:\\Track1");
  EXPECT_EQ(defaults.sourceTitle, "");
  EXPECT_EQ(defaults.songwriter, "");
  EXPECT_TRUE(back == opened);
}

TEST_F(InfoBoxTest, ASecondOpeningStartsAgainAtTheFirstSource) {
  Shown ended;
  RunBox("D:\\Track01.cda", [&](HWND box) {
    SelectComboItem(box, IDC_INFO_SOURCE, 2);
    ended = Read(box);
  });
  EXPECT_EQ(ended.title, "CD-DA TRACK - D:\\Track1");
  Shown reopened, again;
  int selection = -1;
  RunBox("D:\\Track01.cda", [&](HWND box) {
    selection = static_cast<int>(SendDlgItemMessageA(box, IDC_INFO_SOURCE, CB_GETCURSEL, 0, 0));
    reopened = Read(box);
    SelectComboItem(box, IDC_INFO_SOURCE, 2);
    again = Read(box);
  });
  EXPECT_EQ(0, selection);
  EXPECT_EQ(reopened.title, "トラック１ - 演奏者１");
  EXPECT_EQ(reopened.track, "1");
  EXPECT_TRUE(again == ended);
}

// The host opens a second box from a message that the first one's loop
// dispatches: each box works on its own, and the first still refreshes
// after the second has gone.
TEST_F(InfoBoxTest, ABoxOpenedFromTheFirstOnesLoopLeavesTheFirstWorking) {
  constexpr UINT kOpenAgain = WM_APP + 21;
  int nestedResult = -1;
  TestHost::SetMessageHook([&](UINT msg, WPARAM, LPARAM) {
    if (msg != kOpenAgain) return false;
    std::string name = "cda://D,1";
    nestedResult = in_->InfoBox(&name[0], host_.MainWindow());
    return true;
  });
  Shown inner, outerEnglish;
  RunBox("cda://D,1", [&](HWND outer) {
    PostMessageA(host_.MainWindow(), kOpenAgain, 0, 0);
    HWND nested = nullptr;
    for (int i = 0; i < 1000 && !nested; ++i) {
      for (HWND w = nullptr;
           (w = FindWindowExW(nullptr, w, nullptr, codepage::Utf8ToWide(kInfoCaption).c_str())) != nullptr;) {
        if (w != outer && IsWindowVisible(w)) nested = w;
      }
      Sleep(20);
    }
    if (!nested) return;
    SelectComboItem(nested, IDC_INFO_SOURCE, 2);
    inner = Read(nested);
    PostMessageA(nested, WM_COMMAND, IDOK, 0);
    WaitForWindowGone(nested, 10000);
    SelectComboItem(outer, IDC_INFO_SOURCE, 1);
    outerEnglish = Read(outer);
  });
  TestHost::SetMessageHook(nullptr);
  EXPECT_EQ(0, nestedResult);
  EXPECT_EQ("CD-DA TRACK - D:\\Track1", inner.title);
  EXPECT_EQ("Track 01 Title - Performer 1", outerEnglish.title);
  EXPECT_EQ("3:01.61", outerEnglish.length);
}

TEST_F(InfoBoxTest, NoDiscNameShowsTheMessageAndNoDriveFields) {
  Shown shown;
  RunBox("cda://Q,1", [&](HWND box) { shown = Read(box); });
  EXPECT_EQ(shown.title, "指定されたデバイスは存在しません。");
  EXPECT_EQ(shown.drive, "Q:\\");  // the name is a track address all the same
  EXPECT_EQ(shown.length, "0:00.00");
  EXPECT_EQ(shown.sourceTitle, "");
}

TEST_F(InfoBoxTest, DeviceChangeWindowLivesFromInitToQuitAndEndsPlaybackOnRemoval) {
  const HWND monitor = FindOwnWindow(kMonitorCaption);
  ASSERT_NE(nullptr, monitor);
  EXPECT_FALSE(IsWindowVisible(monitor));
  EXPECT_EQ(nullptr, GetWindow(monitor, GW_OWNER));

  // Another drive's removal and an event of no interest leave playback alone.
  recording_output::SetPace(1.0);  // the track would otherwise end by itself at once
  std::string name = "cda://D,1";
  ASSERT_EQ(0, in_->Play(&name[0]));
  static DEV_BROADCAST_VOLUME other = {sizeof other, DBT_DEVTYP_VOLUME, 0, 1u << ('E' - 'A'), 0};
  EXPECT_EQ(TRUE, SendMessageA(monitor, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&other)));
  EXPECT_EQ(FALSE, SendMessageA(monitor, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0));
  host_.PumpFor(300);
  for (const WindowMessage& m : host_.Messages()) EXPECT_NE(host::kMsgEndOfStream, m.msg);

  static DEV_BROADCAST_VOLUME playing = {sizeof playing, DBT_DEVTYP_VOLUME, 0, 1u << ('D' - 'A'), 0};
  // The system sends these (a record pointer cannot be posted).
  EXPECT_EQ(TRUE, SendMessageA(monitor, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&playing)));
  EXPECT_TRUE(host_.PumpUntilMessage(host::kMsgEndOfStream, 30000));

  in_->Stop();
  in_->Quit();
  in_ = nullptr;
  EXPECT_FALSE(IsWindow(monitor));
  EXPECT_EQ(nullptr, FindOwnWindow(kMonitorCaption));
}

// CDDB first, on a server port where nobody listens: every lookup ends at
// once with "not reachable", which is all the status window needs.
class CddbStatusTest : public InfoBoxTest {
 protected:
  std::string Priorities() const override {
    return "TitlePriority0=CDDB\r\nTitlePriority1=CD-TEXT(JP)\r\nCDDB_URL=http://127.0.0.1:1/~cddb/cddb.cgi\r\n"
           "CDDB_DialogAutoClose=" + std::string(autoClose_ ? "true" : "false") + "\r\n";
  }
  bool autoClose_ = true;
};

struct StatusSeen {
  bool found = false, ownedByMonitor = false, unowned = false, stayed = false, gone = false;
  std::string message;
  DWORD resultShownAt = 0, goneAt = 0;
};

// Waits for the status window, its result, and (when `closeAfterMs`) clicks
// "閉じる(&C)" that long after the result was shown.
void WatchStatus(StatusSeen* seen, DWORD closeAfterMs) {
  const HWND status = WaitForWindow("CDDBステータス", 20000);
  if (!status) return;
  seen->found = true;
  seen->ownedByMonitor = GetWindow(status, GW_OWNER) == FindOwnWindow("ステータスモニタ");
  seen->unowned = GetWindow(status, GW_OWNER) == nullptr;
  const HWND close = GetDlgItem(status, IDC_STATUS_CLOSE);
  seen->message = cddb_fixture::StatusOutcome(status, 20000);
  seen->resultShownAt = GetTickCount();
  if (closeAfterMs) {
    Sleep(closeAfterMs);
    seen->stayed = IsWindow(status) != FALSE;
    PostMessageA(status, WM_COMMAND, MAKEWPARAM(IDC_STATUS_CLOSE, BN_CLICKED), reinterpret_cast<LPARAM>(close));
  }
  seen->gone = WaitForWindowGone(status, 20000);
  seen->goneAt = GetTickCount();
}

TEST_F(CddbStatusTest, WithoutAutoCloseTheImmediateLookupWaitsForTheCloseButton) {
  in_->Quit();
  host_.UnloadInputPlugin();
  autoClose_ = false;
  ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n" + Priorities());
  in_ = host_.LoadInputPlugin();
  ASSERT_NE(nullptr, in_);
  in_->Init();

  StatusSeen seen;
  std::thread status([&] { WatchStatus(&seen, 4000); });  // longer than the auto-close delay
  Shown shown;
  RunBox("cda://D,1", [&](HWND box) { shown = Read(box); });
  status.join();
  EXPECT_TRUE(seen.found);
  EXPECT_TRUE(seen.ownedByMonitor);
  EXPECT_EQ("CDDBサーバに接続できません", seen.message);
  EXPECT_TRUE(seen.stayed);
  EXPECT_TRUE(seen.gone);
  EXPECT_EQ("タイトル情報がありません", shown.title);
}

TEST_F(CddbStatusTest, BackgroundLookupClosesItsWindowByItselfThenTellsTheHost) {
  StatusSeen seen;
  std::thread status([&] { WatchStatus(&seen, 0); });
  char title[GETFILEINFO_TITLE_LENGTH] = {};
  int length = 0;
  std::string name = "cda://D,1";
  in_->GetFileInfo(&name[0], title, &length);  // returns at once: the lookup runs behind
  const DWORD asked = GetTickCount();
  bool updated = false, refreshed = false;
  while (!(updated && refreshed) && GetTickCount() - asked < 30000) {
    host_.PumpFor(20);  // the host's thread stays free the whole time
    for (const WindowMessage& m : host_.Messages()) {
      if (m.msg == WM_USER && m.lParam == 243) updated = true;
      if (m.msg == WM_USER && m.lParam == 247) refreshed = refreshed || updated;
    }
  }
  status.join();
  EXPECT_TRUE(seen.found);
  // Owned by a window of the host's thread, it would tie the host's input to
  // a thread that answers nothing while it talks to the server.
  EXPECT_TRUE(seen.unowned);
  EXPECT_EQ("CDDBサーバに接続できません", seen.message);
  EXPECT_TRUE(seen.gone);
  EXPECT_GE(seen.goneAt - seen.resultShownAt, 2500u);  // it waited out the delay, not closed early
  EXPECT_TRUE(updated);
  EXPECT_TRUE(refreshed);  // 247 after 243
}

}  // namespace

namespace {

// With auto-close off a background lookup's window waits for its user; Quit
// must end that wait and the thread, or code of an unloaded DLL would run on.
TEST_F(CddbStatusTest, QuitEndsABackgroundLookupThatWaitsForItsUser) {
  in_->Quit();
  host_.UnloadInputPlugin();
  autoClose_ = false;
  ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n" + Priorities());
  in_ = host_.LoadInputPlugin();
  ASSERT_NE(nullptr, in_);
  in_->Init();

  char title[GETFILEINFO_TITLE_LENGTH] = {};
  std::string name = "cda://D,1";
  in_->GetFileInfo(&name[0], title, nullptr);
  // The lookup thread's status window: visible, of this process, of a thread
  // other than this one.
  HWND status = nullptr;
  for (DWORD start = GetTickCount(); !status && GetTickCount() - start < 20000;) {
    host_.PumpFor(20);
    for (HWND w = nullptr;
         (w = FindWindowExW(nullptr, w, nullptr, codepage::Utf8ToWide("CDDBステータス").c_str())) != nullptr;) {
      DWORD pid = 0;
      const DWORD thread = GetWindowThreadProcessId(w, &pid);
      if (pid == GetCurrentProcessId() && thread != GetCurrentThreadId() && IsWindowVisible(w)) status = w;
    }
  }
  ASSERT_NE(nullptr, status);
  const HWND close = GetDlgItem(status, IDC_STATUS_CLOSE);
  for (int i = 0; i < 1000 && !IsWindowEnabled(close); ++i) host_.PumpFor(20);
  ASSERT_TRUE(IsWindowEnabled(close));  // the lookup has ended; the window now waits

  in_->Quit();  // bounded: the test's time limit catches a hang
  in_ = nullptr;
  EXPECT_FALSE(IsWindow(status));
  host_.UnloadInputPlugin();  // nothing of the plug-in runs any more
  host_.PumpFor(200);
}

}  // namespace

namespace {

// A server that accepts and never answers: the box's lookup would take the
// reply time-out. Meanwhile the host's thread answers what other threads
// send it, and the status window's close button ends the lookup at once.
class SilentServerBoxTest : public CddbStatusTest {
 protected:
  void SetUp() override {
    if (cddb_fixture::Env("QUORVO_CDDB_PORT").empty()) GTEST_SKIP() << "no CDDB fixture server";
    CddbStatusTest::SetUp();
  }
  std::string Priorities() const override {
    return "TitlePriority0=CDDB\r\nTitlePriority1=default\r\nCDDB_URL=http://127.0.0.1:" +
           cddb_fixture::Env("QUORVO_CDDB_PORT") + "/fault/silent\r\nCDDB_DialogAutoClose=false\r\n";
  }
};

TEST_F(SilentServerBoxTest, TheHostAnswersDuringTheLookupAndTheCloseButtonCancelsIt) {
  DWORD answeredMs = 0, goneMs = 0;
  BOOL answered = FALSE;
  bool gone = false;
  std::string message;
  std::thread user([&] {
    const HWND status = WaitForWindow("CDDBステータス", 20000);
    if (!status) return;
    Sleep(500);  // the exchange is under way
    // Another thread (the companion, a second instance) sends to the host.
    DWORD_PTR reply = 0;
    DWORD start = GetTickCount();
    answered = SendMessageTimeoutA(host_.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &reply) != 0;
    answeredMs = GetTickCount() - start;
    message = ItemText(status, IDC_STATUS_MESSAGE);
    start = GetTickCount();
    PostMessageA(status, WM_COMMAND, MAKEWPARAM(IDC_STATUS_CLOSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(status, IDC_STATUS_CLOSE)));
    gone = WaitForWindowGone(status, 20000);
    goneMs = GetTickCount() - start;
  });
  Shown shown;
  const DWORD opened = GetTickCount();
  RunBox("cda://D,1", [&](HWND box) { shown = Read(box); });
  const DWORD boxMs = GetTickCount() - opened;
  user.join();
  EXPECT_TRUE(answered);
  EXPECT_LT(answeredMs, 1000u);
  EXPECT_EQ("サーバに問い合わせています", message);
  EXPECT_TRUE(gone);
  EXPECT_LT(goneMs, 2000u);
  EXPECT_LT(boxMs, 15000u);  // far from the 30 s reply time-out
  // CDDB is the box's first source: it has nothing to show.
  EXPECT_EQ("タイトル情報がありません", shown.title);
  // Nothing is cached and nothing waits: the next title query starts no lookup.
  char title[GETFILEINFO_TITLE_LENGTH] = {};
  std::string name = "cda://D,1";
  in_->GetFileInfo(&name[0], title, nullptr);
  EXPECT_STREQ("CD-DA TRACK - D:\\Track1", title);
}

}  // namespace
