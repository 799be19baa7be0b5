// The candidates dialog in a real lookup: the DLL asks the fixture server
// (QUORVO_CDDB_PORT, see tests/cddb_server/with_servers.sh) about a disc it
// knows three exact matches for, and a watcher acts as the user.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/window_text.h"
#include "tests/integration/shutdown_support.h"
#include "tests/integration/virtual_aspi.h"
#include "util/http_client.h"

namespace {

using namespace cddb_fixture;
using namespace dialog_helpers;

// 08025603+3+150+15000+30000+600: tracks at offsets 150, 15000 and 30000,
// lead-out at 600 s. Pre-gaps the drive makes up keep the image small.
std::string MakeThreeMatchDisc() {
  const std::string dir = TestHost::ProgramDirectory() + "\\discs";
  CreateDirectoryA(dir.c_str(), nullptr);
  FILE* f = std::fopen((dir + "\\cddb_08025603.bin").c_str(), "wb");
  if (!f) return std::string();
  const std::string frame(2352, '\0');
  for (int i = 0; i < 150 + 150 + 15000; ++i) std::fwrite(frame.data(), 1, frame.size(), f);
  std::fclose(f);
  f = std::fopen((dir + "\\cddb_08025603.cue").c_str(), "wb");
  if (!f) return std::string();
  std::fputs("FILE \"cddb_08025603.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
             "  TRACK 02 AUDIO\r\n    PREGAP 03:16:00\r\n    INDEX 01 00:02:00\r\n"
             "  TRACK 03 AUDIO\r\n    PREGAP 03:18:00\r\n    INDEX 01 00:04:00\r\n",
             f);
  std::fclose(f);
  return "discs\\cddb_08025603.cue";
}

class CddbCandidatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("QUORVO_CDDB_PORT");
    if (!port || !*port) GTEST_SKIP() << "no CDDB fixture server (run through tests/cddb_server/with_servers.sh)";
    port_ = port;
    const std::string cue = MakeThreeMatchDisc();
    ASSERT_FALSE(cue.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + cue + "\r\n"));
    DeleteFileA(CachePath().c_str());
    ASSERT_TRUE(host_.CreateMainWindow());
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n"
                               "TitlePriority0=CDDB\r\nTitlePriority1=default\r\n"
                               "CDDB_URL=http://127.0.0.1:" + port_ + "/~cddb/cddb.cgi\r\n"
                               "CDDB_DialogAutoClose=true\r\n");
    ServerGet(port_, "/__reset");
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  void TearDown() override {
    if (in_) in_->Quit();
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
    DeleteFileA(CachePath().c_str());
  }
  static std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }
  static std::string CachePath() { return TestHost::ProgramDirectory() + "\\cddb_cache.dat"; }

  // Opens the information box (an immediate lookup with the status window);
  // `choose` handles the candidates dialog. Returns the status message and
  // the box's title.
  template <class Choose>
  void Lookup(Choose choose, std::string* message, std::string* title) {
    std::thread user([&] {
      const HWND candidates = WaitForWindow("複数の候補があります", 20000);
      if (candidates) choose(candidates, GetDlgItem(candidates, IDC_CANDIDATE_LIST));
      const HWND status = WaitForWindow("CDDBステータス", 20000);
      if (!status) return;
      *message = StatusOutcome(status, 10000);
      const HWND box = WaitForWindow("CD-TEXT/CDDB情報", 20000);  // after the auto-close delay
      if (!box) return;
      *title = ItemText(box, IDC_INFO_TITLE);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    std::string name = "cda://D,1";
    in_->InfoBox(&name[0], host_.MainWindow());
    user.join();
  }

  std::string port_;
  TestHost host_;
  In_Module* in_ = nullptr;
};

TEST_F(CddbCandidatesTest, TheThirdCandidateIsReadWithItsCategoryAndCached) {
  std::string message, title, third;
  Lookup(
      [&](HWND box, HWND list) {
        third = window_text::ListViewText(list, 2, 0);
        LVITEMA item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&item));
        Click(box, IDC_CANDIDATE_OK);
      },
      &message, &title);
  EXPECT_EQ("soundtrack", third);
  EXPECT_EQ("CD情報の取得に成功しました", message);
  EXPECT_NE("タイトル情報がありません", title);
  const std::string log = ServerGet(port_, "/__log");
  EXPECT_NE(std::string::npos, log.find("cmd=cddb+read+soundtrack+08025603&")) << log;
  in_->Quit();
  in_ = nullptr;
  EXPECT_NE(std::string::npos, ini_file::Read(CachePath()).find("[08025603+3+150+15000+30000+600]"));
}

TEST_F(CddbCandidatesTest, ClosingTheCandidatesDialogIsNotRegisteredAndNothingIsCached) {
  std::string message, title;
  Lookup([](HWND box, HWND) { PostMessageA(box, WM_CLOSE, 0, 0); }, &message, &title);
  EXPECT_EQ("CDがCDDBに登録されていません", message);
  EXPECT_EQ("タイトル情報がありません", title);
  const std::string log = ServerGet(port_, "/__log");
  EXPECT_EQ(std::string::npos, log.find("cmd=cddb+read")) << log;
  in_->Quit();
  in_ = nullptr;
  EXPECT_EQ(std::string::npos, ini_file::Read(CachePath()).find("08025603"));
}

// A title query's lookup waits for its user in the candidates dialog when
// the host quits: Quit closes it and returns at once, and the library can go.
TEST_F(CddbCandidatesTest, QuitClosesTheDialogOfABackgroundLookup) {
  char title[GETFILEINFO_TITLE_LENGTH] = {};
  std::string name = "cda://D,1";
  in_->GetFileInfo(&name[0], title, nullptr);
  HWND dialog = nullptr;
  for (DWORD start = GetTickCount(); !dialog && GetTickCount() - start < 20000;) {
    host_.PumpFor(20);
    dialog = FindOwnWindow("複数の候補があります");
    if (dialog && !IsWindowVisible(dialog)) dialog = nullptr;
  }
  ASSERT_NE(nullptr, dialog);
  const shutdown_support::Departure d = shutdown_support::QuitFreeAndLive(host_, in_, nullptr, 1000);
  EXPECT_LT(d.quitMs, 2000u);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_TRUE(d.unloaded);
  EXPECT_EQ(std::string::npos, ServerGet(port_, "/__log").find("cmd=cddb+read")) << "no choice was made";
}

}  // namespace
