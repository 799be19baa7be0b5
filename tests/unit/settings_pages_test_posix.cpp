// The settings pages' decisions without their windows. POSIX only: the
// apply sequences show message boxes, which only the POSIX seam records.
#include "ui/settings_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/cd_device.h"
#include "input/plugin_settings.h"
#include "util/http_client.h"
#include "util/message_box.h"

namespace {

using namespace settings_pages;

TEST(SettingsPages, PriorityMovesOnlyWithinTheList) {
  struct Case {
    int count, selected, direction, neighbour;
  } cases[] = {
      {4, 3, +1, -1}, {4, 3, -1, 2}, {4, 0, -1, -1}, {4, 0, +1, 1}, {4, -1, -1, -1},
      {4, -1, +1, -1}, {4, 4, -1, -1}, {1, 0, +1, -1}, {0, 0, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.neighbour, PriorityNeighbour(c.count, c.selected, c.direction))
        << c.count << " " << c.selected << " " << c.direction;
  }
}

TEST(SettingsPages, PriorityNamesRoundTripAndUnknownTextStoresEmpty) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"CD-TEXT(JP)", "CD-TEXT(日本語)"}, {"CD-TEXT(EN)", "CD-TEXT(英語)"}, {"CDDB", "CDDB"}, {"default", "デフォルト"}};
  for (const auto& n : names) {
    EXPECT_EQ(n.second, PriorityDisplayName(n.first));
    EXPECT_EQ(n.first, PriorityIdentifier(n.second));
  }
  EXPECT_EQ("", PriorityIdentifier("CD-TEXT(JP)"));  // an identifier is no display name
  EXPECT_EQ("", PriorityIdentifier("cddb"));
  EXPECT_EQ("", PriorityIdentifier(""));
  EXPECT_EQ("bogus", PriorityDisplayName("bogus"));
}

TEST(SettingsPages, ListsAscendAndTheBufferListStartsAtOneSecond) {
  const std::vector<Choice> buffers = BufferSizeList(), starts = PreReadSizeList(), speeds = ReadSpeedList();
  ASSERT_EQ(12u, buffers.size());
  EXPECT_EQ(176400u, buffers.front().value);
  ASSERT_EQ(20u, starts.size());
  EXPECT_EQ(2352u, starts.front().value);
  ASSERT_EQ(8u, speeds.size());
  EXPECT_EQ(65535u, speeds.back().value);
  for (const auto* list : {&buffers, &starts, &speeds}) {
    for (std::size_t i = 1; i < list->size(); ++i) EXPECT_LT((*list)[i - 1].value, (*list)[i].value);
  }
}

TEST(SettingsPages, SelectionIsEqualElseNextLargerElseNone) {
  const std::vector<Choice> speeds = ReadSpeedList();
  struct Case {
    std::uint32_t setting;
    int index;
  } cases[] = {{705, 0}, {0, 0}, {706, 1}, {2000, 2}, {8467, 6}, {8468, 7}, {65535, 7}, {65536, -1}, {0xFFFFFFFFu, -1}};
  for (const Case& c : cases) EXPECT_EQ(c.index, ChoiceIndexFor(speeds, c.setting)) << c.setting;
  EXPECT_EQ(-1, ChoiceIndexFor({}, 0));
}

class ReadPageApply : public ::testing::Test {
 protected:
  void SetUp() override { msgbox::RecordedForTesting().clear(); }
  static int IndexOf(const std::vector<Choice>& list, std::uint32_t value) { return ChoiceIndexFor(list, value); }
  PluginSettings s;
};

TEST_F(ReadPageApply, StartAboveBufferIsCutAfterTheMessage) {
  const ReadPageInput input{IndexOf(ReadSpeedList(), 1411), IndexOf(BufferSizeList(), 352800),
                            IndexOf(PreReadSizeList(), 529200), true};
  ApplyReadPage(s, input, nullptr);
  EXPECT_EQ(352800u, s.bufferSize);
  EXPECT_EQ(352800u, s.preReadSize);
  EXPECT_EQ(705600u, s.doubleBufferSize);
  EXPECT_EQ(1411u, s.readSpeed);
  EXPECT_TRUE(s.jitterCorrection);
  ASSERT_EQ(1u, msgbox::RecordedForTesting().size());
  const msgbox::Shown& box = msgbox::RecordedForTesting()[0];
  EXPECT_EQ("\"再生開始サイズ\"は\"バッファサイズ\"以下である必要があります。", box.text);
  EXPECT_EQ("in_quorvo.dll", box.caption);
  EXPECT_EQ(msgbox::kIconError, box.type & 0xF0u);
}

TEST_F(ReadPageApply, EqualSizesAreQuiet) {
  ApplyReadPage(s, {0, IndexOf(BufferSizeList(), 176400), IndexOf(PreReadSizeList(), 176400), false}, nullptr);
  EXPECT_EQ(176400u, s.bufferSize);
  EXPECT_EQ(176400u, s.preReadSize);
  EXPECT_TRUE(msgbox::RecordedForTesting().empty());
}

TEST_F(ReadPageApply, AListWithoutSelectionKeepsItsSetting) {
  s.readSpeed = 99999;  // above every table value: shown with nothing selected
  s.bufferSize = 5000000;
  s.preReadSize = 4000000;
  s.doubleBufferSize = 10000000;
  ApplyReadPage(s, {-1, -1, -1, false}, nullptr);
  EXPECT_EQ(99999u, s.readSpeed);
  EXPECT_EQ(5000000u, s.bufferSize);
  EXPECT_EQ(4000000u, s.preReadSize);
  EXPECT_EQ(10000000u, s.doubleBufferSize);
  EXPECT_TRUE(msgbox::RecordedForTesting().empty());

  // A kept buffer size still bounds a chosen start size.
  ApplyReadPage(s, {-1, -1, IndexOf(PreReadSizeList(), 3528000), false}, nullptr);
  EXPECT_EQ(3528000u, s.preReadSize);
  s.bufferSize = 176400;
  ApplyReadPage(s, {-1, -1, IndexOf(PreReadSizeList(), 3528000), false}, nullptr);
  EXPECT_EQ(176400u, s.preReadSize);
  EXPECT_EQ(1u, msgbox::RecordedForTesting().size());
}

// Records what the page hands the client; proxies are judged by the HTTP client.
struct RecordingClient : CddbClientSettings {
  std::vector<std::string> calls;
  HttpClient http;
  void SetServerUrl(const std::string& url) override { calls.push_back("url " + url); }
  void SetUseUtf8(bool flag) override { calls.push_back(std::string("utf8 ") + (flag ? "1" : "0")); }
  int SetProxy(const std::string& text) override {
    calls.push_back("proxy " + text);
    return http.SetProxy(text.c_str());
  }
  void SetUseProxy(bool flag) override { calls.push_back(std::string("useproxy ") + (flag ? "1" : "0")); }
  void SetAutoClose(bool flag) override { calls.push_back(std::string("autoclose ") + (flag ? "1" : "0")); }
  void SetEmail(const std::string& address) override { calls.push_back("email " + address); }
};

class CddbPageApply : public ::testing::Test {
 protected:
  void SetUp() override {
    msgbox::RecordedForTesting().clear();
    s.cddbUrl = "http://a.example/~cddb/cddb.cgi";
    s.urlHistory = {s.cddbUrl};
    s.cddbProxy = "old:8080";
    s.proxyHistory = {"old:8080"};
    s.cddbUseProxy = true;
  }
  PluginSettings s;
  RecordingClient client;
};

TEST_F(CddbPageApply, ProxyFormsAcceptedOrRefused) {
  struct Case {
    const char* proxy;
    bool accepted;
  } cases[] = {{"proxy.example:3128", true}, {"127.0.0.1:8", true}, {"proxy.example", false},
               {"proxy.example:", false},    {":3128", false},      {"http://p:80", false},
               {"p:80x", false},             {"a:b:80", false}};
  for (const Case& c : cases) {
    SetUp();
    client.calls.clear();
    ApplyCddbPage(s, {s.cddbUrl, c.proxy, false, true, true, ""}, client, nullptr);
    EXPECT_EQ(c.accepted, s.cddbUseProxy) << c.proxy;
    EXPECT_EQ(c.accepted ? std::string(c.proxy) : std::string("old:8080"), s.cddbProxy) << c.proxy;
    EXPECT_EQ(c.accepted ? 0u : 1u, msgbox::RecordedForTesting().size()) << c.proxy;
    EXPECT_EQ(client.calls[client.calls.size() - 2], std::string("useproxy ") + (c.accepted ? "1" : "0"));
  }
  SetUp();
  ApplyCddbPage(s, {s.cddbUrl, "proxy.example", false, true, true, ""}, client, nullptr);
  ASSERT_EQ(1u, msgbox::RecordedForTesting().size());
  EXPECT_EQ("プロキシサーバアドレスの書式が不正です。\nプロキシサーバの設定を無効にします。", msgbox::RecordedForTesting()[0].text);
  EXPECT_EQ("in_quorvo.dll", msgbox::RecordedForTesting()[0].caption);
}

TEST_F(CddbPageApply, SequenceAndHistories) {
  ApplyCddbPage(s, {"http://b.example/~cddb/cddb.cgi", "", true, true, false, ""}, client, nullptr);
  const std::vector<std::string> expected = {"url http://b.example/~cddb/cddb.cgi", "autoclose 0", "utf8 1",
                                             "useproxy 0", "email "};
  EXPECT_EQ(expected, client.calls);  // an empty proxy is not handed on
  EXPECT_EQ("old:8080", s.cddbProxy);
  EXPECT_FALSE(s.cddbUseProxy);
  EXPECT_TRUE(s.cddbUseUtf8);
  EXPECT_FALSE(s.cddbDialogAutoClose);
  EXPECT_EQ((std::set<std::string>{"http://a.example/~cddb/cddb.cgi", "http://b.example/~cddb/cddb.cgi"}),
            s.urlHistory);
  EXPECT_EQ(std::set<std::string>{"old:8080"}, s.proxyHistory);

  // The same URL again: no new server URL, no new history entry; an empty URL is kept as an entry.
  client.calls.clear();
  ApplyCddbPage(s, {"http://b.example/~cddb/cddb.cgi", "new:1", false, false, true, ""}, client, nullptr);
  EXPECT_EQ((std::vector<std::string>{"autoclose 1", "proxy new:1", "utf8 0", "useproxy 0", "email "}), client.calls);
  EXPECT_EQ(2u, s.urlHistory.size());
  EXPECT_EQ((std::set<std::string>{"new:1", "old:8080"}), s.proxyHistory);
  ApplyCddbPage(s, {"", "new:1", false, true, true, ""}, client, nullptr);
  EXPECT_EQ(1u, s.urlHistory.count(""));
  EXPECT_TRUE(s.cddbUseProxy);
}

TEST_F(CddbPageApply, EmailIsCheckedAndABadOneKeepsTheOldValue) {
  const std::vector<std::pair<const char*, const char*>> cases = {  // typed, stored (nullptr: refused)
      {"taro@example.jp", "taro@example.jp"}, {"  a.b_c-d@mail.example.com\t", "a.b_c-d@mail.example.com"},
      {"", ""}, {"taro", nullptr}, {"taro@", nullptr}, {"@example.jp", nullptr}, {"a@b@example.jp", nullptr},
      {"ta ro@example.jp", nullptr}, {"taro+x@example.jp", nullptr}, {"太郎@example.jp", nullptr}};
  for (const auto& c : cases) {
    SetUp();
    s.cddbEmail = "old@example.jp";
    client.calls.clear();
    ApplyCddbPage(s, {s.cddbUrl, s.cddbProxy, false, true, true, c.first}, client, nullptr);
    const std::string stored = c.second ? c.second : "old@example.jp";
    EXPECT_EQ(stored, s.cddbEmail) << c.first;
    EXPECT_EQ("email " + stored, client.calls.back()) << c.first;
    EXPECT_EQ(c.second ? 0u : 1u, msgbox::RecordedForTesting().size()) << c.first;
  }
  EXPECT_EQ(kEmailRefusedMessage, msgbox::RecordedForTesting()[0].text);
  // An address stored before the rule grew stricter is not held against an
  // apply that left it alone.
  SetUp();
  s.cddbEmail = "me@localhost";
  ApplyCddbPage(s, {s.cddbUrl, s.cddbProxy, false, true, true, "me@localhost"}, client, nullptr);
  EXPECT_EQ("me@localhost", s.cddbEmail);
  EXPECT_TRUE(msgbox::RecordedForTesting().empty());
}

// Typed numbers (full-width too) out of range are cut after a message, no numbers kept after one; the
// default log folder (shown in full) stores "" to keep following it; a name the code page lacks is refused.
// The offset counts as set once typed (not merely shown) or found; the server is an http:// address or the default.
TEST(SettingsPages, RipPageCutsOrKeepsWhatWasTyped) {
  struct Case {
    const char *offset, *retries, *folder, *storedFolder;
    int storedOffset, storedRetries;
    std::vector<std::string> boxes;
    const char *server, *storedServer;
    bool detected, offsetSet;
  } cases[] = {
      {" ＋６６７　", "２", "  D:\\ログ\t", "D:\\ログ", 667, 2, {}, " http://127.0.0.1:81/delay/9/ ",
       "http://127.0.0.1:81/delay/9", false, true},
      {"−５８８１", "65", "C:\\rip logs", "", -5880, 64, {kReadOffsetRangeMessage, kRetriesRangeMessage}, "",
       kDefaultAccurateRipServer, false, true},
      {"99999999999999999999", "1", "", "", 5880, 2,
       {kReadOffsetRangeMessage, kRetriesRangeMessage, kAccurateRipServerMessage}, "https://a.example", "http://old",
       false, true},
      {"6.5", "-", "D:\\\xF0\x9F\x98\x80", "E:\\old", 6, 10,
       {kReadOffsetNumberMessage, kRetriesNumberMessage, kLogFolderCharsMessage, kAccurateRipServerMessage},
       "http://サーバー", "http://old", false, false},
      {"6", "10", "", "", 6, 10, {kAccurateRipServerMessage}, "http:///", "http://old", false, false},
      {"6", "10", "", "", 6, 10, {}, "http://old", "http://old", true, true},
  };
  for (const Case& c : cases) {
    msgbox::RecordedForTesting().clear();
    PluginSettings s;
    s.ripReadOffset = 6;
    s.ripRetries = 10;
    s.ripLogFolder = "E:\\old";
    s.accurateRipServer = "http://old";
    ApplyRipPage(s, {c.offset, true, c.retries, c.folder, "C:\\rip logs", "6", c.detected, false, c.server},
                 nullptr);
    EXPECT_EQ(c.storedOffset, s.ripReadOffset) << c.offset;
    EXPECT_EQ(c.offsetSet, s.ripReadOffsetSet) << c.offset;
    EXPECT_EQ(c.storedRetries, s.ripRetries) << c.retries;
    EXPECT_EQ(c.storedFolder, s.ripLogFolder) << c.folder;
    EXPECT_EQ(c.storedServer, s.accurateRipServer) << c.server;
    EXPECT_FALSE(s.accurateRipUse);
    std::vector<std::string> boxes;
    for (const msgbox::Shown& box : msgbox::RecordedForTesting()) boxes.push_back(box.text);
    EXPECT_EQ(c.boxes, boxes) << c.offset;
  }
}

TEST(SettingsPages, TransportLabel) {
  EXPECT_EQ("使用ドライバ : SPTI", TransportLabel(kTransportSpti));
  EXPECT_EQ("使用ドライバ : ASPI", TransportLabel(kTransportAspi));
  EXPECT_EQ("使用ドライバ : 不明", TransportLabel(kTransportNone));
  EXPECT_EQ("使用ドライバ : 不明", TransportLabel(kTransportAuto));
}

}  // namespace
