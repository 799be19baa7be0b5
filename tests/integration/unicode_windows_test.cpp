// The plug-in's windows read exactly through the wide functions whatever the
// system's code page: run in the Japanese (932) and the English (1252)
// prefix alike. Titles in scripts no ANSI code page holds together (Latin,
// Hangul, Han) show exactly in the information box and the CDDB lists.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <thread>
#include <vector>

#include "cddb/cache_manager.h"
#include "cddb/cddb_status_ui.h"
#include "cddb/cddb_windows.h"
#include "input/plugin_strings.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/host/recording_output.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/virtual_aspi.h"
#include "tests/integration/window_text.h"
#include "ui/info_box.h"

namespace {

using window_text::ItemText;
using window_text::ListViewText;
using window_text::WaitForWindow;

// Pictures taken in the English prefix carry its name.
std::string PictureName(const std::string& name) { return name + (GetACP() == 1252 ? "_en_us" : "_ja_jp"); }

// The texts of a page's labels and frames, in their order on the page.
std::vector<std::string> LabelTexts(HWND page) {
  std::vector<std::string> texts;
  for (HWND child = nullptr; (child = FindWindowExW(page, child, nullptr, nullptr)) != nullptr;) {
    if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF) texts.push_back(window_text::Text(child));
  }
  return texts;
}

// Runs the modal `show` while another thread reads the first row of the
// list of the window titled `caption` and closes it.
template <class Show>
std::vector<std::string> FirstListRow(const char* caption, int listId, Show show) {
  std::vector<std::string> row;
  std::thread user([&] {
    const HWND box = WaitForWindow(caption, 20000);
    if (!box) return;
    for (int column = 0; column < 3; ++column) row.push_back(ListViewText(GetDlgItem(box, listId), 0, column));
    PostMessageW(box, WM_CLOSE, 0, 0);
  });
  show();
  user.join();
  return row;
}

// --- Through the real DLL ----------------------------------------------------

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }

class UnicodeWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 1;
    options.trackFrames = 600;
    options.text = discgen::TextMode::None;
    cue_ = virtual_aspi::MakeDisc(options, "unicode_windows");
  }
  void SetUp() override {
    ASSERT_FALSE(cue_.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cue_ + "\r\n"));
    recording_output::Reset();
    recording_output::SetPace(0);
    ASSERT_TRUE(host_.CreateMainWindow());
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n"
                               "TitlePriority0=default\r\nTitlePriority1=CD-TEXT(JP)\r\n"
                               "TitlePriority2=CD-TEXT(EN)\r\nTitlePriority3=CDDB\r\n");
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  void TearDown() override {
    if (in_) {
      in_->Stop();
      in_->Quit();
    }
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
  }
  static std::string cue_;
  TestHost host_;
  In_Module* in_ = nullptr;
};

std::string UnicodeWindowsTest::cue_;

TEST_F(UnicodeWindowsTest, ReadErrorBoxTitleReadsExactly) {
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "readerror 40"));
  recording_output::SetPace(1.0);
  char name[] = "cda://D,1";
  ASSERT_EQ(0, in_->Play(name));
  HWND box = nullptr;
  for (DWORD start = GetTickCount(); !box && GetTickCount() - start < 20000;) {
    host_.PumpFor(20);
    box = FindWindowW(L"#32770", L"\u30A8\u30E9\u30FC - CDirectCDDA");  // the oracle, spelt in UTF-16
  }
  ASSERT_NE(nullptr, box) << "no read-error box";
  EXPECT_EQ("エラー - CDirectCDDA", window_text::Text(box));
  // What a narrow reader gets depends on the code page ("???" on 1252): the
  // wide read above is the one that holds everywhere.
  char narrow[64] = {};
  GetWindowTextA(box, narrow, sizeof narrow);
  EXPECT_EQ(GetACP() == 932 ? "\x83G\x83\x89\x81[ - CDirectCDDA" : "??? - CDirectCDDA", std::string(narrow));
  EXPECT_EQ(0u, window_text::BoxText(box).find("Error:SendCommand"));
  // The box is owned by the host's window: its closing sends to this thread.
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(host_.PumpUntil([box] { return !IsWindow(box); }, 10000));
}

TEST_F(UnicodeWindowsTest, SettingsSheetCaptionTabsAndPageLabelsReadExactly) {
  std::string caption;
  std::vector<std::string> tabs, labels;
  std::thread user([&] {
    const HWND sheet = WaitForWindow("設定  -  音楽CD再生プラグイン [in_quorvo.dll]", 20000);
    if (!sheet) return;
    caption = window_text::Text(sheet);
    const HWND tab = PropSheet_GetTabControl(sheet);
    for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
      wchar_t text[128] = {};
      TCITEMW item = {};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 128;
      SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      tabs.push_back(codepage::WideToUtf8(text));
    }
    dialog_helpers::SaveScreenshot(sheet, PictureName("104_settings_title"));
    SendMessageW(sheet, PSM_SETCURSEL, 2, 0);
    const HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    labels = LabelTexts(page);
    dialog_helpers::SaveScreenshot(sheet, PictureName("108_settings_cdtext"));
    PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
  });
  in_->Config(host_.MainWindow());
  user.join();
  EXPECT_EQ("設定  -  音楽CD再生プラグイン [in_quorvo.dll]", caption);
  EXPECT_EQ(tabs, (std::vector<std::string>{"タイトル", "タイトル拡張書式", "CD-TEXT", "CDDB ①", "CDDB ②", "読み取り",
                                            "その他"}));
  EXPECT_EQ(labels, (std::vector<std::string>{"タイトルフォーマット(CD-TEXT使用時)(&T)", "%1 = タイトル",
                                              "%2 = アーティスト", "%3 = 作詞者", "%4 = 作曲者", "%5 = 編曲者",
                                              "%6 = トラック番号", "%7 = ドライブレター"}));
}

// --- The plug-in's windows from its own templates (linked into this program) -

class UnicodeWindowsDirectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPluginInstance(GetModuleHandleW(nullptr));
    ASSERT_TRUE(host_.CreateMainWindow());
    cddb_windows::Install(GetModuleHandleW(nullptr), nullptr);
    ui_ = InstalledCddbStatusUi();
    ASSERT_NE(nullptr, ui_);
  }
  void TearDown() override {
    if (ui_) ui_->Close();
    cddb_windows::Uninstall();
  }
  TestHost host_;
  CddbStatusUi* ui_ = nullptr;
};

// A detail too wide for the window is cut between characters: a character
// outside the BMP (a surrogate pair) is never split.
TEST_F(UnicodeWindowsDirectTest, StatusWindowTextsReadExactlyAndALongDetailIsCutBetweenCharacters) {
  ASSERT_TRUE(ui_->Open(0x0D012C02u));
  const HWND status = window_text::FindOwnWindow("CDDBステータス");
  ASSERT_NE(nullptr, status);
  EXPECT_EQ("CDDBステータス", window_text::Text(status));
  EXPECT_EQ("0D012C02", ItemText(status, IDC_STATUS_DISC_ID));
  EXPECT_EQ("接続中...", ItemText(status, IDC_STATUS_MESSAGE));
  EXPECT_EQ("閉じる(&C)", ItemText(status, IDC_STATUS_CLOSE));
  ui_->SetMessage("周杰倫 / 아이유 / Beyoncé");
  EXPECT_EQ("周杰倫 / 아이유 / Beyoncé", ItemText(status, IDC_STATUS_MESSAGE));

  std::string detail;
  for (int i = 0; i < 200; ++i) detail += "\xF0\xA0\xAE\xB7";  // U+20BB7, two UTF-16 units
  // Narrow leads move the cut across a character's width.
  for (std::string lead; lead.size() < 8; lead += "i") {
    ui_->SetMessageAndDetail("候補", lead + detail);
    const std::string shown = ItemText(status, IDC_STATUS_MESSAGE);
    ASSERT_EQ(0u, shown.find("候補\r\n" + lead));
    const std::string kept = shown.substr(8 + lead.size());
    ASSERT_GT(kept.size(), 3u);
    EXPECT_EQ("...", kept.substr(kept.size() - 3));
    const std::string cut = kept.substr(0, kept.size() - 3);
    EXPECT_LT(cut.size(), detail.size());
    EXPECT_EQ(detail.substr(0, cut.size()), cut) << "a surrogate pair split after " << lead.size() << " leads";
  }
  ui_->Close();
}

struct ScriptCase {
  const char* name;
  const char* title;
  const char* performer;
};

const ScriptCase kScripts[] = {
    {"Latin", "Crazy in Love", "Beyoncé"},
    {"Hangul", "좋은 날", "아이유"},
    {"Han", "晴天", "周杰倫"},
};

class UnicodeWindowsTitlesTest : public UnicodeWindowsDirectTest, public ::testing::WithParamInterface<ScriptCase> {};

class OneRowCache : public cddb_windows::CacheRowSource {
 public:
  explicit OneRowCache(const ScriptCase& c) : row_{0x7A000002u, "7A000002+2+150+700+90", c.title, c.performer} {}
  std::vector<CacheRow> Rows() override { return {row_}; }
  void Delete(const std::string&) override {}

 private:
  CacheRow row_;
};

TEST_P(UnicodeWindowsTitlesTest, InfoBoxCandidatesAndCacheManagerShowTheTitleExactly) {
  const ScriptCase& c = GetParam();
  const std::string formatted = std::string(c.performer) + " - " + c.title;

  ui::InfoBoxRequest request;
  request.instance = GetModuleHandleW(nullptr);
  request.file = "cda://D,1";
  request.sources = {{"CDDB", "CDDB"}};
  request.resolve = [&](const std::string&, const char*, TrackDescription& record) {
    record.text = formatted;
    record.track.title = c.title;
    record.track.performer = c.performer;
  };
  std::string shownTitle, sourceTitle, performer;
  std::thread infoUser([&] {
    const HWND box = WaitForWindow("CD-TEXT/CDDB情報", 20000);
    if (!box) return;
    shownTitle = ItemText(box, IDC_INFO_TITLE);
    sourceTitle = ItemText(box, IDC_INFO_SOURCE_TITLE);
    performer = ItemText(box, IDC_INFO_PERFORMER);
    dialog_helpers::SaveScreenshot(box, PictureName(std::string("102_info_box_") + c.name));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(1, ui::ShowInfoBox(request, host_.MainWindow()));
  infoUser.join();
  EXPECT_EQ(formatted, shownTitle);
  EXPECT_EQ(c.title, sourceTitle);
  EXPECT_EQ(c.performer, performer);

  EXPECT_EQ(FirstListRow("複数の候補があります", IDC_CANDIDATE_LIST,
                         [&] { ui_->ChooseCandidate({{"misc", c.title, c.performer}, {"rock", "Second", "B"}}); }),
            (std::vector<std::string>{"misc", c.title, c.performer}));
  OneRowCache cache(c);
  EXPECT_EQ(FirstListRow("CDDB情報 キャッシュ管理", IDC_CACHE_LIST,
                         [&] { cddb_windows::ShowCacheManager(host_.MainWindow(), cache); }),
            (std::vector<std::string>{"7A000002", c.title, c.performer}));
}

INSTANTIATE_TEST_SUITE_P(Unicode, UnicodeWindowsTitlesTest, ::testing::ValuesIn(kScripts),
                         [](const ::testing::TestParamInfo<ScriptCase>& info) { return info.param.name; });

}  // namespace
