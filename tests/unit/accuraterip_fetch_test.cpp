// dBAR fetches through the real HTTP client against the fixture server and
// tinyproxy: each kind of answer and fault ends in its outcome within the
// time-outs, and an abort from another thread ends a fetch at once.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <tuple>

#include "accuraterip/dbar_fetch.h"
#include "tests/unit/test_servers.h"
#include "util/http_client.h"

namespace {

using namespace accuraterip;
using Clock = std::chrono::steady_clock;

const DiscIds kDisc{2, 0x0001b3c1, 0x000571d2, 0x0a01c902};
const DiscIds kThreeTracks{3, 0x0001b3c2, 0x000571d3, 0x0a01c903};  // its file answers with two
const DiscIds kUnknown{1, 0x00001234, 0x00005678, 0x01000101};

// One pressing's response: header, then per track confidence, CRC, offset-frame CRC.
std::string Response(DiscIds ids, int tracks, std::uint32_t crc) {
  std::string out(1, static_cast<char>(tracks));
  auto le = [&out](std::uint32_t v) { for (int i = 0; i < 32; i += 8) out += static_cast<char>(v >> i); };
  for (std::uint32_t v : {ids.id1, ids.id2, ids.cddb}) le(v);
  for (int t = 0; t < tracks; ++t) {
    out += static_cast<char>(crc);  // the confidence
    for (std::uint32_t v : {crc + t, crc + 0x100 + t}) le(v);
  }
  return out;
}

// false when the server's folder cannot be written from here (the i686
// tier's root does not hold the host's temporary folders).
bool Store(const DiscIds& ids, const std::string& bytes) {
  const std::string path = RequestPath("", ids);
  std::ofstream file(test_servers::AccurateRipDir() + path.substr(path.rfind('/')), std::ios::binary);
  return static_cast<bool>(file << bytes);
}

class DbarFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test_servers::BlackholePort() == 0 || test_servers::ProxyPort() == 0) GTEST_SKIP() << "no fixture servers";
    started_ = StartSocketLayer();
    ASSERT_TRUE(started_);
    if (!Store(kDisc, Response(kDisc, 2, 0xA1) + Response(kDisc, 2, 0x07)) ||
        !Store(kThreeTracks, Response(kThreeTracks, 2, 0xA1))) {
      GTEST_SKIP() << "the fixture's AccurateRip folder is out of reach";
    }
  }
  void TearDown() override {
    if (started_) StopSocketLayer();
  }
  bool started_ = false;
};

TEST_F(DbarFetchTest, EachAnswerAndFaultEndsInItsOutcome) {
  const std::string server = test_servers::CddbUrl("");
  const std::string proxy = "127.0.0.1:" + std::to_string(test_servers::ProxyPort());
  const std::string silent = "http://127.0.0.1:" + std::to_string(test_servers::BlackholePort());
  struct Case {
    std::string server, proxy;  // proxy "": direct
    DiscIds ids;
    int result, status;
    const char* text;
  } cases[] = {
      {server, "", kDisc, kFetchFound, 200, ""},
      {server, proxy, kDisc, kFetchFound, 200, ""},
      {server, "", kUnknown, kFetchNotInDatabase, 404, "データベースにありません"},
      {server + "/cut/40", "", kDisc, kFetchMalformed, 200, "サーバーの応答が壊れています"},
      {server, "", kThreeTracks, kFetchMalformed, 200, "サーバーの応答が壊れています"},
      {silent, "", kDisc, kFetchNoAnswer, 0, "サーバーから応答がありません"},
      {server + "/delay/3000", "", kDisc, kFetchNoAnswer, 0, "サーバーから応答がありません"},
      {server, "127.0.0.1:1", kDisc, kFetchNoConnection, 0, "プロキシサーバーに接続できません"},
      {server + "/nginx504", "", kDisc, kFetchServerError, 504, "サーバーがエラーを返しました（HTTP 504）"},
      {"https://127.0.0.1", "", kDisc, kFetchBadServer, 0, "サーバーのアドレスが正しくありません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server + " " + c.proxy);
    DbarFetch fetch;
    const auto begun = Clock::now();
    const FetchOutcome got = fetch.Fetch({c.server, !c.proxy.empty(), c.proxy, 300, 600}, c.ids);
    EXPECT_LT(Clock::now() - begun, std::chrono::milliseconds(1500));
    EXPECT_EQ(got.result, c.result);
    EXPECT_EQ(got.httpStatus, c.status);
    EXPECT_EQ(got.viaProxy, !c.proxy.empty());
    EXPECT_EQ(FetchOutcomeText(got), c.text);
    if (c.result != kFetchFound) continue;
    ASSERT_EQ(got.responses.size(), 2u);
    const DbarTrack& t = got.responses[1].tracks.at(1);
    EXPECT_EQ(std::make_tuple(got.responses[1].ids.cddb, t.confidence, t.crc, t.offsetCrc),
              std::make_tuple(kDisc.cddb, std::uint8_t{7}, 8u, 0x108u));
  }
}

TEST_F(DbarFetchTest, AbortFromAnotherThreadEndsThisFetchAndLaterOnes) {
  DbarFetch fetch;
  const FetchSettings slow{test_servers::CddbUrl("/delay/5000"), false, "", 5000, 10000};
  const auto begun = Clock::now();
  std::thread aborter([&fetch] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    fetch.Abort();
  });
  EXPECT_EQ(fetch.Fetch(slow, kDisc).result, kFetchCancelled);
  aborter.join();
  EXPECT_LT(Clock::now() - begun, std::chrono::milliseconds(1500));
  EXPECT_EQ(fetch.Fetch({test_servers::CddbUrl(""), false, "", 300, 600}, kDisc).result, kFetchCancelled);
}

}  // namespace
