// Lookups end to end over HTTP against the CDDB fixture server (real
// sockets on 127.0.0.1), in both protocol levels, redirected and through
// tinyproxy.
#include <gtest/gtest.h>

#include "cddb/cddb_lookup.h"
#include "cddb/cddb_ui_client.h"
#include "cddb_test_support.h"
#include "tests/unit/test_servers.h"

using cddbtest::MakeToc;

namespace {

// The server's records by query key.
DiscToc RockToc() { return cddbtest::ExampleToc(); }  // 0D012C02, 200 rock
DiscToc JapaneseToc() { return MakeToc({0, 21052 - 150, 41637 - 150, 60300 - 150}, 1102 * 75 - 150); }  // 27044C04
DiscToc SeveralToc() { return MakeToc({0, 15000 - 150, 30000 - 150}, 600 * 75 - 150); }  // 08025603, 210
DiscToc InexactToc() { return MakeToc({182 - 150, 12030 - 150, 24031 - 150, 36033 - 150, 48034 - 150}, 801 * 75 - 150); }
DiscToc UnknownToc() { return MakeToc({0}, 100 * 75 - 150); }
DiscToc EscapesToc() { return MakeToc({0, 20000 - 150, 40000 - 150}, 700 * 75 - 150); }  // 1B02BA03, 200 blues

// One lookup and the texts it should leave for one track.
struct LookupCase {
  const char* name;
  DiscToc toc;
  int proto;
  int result;
  int track;
  std::string title, performer;
  const char* email = "";
};

class CddbServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test_servers::CddbPort() == 0) GTEST_SKIP() << "no CDDB fixture server";
    ASSERT_TRUE(StartSocketLayer());  // the plug-in does this at Init
    started_ = true;
    client_.SetServerUrl(test_servers::CddbUrl("/~cddb/cddb.cgi").c_str());
    client_.SetClientInfo("in_quorvo.dll", "Ver.0.26");
    client_.SetTimeouts(2000, 2000);
  }
  void TearDown() override {
    if (started_) StopSocketLayer();
  }
  TitleInfo Text(int number) {
    TitleInfo t;
    client_.GetTrackText(number, &t);
    return t;
  }
  void Check(const LookupCase& c) {
    client_.SetEmail(c.email);
    client_.SetUseUtf8(c.proto == 6);
    EXPECT_EQ(c.result, client_.RunLookupWithStatus(c.toc, 0, 0)) << c.name;
    EXPECT_EQ(c.title, Text(c.track).title) << c.name;
    EXPECT_EQ(c.performer, Text(c.track).performer) << c.name;
  }
  CddbUiClient client_;
  bool started_ = false;
};

}  // namespace

TEST_F(CddbServerTest, OutcomesEndToEnd) {
  const LookupCase cases[] = {
      {"exact, title with =", RockToc(), 1, kCddbFoundOnServer, 2, "E=mc2 (Live)", "Artist"},
      {"cached", RockToc(), 1, kCddbFoundInCache, 0, "Album", "Artist"},
      {"Japanese in Shift-JIS", JapaneseToc(), 1, kCddbFoundOnServer, 2, "二人の約束", "ゲスト歌手"},
      {"several: the first offered", SeveralToc(), 1, kCddbFoundOnServer, 0, "Evening Suite", "Orchestra"},
      {"inexact only", InexactToc(), 1, kCddbNotRegistered, 0, "", ""},
      {"unknown", UnknownToc(), 1, kCddbNotRegistered, 0, "", ""},
      {"no disc", DiscToc(), 1, kCddbNoDisc, 0, "", ""},
  };
  for (const LookupCase& c : cases) Check(c);
}

TEST_F(CddbServerTest, JapaneseInUtf8ContinuedAndWithEquals) {
  client_.SetUseUtf8(true);
  ASSERT_EQ(kCddbFoundOnServer, client_.RunLookupWithStatus(JapaneseToc(), 0, 0));
  EXPECT_EQ("夏の終わりのアルバム", Text(0).title);
  EXPECT_EQ("山田花子", Text(0).performer);
  EXPECT_EQ("はじまりの歌", Text(1).title);
  EXPECT_EQ("山田花子", Text(1).performer);
  EXPECT_EQ("とても長い題名の曲はここで二行に分かれて続きます", Text(3).title);
  EXPECT_EQ("ソ=ラ (remix)", Text(4).title);
  EXPECT_EQ(4u, client_.CurrentResult().trackCount);
}

TEST_F(CddbServerTest, UnreachableRedirectedAndProxied) {
  CddbUiClient dead;
  dead.SetServerUrl(test_servers::CddbUrl("/fault/silent").c_str());
  dead.SetTimeouts(300, 300);
  EXPECT_EQ(kCddbServerUnreachable, dead.RunLookupWithStatus(RockToc(), 0, 0));
  dead.SetServerUrl("http://127.0.0.1:1/~cddb/cddb.cgi");  // nothing listens
  EXPECT_EQ(kCddbServerUnreachable, dead.RunLookupWithStatus(RockToc(), 0, 0));
  dead.SetServerUrl("http://127.0.0.1:80/~cddb/cddb.cgi?x=[bad]");  // fails the URL pattern
  EXPECT_EQ(kCddbServerUnreachable, dead.RunLookupWithStatus(RockToc(), 0, 0));

  client_.SetServerUrl(test_servers::CddbUrl("/moved/~cddb/cddb.cgi").c_str());
  EXPECT_EQ(kCddbFoundOnServer, client_.RunLookupWithStatus(RockToc(), 0, 0));

  if (test_servers::ProxyPort() == 0) return;
  CddbUiClient proxied;
  proxied.SetServerUrl(test_servers::CddbUrl("/~cddb/cddb.cgi").c_str());
  proxied.SetTimeouts(2000, 2000);
  ASSERT_EQ(1, proxied.SetProxy(("127.0.0.1:" + std::to_string(test_servers::ProxyPort())).c_str()));
  proxied.SetUseProxy(true);
  EXPECT_EQ(kCddbFoundOnServer, proxied.RunLookupWithStatus(JapaneseToc(), 0, 0));
  TitleInfo t;
  proxied.GetTrackText(4, &t);
  EXPECT_EQ("ソ=ラ (remix)", t.title);
}

// The live service's rules: without the user's address every command is
// refused; with it, LF-only replies on kept-alive connections give the titles,
// escapes decoded, in both protocol levels.
TEST_F(CddbServerTest, TheServicesRulesEndToEnd) {
  client_.SetServerUrl(test_servers::CddbUrl("/gnudb/~cddb/cddb.cgi").c_str());
  const char* taro = "taro@example.jp";
  const LookupCase cases[] = {
      {"no address: refused", RockToc(), 1, kCddbServerRefused, 0, "", "", ""},
      {"not an address: refused", RockToc(), 6, kCddbServerRefused, 0, "", "", "nobody"},
      {"a host without a dot: refused by the server", RockToc(), 1, kCddbServerRefused, 0, "", "", "taro@localhost"},
      {"exact", RockToc(), 1, kCddbFoundOnServer, 2, "E=mc2 (Live)", "Artist", taro},
      {"escapes in the disc text", EscapesToc(), 1, kCddbFoundOnServer, 0, "Tabs and Lines", "Back\\slash Band",
       taro},
      {"escapes, UTF-8", EscapesToc(), 6, kCddbFoundOnServer, 2, "C:\\Music\\Blues", "Back\\slash Band", taro},
      {"an escape-like trail byte", EscapesToc(), 1, kCddbFoundOnServer, 3, "ソnata \\n is no escape",
       "Back\\slash Band", taro},
      {"Japanese in UTF-8", JapaneseToc(), 6, kCddbFoundOnServer, 2, "二人の約束", "ゲスト歌手", taro},
      {"several", SeveralToc(), 1, kCddbFoundOnServer, 0, "Evening Suite", "Orchestra", taro},
      {"inexact only", InexactToc(), 1, kCddbNotRegistered, 0, "", "", taro},
      {"unknown", UnknownToc(), 6, kCddbNotRegistered, 0, "", "", taro},
  };
  for (const LookupCase& c : cases) {
    client_.Cache().Clear();
    Check(c);
    if (c.result == kCddbServerRefused) {
      EXPECT_EQ("500 Invalid hello: a valid e-mail address (user and host) is required.", client_.RefusalLine())
          << c.name;
      EXPECT_EQ(0u, client_.Cache().Size()) << c.name;
    }
  }
  // An error page instead of a reply (here the web server's own 403) is a
  // refusal too, shown with its status line.
  client_.Cache().Clear();
  client_.SetServerUrl(test_servers::CddbUrl("/fault/status/403").c_str());
  EXPECT_EQ(kCddbServerRefused, client_.RunLookupWithStatus(RockToc(), 0, 0));
  EXPECT_EQ("HTTP/1.0 403 Fixture", client_.RefusalLine());
}
