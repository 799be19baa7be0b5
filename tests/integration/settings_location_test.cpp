// Where both plug-ins keep their settings and the CDDB cache, through the
// real DLLs: the host names a settings folder apart from its program folder
// (an ASCII one, one whose name the ANSI code page cannot hold, a host with
// only the narrow answers); what they write goes there and nothing into the
// program folder; settings and cache of an older version move over once and
// stay untouched; a save that fails is told once at the next start.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/host/test_host.h"
#include "tests/host/window_driver.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/ini_file.h"
#include "tests/integration/virtual_aspi.h"

namespace {

namespace fs = std::filesystem;
using namespace cddb_fixture;

const char kSection[] = "QZ_CDDAPLAYER";
const char kInputCaption[] = "エラー - CDirectCDDA";
const char kCompanionCaption[] = "エラー  - gen_quorvo.dll";
const char kCompanionSheet[] = "設定  -  音楽CD再生プラグイン - 補助プラグイン [gen_quorvo.dll]";

fs::path Program() { return fs::path(TestHost::ProgramDirectory()); }
// A file in the folder's short form: ini_file takes narrow names.
std::string In(const fs::path& folder, const char* name) {
  wchar_t shortName[MAX_PATH] = {};
  GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
  return fs::path(shortName).string() + "\\" + name;
}

// The program folder but the settings folder: name → time of the last write.
std::map<fs::path, fs::file_time_type> Listing(const fs::path& except) {
  std::map<fs::path, fs::file_time_type> entries;
  for (const auto& entry : fs::directory_iterator(Program()))
    if (entry.path() != except) entries[entry.path()] = entry.last_write_time();
  return entries;
}

bool NoticeKept(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\in_quorvo", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  const bool kept = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return kept;
}

DWORD WINAPI UntickQuickStart(void*) {
  HWND sheet = window_driver::WaitForWindow(kCompanionSheet, "#32770", 20000);
  if (HWND box = sheet ? window_driver::WaitForControl(sheet, 1013, 5000) : nullptr) {
    SendMessageA(box, BM_CLICK, 0, 0);
    PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  return 0;
}

struct Place {
  const wchar_t* folder;
  TestHost::SettingsAnswer answer;
};

class SettingsLocationTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    port_ = Env("QUORVO_CDDB_PORT");
    if (port_.empty()) GTEST_SKIP() << "no CDDB fixture server (run through tests/cddb_server/with_servers.sh)";
    const std::string cue = MakeKnownDisc("cddb_0d012c02");
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + cue + "\r\n"));
    RemoveOldFiles();
    folder_ = Program() / GetParam().folder;
    fs::remove_all(folder_);
    fs::create_directory(folder_);
    TestHost::SetSettingsAnswer(GetParam().answer, folder_.wstring());
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    Quit();
    RemoveOldFiles();
    fs::remove_all(folder_);
  }
  static void RemoveOldFiles() {
    fs::remove(Program() / "winamp.ini");
    fs::remove(Program() / "cddb_cache.dat");
  }
  std::string Settings() const {
    return "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\nTitlePriority0=CDDB\r\nTitlePriority1=default\r\n"
           "CDDB_URL=http://127.0.0.1:" + port_ + "/~cddb/cddb.cgi\r\nCDDB_UseProxy=false\r\n";
  }

  void Start() {
    in_ = host_.LoadInputPlugin();
    gen_ = host_.LoadGeneralPlugin();
    ASSERT_TRUE(in_ && gen_);
    in_->Init();
    gen_->init();
  }
  void Quit() {
    if (gen_) gen_->quit();
    if (in_) in_->Quit();
    gen_ = nullptr;
    in_ = nullptr;
    host_.UnloadGeneralPlugin();
    host_.UnloadInputPlugin();
  }
  std::string Title(const char* name) {
    char title[GETFILEINFO_TITLE_LENGTH] = "";
    std::string copy = name;
    in_->GetFileInfo(&copy[0], title, nullptr);
    return title;
  }
  std::string NewIniValue(const char* key) {
    return ini_file::Value(ini_file::Read(In(folder_, "winamp.ini")), kSection, key);
  }

  std::string port_;
  fs::path folder_;
  TestHost host_;
  In_Module* in_ = nullptr;
  winampGeneralPurposePlugin* gen_ = nullptr;
};

// A setting changed and a disc found are both there after a restart, and
// only the settings folder was written.
TEST_P(SettingsLocationTest, SettingAndDiscSurviveARestartInTheHostsFolder) {
  ini_file::Write(In(folder_, "winamp.ini"), Settings());
  const auto before = Listing(folder_);
  ServerGet(port_, "/__reset");
  Start();
  Title("cda://D,1");  // starts the lookup
  ASSERT_TRUE(host_.PumpUntil([&] { return Title("cda://D,1") == "First Song - Artist"; }, 20000));
  HANDLE visitor = CreateThread(nullptr, 0, UntickQuickStart, nullptr, 0, nullptr);
  gen_->config();
  WaitForSingleObject(visitor, 30000);
  CloseHandle(visitor);
  Quit();
  EXPECT_EQ("false", NewIniValue("QuickStart"));
  EXPECT_EQ("0.26", NewIniValue("Version"));

  // Read back: the title without the server, the setting as quit writes it.
  ServerGet(port_, "/__reset");
  Start();
  EXPECT_EQ("First Song - Artist", Title("cda://D,1"));
  host_.PumpFor(300);
  EXPECT_EQ(0, LineCount(ServerGet(port_, "/__log")));
  Quit();
  EXPECT_EQ("false", NewIniValue("QuickStart"));
  EXPECT_NE(std::string::npos, ini_file::Read(In(folder_, "cddb_cache.dat")).find("Title1=First Song"));
  EXPECT_TRUE(before == Listing(folder_)) << "the program folder was written";
}

// The old winamp.ini beside the program and the old cache beside the
// plug-in are read once, the host's files get their content, and the old
// files stay as they were.
TEST_P(SettingsLocationTest, OldSettingsAndCacheMoveOverOnceAndStayUntouched) {
  // Texts as a Japanese system stored them (トラック, 日本語) reach the host's files as the same bytes.
  const std::string oldIni = Settings() + "QuickStart=false\r\nCDDB_TitleFormat=%1 / %2\r\n"
                             "DefaultTitleFormat=%7 \x83g\x83\x89\x83\x62\x83N%6\r\n";
  const std::string oldCache =
      "[0D012C02+2+150+18430+302]\r\nDiscID=0D012C02\r\nTrackCount=2\r\nTitle0=Old Album\r\nPerformer0=Old Band\r\n"
      "Title1=Old Song\r\nPerformer1=Old Band\r\nTitle2=\x93\xfa\x96{\x8c\xea\r\nPerformer2=Old Band\r\n";
  ini_file::Write(In(Program(), "winamp.ini"), oldIni);
  ini_file::Write(In(Program(), "cddb_cache.dat"), oldCache);
  ServerGet(port_, "/__reset");
  Start();
  EXPECT_EQ("Old Song / Old Band", Title("cda://D,1"));
  Quit();
  EXPECT_EQ(oldIni, ini_file::Read(In(Program(), "winamp.ini")));
  EXPECT_EQ(oldCache, ini_file::Read(In(Program(), "cddb_cache.dat")));
  EXPECT_EQ(oldCache, ini_file::Read(In(folder_, "cddb_cache.dat")));
  for (const char* key :
       {"Aspi", "AspiDevMap_D", "QuickStart", "CDDB_TitleFormat", "DefaultTitleFormat", "TitlePriority0"}) {
    EXPECT_EQ(ini_file::Value(oldIni, kSection, key), NewIniValue(key)) << key;
  }

  RemoveOldFiles();  // the host's files are enough now
  Start();
  EXPECT_EQ("Old Song / Old Band", Title("cda://D,1"));
  host_.PumpFor(300);
  EXPECT_EQ(0, LineCount(ServerGet(port_, "/__log")));
}

// Folders in place of both files: quit ends without a box, and the next
// start tells each plug-in's failure once, naming the file and the reason.
TEST_P(SettingsLocationTest, AFailedSaveIsToldOnceAtTheNextStart) {
  fs::create_directory(folder_ / "winamp.ini");
  fs::create_directory(folder_ / "cddb_cache.dat");
  Start();
  const DWORD quitStart = GetTickCount();
  Quit();
  EXPECT_LT(GetTickCount() - quitStart, 5000u);
  EXPECT_FALSE(window_driver::FindWindowBy(kInputCaption)) << "a box during quit";

  ModalBoxCloser input(kInputCaption, 20000), companion(kCompanionCaption, 20000);
  Start();
  host_.PumpUntil([&] { return input.Closed() && companion.Closed(); }, 20000);
  input.Join();
  companion.Join();
  ASSERT_TRUE(input.Closed() && companion.Closed());
  for (const std::string& text : {input.Text(), companion.Text()}) {
    EXPECT_NE(std::string::npos, text.find("winamp.ini")) << text;
    EXPECT_NE(std::string::npos, text.find("同じ名前のフォルダーがある")) << text;
  }
  EXPECT_NE(std::string::npos, input.Text().find("CDDB のキャッシュ")) << input.Text();
  EXPECT_NE(std::string::npos, input.Text().find("cddb_cache.dat")) << input.Text();
  EXPECT_FALSE(NoticeKept("SaveFailed"));
  EXPECT_FALSE(NoticeKept("CompanionSaveFailed"));
}

// A host that does not say where its settings are: beside its program, and
// the cache beside the plug-in, as always.
TEST(SettingsLocationOldHost, KeepsBothBesideTheProgram) {
  TestHost host;
  TestHost::SetSettingsAnswer(TestHost::SettingsAnswer::kOldHost, Program() / "unused");
  ASSERT_TRUE(host.CreateMainWindow());
  In_Module* in = host.LoadInputPlugin();
  ASSERT_NE(nullptr, in);
  in->Init();
  in->Quit();
  host.UnloadInputPlugin();
  EXPECT_EQ("0.26", ini_file::Value(ini_file::Read(In(Program(), "winamp.ini")), kSection, "Version"));
  EXPECT_TRUE(fs::exists(Program() / "cddb_cache.dat"));
  fs::remove(Program() / "winamp.ini");
  fs::remove(Program() / "cddb_cache.dat");
}

INSTANTIATE_TEST_SUITE_P(Hosts, SettingsLocationTest,
                         ::testing::Values(Place{L"appdata", TestHost::SettingsAnswer::kCurrent},
                                           Place{L"appdata_\uC124\uC815", TestHost::SettingsAnswer::kCurrent},
                                           Place{L"appdata_narrow", TestHost::SettingsAnswer::kNarrowOnly}));

}  // namespace
