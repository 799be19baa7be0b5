// An edited or damaged winamp.ini for both plug-ins through the real DLLs:
// huge, negative and zero numbers, 1023-character texts, unknown title
// sources, garbage booleans and device maps. Each must load, name and play
// a track, show its settings and write back values it can use again.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host_api/host_messages.h"
#include "tests/host/recording_output.h"
#include "tests/host/test_host.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/ini_file.h"
#include "tests/integration/shutdown_support.h"
#include "tests/integration/virtual_aspi.h"
#include "tests/integration/window_text.h"
#include "tools/vdrive/disc_image.h"

namespace {

using shutdown_support::Watchdog;

constexpr int kTrackFrames = 150;
const char kSection[] = "QZ_CDDAPLAYER";
const char kSheetCaption[] = "設定  -  音楽CD再生プラグイン [in_quorvo.dll]";
const char kBoxCaption[] = "in_quorvo.dll";
const int kSheetPages = 7;

std::string Dir() { return TestHost::ProgramDirectory(); }
std::string IniPath() { return Dir() + "\\winamp.ini"; }
std::string Repeat(const std::string& piece, std::size_t length) {
  std::string out;
  while (out.size() < length) out += piece;
  out.resize(length);
  return out;
}

const std::string kLongUrl = "http://" + std::string(1023 - 7 - 15, 'u') + "/~cddb/cddb.cgi";
const std::string kLongProxy = std::string(1018, 'p') + ":8080";
// As long as an address can be: a mailbox of 64, a domain of 253.
const std::string kLongEmail = std::string(64, 'e') + "@" + std::string(250, 'x') + ".jp";
const std::string kLongPattern = "%7:\\Track%6" + std::string(1012, 'x');
// Every %1 becomes the track's title: the expansion runs far beyond any
// buffer the host hands over.
const std::string kExplodingFormat = Repeat("%1", 1023);

// The keys that hold booleans, and the range of every number.
const char* const kBooleans[] = {"ExtendedFileInfoDefault", "CDDB_Cache", "CDDB_UseUtf8", "CDDB_UseProxy",
                                 "CDDB_DialogAutoClose", "MultithreadInitialize"};

class HostileIniTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 1;
    options.trackFrames = kTrackFrames;
    options.text = discgen::TextMode::English;
    cue_ = virtual_aspi::MakeDisc(options, "hostile_ini");
  }
  void SetUp() override {
    ASSERT_FALSE(cue_.empty());
    std::string error;
    ASSERT_EQ(0, disc_.LoadCue(Dir() + "\\" + cue_, &error)) << error;
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cue_ + "\r\n"));
    recording_output::Reset();
    recording_output::SetPace(0);
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    if (in_) in_->Quit();
    if (gen_) gen_->quit();
    host_.UnloadInputPlugin();
    host_.UnloadGeneralPlugin();
    DeleteFileA(IniPath().c_str());
  }

  std::vector<std::uint8_t> Track() {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kTrackFrames) * 2352);
    for (int f = 0; f < kTrackFrames; ++f) disc_.ReadRawSector(disc_.tracks()[0].start + f, &out[f * 2352]);
    return out;
  }

  // Opens the settings sheet, shows every page (each fills its controls
  // from the settings) and presses OK; boxes the OK raises are closed and
  // kept. False when no sheet appeared.
  bool ShowSheetAndPressOk(std::vector<std::string>* boxes) {
    std::atomic<bool> done{false};
    std::atomic<bool> found{false};
    std::thread watcher([&] {
      HWND sheet = dialog_helpers::WaitForWindow(kSheetCaption, 20000);
      if (!sheet) return;
      found = true;
      for (int page = 0; page < kSheetPages; ++page) SendMessageA(sheet, PSM_SETCURSEL, page, 0);
      PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
      for (int i = 0; i < 1500 && !done.load(); ++i) {
        if (HWND box = dialog_helpers::FindOwnWindow(kBoxCaption)) {
          if (IsWindowVisible(box)) {
            boxes->push_back(window_text::BoxText(box));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            dialog_helpers::WaitForWindowGone(box, 5000);
          }
        }
        if (i == 1000) PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);  // never leave the sheet up
        Sleep(20);
      }
    });
    in_->Config(host_.MainWindow());
    done = true;
    watcher.join();
    return found.load();
  }

  static std::string cue_;
  vdrive::Disc disc_;
  TestHost host_;
  In_Module* in_ = nullptr;
  winampGeneralPurposePlugin* gen_ = nullptr;
};

std::string HostileIniTest::cue_;

struct IniCase {
  const char* name;
  std::string lines;
  std::vector<std::pair<const char*, std::string>> after{};  // values expected after Quit
  const char* title = nullptr;                              // the track's title, when it matters
};

// One pass per damaged file: Init, a title, a whole track bit for bit (a
// buffer that never refills would play silence), the sheet with every page
// and OK, Quit; then every key written back is one the plug-in can use.
TEST_F(HostileIniTest, TheInputPluginPlaysShowsItsSheetAndWritesBackSaneValues) {
  const IniCase cases[] = {
      {"huge numbers",
       "BufferSize=4294967295\r\nPreReadSize=99999999999\r\nReadSpeed=2147483647\r\n"
       "CDDB_URLHistory=2147483647\r\nCDDB_ProxyHistory=-7\r\n"},
      {"negative numbers", "BufferSize=-1\r\nPreReadSize=-176400\r\nReadSpeed=-2\r\n",
       {{"BufferSize", "882000"}, {"PreReadSize", "176400"}, {"ReadSpeed", "65535"}}},
      {"zero", "BufferSize=0\r\nPreReadSize=0\r\nReadSpeed=0\r\n",
       {{"BufferSize", "882000"}, {"ReadSpeed", "65535"}}},
      {"tiny", "BufferSize=1\r\nPreReadSize=1\r\nReadSpeed=1\r\n"},
      {"no digits", "BufferSize=abc\r\nPreReadSize=\r\nReadSpeed=0x10\r\n"},
      {"long texts",
       "CDDB_URL=" + kLongUrl + "\r\nCDDB_Proxy=" + kLongProxy + "\r\nCDDB_UseProxy=true\r\nCDDB_Email=" + kLongEmail +
           "\r\nDefaultTitleFormat=" + kLongPattern + "\r\nCDTEXT_TitleFormat=" + kExplodingFormat +
           "\r\nCDDB_TitleFormat=" + kExplodingFormat + "\r\nExtendedFileInfoDefaultTitle=" + kLongPattern +
           "\r\nCDDB_URLHistory=1\r\nCDDB_URLHistory0=" + kLongUrl + "\r\nCDDB_ProxyHistory=1\r\nCDDB_ProxyHistory0=" +
           std::string(1500, 'q') + "\r\n",
       {{"CDDB_URL", kLongUrl},
        {"CDDB_Proxy", kLongProxy},
        {"CDDB_Email", kLongEmail},
        {"DefaultTitleFormat", kLongPattern},
        {"CDTEXT_TitleFormat", kExplodingFormat},
        {"ExtendedFileInfoDefaultTitle", kLongPattern},
        {"CDDB_ProxyHistory1", std::string(1023, 'q')}}},
      {"unknown sources and garbage booleans",
       "TitlePriority0=bogus\r\nTitlePriority1=" + std::string(1023, 'P') +
           "\r\nTitlePriority2=CD-TEXT(EN)\r\nTitlePriority3=CD-TEXT(EN)\r\n"
           "CDDB_Cache=yes\r\nCDDB_UseUtf8=1\r\nCDDB_UseProxy=\x82\x73\x82\x71\x82\x74\x82\x64\r\n"
           "CDDB_DialogAutoClose=\r\nMultithreadInitialize=tru\r\nExtendedFileInfoDefault=-1\r\n",
       {{"CDDB_Cache", "false"}, {"CDDB_UseProxy", "false"}, {"MultithreadInitialize", "false"}},
       "Track 01 Title - Performer 1"},
      {"device map", "Aspi=true\r\nAspiDevMap_D=0:0:0\r\nAspiDevMap_E=999:-1:2147483648\r\nAspiDevMap_F=" +
                         std::string(1023, '9') + "\r\nAspiDevMap_G=::\r\n"},
  };
  for (const IniCase& c : cases) {
    SCOPED_TRACE(c.name);
    ini_file::Write(IniPath(), std::string("[") + kSection + "]\r\n" + c.lines);
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    {
      Watchdog dog("Init", 30000);
      in_->Init();
    }

    // The host's title buffer is GETFILEINFO_TITLE_LENGTH bytes: whatever
    // the format, nothing is written past it.
    std::vector<char> title(GETFILEINFO_TITLE_LENGTH + 64, '#');
    char name[] = "cda://D,1";
    int length = -1;
    in_->GetFileInfo(name, title.data(), &length);
    EXPECT_EQ(std::string(64, '#'), std::string(title.data() + GETFILEINFO_TITLE_LENGTH, 64)) << "title overflow";
    const std::size_t titleLength = strnlen(title.data(), GETFILEINFO_TITLE_LENGTH);
    EXPECT_LT(titleLength, static_cast<std::size_t>(GETFILEINFO_TITLE_LENGTH));
    EXPECT_GT(titleLength, 0u);
    EXPECT_EQ(2000, length);
    if (c.title) {
      EXPECT_EQ(c.title, std::string(title.data()));
    }

    recording_output::Reset();
    host_.ClearMessages();
    ASSERT_EQ(0, in_->Play(name));
    EXPECT_TRUE(host_.PumpUntilMessage(host::kMsgEndOfStream, 20000)) << "the track never ended (silence)";
    in_->Stop();
    EXPECT_TRUE(Track() == recording_output::Captured()) << "the track was not played whole";

    std::vector<std::string> boxes;
    EXPECT_TRUE(ShowSheetAndPressOk(&boxes)) << "no settings sheet";
    {
      Watchdog dog("Quit", 30000);
      in_->Quit();
    }
    in_ = nullptr;
    host_.UnloadInputPlugin();

    const std::string text = ini_file::Read(IniPath());
    for (const auto& [key, value] : ini_file::Section(text, kSection))
      EXPECT_LE(value.size(), 1023u) << key;
    const unsigned long buffer = std::strtoul(ini_file::Value(text, kSection, "BufferSize").c_str(), nullptr, 10);
    const unsigned long preRead = std::strtoul(ini_file::Value(text, kSection, "PreReadSize").c_str(), nullptr, 10);
    const unsigned long speed = std::strtoul(ini_file::Value(text, kSection, "ReadSpeed").c_str(), nullptr, 10);
    EXPECT_GE(buffer, 2352u);
    EXPECT_LE(buffer, 60u * 176400);
    EXPECT_LE(preRead, buffer) << "the sheet keeps the start size within the buffer";
    EXPECT_GE(speed, 1u);
    EXPECT_LE(speed, 65535u);
    for (const char* key : kBooleans) {
      const std::string value = ini_file::Value(text, kSection, key);
      EXPECT_TRUE(value == "true" || value == "false") << key << "=" << value;
    }
    const long urls = std::strtol(ini_file::Value(text, kSection, "CDDB_URLHistory").c_str(), nullptr, 10);
    EXPECT_GE(urls, 1);
    EXPECT_LE(urls, 4096);
    for (const auto& [key, value] : c.after) EXPECT_EQ(value, ini_file::Value(text, kSection, key)) << key;
    for (const std::string& box : boxes) ADD_FAILURE() << "unexpected box at OK: " << box;
  }
}

// The companion reads booleans and, with Aspi, the device map: garbage
// gives the defaults' menu and is written back as true or false.
TEST_F(HostileIniTest, TheCompanionBuildsItsMenuAndWritesBackBooleans) {
  ini_file::Write(IniPath(), std::string("[") + kSection +
                                 "]\r\nAllDrives=1\r\nQuickStart=ja\r\nMultithreadInitialize=" + std::string(1023, 't') +
                                 "\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\nAspiDevMap_E=999:-1:2147483648\r\n"
                                 "AspiDevMap_F=" + std::string(1023, '9') + "\r\nAspiDevMap_G=::\r\n");
  gen_ = host_.LoadGeneralPlugin();
  ASSERT_NE(nullptr, gen_);
  {
    Watchdog dog("companion init", 30000);
    ASSERT_EQ(0, gen_->init());
  }
  host_.PumpFor(200);
  HMENU sub = GetSubMenu(host_.MainMenu(), 2);
  ASSERT_NE(nullptr, sub);
  int items = 0;
  for (int pos = 0; pos < GetMenuItemCount(sub); ++pos) {
    char text[64] = {};
    GetMenuStringA(sub, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
    if (std::string(text).rfind("Audio CD ", 0) == 0) ++items;
  }
  EXPECT_GE(items, 1);
  EXPECT_LE(items, 4) << "AllDrives=1 is not true: four drives at most";
  {
    Watchdog dog("companion quit", 30000);
    gen_->quit();
  }
  gen_ = nullptr;
  host_.UnloadGeneralPlugin();
  const std::string text = ini_file::Read(IniPath());
  EXPECT_EQ("false", ini_file::Value(text, kSection, "AllDrives"));
  EXPECT_EQ("false", ini_file::Value(text, kSection, "QuickStart"));
  EXPECT_EQ("true", ini_file::Value(text, kSection, "Aspi")) << "a key the companion only reads";
}

}  // namespace
