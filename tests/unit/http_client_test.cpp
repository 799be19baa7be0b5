#include "util/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/test_servers.h"
#include "util/http_chunked.h"

namespace {

// Records everything the hooks see; can refuse data or cancel.
class RecordingClient : public HttpClient {
 public:
  std::vector<std::string> statuses;
  std::vector<std::string> requests;
  std::vector<std::string> headers;
  std::string body;
  int largestChunk = 0;
  int keepRedirect = 0;
  int refuseDataAt = -1;  // the call index at which OnData returns 0
  int cancelAt = -1;      // the call index at which OnProgress returns 0
  int dataCalls = 0, progressCalls = 0;
  int lastExpected = -1;

 protected:
  int OnStatusText(const std::string& text) override {
    statuses.push_back(text);
    return 1;
  }
  int OnData(const char* bytes, int length) override {
    if (dataCalls++ == refuseDataAt) return 0;
    body.append(bytes, static_cast<std::size_t>(length));
    if (length > largestChunk) largestChunk = length;
    return 1;
  }
  int OnProgress(int, int expected) override {
    lastExpected = expected;
    return progressCalls++ == cancelAt ? 0 : 1;
  }
  void OnRequestSent(const std::string& request) override { requests.push_back(request); }
  void OnHeaderReceived(const std::string& header) override { headers.push_back(header); }
  int KeepRedirect(const HttpResponseInfo&) override { return keepRedirect; }
};

class HttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test_servers::CddbPort() == 0) GTEST_SKIP() << "CDDB fixture server not available";
    ASSERT_TRUE(StartSocketLayer());
    Fetch("/__reset");
    client.SetTimeouts(5000, 5000);
  }
  void TearDown() override {
    if (test_servers::CddbPort() != 0) StopSocketLayer();
  }
  static std::string Fetch(const std::string& path) {
    RecordingClient c;
    HttpResponseInfo info;
    c.Get(test_servers::CddbUrl(path).c_str(), info);
    return c.body;
  }
  static std::string Log() { return Fetch("/__log"); }
  int Get(const std::string& path) { return client.Get(test_servers::CddbUrl(path).c_str(), info); }
  static std::string Port() { return std::to_string(test_servers::CddbPort()); }

  RecordingClient client;
  HttpResponseInfo info;
};

TEST(HttpHeader, ParsesStatusLengthAndLocation) {
  struct Case {
    const char* header;
    int status, length;
    const char* location;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Length: 42\r\n\r\n", 200, 42, ""},
      {"HTTP/1.1 200 OK\r\n\r\n", 200, 0, ""},
      // The reason phrase is free text, or nothing.
      {"HTTP/1.0 200 OK.\r\nContent-Length: 5\r\n\r\n", 200, 5, ""},
      {"HTTP/1.0 203 Non-Authoritative Information\r\n\r\n", 203, 0, ""},
      {"HTTP/1.1 504 Gateway Time-out\r\nServer: nginx\r\n\r\n", 504, 0, ""},
      {"HTTP/1.1 200 \r\n\r\n", 200, 0, ""},
      {"HTTP/1.1 200\r\n\r\n", 200, 0, ""},
      {"HTTP/1.1 20 OK\r\n\r\n", 0, 0, ""},
      {"HTTP/1.1 2000 OK\r\n\r\n", 0, 0, ""},
      {"HTTP/1.0 302 Found\r\nLocation:  /a?b \r\n\r\n", 302, 0, "/a?b"},
      {"http/1.0 404 not found\r\n\r\n", 404, 0, ""},
      {"HTTP/1.0 301 Moved Permanently\r\nLocation: http://Host:81/Path?A=B\r\n\r\n", 301, 0,
       "http://Host:81/Path?A=B"},
      {"HTTP/1.0 200 OK\r\nCONTENT-LENGTH: 7\r\n\r\n", 200, 7, ""},
      {"HTTP/1.0 200 OK\r\nContent-Length:7\r\n\r\n", 200, 0, ""},   // no blank after the colon
      {"HTTP/1.0 200 OK\r\nContent-Length: 7 \r\n\r\n", 200, 0, ""},  // not the whole line
      {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999\r\n\r\n", 200, 2147483647, ""},
      {"HTTP/1.0 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 200, 2, ""},  // last wins
      {"HTTP/1.0 200 \x83\x41\x83\x43\r\n\r\n", 200, 0, ""},  // Shift-JIS reason
      {"HTTP/1.0 99999999999 OK\r\n\r\n", 0, 0, ""},
      {"", 0, 0, ""},
      {"\r\n\r\n\r\n", 0, 0, ""},
      {"Location:\r\n\r\n", 0, 0, ""},
  };
  for (const Case& c : cases) {
    HttpResponseInfo info;
    ParseHttpHeader(c.header, info);
    EXPECT_EQ(info.status, c.status) << c.header;
    EXPECT_EQ(info.contentLength, c.length) << c.header;
    EXPECT_EQ(info.expected, c.length) << c.header;
    EXPECT_EQ(info.location, c.location) << c.header;
  }
}

TEST(HttpHeader, TransferCodings) {
  const struct {
    const char* header;
    bool chunked, unknown;
  } cases[] = {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", true, false},
               {"HTTP/1.1 200 OK\r\ntransfer-encoding:Identity, CHUNKED\r\n\r\n", true, false},
               {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", true, true},
               {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, chunked\r\n\r\n", true, true},
               {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", false, false}};
  for (const auto& c : cases) {
    HttpResponseInfo info;
    ParseHttpHeader(c.header, info);
    EXPECT_EQ(c.chunked, info.chunked) << c.header;
    EXPECT_EQ(c.unknown, info.unknownCoding) << c.header;
  }
}

TEST(HttpRedirect, LocationsResolveAgainstTheRequestUrl) {
  const char* base = "http://h:81/a/b/cddb.cgi?cmd=motd";
  const std::pair<const char*, const char*> cases[] = {
      {"http://other/x", "http://other/x"},   {"ftp://other/x", "ftp://other/x"},  // refused later
      {"//other:82/x?q", "http://other:82/x?q"}, {"/x/y?q=1", "http://h:81/x/y?q=1"},
      {"c.cgi?q", "http://h:81/a/b/c.cgi?q"},  {"?cmd=read", "http://h:81/a/b/cddb.cgi?cmd=read"},
      {"x:y/z", "x:y/z"},                      {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(c.second, ResolveHttpLocation(c.first, base)) << c.first;
  EXPECT_EQ("http://h/x", ResolveHttpLocation("x", "http://h/"));
}

// Chunks split at every byte boundary decode to the same body; anything
// that is not the coding is refused, also far into a long body.
TEST(HttpChunked, DecodesInAnySplitAndRefusesWhatIsNotTheCoding) {
  const std::string coded = "8;name=v\r\n210 rock\r\n17\r\n 0d012c02 entry\r\n.\r\n...\r\n0\r\nX-Trailer: 1\r\n\r\nrest";
  const std::string plain = "210 rock 0d012c02 entry\r\n.\r\n...";
  for (std::size_t cut = 0; cut <= coded.size(); ++cut) {
    ChunkedDecoder d;
    std::string out;
    const auto first = d.Feed(coded.data(), cut, &out);
    const auto second = d.Feed(coded.data() + cut, coded.size() - cut, &out);
    EXPECT_EQ(ChunkedDecoder::kDone, first == ChunkedDecoder::kDone ? first : second) << cut;
    EXPECT_EQ(plain, out) << cut;
  }
  for (const char* bad : {"\r\n", "x\r\n", "5\r\nabcdeX", "5\nabcde\r\n", "10000000\r\n", "1;\nx"}) {
    ChunkedDecoder d;
    std::string out;
    EXPECT_EQ(ChunkedDecoder::kBad, d.Feed(bad, std::strlen(bad), &out)) << bad;
  }
  ChunkedDecoder d;
  std::string out;
  EXPECT_EQ(ChunkedDecoder::kMore, d.Feed("3\r\nabc", 6, &out));  // the connection may still close here
}

TEST(HttpClientUrl, RefusesUrlsOutsideThePatternWithoutAnyNetworkStep) {
  const char* urls[] = {
      "//127.0.0.1/",           "HTTP://127.0.0.1/", "ftp://127.0.0.1/", "http://127.0.0.1",
      "http://127.0.0.1/a b",   "http://127.0.0.1/\x82\xa0", "http://127.0.0.1/[x]", "http://127.0.0.1:/",
      "http://127.0.0.1:99999/", "http:/127.0.0.1/",  "", " http://127.0.0.1/",
  };
  for (const char* url : urls) {
    RecordingClient client;
    HttpResponseInfo info;
    info.status = 7;
    EXPECT_EQ(client.Get(url, info), kHttpBadUrl) << url;
    EXPECT_TRUE(client.statuses.empty()) << url;
    EXPECT_EQ(info.status, 0) << url;
  }
}

TEST(HttpClientProxy, AcceptsHostAndPortOnly) {
  RecordingClient client;
  EXPECT_FALSE(client.UseProxy());
  EXPECT_EQ(client.ProxyHost(), "");
  EXPECT_EQ(client.ProxyPort(), 8080);
  EXPECT_EQ(client.SetProxy("proxy.example:3128"), 1);
  for (const char* refused : {"proxy.example", "http://other:1", "other:1/path", "other:", ":1", "other:1:2",
                              "other:99999", ""}) {
    EXPECT_EQ(client.SetProxy(refused), 0) << refused;
    EXPECT_EQ(client.ProxyHost(), "proxy.example") << refused;
    EXPECT_EQ(client.ProxyPort(), 3128) << refused;
  }
  EXPECT_EQ(client.SetProxy(nullptr), 0);
  EXPECT_EQ(client.SetUseProxy(true), 1);
  EXPECT_TRUE(client.UseProxy());
}

TEST_F(HttpServerTest, SendsTheRequestByteForByteAndNarratesEachStep) {
  EXPECT_EQ(Get("/"), kHttpOk);
  EXPECT_EQ(info.status, 404);  // not judged: the error page is delivered
  EXPECT_EQ(client.body, "404 Not Found\r\n");
  const std::string host = "127.0.0.1:" + Port();
  ASSERT_EQ(client.requests.size(), 1u);
  EXPECT_EQ(client.requests[0], "GET / HTTP/1.0\r\nHost: " + host + "\r\nUser-Agent: http client \r\n\r\n");
  EXPECT_EQ(Log(), "GET / HTTP/1.0\tHost: " + host + "\n");
  ASSERT_EQ(client.headers.size(), 1u);
  EXPECT_EQ(client.headers[0].substr(client.headers[0].size() - 4), "\r\n\r\n");
  const std::vector<std::string> expected = {
      "ソケットを作成します", "127.0.0.1 を探しています...", "127.0.0.1[127.0.0.1] が見つかりました",
      host + " に接続しています...", host + " に接続しました", "データの受信を開始します...", "切断します",
      "ソケットを閉じます"};
  EXPECT_EQ(client.statuses, expected);
}

TEST_F(HttpServerTest, ThroughAProxyTheRequestLineCarriesTheWholeUrl) {
  // The fixture server stands in for the proxy here: it answers the
  // absolute form, and its log shows exactly what arrived.
  client.SetProxy(("127.0.0.1:" + Port()).c_str());
  client.SetUseProxy(true);
  EXPECT_EQ(client.Get("http://cddb.example/fault/nolength?a=1&b=2", info), kHttpOk);
  ASSERT_EQ(client.requests.size(), 1u);
  EXPECT_EQ(client.requests[0],
            "GET http://cddb.example/fault/nolength?a=1&b=2 HTTP/1.0\r\nHost: cddb.example:80\r\n"
            "User-Agent: http client \r\n\r\n");
  EXPECT_EQ(Log(), "GET http://cddb.example/fault/nolength?a=1&b=2 HTTP/1.0\tHost: cddb.example:80\n");
  EXPECT_EQ(client.body, "body without a length\r\n");
}

TEST_F(HttpServerTest, TravelsThroughTinyproxy) {
  if (test_servers::ProxyPort() == 0) GTEST_SKIP() << "tinyproxy not available";
  client.SetProxy(("127.0.0.1:" + std::to_string(test_servers::ProxyPort())).c_str());
  client.SetUseProxy(true);
  const std::string path = "/~cddb/cddb.cgi?cmd=cddb+query+0D012C02+2+150+18430+302&hello=username+hostname+t+1&proto=1";
  EXPECT_EQ(Get(path), kHttpOk);
  EXPECT_EQ(info.status, 200);
  EXPECT_EQ(client.body, "200 rock 0d012c02 Artist / Album\r\n");
  EXPECT_EQ(Log(), "GET " + path + " HTTP/1.0\tHost: 127.0.0.1:" + Port() + "\n");
  ASSERT_EQ(client.requests.size(), 1u);
  EXPECT_EQ(client.requests[0], "GET http://127.0.0.1:" + Port() + path + " HTTP/1.0\r\nHost: 127.0.0.1:" + Port() +
                                    "\r\nUser-Agent: http client \r\n\r\n");
}

TEST_F(HttpServerTest, StreamsTheBodyInChunksOfAtMost1024Bytes) {
  std::string expected;
  for (int i = 0; i < 5000; ++i) expected += static_cast<char>((i * 7) % 256);
  for (const char* length : {"1", "0"}) {
    RecordingClient c;
    c.SetTimeouts(5000, 5000);
    HttpResponseInfo i;
    EXPECT_EQ(c.Get(test_servers::CddbUrl(std::string("/fault/big?size=5000&len=") + length).c_str(), i), kHttpOk);
    EXPECT_EQ(c.body, expected);
    EXPECT_LE(c.largestChunk, 1024);
    EXPECT_EQ(i.received, 5000);
    EXPECT_EQ(i.expected, length[0] == '1' ? 5000 : 0);
    EXPECT_EQ(c.lastExpected, i.expected);
  }
}

TEST_F(HttpServerTest, RepliesAndFaults) {
  struct Case {
    const char* path;
    int result, status;
    const char* body;
    std::uint32_t receiveMs;
  } cases[] = {
      {"/fault/nolength", kHttpOk, 200, "body without a length\r\n", 5000},
      {"/fault/short", kHttpShortBody, 200, nullptr, 5000},
      {"/fault/badstatus", kHttpOk, 200, "body after a malformed status line\r\n", 5000},
      {"/fault/http11", kHttpOk, 200, "body", 5000},
      // Complete at its Content-Length although the peer keeps the connection.
      {"/fault/keepalive", kHttpOk, 200, "keep alive", 300},
      {"/fault/status/500", kHttpOk, 500, "status 500\r\n", 5000},
      {"/fault/status/302", kHttpBadUrl, 0, "", 5000},  // a redirect without a Location
      {"/fault/chunked", kHttpOk, 200, "chunked body\r\nsecond line\r\n", 5000},
      {"/fault/chunked-bad", kHttpBadReply, 200, nullptr, 5000},
      {"/fault/chunked-cut", kHttpShortBody, 200, "first partnot all", 5000},
      {"/fault/garbage", kHttpHeaderFailed, 0, "", 5000},
      {"/fault/slow?ms=30", kHttpOk, 200, "slow reply", 5000},  // slow, but within the time-out
      // A silent peer: bounded by the receive time-out, reported by its code.
      {"/fault/silent", kHttpHeaderFailed, 0, "", 300},
      {"/fault/silent-body", kHttpShortBody, 200, "0123456789", 300},
      {"/fault/silent-body-nolen", kHttpShortBody, 200, "0123456789", 300},
  };
  for (const Case& c : cases) {
    RecordingClient r;
    r.SetTimeouts(5000, c.receiveMs);
    HttpResponseInfo i;
    EXPECT_EQ(r.Get(test_servers::CddbUrl(c.path).c_str(), i), c.result) << c.path;
    EXPECT_EQ(i.status, c.status) << c.path;
    if (c.body != nullptr) {
      EXPECT_EQ(r.body, c.body) << c.path;
    }
    EXPECT_EQ(r.statuses.back(), "ソケットを閉じます") << c.path;
    if (c.result == kHttpHeaderFailed) {
      EXPECT_EQ(r.statuses[r.statuses.size() - 3], "レスポンスヘッダーの取得に失敗しました。") << c.path;
    }
  }
}

// A peer that sends a byte now and then, for ever: every receive is quick,
// yet the reply never ends. The time-out ends it, in the header or in the
// body. A watchdog aborts the request so that a client that waits per
// receive fails here instead of hanging.
TEST_F(HttpServerTest, TheTimeOutBoundsTheWholeReplyNotEachReceive) {
  struct Case {
    const char* path;
    int result, status;
  } cases[] = {
      {"/fault/drip/100", kHttpHeaderFailed, 0},
      {"/fault/drip-body/100", kHttpShortBody, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    RecordingClient r;
    r.SetTimeouts(5000, 700);
    HttpResponseInfo i;
    std::atomic<int> result{-1};
    const auto start = std::chrono::steady_clock::now();
    std::thread request([&] { result = r.Get(test_servers::CddbUrl(c.path).c_str(), i); });
    while (result.load() == -1 && std::chrono::steady_clock::now() - start < std::chrono::seconds(8))
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    r.Abort();
    request.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(c.result, result.load());
    EXPECT_EQ(c.status, i.status);
    EXPECT_GE(took, std::chrono::milliseconds(600));
    EXPECT_LT(took, std::chrono::seconds(4));
    EXPECT_EQ(r.statuses.back(), "ソケットを閉じます");
  }
}

// Every hop of a redirect loop answers within the time-outs, yet the
// request as a whole ends within their sum, not ten times that.
TEST_F(HttpServerTest, RedirectsShareOneBudget) {
  RecordingClient r;
  r.SetTimeouts(500, 500);
  HttpResponseInfo i;
  const auto start = std::chrono::steady_clock::now();
  const int result = r.Get(test_servers::CddbUrl("/fault/loop/300").c_str(), i);
  const auto took = std::chrono::steady_clock::now() - start;
  // The budget runs out while a hop waits for its reply or before its connect.
  EXPECT_TRUE(result == kHttpHeaderFailed || result == kHttpConnectFailed) << result;
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::milliseconds(2500));
  EXPECT_GE(r.requests.size(), 2u);
  EXPECT_LE(r.requests.size(), 4u);
  EXPECT_EQ(r.statuses.back(), "ソケットを閉じます");
}

TEST_F(HttpServerTest, FollowsAtMostTenRedirects) {
  struct Case {
    const char* path;
    int result, requests;
  } cases[] = {
      {"/fault/chain/3", kHttpOk, 4},    {"/fault/chain/10", kHttpOk, 11}, {"/fault/chain/11", kHttpBadUrl, 11},
      {"/fault/loop", kHttpBadUrl, 11},  {"/fault/relative", kHttpOk, 2}, {"/fault/no-location", kHttpBadUrl, 1},
  };
  for (const Case& c : cases) {
    Fetch("/__reset");
    RecordingClient r;
    HttpResponseInfo i;
    EXPECT_EQ(r.Get(test_servers::CddbUrl(c.path).c_str(), i), c.result) << c.path;
    EXPECT_EQ(static_cast<int>(r.requests.size()), c.requests) << c.path;
    // Every connection was closed, the last one included.
    EXPECT_EQ(r.statuses.back(), "ソケットを閉じます") << c.path;
    if (c.result == kHttpOk) {
      EXPECT_EQ(r.body, "end of chain\r\n");
    }
    std::string log = Log();
    EXPECT_EQ(static_cast<int>(std::count(log.begin(), log.end(), '\n')), c.requests) << c.path;
  }
  // A kept 301 is the final reply.
  client.keepRedirect = 1;
  EXPECT_EQ(Get("/fault/chain/3"), kHttpOk);
  EXPECT_EQ(info.status, 301);
  EXPECT_EQ(info.location, "http://127.0.0.1:" + Port() + "/fault/chain/2");
  EXPECT_EQ(client.requests.size(), 1u);
}

TEST_F(HttpServerTest, HooksCanRefuseDataOrCancel) {
  client.refuseDataAt = 1;
  EXPECT_EQ(Get("/fault/big?size=5000"), kHttpOutputFailed);
  EXPECT_NE(std::find(client.statuses.begin(), client.statuses.end(), "データ出力に失敗しました。"), client.statuses.end());

  RecordingClient cancelling;
  cancelling.cancelAt = 0;
  EXPECT_EQ(cancelling.Get(test_servers::CddbUrl("/fault/big?size=5000").c_str(), info), kHttpCancelled);
  EXPECT_EQ(info.received, static_cast<int>(cancelling.body.size()));
  EXPECT_NE(std::find(cancelling.statuses.begin(), cancelling.statuses.end(), "キャンセルされました。"),
            cancelling.statuses.end());

  // The bare client's data hook refuses the first body byte.
  HttpClient bare;
  EXPECT_EQ(bare.Get(test_servers::CddbUrl("/fault/nolength").c_str(), info), kHttpOutputFailed);
}

// Quit ends a request from another thread whatever it waits for, and the
// client takes requests again only when allowed to.
TEST_F(HttpServerTest, AbortEndsARequestAtOnceAndHoldsUntilAllowed) {
  client.SetTimeouts(30000, 30000);
  for (const char* path : {"/fault/silent", "/fault/slow/1000", "/moved/fault/silent"}) {
    SCOPED_TRACE(path);
    client.AllowRequests();
    std::atomic<int> result{-1};
    std::thread request([&] { result = Get(path); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    client.Abort();
    request.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(kHttpCancelled, result.load());
  }
  EXPECT_EQ(kHttpCancelled, Get("/fault/nolength")) << "aborted until allowed";
  client.AllowRequests();
  EXPECT_EQ(kHttpOk, Get("/fault/nolength"));
}

TEST_F(HttpServerTest, RefusedConnectionIsReported) {
  // The port of a fixture reply that has just been closed is free again only
  // by chance; port 1 on loopback is reliably closed.
  EXPECT_EQ(client.Get("http://127.0.0.1:1/", info), kHttpConnectFailed);
  EXPECT_EQ(client.statuses.back(), "ソケットを閉じます");
  EXPECT_EQ(client.statuses[client.statuses.size() - 2], "127.0.0.1:1 に接続できません");
  EXPECT_TRUE(client.requests.empty());
}

TEST_F(HttpServerTest, CddbRepliesInBothEncodings) {
  const std::string hello = "&hello=username+hostname+t+1&proto=";
  const std::string read = "/~cddb/cddb.cgi?cmd=cddb+read+misc+27044c04" + hello;
  EXPECT_EQ(Get(read + "1"), kHttpOk);
  EXPECT_NE(client.body.find("DTITLE=\x8eR\x93\x63\x89\xd4\x8eq / "), std::string::npos);  // 山田花子 in CP932
  EXPECT_EQ(client.body.substr(0, 4), "210 ");
  EXPECT_EQ(client.body.substr(client.body.size() - 5), "\r\n.\r\n");
  RecordingClient utf8;
  EXPECT_EQ(utf8.Get(test_servers::CddbUrl(read + "6").c_str(), info), kHttpOk);
  EXPECT_NE(utf8.body.find(u8"DTITLE=山田花子 / "), std::string::npos);
  RecordingClient nolen;
  EXPECT_EQ(nolen.Get(test_servers::CddbUrl("/nolen/cddb.cgi?cmd=motd" + hello + "1").c_str(), info), kHttpOk);
  EXPECT_EQ(info.expected, 0);
  EXPECT_EQ(nolen.body.substr(0, 4), "210 ");
}

}  // namespace
