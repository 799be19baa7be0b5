// The settings property sheet through the real DLL in the test host. Config
// is modal: a watcher thread finds the sheet by its caption and drives it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "resources/in_quorvo_res.h"
#include "resources/in_quorvo_strings.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/window_text.h"
#include "tests/integration/virtual_aspi.h"

namespace {

using namespace dialog_helpers;

const char kSheetCaption[] = "設定  -  音楽CD再生プラグイン [in_quorvo.dll]";
const char kBoxCaption[] = "in_quorvo.dll";
const char kSection[] = "QZ_CDDAPLAYER";

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }
std::string IniValue(const char* key) { return ini_file::Value(ini_file::Read(IniPath()), kSection, key); }

HWND ShowPage(HWND sheet, int index) {
  SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
  return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

std::vector<std::string> ListItems(HWND page, int id) { return window_driver::ListItems(GetDlgItem(page, id)); }

int ComboIndexOf(HWND page, int id, const char* labelPart) {
  const std::vector<std::string> items = window_driver::ComboItems(GetDlgItem(page, id));
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].find(labelPart) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

struct Tip {
  std::string text;
  LRESULT maxWidth = 0;
  LRESULT autoPop = 0;
};

// An enumeration callback is stdcall on 32 bits; a lambda converts only to a
// cdecl pointer.
BOOL CALLBACK CollectTooltip(HWND w, LPARAM list) {
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0) reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

// Every tooltip of the sheet's thread, by the control it belongs to, read
// through the tooltip windows' own messages.
std::map<HWND, Tip> ReadTooltips(HWND sheet) {
  std::vector<HWND> windows;
  EnumThreadWindows(GetWindowThreadProcessId(sheet, nullptr), CollectTooltip, reinterpret_cast<LPARAM>(&windows));
  std::map<HWND, Tip> tips;
  for (HWND w : windows) {
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    if (!SendMessageA(w, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool))) continue;
    // The wide form: the narrow one stops at 80 characters.
    TOOLINFOW wide = {};
    wide.cbSize = sizeof wide;
    wide.hwnd = tool.hwnd;
    wide.uId = tool.uId;
    wchar_t text[1024] = {};
    wide.lpszText = text;
    SendMessageW(w, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&wide));
    Tip& tip = tips[reinterpret_cast<HWND>(tool.uId)];
    tip.text = codepage::WideToUtf8(text);
    tip.maxWidth = SendMessageA(w, TTM_GETMAXTIPWIDTH, 0, 0);
    tip.autoPop = SendMessageA(w, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0);
  }
  return tips;
}

class SettingsSheetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 1;
    cue_ = virtual_aspi::MakeDisc(options, "settings_sheet");
  }
  void SetUp() override {
    ASSERT_FALSE(cue_.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cue_ + "\r\n"));
    ASSERT_TRUE(host_.CreateMainWindow());
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\n" + DriveSettings() +
                               "TitlePriority0=CD-TEXT(JP)\r\nTitlePriority1=CD-TEXT(EN)\r\n"
                               "TitlePriority2=default\r\nTitlePriority3=CDDB\r\n"
                               "BufferSize=882000\r\nPreReadSize=176400\r\nReadSpeed=2000\r\n"
                               "CDDB_URL=http://a.example/~cddb/cddb.cgi\r\n"
                               "CDDB_URLHistory=1\r\nCDDB_URLHistory0=http://a.example/~cddb/cddb.cgi\r\n"
                               "CDDB_ProxyHistory=1\r\nCDDB_ProxyHistory0=old.example:8080\r\n"
                               "CDDB_Proxy=old.example:8080\r\nCDDB_UseProxy=true\r\n"
                               "CDDB_Email=old@example.jp\r\n");
    initial_ = ini_file::Read(IniPath());
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  void TearDown() override {
    if (in_) in_->Quit();
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
  }
  virtual std::string DriveSettings() const { return "Aspi=true\r\nAspiDevMap_D=0:0:0\r\n"; }

  // Runs Config with `drive` on a watcher thread; `drive` ends the sheet.
  // Message boxes titled "in_quorvo.dll" are closed and their texts kept,
  // after onBox_ (when set) has seen each.
  template <class Drive>
  void RunSheet(Drive drive) {
    std::atomic<bool> done{false};
    std::thread watcher([&] {
      HWND sheet = WaitForWindow(kSheetCaption, 20000);
      if (!sheet) return;
      sheet_ = sheet;
      drive(sheet);
      while (!done.load() && IsWindow(sheet)) {
        if (HWND box = FindOwnWindow(kBoxCaption)) {
          boxes_.push_back(window_text::BoxText(box));
          if (onBox_) onBox_(box);
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          WaitForWindowGone(box, 5000);
        }
        Sleep(20);
      }
    });
    std::thread guard([&] {  // never leave the test waiting on the modal sheet
      for (int i = 0; i < 600 && !done.load(); ++i) Sleep(100);
      if (!done.load() && sheet_) PostMessageA(sheet_, WM_COMMAND, IDCANCEL, 0);
    });
    in_->Config(host_.MainWindow());
    done = true;
    watcher.join();
    guard.join();
  }

  static std::string cue_;
  std::string initial_;
  std::vector<std::string> boxes_;
  std::function<void(HWND)> onBox_;
  std::atomic<HWND> sheet_{nullptr};
  TestHost host_;
  In_Module* in_ = nullptr;
};

std::string SettingsSheetTest::cue_;

const std::vector<std::string> kSourceRows = {"CD-TEXT(日本語)", "CD-TEXT(英語)", "デフォルト", "CDDB"};

// One pass over every page: pictures, tooltips, the priority moves, the
// buffer rule and the proxy check, then OK; the file changes only at Quit.
TEST_F(SettingsSheetTest, EveryPageAppliesOnOkAndReachesTheFileAtQuit) {
  struct PageControls {
    const char* picture;
    std::vector<std::pair<int, const char*>> tips;
  };
  const std::vector<PageControls> pages = {
      {"104_settings_title", {{IDC_DEFAULT_FORMAT, STR_TIP_DEFAULT_FORMAT}, {IDC_PRIORITY_LIST, STR_TIP_PRIORITY}}},
      {"114_settings_extended",
       {{IDC_EXTENDED_DEFAULT, STR_TIP_EXTENDED_DEFAULT}, {IDC_EXTENDED_TITLE, STR_TIP_EXTENDED_TITLE}}},
      {"108_settings_cdtext", {{IDC_CDTEXT_FORMAT, STR_TIP_CDTEXT_FORMAT}}},
      {"109_settings_cddb1", {{IDC_CDDB_FORMAT, STR_TIP_CDDB_FORMAT}}},
      {"111_settings_cddb2",
       {{IDC_CDDB_URL, STR_TIP_CDDB_URL},
        {IDC_CDDB_UTF8, STR_TIP_CDDB_UTF8},
        {IDC_CDDB_PROXY, STR_TIP_CDDB_PROXY},
        {IDC_CDDB_USE_PROXY, STR_TIP_CDDB_USE_PROXY},
        {IDC_CDDB_AUTO_CLOSE, STR_TIP_CDDB_AUTO_CLOSE},
        {IDC_CDDB_EMAIL, STR_TIP_CDDB_EMAIL}}},
      {"105_settings_read",
       {{IDC_READ_SPEED, STR_TIP_READ_SPEED},
        {IDC_JITTER, STR_TIP_JITTER},
        {IDC_BUFFER_SIZE, STR_TIP_BUFFER_SIZE},
        {IDC_PRE_READ_SIZE, STR_TIP_PRE_READ_SIZE}}},
      {"110_settings_rip",
       {{IDC_RIP_OFFSET, STR_TIP_RIP_OFFSET},
        {IDC_RIP_SECURE, STR_TIP_RIP_SECURE},
        {IDC_RIP_RETRIES, STR_TIP_RIP_RETRIES},
        {IDC_RIP_LOG_FOLDER, STR_TIP_RIP_LOG_FOLDER},
        {IDC_RIP_OPEN_LOG, STR_TIP_RIP_OPEN_LOG},
        {IDC_RIP_DETECT_OFFSET, STR_TIP_RIP_DETECT_OFFSET},
        {IDC_AR_USE, STR_TIP_AR_USE},
        {IDC_AR_SERVER, STR_TIP_AR_SERVER}}},
      {"113_settings_other", {{IDC_MULTITHREAD_INIT, STR_TIP_MULTITHREAD_INIT}}},
  };
  std::vector<std::string> opened, afterDown, afterUp, transport, pictured, tipFaults;
  std::string email;
  int pageCount = 0, speedSelection = -2, tipCount = 0;
  bool hasApply = true;
  RunSheet([&](HWND sheet) {
    pageCount = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet));
    hasApply = IsWindowVisible(GetDlgItem(sheet, 0x3021)) != FALSE;  // the sheet's Apply button
    for (std::size_t i = 0; i < pages.size(); ++i) {
      HWND page = ShowPage(sheet, static_cast<int>(i));
      if (!SaveScreenshot(sheet, pages[i].picture)) pictured.push_back(pages[i].picture);
      const std::map<HWND, Tip> tips = ReadTooltips(sheet);
      for (const auto& [id, expected] : pages[i].tips) {
        const auto it = tips.find(GetDlgItem(page, id));
        ++tipCount;
        if (it == tips.end()) {
          tipFaults.push_back(std::to_string(id) + " has none");
          continue;
        }
        if (it->second.text != expected) tipFaults.push_back(std::to_string(id) + " text " + it->second.text);
        if (it->second.maxWidth <= 0) tipFaults.push_back(std::to_string(id) + " single-line");
        if (it->second.autoPop != 10000) tipFaults.push_back(std::to_string(id) + " delay");
      }
    }
    HWND page = ShowPage(sheet, 0);
    opened = ListItems(page, IDC_PRIORITY_LIST);
    SendDlgItemMessageA(page, IDC_PRIORITY_LIST, LB_SETCURSEL, 3, 0);
    Click(page, IDC_PRIORITY_DOWN);
    afterDown = ListItems(page, IDC_PRIORITY_LIST);
    Click(page, IDC_PRIORITY_UP);
    afterUp = ListItems(page, IDC_PRIORITY_LIST);

    page = ShowPage(sheet, 4);
    email = ItemText(page, IDC_CDDB_EMAIL);
    SetDlgItemTextA(page, IDC_CDDB_PROXY, "proxyhost");
    SendDlgItemMessageA(page, IDC_CDDB_USE_PROXY, BM_SETCHECK, BST_CHECKED, 0);
    SetDlgItemTextA(page, IDC_CDDB_EMAIL, "old at example.jp");

    page = ShowPage(sheet, 5);
    transport.push_back(ItemText(page, IDC_TRANSPORT));
    speedSelection = static_cast<int>(SendDlgItemMessageA(page, IDC_READ_SPEED, CB_GETCURSEL, 0, 0));
    SelectComboItem(page, IDC_BUFFER_SIZE, ComboIndexOf(page, IDC_BUFFER_SIZE, "   2秒"));
    SelectComboItem(page, IDC_PRE_READ_SIZE, ComboIndexOf(page, IDC_PRE_READ_SIZE, "   3秒"));
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  });
  EXPECT_EQ(8, pageCount);
  EXPECT_FALSE(hasApply);
  EXPECT_TRUE(pictured.empty());
  EXPECT_EQ(25, tipCount);
  EXPECT_EQ("old@example.jp", email);
  EXPECT_EQ(std::vector<std::string>{}, tipFaults);
  EXPECT_EQ(kSourceRows, opened);
  EXPECT_EQ(kSourceRows, afterDown);  // the last row does not move down
  EXPECT_EQ((std::vector<std::string>{"CD-TEXT(日本語)", "CD-TEXT(英語)", "CDDB", "デフォルト"}), afterUp);
  EXPECT_EQ(std::vector<std::string>{"使用ドライバ : ASPI"}, transport);
  EXPECT_EQ(2, speedSelection);  // 2000 kB/s: the next larger speed, 16x
  EXPECT_EQ((std::vector<std::string>{"プロキシサーバアドレスの書式が不正です。\nプロキシサーバの設定を無効にします。",
                                      "メールアドレスの書式が不正です。\n「ユーザー名@ホスト名」（例: taro@example.jp）の形で、英数字と . _ - だけで入力してください。"
                                      "ホスト名には . を含むドメイン名が必要です。\n"
                                      "メールアドレスの設定は変更されません。",
                                      "\"再生開始サイズ\"は\"バッファサイズ\"以下である必要があります。"}),
            boxes_);

  EXPECT_EQ(initial_, ini_file::Read(IniPath()));  // nothing written before Quit
  in_->Quit();
  in_ = nullptr;
  EXPECT_EQ("CD-TEXT(JP)", IniValue("TitlePriority0"));
  EXPECT_EQ("CD-TEXT(EN)", IniValue("TitlePriority1"));
  EXPECT_EQ("CDDB", IniValue("TitlePriority2"));
  EXPECT_EQ("default", IniValue("TitlePriority3"));
  EXPECT_EQ("352800", IniValue("BufferSize"));
  EXPECT_EQ("352800", IniValue("PreReadSize"));
  EXPECT_EQ("2822", IniValue("ReadSpeed"));
  EXPECT_EQ("false", IniValue("CDDB_UseProxy"));
  EXPECT_EQ("old.example:8080", IniValue("CDDB_Proxy"));
  EXPECT_EQ("old@example.jp", IniValue("CDDB_Email"));  // the refused text changed nothing
  EXPECT_EQ("<missing>", IniValue("Rip_ReadOffset"));  // shown, not typed: still found from the first disc
}

// The ripping page shows its settings (the default log folder in full), cuts an offset
// out of range after its box, opens the typed folder on its button, shows the offset detection's
// answer (no disc in the drive) with its button enabled again; the rest reaches Quit.
TEST_F(SettingsSheetTest, RipPageAppliesAndReachesTheFileAtQuit) {
  const std::string program = codepage::AnsiToUtf8(TestHost::ProgramDirectory());
  const std::wstring folder = codepage::Utf8ToWide(program + "\\リッピング ログ\\新規");
  RemoveDirectoryW(folder.c_str());
  wchar_t title[64] = {};
  std::vector<std::string> shown;
  std::string detected;
  bool made = false, detectEnabled = false;
  ASSERT_EQ(0, virtual_aspi::Eject(0, 0, 0));
  RunSheet([&](HWND sheet) {
    TCITEMW tab = {TCIF_TEXT, 0, 0, title, 64, 0, 0};
    SendMessageW(PropSheet_GetTabControl(sheet), TCM_GETITEMW, 6, reinterpret_cast<LPARAM>(&tab));
    HWND page = ShowPage(sheet, 6);
    for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) shown.push_back(window_driver::Text(c));
    shown.push_back(window_driver::IsChecked(GetDlgItem(page, IDC_RIP_SECURE)) ? "checked" : "unchecked");
    Click(page, IDC_RIP_DETECT_OFFSET);
    for (int i = 0; i < 1500 && !(detectEnabled = IsWindowEnabled(GetDlgItem(page, IDC_RIP_DETECT_OFFSET))); ++i)
      Sleep(20);
    detected = ItemText(page, IDC_RIP_DETECT_STATUS);
    SetDlgItemTextW(page, IDC_RIP_OFFSET, L"+9000");
    window_driver::SetChecked(GetDlgItem(page, IDC_RIP_SECURE), false);
    SetDlgItemTextW(page, IDC_RIP_RETRIES, L"32");
    SetDlgItemTextW(page, IDC_RIP_LOG_FOLDER, folder.c_str());
    window_driver::SetChecked(GetDlgItem(page, IDC_AR_USE), false);
    SetDlgItemTextW(page, IDC_AR_SERVER, L" http://127.0.0.1:9/ ");
    window_driver::Click(GetDlgItem(page, IDC_RIP_OPEN_LOG));  // posted: a failure would show a box
    for (int i = 0; i < 250 && !made; ++i, Sleep(20))
      made = GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  });
  EXPECT_EQ("リッピング", codepage::WideToUtf8(title));
  EXPECT_EQ((std::vector<std::string>{"リッピングオプション", "読み取りオフセット(&O)", "0", "オフセットを検出(&D)", "",
                                      "セキュアモードで読み取る(&S)", "再試行回数(&R)", "16", "回", "ログフォルダ(&L)",
                                      program + "\\rip logs", "ログフォルダを開く(&F)", "AccurateRip",
                                      "AccurateRip で照合する(&A)", "サーバー(&V)", "http://www.accuraterip.com",
                                      "checked"}),
            shown);
  EXPECT_TRUE(detectEnabled);
  EXPECT_EQ("オーディオ CD の入ったドライブがありません", detected);
  EXPECT_TRUE(made);
  // The shell's own window shows it, in a process of its own that the test closes.
  HWND browser = window_driver::WaitForWindow("新規", "", 10000);
  EXPECT_TRUE(browser && PostMessageW(browser, WM_CLOSE, 0, 0));
  EXPECT_EQ(std::vector<std::string>{"\"読み取りオフセット\"は-5880～5880の範囲で指定する必要があります。\n範囲内の値に修正します。"},
            boxes_);
  in_->Quit();
  in_ = nullptr;
  EXPECT_EQ("5880", IniValue("Rip_ReadOffset"));
  EXPECT_EQ("false", IniValue("Rip_Secure"));
  EXPECT_EQ("32", IniValue("Rip_Retries"));
  EXPECT_EQ(codepage::Utf8ToAnsi(codepage::WideToUtf8(folder)), IniValue("Rip_LogFolder"));
  EXPECT_EQ("false", IniValue("AccurateRip_Use"));
  EXPECT_EQ("http://127.0.0.1:9", IniValue("AccurateRip_Server"));
}

// Without the Aspi setting, Windows 10 reaches the drives over the
// pass-through, and the reading page names it.
class PassThroughSettingsSheetTest : public SettingsSheetTest {
 protected:
  std::string DriveSettings() const override { return ""; }
};

TEST_F(PassThroughSettingsSheetTest, TheReadingPageNamesThePassThrough) {
  std::string transport;
  RunSheet([&](HWND sheet) {
    transport = ItemText(ShowPage(sheet, 5), IDC_TRANSPORT);
    SaveScreenshot(sheet, "105_settings_read");  // as a user on Windows 10 sees it
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ("使用ドライバ : SPTI", transport);
}

TEST_F(SettingsSheetTest, CancelChangesNothingAndAKnownUrlLeavesTheHistory) {
  HWND cacheOwner = nullptr, sheetWindow = nullptr;
  RunSheet([&](HWND sheet) {
    // The cache manager opens over the CDDB page (posted: it is modal).
    sheetWindow = sheet;
    HWND cddbPage = ShowPage(sheet, 3);
    PostMessageA(cddbPage, WM_COMMAND, MAKEWPARAM(IDC_CDDB_CACHE_MANAGER, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(cddbPage, IDC_CDDB_CACHE_MANAGER)));
    if (HWND cache = WaitForWindow("CDDB情報 キャッシュ管理", 10000)) {
      cacheOwner = GetWindow(cache, GW_OWNER);
      PostMessageA(cache, WM_CLOSE, 0, 0);
      WaitForWindowGone(cache, 5000);
    }
    HWND page = ShowPage(sheet, 0);
    SetDlgItemTextA(page, IDC_DEFAULT_FORMAT, "changed");
    SendDlgItemMessageA(page, IDC_PRIORITY_LIST, LB_SETCURSEL, 1, 0);
    Click(page, IDC_PRIORITY_UP);
    page = ShowPage(sheet, 4);
    SetDlgItemTextA(page, IDC_CDDB_PROXY, "proxyhost");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  });
  EXPECT_TRUE(boxes_.empty());
  ASSERT_NE(nullptr, cacheOwner);
  EXPECT_EQ(sheetWindow, cacheOwner);  // the page's top-level window
  in_->Quit();
  const std::string afterCancel = ini_file::Read(IniPath());
  EXPECT_EQ("CD-TEXT(JP)", IniValue("TitlePriority0"));
  EXPECT_EQ("true", IniValue("CDDB_UseProxy"));

  // The stored URL chosen again: OK stores the same file as before.
  in_->Init();
  RunSheet([&](HWND sheet) {
    HWND page = ShowPage(sheet, 4);
    SetDlgItemTextA(page, IDC_CDDB_URL, "http://a.example/~cddb/cddb.cgi");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  });
  in_->Quit();
  in_ = nullptr;
  EXPECT_EQ(afterCancel, ini_file::Read(IniPath()));
  EXPECT_EQ("3", IniValue("CDDB_URLHistory"));  // the two built-in servers and a.example
}

// The host calls Config again from a message dispatched while a page's
// apply shows its box: the open sheet is not replaced underneath, so the
// pages applied before the box still reach the file.
TEST_F(SettingsSheetTest, ConfigCalledFromWithinTheSheetKeepsItsAppliedPages) {
  constexpr UINT kConfigAgain = WM_APP + 22;
  std::atomic<bool> nestedReturned{false};
  std::atomic<int> extraSheets{0};
  TestHost::SetMessageHook([&](UINT msg, WPARAM, LPARAM) {
    if (msg != kConfigAgain) return false;
    in_->Config(host_.MainWindow());
    nestedReturned = true;
    return true;
  });
  onBox_ = [&](HWND) {
    PostMessageA(host_.MainWindow(), kConfigAgain, 0, 0);
    for (int i = 0; i < 250 && !nestedReturned.load(); ++i) {
      for (HWND w = nullptr;
           (w = FindWindowExW(nullptr, w, nullptr, codepage::Utf8ToWide(kSheetCaption).c_str())) != nullptr;) {
        if (w != sheet_.load() && IsWindowVisible(w)) {
          ++extraSheets;
          PostMessageA(w, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
          WaitForWindowGone(w, 5000);
        }
      }
      Sleep(20);
    }
  };
  RunSheet([&](HWND sheet) {
    SetDlgItemTextA(ShowPage(sheet, 0), IDC_DEFAULT_FORMAT, "kept %6");
    SetDlgItemTextA(ShowPage(sheet, 4), IDC_CDDB_PROXY, "proxyhost");  // no port: its apply shows a box
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  });
  TestHost::SetMessageHook(nullptr);
  EXPECT_EQ(1u, boxes_.size());
  EXPECT_TRUE(nestedReturned);
  EXPECT_EQ(0, extraSheets.load());
  in_->Quit();
  in_ = nullptr;
  EXPECT_EQ("kept %6", IniValue("DefaultTitleFormat"));
  EXPECT_EQ("false", IniValue("CDDB_UseProxy"));
}

}  // namespace
