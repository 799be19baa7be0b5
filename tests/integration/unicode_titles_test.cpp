// The wide metadata export answers every text exactly on any code page; the ANSI ones, on 932, as before.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include "host_api/host_messages.h"
#include "tests/host/test_host.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/virtual_aspi.h"

namespace {

// wide: the compiler's UTF-16; cp932 and title932 (GetFileInfo's title of track 3): Python's
// text.encode("cp932").hex(), null where 932 lacks a character. answers[0] also meets every small buffer.
struct Answer { int track; const char* key; const char16_t* wide; const char* cp932; };
struct Source { const char* name; discgen::TextMode text; const char* settings; const char* title932; Answer answers[4]; };
const Source kSources[] = {
    {"JapaneseCdText", discgen::TextMode::EnglishJapanese, "TitlePriority0=CD-TEXT(JP)\r\n",
     "836783898362834e8252202d20898991748ed28252",
     {{3, "TITLE", u"トラック３", "836783898362834e8252"}, {3, "ARTIST", u"演奏者３", "898991748ed28252"}}},
    {"Latin1CdText", discgen::TextMode::Latin1, "TitlePriority0=CD-TEXT(EN)\r\n", nullptr,
     {{1, "ARTIST", u"Björk", nullptr}, {1, "ALBUM", u"Café", nullptr}}},
    {"Level6Cddb", discgen::TextMode::None,  // the CDDB fixture's disc 1000F002
     "TitlePriority0=CDDB\r\nTitlePriority1=default\r\nCDDB_UseUtf8=true\r\nCDDB_DialogAutoClose=true\r\n", nullptr,
     {{2, "TITLE", u"\U0001D11E Beyoncé", nullptr}, {2, "ARTIST", u"Sigur Rós", nullptr},
      {1, "ARTIST", u"아이유", nullptr}, {1, "ALBUM", u"周杰倫", "8efc9e5e97cf"}}},
};
std::string Hex(const char* b, std::string out = "") {
  for (char d[3]; *b; out += d) std::snprintf(d, 3, "%02x", static_cast<unsigned char>(*b++));
  return out;
}
struct UnicodeTitles : ::testing::TestWithParam<Source> {
  void TearDown() override {
    if (in_) in_->Quit();
    host_.UnloadInputPlugin();
    for (const char* file : {"\\winamp.ini", "\\cddb_cache.dat"}) DeleteFileA((TestHost::ProgramDirectory() + file).c_str());
  }
  TestHost host_;
  In_Module* in_ = nullptr;
};
INSTANTIATE_TEST_SUITE_P(Unicode, UnicodeTitles, ::testing::ValuesIn(kSources),  // "Unicode*" runs in both prefixes
                         [](const ::testing::TestParamInfo<Source>& info) { return std::string(info.param.name); });

TEST_P(UnicodeTitles, WideExactAnsiAsBeforeSmallBuffersSafe) {
  const Source& s = GetParam();
  const bool japanese = GetACP() == 932, cddb = s.text == discgen::TextMode::None;
  const std::string port = cddb_fixture::Env("QUORVO_CDDB_PORT");
  if (cddb && port.empty()) GTEST_SKIP() << "no CDDB fixture server (run through tests/cddb_server/with_servers.sh)";
  discgen::DiscOptions disc;
  disc.text = s.text;
  const std::string cue = cddb ? cddb_fixture::MakeKnownDisc("unicode_1000f002", "03:01:55")
                               : virtual_aspi::MakeDisc(disc, std::string("unicode_") + s.name);
  ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + cue + "\r\n"));
  ASSERT_TRUE(host_.CreateMainWindow());
  ini_file::Write(TestHost::ProgramDirectory() + "\\winamp.ini", "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n"
                  "CDDB_UseProxy=false\r\nCDDB_URL=http://127.0.0.1:" + port + "/~cddb/cddb.cgi\r\n" + s.settings);
  ASSERT_NE(nullptr, in_ = host_.LoadInputPlugin());
  in_->Init();
  const auto ansi = reinterpret_cast<int (*)(const char*, const char*, char*, int)>(
      reinterpret_cast<void*>(GetProcAddress(host_.InputLibrary(), "winampGetExtendedFileInfo")));
  const auto wide = host_.InputExtendedFileInfoW();
  ASSERT_TRUE(ansi && wide);
  char title[GETFILEINFO_TITLE_LENGTH] = "", first[] = "cda://D,1", third[] = "cda://D,3";
  in_->GetFileInfo(cddb ? first : third, title, nullptr);  // starts the lookup; its end is told to the host
  if (cddb) { ASSERT_TRUE(host_.PumpUntilMessage(host::kMsgIpc, 20000)); }
  host_.PumpFor(200);
  if (japanese && s.title932) { EXPECT_EQ(s.title932, Hex(title)); }
  for (const Answer& a : s.answers) {
    if (!a.track) break;
    const std::string uri = "cda://D," + std::to_string(a.track);
    if (japanese && a.cp932) { EXPECT_EQ(a.cp932, ansi(uri.c_str(), a.key, title, sizeof title) == 1 ? Hex(title) : "") << a.key; }
    wchar_t text[256] = L"";  // the file form of the name here, cda:// below
    EXPECT_EQ(1, wide((L"D:\\Track0" + std::to_wstring(a.track) + L".cda").c_str(), a.key, text, 256));
    EXPECT_EQ(std::u16string(a.wide), reinterpret_cast<const char16_t*>(text)) << a.key;
  }
  // Every length: canaries on both sides kept, terminated, the longest prefix that does not split a surrogate pair.
  const std::u16string full = s.answers[0].wide;
  const std::wstring uri = L"cda://D," + std::to_wstring(s.answers[0].track);
  for (size_t length = 0; length <= full.size() + 1; ++length) {
    std::wstring buffer(63, wchar_t{0xCCCC});
    wide(uri.c_str(), s.answers[0].key, &buffer[1], length);
    ASSERT_TRUE(buffer[0] == 0xCCCC && buffer.substr(1 + length) == std::wstring(62 - length, 0xCCCC)) << length;
    if (!length) continue;
    size_t n = std::min(length - 1, full.size());
    if (n && full[n - 1] >= 0xD800 && full[n - 1] <= 0xDBFF) --n;
    EXPECT_EQ(full.substr(0, n), std::u16string(reinterpret_cast<const char16_t*>(buffer.c_str() + 1))) << length;
  }
}

}  // namespace
