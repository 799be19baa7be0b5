// The CDDB status window and the candidates dialog as the lookup driver
// uses them, from the plug-in's own templates (linked into this program):
// a watcher thread reads and drives them as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>
#include <vector>

#include "cddb/cache_manager.h"
#include "cddb/cddb_status_ui.h"
#include "cddb/cddb_windows.h"
#include "input/plugin_strings.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/window_text.h"
#include "ui/device_change_window.h"

namespace {

using namespace dialog_helpers;
using window_text::ListViewText;

const char kStatusCaption[] = "CDDBステータス";
const char kCandidatesCaption[] = "複数の候補があります";
constexpr UINT kProbe = WM_USER + 77;

class CddbWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPluginInstance(GetModuleHandleA(nullptr));
    ASSERT_TRUE(host_.CreateMainWindow());
    ui::CreateDeviceChangeWindow(GetModuleHandleA(nullptr), nullptr);
    cddb_windows::Install(GetModuleHandleA(nullptr), ui::DeviceChangeWindow());
    ui_ = InstalledCddbStatusUi();
    ASSERT_NE(nullptr, ui_);
  }
  void TearDown() override {
    if (ui_) ui_->Close();
    cddb_windows::Uninstall();
    ui::DestroyDeviceChangeWindow();
  }
  TestHost host_;
  CddbStatusUi* ui_ = nullptr;
};

bool HostGot(const TestHost& host, UINT msg) {
  for (const WindowMessage& m : host.Messages())
    if (m.msg == msg) return true;
  return false;
}

TEST_F(CddbWindowsTest, StatusWindowShowsTheDiscAndTheOutcomeAndWaitsWhilePumping) {
  ASSERT_TRUE(ui_->Open(0x0D012C02u));
  const HWND status = FindOwnWindow(kStatusCaption);
  ASSERT_NE(nullptr, status);
  EXPECT_TRUE(IsWindowVisible(status));
  EXPECT_EQ(ui::DeviceChangeWindow(), GetWindow(status, GW_OWNER));
  EXPECT_EQ("0D012C02", ItemText(status, IDC_STATUS_DISC_ID));
  EXPECT_EQ("接続中...", ItemText(status, IDC_STATUS_MESSAGE));
  EXPECT_EQ("閉じる(&C)", ItemText(status, IDC_STATUS_CLOSE));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(status, IDC_STATUS_CLOSE)));

  ui_->SetMessage(CddbResultMessage(1));
  EXPECT_EQ("CD情報の取得に成功しました(キャッシュ)", ItemText(status, IDC_STATUS_MESSAGE));
  ui_->EnableClose();
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(status, IDC_STATUS_CLOSE)));
  EXPECT_TRUE(SaveScreenshot(status, "106_cddb_status"));

  // The wait keeps this thread's windows served and ends by itself.
  PostMessageA(host_.MainWindow(), kProbe, 0, 0);
  ui_->Wait(300);
  EXPECT_TRUE(HostGot(host_, kProbe));
  EXPECT_TRUE(IsWindow(status));

  // Without auto-close only the button (or the close box) ends the wait.
  for (UINT how : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
    std::thread user([&] {
      Sleep(300);
      if (how == WM_COMMAND)
        PostMessageA(status, WM_COMMAND, MAKEWPARAM(IDC_STATUS_CLOSE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(status, IDC_STATUS_CLOSE)));
      else
        PostMessageA(status, WM_CLOSE, 0, 0);
    });
    ui_->Wait(0xFFFFFFFFu);
    user.join();
    EXPECT_TRUE(IsWindow(status));  // the driver destroys it, not the button
  }
  // Somebody else's quit ends the wait too but stays for the thread's own loop.
  PostQuitMessage(5);
  ui_->Wait(0xFFFFFFFFu);
  MSG quit = {};
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(5u, quit.wParam);

  ui_->Close();
  EXPECT_FALSE(IsWindow(status));
  ui_->Close();  // twice is harmless
}

struct CandidatesSeen {
  int rows = -1;
  std::vector<std::string> columns;
  std::vector<int> widths;
  int firstFormat = -1;
  DWORD extendedStyle = 0;
  std::string thirdCategory;
  bool cancelVisible = true;
  std::string errorText;
};

// Runs the candidates dialog; `act` decides how it ends.
template <class Act>
int Choose(CddbStatusUi* ui, CandidatesSeen* seen, Act act) {
  const std::vector<CddbCandidate> candidates = {
      {"rock", "First Album", "Band A"}, {"jazz", "Second", "Band B"},
      {"misc", "日本語のタイトル", "演奏者"}, {"soundtrack", "Fourth", ""}};
  std::thread user([&] {
    const HWND box = WaitForWindow(kCandidatesCaption, 20000);
    if (!box) return;
    const HWND list = GetDlgItem(box, IDC_CANDIDATE_LIST);
    seen->rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int c = 0; c < 3; ++c) {
      LVCOLUMNW column;
      seen->columns.push_back(window_text::ListViewColumn(list, c, &column));
      seen->widths.push_back(column.cx);
      if (c == 0) seen->firstFormat = column.fmt & LVCFMT_JUSTIFYMASK;
    }
    seen->extendedStyle = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    seen->thirdCategory = ListViewText(list, 2, 0);
    seen->cancelVisible = IsWindowVisible(GetDlgItem(box, IDC_CANDIDATE_CANCEL)) != FALSE;
    act(box, list, seen);
  });
  const int result = ui->ChooseCandidate(candidates);
  user.join();
  return result;
}

void SelectRow(HWND list, int row) {
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

TEST_F(CddbWindowsTest, CandidatesDialogListsTheMatchesAndInsistsOnAChoice) {
  ASSERT_TRUE(ui_->Open(0x12345678u));
  CandidatesSeen seen;
  const int result = Choose(ui_, &seen, [](HWND box, HWND list, CandidatesSeen* s) {
    SaveScreenshot(box, "110_cddb_candidates");
    {
      ModalBoxCloser closer("エラー");
      Click(box, IDC_CANDIDATE_OK);  // nothing selected yet
      closer.Join();
      s->errorText = closer.Text();
    }
    if (!IsWindow(box)) return;
    SelectRow(list, 2);
    Click(box, IDC_CANDIDATE_OK);
  });
  EXPECT_EQ(3, result);  // row 2 is reply line 3
  EXPECT_EQ("選択されていません", seen.errorText);
  EXPECT_EQ(4, seen.rows);
  EXPECT_EQ(seen.columns, (std::vector<std::string>{"ジャンル", "タイトル", "アーティスト"}));
  EXPECT_EQ(seen.widths, (std::vector<int>{64, 256, 128}));
  EXPECT_EQ(LVCFMT_CENTER, seen.firstFormat);
  EXPECT_EQ(0x421u, seen.extendedStyle & 0x421u);
  EXPECT_EQ("misc", seen.thirdCategory);
  EXPECT_FALSE(seen.cancelVisible);
  EXPECT_EQ(ui::DeviceChangeWindow(), GetWindow(FindOwnWindow(kStatusCaption), GW_OWNER));
}

TEST_F(CddbWindowsTest, ClosingTheCandidatesDialogIsNoChoice) {
  // Without a status window too: the dialog then has no owner.
  for (UINT how : {UINT(WM_CLOSE), UINT(IDCANCEL)}) {
    CandidatesSeen seen;
    const int result = Choose(ui_, &seen, [how](HWND box, HWND list, CandidatesSeen*) {
      SelectRow(list, 1);  // a selection does not make closing a choice
      if (how == WM_CLOSE)
        PostMessageA(box, WM_CLOSE, 0, 0);
      else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(0, result) << how;
    EXPECT_EQ(4, seen.rows);
  }
}

class FakeCache : public cddb_windows::CacheRowSource {
 public:
  std::vector<CacheRow> rows = {{0x0D012C02u, "0D012C02+2+150+18430+302", "Delta", "Band D"},
                                {0x01000001u, "01000001+1+150+300", "alpha", "Band A"},
                                {0xF2000003u, "F2000003+3+150+400+800+30", "Charlie", ""},
                                {0x7A000002u, "7A000002+2+150+700+90", "日本のアルバム", "演奏者"},
                                {0x02000004u, "02000004+4+150+200+300+400+50", "Bravo", "Band B"}};
  std::vector<std::string> deleted;
  std::vector<CacheRow> Rows() override { return rows; }
  void Delete(const std::string& key) override { deleted.push_back(key); }
};

std::vector<std::string> Column(HWND list, int column) {
  std::vector<std::string> texts;
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) texts.push_back(ListViewText(list, row, column));
  return texts;
}

void ClickHeader(HWND box, HWND list, int column) {
  NMLISTVIEW click = {};
  click.hdr.hwndFrom = list;
  click.hdr.idFrom = IDC_CACHE_LIST;
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = column;
  SendMessageA(box, WM_NOTIFY, IDC_CACHE_LIST, reinterpret_cast<LPARAM>(&click));
}

// Runs the cache manager over the host's window; `act` works on it and it
// is closed with "閉じる(&C)" afterwards.
template <class Act>
void Manage(TestHost& host, FakeCache& cache, Act act) {
  std::thread user([&] {
    const HWND box = WaitForWindow("CDDB情報 キャッシュ管理", 20000);
    if (!box) return;
    act(box, GetDlgItem(box, IDC_CACHE_LIST));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDC_CACHE_CLOSE, BN_CLICKED), 0);
  });
  EXPECT_EQ(1, cddb_windows::ShowCacheManager(host.MainWindow(), cache));
  user.join();
}

TEST_F(CddbWindowsTest, CacheManagerSortsByColumnAndDeletesTheSelectedRows) {
  FakeCache cache;
  std::vector<std::string> loaded, ids, titlesUp, titlesDown, left;
  DWORD extendedStyle = 0;
  Manage(host_, cache, [&](HWND box, HWND list) {
    extendedStyle = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    loaded = Column(list, 1);
    SaveScreenshot(box, "107_cddb_cache");
    ClickHeader(box, list, 0);  // the column sorted at the start: turns to descending
    ids = Column(list, 0);
    ClickHeader(box, list, 1);
    titlesUp = Column(list, 1);
    ClickHeader(box, list, 1);
    titlesDown = Column(list, 1);
    for (int row = 1; row <= 3; ++row) SelectRow(list, row);
    Click(box, IDC_CACHE_DELETE);
    left = Column(list, 1);
  });
  EXPECT_EQ(0x421u, extendedStyle & 0x421u);
  EXPECT_EQ(loaded, (std::vector<std::string>{"Delta", "alpha", "Charlie", "日本のアルバム", "Bravo"}));
  EXPECT_EQ(ids, (std::vector<std::string>{"F2000003", "7A000002", "0D012C02", "02000004", "01000001"}));
  // Bytewise: capitals before small letters, multi-byte texts after ASCII.
  EXPECT_EQ(titlesUp, (std::vector<std::string>{"Bravo", "Charlie", "Delta", "alpha", "日本のアルバム"}));
  EXPECT_EQ(titlesDown, (std::vector<std::string>{"日本のアルバム", "alpha", "Delta", "Charlie", "Bravo"}));
  EXPECT_EQ(cache.deleted, (std::vector<std::string>{"01000001+1+150+300", "0D012C02+2+150+18430+302",
                                                     "F2000003+3+150+400+800+30"}));
  EXPECT_EQ(left, (std::vector<std::string>{"日本のアルバム", "Bravo"}));

  // The sort state outlives the window: title was last, descending; a new
  // click on it turns it back to ascending.
  std::vector<std::string> reopened;
  Manage(host_, cache, [&](HWND box, HWND list) {
    ClickHeader(box, list, 1);
    reopened = Column(list, 1);
  });
  EXPECT_EQ(reopened, (std::vector<std::string>{"Bravo", "Charlie", "Delta", "alpha", "日本のアルバム"}));
}

}  // namespace
