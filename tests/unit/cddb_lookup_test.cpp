// Lookups end to end on canned server replies: outcomes, requests, the
// driver's use of the status window, the background thread and its posts.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "cddb/cddb_lookup.h"
#include "cddb_test_support.h"
#include "host_api/host_messages.h"
#include "util/host_window.h"
#include "util/plugin_thread.h"

using cddbtest::CannedClient;
using cddbtest::CannedUiClient;
using cddbtest::ExampleToc;

namespace {

const char kMotd[] = "210 Last modified: 01/01/2020 MOTD follows (until terminating `.')\r\nHello\r\n.\r\n";
const char kQuery200[] = "200 rock 0d012c02 Band / Album\r\n";
const char kQuery210[] =
    "210 Found exact matches, list follows (until terminating `.')\r\n"
    "rock 0d012c02 A / One\r\njazz 0d012c02 B / Two\r\nblues 0D012C03 C / Three\r\n.\r\n";
const char kRead[] =
    "210 rock 0d012c02 CD database entry follows (until terminating `.')\r\n"
    "# xmcd\r\nDISCID=0d012c02\r\nDTITLE=Band / Album\r\nTTITLE0=First\r\nTTITLE1=Guest / Second\r\n.\r\n";

template <class Client>
void Serve(Client& c, const char* query = kQuery200, const char* read = kRead) {
  c.SetServerUrl("http://127.0.0.1:1/~cddb/cddb.cgi");
  c.SetClientInfo("in_quorvo.dll", "Ver.0.26");
  c.replies = {{"motd", kMotd}, {"query", query}, {"read", read}};
}

// Records what the driver asks of the status window.
struct FakeUi : CddbStatusUi {
  bool openable = true;
  int choice = 1;
  std::vector<std::string> calls;
  bool Open(std::uint32_t id) override {
    calls.push_back("open " + std::to_string(id));
    return openable;
  }
  void SetMessage(const std::string& text) override { calls.push_back("message " + text); }
  void EnableClose() override { calls.push_back("enable"); }
  void Wait(std::uint32_t ms) override { calls.push_back("wait " + std::to_string(ms)); }
  void Close() override { calls.push_back("close"); }
  int ChooseCandidate(const std::vector<CddbCandidate>& c) override {
    calls.push_back("choose " + std::to_string(c.size()));
    return choice;
  }
};

struct InstalledUi {
  FakeUi ui;
  InstalledUi() { InstallCddbStatusUi(&ui); }
  ~InstalledUi() { InstallCddbStatusUi(nullptr); }
};

// Holds every request until opened.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  std::atomic<int> waiting{0};
  void Pass() {
    std::unique_lock<std::mutex> lock(m);
    ++waiting;
    cv.wait(lock, [this] { return open; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m);
    open = true;
    cv.notify_all();
  }
  void WaitForArrival() {
    while (waiting.load() == 0) std::this_thread::yield();
  }
};

}  // namespace

TEST(CddbLookup, FoundThenCachedWithExactRequests) {
  CannedClient c;
  Serve(c);
  ASSERT_EQ(kCddbFoundOnServer, c.Lookup(ExampleToc()));
  const std::string hello = "&hello=username+hostname+in_quorvo.dll+Ver.0.26&proto=1";
  ASSERT_EQ(3u, c.urls.size());
  EXPECT_EQ("http://127.0.0.1:1/~cddb/cddb.cgi?cmd=motd" + hello, c.urls[0]);
  EXPECT_EQ(std::string("http://127.0.0.1:1/~cddb/cddb.cgi?cmd=cddb+query+") + cddbtest::kExampleKey + hello, c.urls[1]);
  EXPECT_EQ("http://127.0.0.1:1/~cddb/cddb.cgi?cmd=cddb+read+rock+0d012c02" + hello, c.urls[2]);

  TitleInfo t;
  ASSERT_EQ(1, c.GetTrackText(0, &t));
  EXPECT_EQ("Album", t.title);
  ASSERT_EQ(1, c.GetTrackText(2, &t));
  EXPECT_EQ("Second", t.title);
  EXPECT_EQ("Guest", t.performer);
  ASSERT_EQ(1, c.GetTrackText(1, &t));
  EXPECT_EQ("Band", t.performer);
  t.title = "untouched";
  EXPECT_EQ(0, c.GetTrackText(3, &t));
  EXPECT_EQ("untouched", t.title);
  EXPECT_EQ(2u, c.CurrentResult().trackCount);

  EXPECT_EQ(kCddbFoundInCache, c.Lookup(ExampleToc()));
  EXPECT_EQ(3u, c.urls.size());
  EXPECT_EQ(1, c.GetTrackText(2, &t));
}

TEST(CddbLookup, Outcomes) {
  const char kHelloRefused[] = "500 Invalid hello: a valid e-mail address (user and host) is required.\n";
  struct Case {
    const char* name;
    const char* failing;  // the command whose transfer fails
    const char* motd;
    const char* query;
    const char* read;
    int result;
    std::size_t requests;
    const char* refusal;  // the server's line kept for the status window
  } cases[] = {
      {"motd unreachable", "motd", kMotd, kQuery200, kRead, kCddbServerUnreachable, 1, ""},
      {"query unreachable", "query", kMotd, kQuery200, kRead, kCddbServerUnreachable, 2, ""},
      {"read unreachable", "read", kMotd, kQuery200, kRead, kCddbServerUnreachable, 3, ""},
      {"not registered", nullptr, kMotd, "202 No match for disc ID 0d012c02.\r\n", kRead, kCddbNotRegistered, 2, ""},
      {"inexact only", nullptr, kMotd, "211 Found inexact matches\r\nrock 0d012c02 A / B\r\n.\r\n", kRead,
       kCddbNotRegistered, 2, ""},
      // The motd is information only, whatever its status.
      {"motd: no such command", nullptr, kHelloRefused, kQuery200, kRead, kCddbFoundOnServer, 3, ""},
      {"motd: none today", nullptr, "401 No message of the day available\r\n", kQuery200, kRead,
       kCddbFoundOnServer, 3, ""},
      // Cut short without a length to tell: a failure, never a title.
      {"200 line without its end", nullptr, kMotd, "200 rock 0d012c02 Band / Alb", kRead, kCddbServerUnreachable, 2,
       ""},
      {"list without its final line", nullptr, kMotd, "210 Found exact matches\r\nrock 0d012c02 A / One\r\n", kRead,
       kCddbServerUnreachable, 2, ""},
      {"query refused", nullptr, kMotd, "409 No handshake\r\n", kRead, kCddbServerRefused, 2, "409 No handshake"},
      {"read refused", nullptr, kMotd, kQuery200, "401 rock 0d012c02 No such CD entry in database.\r\n",
       kCddbServerRefused, 3, "401 rock 0d012c02 No such CD entry in database."},
      {"a motd that is no reply is passed over", nullptr, "<html>gateway</html>", kQuery200, kRead,
       kCddbFoundOnServer, 3, ""},
      // A connection closed early, without a length to tell: the titles so
      // far must not be taken (nor cached) as the whole disc.
      {"read cut short", nullptr, kMotd, kQuery200,
       "210 rock 0d012c02 CD database entry follows\r\n# xmcd\r\nTTITLE0=First\r\nTTITLE1=Gue", kCddbReadFailed, 3, ""},
      {"read cut after its final line", nullptr, kMotd, kQuery200, "210 rock 0d012c02 entry\nTTITLE0=First\n.",
       kCddbFoundOnServer, 3, ""},
  };
  for (const Case& k : cases) {
    CannedClient c;
    Serve(c, k.query, k.read);
    c.replies["motd"] = k.motd;
    if (k.failing) c.failures[k.failing] = kHttpHostNotFound;
    EXPECT_EQ(k.result, c.Lookup(ExampleToc())) << k.name;
    EXPECT_EQ(k.requests, c.urls.size()) << k.name;
    EXPECT_EQ(k.refusal, c.RefusalLine()) << k.name;
    if (k.result == kCddbFoundOnServer) continue;
    EXPECT_EQ(0, c.GetTrackText(0, nullptr)) << k.name;  // a failed lookup leaves no texts
    EXPECT_EQ(0u, c.Cache().Size()) << k.name;
  }
  CannedClient c;
  EXPECT_EQ(kCddbNoDisc, c.Lookup(DiscToc()));
  EXPECT_TRUE(c.urls.empty());
  Serve(c);
  c.replies["query"] = std::string("200 rock 0d012c02 Band\0 / Album\r\n", 33);
  EXPECT_EQ(kCddbUnexpectedData, c.Lookup(ExampleToc()));
  EXPECT_EQ(0u, c.Cache().Size());
}

// A refusal is told apart from "not registered" in the status window, with
// what the server said, and the disc is not asked for again.
TEST(CddbLookupDisc, RefusalShowsTheServersLineAndIsAttemptedOnce) {
  InstalledUi installed;
  CannedUiClient c;
  Serve(c);
  c.replies["motd"] = c.replies["query"] = "500 Invalid hello\r\n";
  EXPECT_EQ(kCddbServerRefused, c.LookupDisc(kCddbModeImmediate, ExampleToc()));
  EXPECT_EQ(std::string("message ") + "CDDBサーバが要求を拒否しました\r\n500 Invalid hello", installed.ui.calls[1]);
  EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(kCddbModeImmediate, ExampleToc()));
  EXPECT_EQ(2u, c.urls.size());
  // Settings that change nothing keep the attempt; a new address, proxy or
  // server tries again (and the corrected hello is accepted).
  c.SetServerUrl("http://127.0.0.1:1/~cddb/cddb.cgi");
  c.SetUseUtf8(false);
  EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(kCddbModeImmediate, ExampleToc()));
  c.SetEmail("taro@example.jp");
  Serve(c);
  CddbDiscRecord found;
  EXPECT_EQ(kCddbFoundOnServer, c.LookupDisc(kCddbModeImmediate, ExampleToc(), &found));
  EXPECT_EQ("Second", found.tracks[2].title);
  for (const auto& change : std::vector<std::function<void()>>{[&] { c.SetProxy("127.0.0.1:3128"); },
                                                                [&] { c.SetUseProxy(true); }}) {
    c.Cache().Clear();
    EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(kCddbModeTitle, ExampleToc()));
    change();
    EXPECT_EQ(kCddbLookupStarted, c.LookupDisc(kCddbModeTitle, ExampleToc()));
    ASSERT_TRUE(c.WaitForBackgroundLookup(10000));
  }
  EXPECT_STREQ("CDDBサーバが要求を拒否しました", CddbResultMessage(kCddbServerRefused));
}

// The read names the chosen line's category and disc id (lower-case), which
// may differ from the computed one; the cache keeps the disc's own key.
TEST(CddbLookup, ChosenCandidateReadWithItsOwnLine) {
  CannedClient c;
  Serve(c, kQuery210);
  c.choices = {3};
  ASSERT_EQ(kCddbFoundOnServer, c.Lookup(ExampleToc()));
  ASSERT_EQ(1u, c.offered.size());
  EXPECT_EQ(3u, c.offered[0].size());
  EXPECT_NE(std::string::npos, c.urls[2].find("cmd=cddb+read+blues+0d012c03&"));
  TitleInfo t;
  c.GetTrackText(0, &t);
  EXPECT_EQ("Three", t.title);
}

TEST(CddbDriver, StatusWindowSteps) {
  {
    InstalledUi installed;
    CannedUiClient c;
    Serve(c);
    EXPECT_EQ(kCddbFoundOnServer, c.RunLookupWithStatus(ExampleToc(), 1, 3000));
    const std::vector<std::string> expected = {"open " + std::to_string(0x0D012C02u),
                                               std::string("message ") + "CD情報の取得に成功しました", "enable",
                                               "wait 3000", "close"};
    EXPECT_EQ(expected, installed.ui.calls);

    installed.ui.calls.clear();  // a cache hit: no wait
    EXPECT_EQ(kCddbFoundInCache, c.RunLookupWithStatus(ExampleToc(), 1, 3000));
    EXPECT_EQ(std::string("message ") + "CD情報の取得に成功しました(キャッシュ)", installed.ui.calls[1]);
    EXPECT_EQ("close", installed.ui.calls[3]);

    installed.ui.calls.clear();  // without show: no window at all
    c.Cache().Clear();
    EXPECT_EQ(kCddbFoundOnServer, c.RunLookupWithStatus(ExampleToc(), 0, 3000));
    EXPECT_TRUE(installed.ui.calls.empty());
  }
  {
    InstalledUi installed;  // the window cannot be created: no request at all
    installed.ui.openable = false;
    CannedUiClient c;
    Serve(c);
    EXPECT_EQ(kCddbWindowFailed, c.RunLookupWithStatus(ExampleToc(), 1, 0xFFFFFFFFu));
    EXPECT_TRUE(c.urls.empty());
  }
  {
    InstalledUi installed;  // several matches, the dialog closed without a choice
    installed.ui.choice = 0;
    CannedUiClient c;
    Serve(c, kQuery210);
    EXPECT_EQ(kCddbNotRegistered, c.RunLookupWithStatus(ExampleToc(), 1, 0));
    EXPECT_EQ("choose 3", installed.ui.calls[1]);
    EXPECT_EQ(std::string("message ") + "CDがCDDBに登録されていません", installed.ui.calls[2]);
    EXPECT_EQ(0u, c.Cache().Size());
  }
  EXPECT_STREQ("原因不明のエラーが発生しました", CddbResultMessage(kCddbBusy));
  EXPECT_STREQ("予期しないデータです", CddbResultMessage(kCddbUnexpectedData));
}

TEST(CddbLookupDisc, ImmediateLookupsRunOnce) {
  CannedUiClient c;
  Serve(c, "202 No match\r\n");
  EXPECT_EQ(kCddbNotRegistered, c.LookupDisc(kCddbModeImmediate, ExampleToc()));
  EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(kCddbModeImmediate, ExampleToc()));
  EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(kCddbModeTitle, ExampleToc()));
  EXPECT_EQ(2u, c.urls.size());
}

TEST(CddbLookupDisc, BackgroundLookupPostsAndThenAnswersFromCache) {
  host_window::ClearPostedForTesting();
  Gate gate;
  CannedUiClient c;
  Serve(c);
  c.onFetch = [&] { gate.Pass(); };
  const DiscToc other = cddbtest::MakeToc({0, 9000, 20000}, 40000);

  EXPECT_EQ(kCddbLookupStarted, c.LookupDisc(kCddbModeTitle, ExampleToc()));
  gate.WaitForArrival();
  EXPECT_EQ(0x0D012C02u, c.BusyDiscId());
  // While it runs every other request is turned away at once.
  EXPECT_EQ(kCddbBusy, c.LookupDisc(kCddbModeExtendedInfo, ExampleToc()));
  EXPECT_EQ(kCddbBusy, c.LookupDisc(kCddbModeTitle, other));
  EXPECT_EQ(kCddbBusy, c.LookupDisc(kCddbModeImmediate, other));
#ifndef _WIN32
  EXPECT_TRUE(host_window::PostedForTesting().empty());
#endif
  gate.Open();
  ASSERT_TRUE(c.WaitForBackgroundLookup(10000));
  // Canned replies ignore the stop, so the lookup ends normally.
  EXPECT_EQ(0u, c.BusyDiscId());
  EXPECT_EQ(3u, c.urls.size());

#ifndef _WIN32  // recorded only where no host window exists
  const auto posted = host_window::PostedForTesting();
  ASSERT_EQ(2u, posted.size());
  EXPECT_EQ(host::kMsgIpc, posted[0].msg);
  EXPECT_EQ(host::kIpcUpdateTitle, posted[0].lParam);
  EXPECT_EQ(host::kIpcRefreshPlaylistCache, posted[1].lParam);
  EXPECT_EQ(0u, posted[1].wParam);
#endif

  EXPECT_EQ(kCddbFoundInCache, c.LookupDisc(kCddbModeTitle, ExampleToc()));
  // The other disc was refused while busy, so it was never attempted.
  c.onFetch = nullptr;
  c.replies["query"] = "202 No match\r\n";
  EXPECT_EQ(kCddbLookupStarted, c.LookupDisc(kCddbModeTitle, other));
  ASSERT_TRUE(c.WaitForBackgroundLookup(10000));
  EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(kCddbModeTitle, other));
  host_window::ClearPostedForTesting();
}

TEST(CddbLookupDisc, AClosedClientRefusesLookupsAndARefusedThreadLeavesNoTrace) {
  CannedUiClient c;
  Serve(c, "202 No match\r\n");
  const DiscToc other = cddbtest::MakeToc({0, 9000}, 30000);
  plugin_thread::RefuseStartsForTesting(1);
  EXPECT_EQ(kCddbWindowFailed, c.LookupDisc(kCddbModeTitle, ExampleToc()));
  EXPECT_EQ(0u, c.BusyDiscId());
  EXPECT_TRUE(c.urls.empty());
  // Not taken for tried: the next query starts it.
  EXPECT_EQ(kCddbLookupStarted, c.LookupDisc(kCddbModeTitle, ExampleToc()));
  EXPECT_TRUE(c.Close(10000));
  for (int mode : {kCddbModeTitle, kCddbModeImmediate}) EXPECT_EQ(kCddbAlreadyTried, c.LookupDisc(mode, other));
  c.Reopen();
  EXPECT_EQ(kCddbNotRegistered, c.LookupDisc(kCddbModeImmediate, other));
}

TEST(CddbLookupDisc, ReadersNeverSeeHalfAResult) {
  CannedUiClient c;
  Serve(c);
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load()) {
      TitleInfo disc, track;
      if (c.GetTrackText(0, &disc) && c.GetTrackText(2, &track)) {
        ASSERT_TRUE(disc.title == "Album" && (track.title == "Second" || track.title.empty()));
      }
    }
  });
  for (int i = 0; i < 20; ++i) {
    c.Cache().Clear();
    ASSERT_EQ(kCddbFoundOnServer, c.RunLookupWithStatus(ExampleToc(), 0, 0));
    c.Cache().First();
    std::string key;
    while (c.NextCacheEntry(&key, nullptr)) {
    }
  }
  stop = true;
  reader.join();
}
