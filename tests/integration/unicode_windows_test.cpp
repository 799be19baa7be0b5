// The plug-ins' windows read exactly through the wide functions on any system
// code page: these run in the Japanese (932) and the English (1252) prefix.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "cddb/cache_manager.h"
#include "cddb/cddb_status_ui.h"
#include "cddb/cddb_windows.h"
#include "input/plugin_strings.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/virtual_aspi.h"
#include "tests/integration/window_text.h"
#include "ui/info_box.h"

namespace {

using namespace dialog_helpers;
using Texts = std::vector<std::string>;

// Runs the modal `show` while another thread reads the window titled `caption` and closes it.
template <class Read, class Show>
Texts WhileShown(const char* caption, Read read, Show show) {
  Texts seen;
  std::thread user([&] {
    const HWND box = WaitForWindow(caption, 20000);
    seen = read(box);
    PostMessageW(box, WM_CLOSE, 0, 0);
  });
  show();
  user.join();
  return seen;
}

// The texts of the controls `ids`, of the first row of the list `id`, of the labels on page 2.
Texts Items(HWND box, std::vector<int> ids) {
  Texts texts;
  for (int id : ids) texts.push_back(ItemText(box, id));
  return texts;
}
Texts FirstRow(HWND box, int id) {
  Texts row;
  for (int column = 0; column < 3; ++column) row.push_back(window_text::ListViewText(GetDlgItem(box, id), 0, column));
  return row;
}
Texts Labels(HWND sheet) {
  Texts texts;
  window_driver::SheetSelectPage(sheet, 2);
  const HWND page = window_driver::SheetCurrentPage(sheet);
  for (HWND child = nullptr; (child = FindWindowExW(page, child, nullptr, nullptr)) != nullptr;)
    if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF) texts.push_back(window_driver::Text(child));
  return texts;
}

TEST(UnicodeWindowsTest, ReadErrorBoxAndSettingsPageReadExactlyThroughTheDll) {
  ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cddb_fixture::MakeKnownDisc("uw") + "\r\n"));
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "readerror 40"));
  TestHost host;
  ASSERT_TRUE(host.CreateMainWindow());
  const std::string ini = TestHost::ProgramDirectory() + "\\winamp.ini";
  ini_file::Write(ini, "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n");
  In_Module* in = host.LoadInputPlugin();
  ASSERT_NE(nullptr, in);
  in->Init();
  EXPECT_EQ(WhileShown("設定  -  音楽CD再生プラグイン [in_quorvo.dll]", Labels, [&] { in->Config(host.MainWindow()); }),
            (Texts{"タイトルフォーマット(CD-TEXT使用時)(&T)", "%1 = タイトル", "%2 = アーティスト", "%3 = 作詞者",
                   "%4 = 作曲者", "%5 = 編曲者", "%6 = トラック番号", "%7 = ドライブレター"}));
  EXPECT_EQ(0, in->Play(const_cast<char*>("cda://D,1")));
  HWND box = nullptr;  // the caption spelt in UTF-16 by hand
  EXPECT_TRUE(host.PumpUntil([&] { return (box = FindWindowW(L"#32770", L"\u30A8\u30E9\u30FC - CDirectCDDA")); }));
  EXPECT_EQ("エラー - CDirectCDDA", window_driver::Text(box));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // owned by the host: closes on this thread
  EXPECT_TRUE(host.PumpUntil([box] { return !IsWindow(box); }, 10000));
  in->Stop();
  in->Quit();
  DeleteFileA(ini.c_str());
}

// From the plug-in's own sources and templates, linked into this program.
class UnicodeTitlesTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

struct OneRowCache : cddb_windows::CacheRowSource {
  CacheRow row;
  std::vector<CacheRow> Rows() override { return {row}; }
  void Delete(const std::string&) override {}
};

TEST_P(UnicodeTitlesTest, StatusInfoBoxCandidatesAndCacheManagerShowTheTextsExactly) {
  const std::string title = GetParam().first, performer = GetParam().second;
  SetPluginInstance(GetModuleHandleW(nullptr));
  TestHost host;
  ASSERT_TRUE(host.CreateMainWindow());
  cddb_windows::Install(GetModuleHandleW(nullptr), nullptr);
  CddbStatusUi* ui = InstalledCddbStatusUi();
  ASSERT_TRUE(ui && ui->Open(0x0D012C02u));
  EXPECT_EQ(Items(FindOwnWindow("CDDBステータス"), {IDC_STATUS_DISC_ID, IDC_STATUS_MESSAGE, IDC_STATUS_CLOSE}),
            (Texts{"0D012C02", "接続中...", "閉じる(&C)"}));
  ui->Close();
  ui::InfoBoxRequest request;
  request.instance = GetModuleHandleW(nullptr);
  request.file = "cda://D,1";
  request.sources = {{"CDDB", "CDDB"}};
  request.resolve = [&](const std::string&, const char*, TrackDescription& record) {
    record.text = performer + " - " + title;
    record.track.title = title;
    record.track.performer = performer;
  };
  EXPECT_EQ(WhileShown("CD-TEXT/CDDB情報",
                       [](HWND box) { return Items(box, {IDC_INFO_TITLE, IDC_INFO_SOURCE_TITLE, IDC_INFO_PERFORMER}); },
                       [&] { ui::ShowInfoBox(request, host.MainWindow()); }),
            (Texts{performer + " - " + title, title, performer}));
  EXPECT_EQ(WhileShown("複数の候補があります", [](HWND box) { return FirstRow(box, IDC_CANDIDATE_LIST); },
                       [&] { ui->ChooseCandidate({{"misc", title, performer}, {"rock", "Second", "B"}}); }),
            (Texts{"misc", title, performer}));
  OneRowCache cache;
  cache.row = {0x7A000002u, "7A000002+2+150+700+90", title, performer};
  EXPECT_EQ(WhileShown("CDDB情報 キャッシュ管理", [](HWND box) { return FirstRow(box, IDC_CACHE_LIST); },
                       [&] { cddb_windows::ShowCacheManager(host.MainWindow(), cache); }),
            (Texts{"7A000002", title, performer}));
  cddb_windows::Uninstall();
}

INSTANTIATE_TEST_SUITE_P(Unicode, UnicodeTitlesTest,
                         ::testing::Values(std::make_pair("Crazy in Love", "Beyoncé"),
                                           std::make_pair("좋은 날", "아이유"), std::make_pair("晴天", "周杰倫")));

}  // namespace
