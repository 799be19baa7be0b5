#include "accuraterip/dbar_fetch.h"

#include <chrono>

#include "util/http_client.h"
#include "util/no_throw.h"

namespace accuraterip {

namespace {

using Clock = std::chrono::steady_clock;

// The HTTP client answers a connect that timed out as it answers a refused
// one, and a reply that stalled as one cut short: whether the time had run
// out tells them apart. A tenth of the limit allows for the waits' slack.
bool TimeRanOut(Clock::time_point since, std::uint64_t limitMs) {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
  return static_cast<std::uint64_t>(elapsed < 0 ? 0 : elapsed) + limitMs / 10 >= limitMs;
}

bool IsHttpServer(const std::string& server) { return server.size() > 7 && server.compare(0, 7, "http://") == 0; }

}  // namespace

class DbarFetch::Client : public HttpClient {
 public:
  FetchOutcome Run(const FetchSettings& settings, const DiscIds& ids) {
    FetchOutcome out;  // kFetchCancelled
    if (Aborted()) return out;
    if (!IsHttpServer(settings.server)) {
      out.result = kFetchBadServer;
      return out;
    }
    // Set even when the proxy text is refused: it is the proxy that cannot
    // be reached, and the text says so.
    out.viaProxy = settings.useProxy;
    if (settings.useProxy && SetProxy(settings.proxy.c_str()) == 0) {
      out.result = kFetchNoConnection;
      return out;
    }
    SetUseProxy(settings.useProxy);
    SetTimeouts(settings.connectMs, settings.receiveMs);
    body_.clear();
    sent_ = false;
    start_ = hopStart_ = Clock::now();
    HttpResponseInfo info;
    const int http = Get(RequestPath(settings.server, ids).c_str(), info);
    out.httpStatus = info.status;
    out.result = Outcome(http, info.status, settings);
    if (out.result != kFetchFound) return out;
    switch (ParseDbar(reinterpret_cast<const std::uint8_t*>(body_.data()), body_.size(), ids, &out.responses)) {
      case kDbarOk:
        break;
      case kDbarEmpty:
        out.result = kFetchNotInDatabase;
        break;
      default:
        out.result = kFetchMalformed;
        break;
    }
    return out;
  }

 protected:
  int OnData(const char* bytes, int length) override {
    if (length < 0 || body_.size() + static_cast<std::size_t>(length) > kMaxDbarBytes) return 0;
    return NoThrow(0, [&] {
      body_.append(bytes, static_cast<std::size_t>(length));
      return 1;
    });
  }
  void OnRequestSent(const std::string&) override {
    sent_ = true;
    sentAt_ = Clock::now();
  }
  // A redirect's header ends one hop; the next one connects afresh.
  void OnHeaderReceived(const std::string&) override { hopStart_ = Clock::now(); }

 private:
  // kFetchFound stands for "a body to parse".
  int Outcome(int http, int status, const FetchSettings& settings) const {
    const std::uint64_t wholeMs = std::uint64_t{settings.connectMs} + settings.receiveMs;
    switch (http) {
      case kHttpOk:
        if (status == 200) return kFetchFound;
        return status == 404 ? kFetchNotInDatabase : kFetchServerError;
      case kHttpCancelled:
        return kFetchCancelled;
      case kHttpBadUrl:  // before any request: the server's address; after one: a redirect's
        return sent_ ? kFetchServerError : kFetchBadServer;
      case kHttpNoSocket:
      case kHttpHostNotFound:
        return kFetchNoConnection;
      case kHttpConnectFailed:
        return TimeRanOut(hopStart_, settings.connectMs) || TimeRanOut(start_, wholeMs) ? kFetchNoAnswer
                                                                                           : kFetchNoConnection;
      case kHttpHeaderFailed:
      case kHttpShortBody:
        if ((sent_ && TimeRanOut(sentAt_, settings.receiveMs)) || TimeRanOut(start_, wholeMs)) return kFetchNoAnswer;
        return http == kHttpShortBody ? kFetchMalformed : kFetchServerError;
      case kHttpOutputFailed:  // over kMaxDbarBytes
        return kFetchMalformed;
      default:  // the request could not be sent, the reply broke its framing
        return kFetchServerError;
    }
  }

  std::string body_;
  bool sent_ = false;
  Clock::time_point start_, hopStart_, sentAt_;
};

DbarFetch::DbarFetch() : client_(new Client) {}
DbarFetch::~DbarFetch() = default;

FetchOutcome DbarFetch::Fetch(const FetchSettings& settings, const DiscIds& ids) {
  // A failure of our own (memory) leaves nothing to compare with, like an
  // abort: the rip goes on unverified.
  return NoThrow(FetchOutcome(), [&] { return client_->Run(settings, ids); });
}

// The client's flag stays raised: a Fetch on this object after Abort is
// cancelled at once (make one DbarFetch per fetch).
void DbarFetch::Abort() { client_->Abort(); }

std::string FetchOutcomeText(const FetchOutcome& outcome) {
  switch (outcome.result) {
    case kFetchFound:
      return std::string();
    case kFetchNotInDatabase:
      return "データベースにありません";
    case kFetchMalformed:
      return "サーバーの応答が壊れています";
    case kFetchNoAnswer:
      return "サーバーから応答がありません";
    case kFetchNoConnection:
      return outcome.viaProxy ? "プロキシサーバーに接続できません" : "サーバーに接続できません";
    case kFetchServerError:
      if (outcome.httpStatus <= 0) return "サーバーがエラーを返しました";
      return "サーバーがエラーを返しました（HTTP " + std::to_string(outcome.httpStatus) + "）";
    case kFetchCancelled:
      return "中断しました";
    case kFetchDisabled:
      return "照合していません";
    case kFetchBadServer:
      return "サーバーのアドレスが正しくありません";
    default:
      return "照合できませんでした";
  }
}

}  // namespace accuraterip
