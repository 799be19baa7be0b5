// Titles reach the host exactly whatever the system's code page: the wide
// extended-information export answers every text, and the ANSI exports
// answer in the system's code page (a Japanese system byte for byte as
// before). Runs in the Japanese (932) and in the English (1252) prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "host_api/host_messages.h"
#include "tests/host/test_host.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/virtual_aspi.h"
#include "util/codepage.h"

namespace {

using ExtendedInfo = int (*)(const char*, const char*, char*, int);
using ExtendedInfoW = int (*)(const wchar_t*, const char*, wchar_t*, size_t);

// One answer: the exact UTF-16 (the compiler's encoding, not ours) and the
// ANSI bytes Python's codecs give for code pages 932 and 1252 (null where
// the code page lacks a character). A null key is GetFileInfo's title.
struct Answer {
  int track;
  const char* key;
  const char16_t* wide;
  const char* ansi932;
  const char* ansi1252;
};

struct Source {
  const char* name;
  discgen::TextMode text;  // None: the CDDB fixture's disc 1000F002
  const char* settings;
  Answer answers[5];
};

const Source kSources[] = {
    {"JapaneseCdText", discgen::TextMode::EnglishJapanese, "TitlePriority0=CD-TEXT(JP)\r\n",
     {{3, "TITLE", u"トラック３", "836783898362834e8252", nullptr},
      {3, "ARTIST", u"演奏者３", "898991748ed28252", nullptr},
      {3, "ALBUM", u"仮想テストディスク", "89bc917a836583588367836683428358834e", nullptr},
      {3, nullptr, nullptr, "836783898362834e8252202d20898991748ed28252", nullptr}}},
    {"Latin1CdText", discgen::TextMode::Latin1, "TitlePriority0=CD-TEXT(EN)\r\n",
     {{1, "TITLE", u"Café 01", nullptr, "436166e9203031"},
      {1, "ARTIST", u"Björk", nullptr, "426af6726b"},
      {1, "ALBUM", u"Café", nullptr, "436166e9"},
      {1, nullptr, nullptr, nullptr, "436166e9203031202d20426af6726b"}}},
    {"Level6Cddb", discgen::TextMode::None,
     "TitlePriority0=CDDB\r\nTitlePriority1=default\r\nCDDB_UseUtf8=true\r\nCDDB_DialogAutoClose=true\r\n"
     "CDDB_UseProxy=false\r\n",
     {{1, "TITLE", u"Beyoncé", nullptr, "4265796f6e63e9"},
      {1, "ARTIST", u"아이유", nullptr, nullptr},
      {1, "ALBUM", u"周杰倫", "8efc9e5e97cf", nullptr},
      {2, "TITLE", u"\U0001D11E Beyoncé", nullptr, nullptr},
      {2, "ARTIST", u"Sigur Rós", nullptr, "53696775722052f373"}}},
};

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

std::wstring Name(int track) { return L"cda://D," + std::to_wstring(track); }

class UnicodeTitles : public ::testing::TestWithParam<Source> {
 protected:
  void SetUp() override {
    const Source& s = GetParam();
    std::string cue, more;
    if (s.text == discgen::TextMode::None) {
      const char* port = std::getenv("QUORVO_CDDB_PORT");
      if (!port || !*port) GTEST_SKIP() << "no CDDB fixture server (run through tests/cddb_server/with_servers.sh)";
      cue = cddb_fixture::MakeKnownDisc("unicode_1000f002", "03:01:55");
      more = std::string("CDDB_URL=http://127.0.0.1:") + port + "/~cddb/cddb.cgi\r\n";
    } else {
      discgen::DiscOptions options;
      options.audioTracks = 3;
      options.trackFrames = 150;
      options.text = s.text;
      cue = virtual_aspi::MakeDisc(options, std::string("unicode_") + s.name);
    }
    ASSERT_FALSE(cue.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cue + "\r\n"));
    DeleteFileA(CachePath().c_str());
    ASSERT_TRUE(host_.CreateMainWindow());
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n" + std::string(s.settings) + more);
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
    ansi_ = reinterpret_cast<ExtendedInfo>(
        reinterpret_cast<void*>(GetProcAddress(host_.InputLibrary(), "winampGetExtendedFileInfo")));
    wide_ = reinterpret_cast<ExtendedInfoW>(
        reinterpret_cast<void*>(GetProcAddress(host_.InputLibrary(), "winampGetExtendedFileInfoW")));
    ASSERT_NE(nullptr, ansi_);
    ASSERT_NE(nullptr, wide_);
    if (s.text == discgen::TextMode::None) {
      // The first question starts the lookup in the background; its end is
      // told to the host.
      AnsiTitle("cda://D,1");
      ASSERT_TRUE(host_.PumpUntilMessage(host::kMsgIpc, 20000));
      host_.PumpFor(200);
    }
  }
  void TearDown() override {
    if (in_) in_->Quit();
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
    DeleteFileA(CachePath().c_str());
  }

  static std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }
  static std::string CachePath() { return TestHost::ProgramDirectory() + "\\cddb_cache.dat"; }

  std::string AnsiTitle(const std::string& name) {
    char title[GETFILEINFO_TITLE_LENGTH];
    std::string copy = name;
    in_->GetFileInfo(&copy[0], title, nullptr);
    return title;
  }
  std::u16string Wide(const std::wstring& name, const char* key, int* result = nullptr) {
    wchar_t buffer[256];
    const int r = wide_(name.c_str(), key, buffer, 256);
    if (result) *result = r;
    return std::u16string(reinterpret_cast<const char16_t*>(buffer));
  }

  TestHost host_;
  In_Module* in_ = nullptr;
  ExtendedInfo ansi_ = nullptr;
  ExtendedInfoW wide_ = nullptr;
};

// Named so that the whole name begins with "Unicode", as the English prefix's run selects.
INSTANTIATE_TEST_SUITE_P(Unicode, UnicodeTitles, ::testing::ValuesIn(kSources),
                         [](const ::testing::TestParamInfo<Source>& info) { return std::string(info.param.name); });

TEST_P(UnicodeTitles, WideAnswersExactlyAndAnsiInTheSystemsCodePage) {
  const unsigned acp = GetACP();
  ASSERT_TRUE(acp == 932 || acp == 1252) << acp;
  for (const Answer& a : GetParam().answers) {
    if (!a.track) break;
    SCOPED_TRACE(std::string(a.key ? a.key : "GetFileInfo") + " of track " + std::to_string(a.track));
    const char* ansiHex = acp == 932 ? a.ansi932 : a.ansi1252;
    if (!a.key) {
      if (ansiHex) {
        EXPECT_EQ(ansiHex, Hex(AnsiTitle("cda://D," + std::to_string(a.track))));
      }
      continue;
    }
    int result = 0;
    EXPECT_EQ(a.wide, Wide(Name(a.track), a.key, &result));
    EXPECT_EQ(1, result);
    // The file form of the same name, and the key in any case.
    const std::wstring file = L"D:\\Track0" + std::to_wstring(a.track) + L".cda";
    EXPECT_EQ(a.wide, Wide(file, a.key));
    if (ansiHex) {
      char buffer[256] = "";
      EXPECT_EQ(1, ansi_(("cda://D," + std::to_string(a.track)).c_str(), a.key, buffer, sizeof buffer));
      EXPECT_EQ(ansiHex, Hex(buffer));
    }
  }
  // A name that is not ours answers as the ANSI export does for it.
  char ansiBuffer[16] = "x";
  wchar_t wideBuffer[16] = L"x";
  const int ansiResult = ansi_("C:\\music\\song.mp3", "TITLE", ansiBuffer, 16);
  EXPECT_EQ(ansiResult, wide_(L"C:\\music\\\u66f2.mp3", "TITLE", wideBuffer, 16));
  EXPECT_EQ(Hex(ansiBuffer), Hex(codepage::Utf16ToUtf8(reinterpret_cast<const char16_t*>(wideBuffer))));
}

// Every buffer length up to the whole answer: nothing written past it, always
// terminated, a prefix of the answer that never ends on half a surrogate pair.
TEST_P(UnicodeTitles, SmallBuffersNeverOverflow) {
  const Answer& a = GetParam().text == discgen::TextMode::None ? GetParam().answers[3] : GetParam().answers[0];
  const std::u16string full = a.wide;
  constexpr wchar_t kCanary = 0xCCCC;
  for (size_t length = 0; length <= full.size() + 2; ++length) {
    SCOPED_TRACE(length);
    wchar_t buffer[64];
    for (wchar_t& c : buffer) c = kCanary;
    wide_(Name(a.track).c_str(), a.key, buffer + 1, length);
    EXPECT_EQ(kCanary, buffer[0]);
    for (size_t i = length + 1; i < 64; ++i) ASSERT_EQ(kCanary, buffer[i]) << i;
    if (length == 0) continue;
    const std::u16string got(reinterpret_cast<const char16_t*>(buffer + 1));
    ASSERT_LT(got.size(), length);
    EXPECT_EQ(full.substr(0, got.size()), got);
    EXPECT_GE(got.size() + 1, std::min(length - 1, full.size())) << "cut more than half a surrogate pair";
    EXPECT_FALSE(!got.empty() && got.back() >= 0xD800 && got.back() <= 0xDBFF);
  }
  EXPECT_EQ(1, wide_(Name(a.track).c_str(), a.key, nullptr, 10));
}

}  // namespace
