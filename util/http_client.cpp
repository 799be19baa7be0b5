#include "util/http_client.h"

#include <boost/regex.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/http_chunked.h"
#include "util/codepage.h"
#include "util/socket.h"

namespace {

constexpr int kChunk = 1024;
// A redirect chain longer than this is treated as a loop.
constexpr int kMaxRedirects = 10;
// A reply header is a few hundred bytes; a peer that never ends it must not
// make us buffer without limit.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

// Whole, never cut: a cut could end inside a UTF-8 character.
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return codepage::SanitizeUtf8(text);
}

// Decimal digits to int; a value beyond int is clamped rather than wrapped.
int DecimalValue(const std::string& digits) {
  long long n = 0;
  for (char c : digits) {
    n = n * 10 + (c - '0');
    if (n > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(n);
}

using Clock = std::chrono::steady_clock;

// What is left until the deadline, in ms; 0 once it has passed.
std::uint32_t MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<std::uint32_t>(std::min<long long>(left, UINT32_MAX)) : 0;
}

std::string LowerCopy(const std::string& line) {
  std::string lower = line;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    // Only ASCII letters: header names and the values matched here are
    // ASCII, and a byte of any other character is left as it is.
    const unsigned char c = static_cast<unsigned char>(lower[i]);
    if (c >= 'A' && c <= 'Z') lower[i] = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string TrimmedValue(const std::string& text, std::size_t from) {
  std::size_t begin = from, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

struct HttpClient::Target {
  std::string host, portText, path;
  int port = 80;
};

bool HttpClient::ParseUrl(const std::string& url, Target* out) {
  static const boost::regex pattern(
      "(([a-z]+):)?//([^:/]+)(:([0-9]+))?/([-_.!~*'()a-zA-Z0-9;/?:@&=+$,%#]*)");
  boost::smatch m;
  if (!boost::regex_match(url, m, pattern)) return false;
  if (m[2].str() != "http") return false;
  out->host = m[3].str();
  out->portText = m[5].matched && m[5].length() > 0 ? m[5].str() : "80";
  out->path = m[6].str();
  int port = DecimalValue(out->portText);
  if (port > 65535) return false;  // not a port: no wrap to another one
  out->port = port;
  return true;
}

void ParseHttpHeader(const std::string& header, HttpResponseInfo& info) {
  static const boost::regex lengthPattern("content-length: ([0-9]+)");
  // The reason phrase is for people: "Gateway Time-out", Japanese, or none.
  static const boost::regex statusPattern("http/[0-9]\\.[0-9] ([0-9]{3})( [^\\r\\n]*)?");
  int status = 0;
  int length = 0;
  std::size_t start = 0;
  while (start <= header.size()) {
    std::size_t end = header.find("\r\n", start);
    if (end == std::string::npos) end = header.size();
    const std::string line = header.substr(start, end - start);
    start = end + 2;
    if (line.empty()) continue;
    const std::string lower = LowerCopy(line);
    boost::smatch m;
    switch (lower[0]) {
      case 'c':
        if (lower.compare(0, 16, "content-length: ") == 0 && boost::regex_match(lower, m, lengthPattern))
          length = DecimalValue(m[1].str());
        break;
      case 'h':
        if (lower.compare(0, 5, "http/") == 0 && boost::regex_match(lower, m, statusPattern))
          status = DecimalValue(m[1].str());
        break;
      case 'l':
        if (lower.compare(0, 9, "location:") == 0) info.location = TrimmedValue(line, 9);
        break;
      case 't':
        if (lower.compare(0, 18, "transfer-encoding:") == 0) {
          // A list of codings, the last applied last; only chunked (and the
          // no-op identity) can be undone here.
          const std::string codings = TrimmedValue(lower, 18);
          std::size_t from = 0;
          info.chunked = false;
          while (from <= codings.size()) {
            std::size_t comma = codings.find(',', from);
            if (comma == std::string::npos) comma = codings.size();
            const std::string coding = TrimmedValue(codings.substr(from, comma - from), 0);
            from = comma + 1;
            if (coding.empty() || coding == "identity") continue;
            if (coding == "chunked" && !info.chunked) {
              info.chunked = true;
            } else {
              info.unknownCoding = true;
            }
          }
        }
        break;
      default:
        break;
    }
  }
  info.status = status;
  info.contentLength = length;
  info.expected = length;
}

std::string ResolveHttpLocation(const std::string& location, const std::string& requestUrl) {
  if (location.empty()) return location;
  // A scheme before any "/", "?" or "#": absolute, taken as it is.
  const std::size_t colon = location.find(':');
  if (colon != std::string::npos && colon < location.find_first_of("/?#")) return location;
  const std::size_t hostAt = requestUrl.find("//");
  if (hostAt == std::string::npos) return location;
  if (location.compare(0, 2, "//") == 0) return requestUrl.substr(0, hostAt) + location;
  const std::size_t pathAt = requestUrl.find('/', hostAt + 2);
  const std::string origin = requestUrl.substr(0, pathAt);
  if (location[0] == '/') return origin + location;
  const std::string path = pathAt == std::string::npos ? "/" : requestUrl.substr(pathAt);
  const std::string noQuery = path.substr(0, path.find_first_of("?#"));
  if (location[0] == '?') return origin + noQuery + location;
  return origin + noQuery.substr(0, noQuery.rfind('/') + 1) + location;
}

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

int HttpClient::SetProxy(const char* text) {
  static const boost::regex pattern("([^:/]+)(:([0-9]+))");
  if (text == nullptr) return 0;
  boost::cmatch m;
  if (!boost::regex_match(text, m, pattern)) return 0;
  int port = DecimalValue(m[3].str());
  if (port > 65535) return 0;
  std::lock_guard<std::mutex> lock(proxyMutex_);
  if (proxy_.host != m[1].str() || proxy_.port != port) ++proxyChanges_;
  proxy_.host = m[1].str();
  proxy_.port = port;
  return 1;
}

int HttpClient::SetUseProxy(bool flag) {
  std::lock_guard<std::mutex> lock(proxyMutex_);
  if (proxy_.use != flag) ++proxyChanges_;
  proxy_.use = flag;
  return 1;
}
bool HttpClient::UseProxy() const {
  std::lock_guard<std::mutex> lock(proxyMutex_);
  return proxy_.use;
}
std::string HttpClient::ProxyHost() const {
  std::lock_guard<std::mutex> lock(proxyMutex_);
  return proxy_.host;
}
int HttpClient::ProxyPort() const {
  std::lock_guard<std::mutex> lock(proxyMutex_);
  return proxy_.port;
}

void HttpClient::Abort() {
  aborted_.store(true);
  // Wakes a receive at once; a connect or name lookup sees the flag at its
  // next slice or step. The owner closes the socket itself, so its handle is
  // never used after another thread freed it.
  std::lock_guard<std::mutex> lock(socketMutex_);
  if (active_ != net::kInvalidSocket) net::ShutdownBoth(active_);
}

void HttpClient::AllowRequests() { aborted_.store(false); }

bool HttpClient::Track(net::Socket s) {
  std::lock_guard<std::mutex> lock(socketMutex_);
  if (aborted_.load()) return false;
  active_ = s;
  return true;
}

void HttpClient::Untrack() {
  std::lock_guard<std::mutex> lock(socketMutex_);
  active_ = net::kInvalidSocket;
}

int HttpClient::Cancelled() {
  OnStatusText("キャンセルされました。");
  return kHttpCancelled;
}

void HttpClient::SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) {
  connectMs_ = connectMs;
  receiveMs_ = receiveMs;
}

int HttpClient::Request(const char* method, const char* url, HttpResponseInfo& info) {
  std::string current = url != nullptr ? url : "";
  const std::string verb = method != nullptr ? method : "GET";
  Proxy proxy;
  {
    std::lock_guard<std::mutex> lock(proxyMutex_);
    proxy = proxy_;
  }
  // Redirects share one budget: with time-outs per connection only, a
  // server that answers every hop just in time would hold the request for
  // ten times as long.
  const Deadline end = Clock::now() + std::chrono::milliseconds(connectMs_) + std::chrono::milliseconds(receiveMs_);
  for (int redirects = 0;; ++redirects) {
    info = HttpResponseInfo();
    if (redirects > kMaxRedirects) return kHttpBadUrl;
    if (aborted_.load()) return Cancelled();
    bool redirected = false;
    int result = RequestOnce(verb, current, proxy, end, info, &redirected);
    if (!redirected) return result;
    current = info.location;
  }
}

// One connection: steps from the socket to its close. Sets *redirected and
// leaves the target in info.location when a 301 is to be followed.
int HttpClient::RequestOnce(const std::string& method, const std::string& url, const Proxy& proxy, Deadline end,
                            HttpResponseInfo& info, bool* redirected) {
  Target target;
  if (!ParseUrl(url, &target)) return kHttpBadUrl;

  OnStatusText("ソケットを作成します");
  net::Socket s = net::CreateTcpSocket();
  if (s == net::kInvalidSocket) {
    OnStatusText("ソケットの作成に失敗しました");
    return kHttpNoSocket;
  }
  int result = kHttpCancelled;
  if (Track(s)) {
    result = Exchange(s, method, url, target, proxy, end, info, redirected);
    Untrack();
  } else {
    Cancelled();
  }
  if (result != kHttpHostNotFound && result != kHttpConnectFailed && result != kHttpCancelled) {
    OnStatusText("切断します");
    // The reply is whole or not whatever the shutdown says (a peer that has
    // closed first may make it fail): the outcome stands as it is.
    net::ShutdownBoth(s);
  }
  OnStatusText("ソケットを閉じます");
  net::Close(s);
  return result;
}

int HttpClient::Exchange(net::Socket s, const std::string& method, const std::string& url, const Target& target,
                         const Proxy& proxy, Deadline end, HttpResponseInfo& info, bool* redirected) {
  const std::string& peer = proxy.use ? proxy.host : target.host;
  const int peerPort = proxy.use ? proxy.port : target.port;
  OnStatusText(Format("%s を探しています...", peer.c_str()));
  std::uint32_t address = 0;
  // A name lookup cannot be interrupted: the flag is looked at around it.
  const bool resolved = net::ResolveHost(peer, &address);
  if (aborted_.load()) return Cancelled();
  if (!resolved) {
    OnStatusText(Format("%s が見つかりません", peer.c_str()));
    return kHttpHostNotFound;
  }
  const std::string dotted = net::AddressText(address);
  const unsigned portNumber = static_cast<unsigned>(peerPort);
  OnStatusText(Format("%s[%s] が見つかりました", peer.c_str(), dotted.c_str()));
  OnStatusText(Format("%s:%u に接続しています...", dotted.c_str(), portNumber));
  const std::uint32_t connectMs = std::min(connectMs_, MsLeft(end));
  const int connected = connectMs > 0
                            ? net::Connect(s, address, static_cast<std::uint16_t>(peerPort), connectMs, &aborted_)
                            : net::kNetTimeout;
  if (connected == net::kNetCancelled || aborted_.load()) return Cancelled();
  if (connected != 0) {
    OnStatusText(Format("%s:%u に接続できません", dotted.c_str(), portNumber));
    return kHttpConnectFailed;
  }
  OnStatusText(Format("%s:%u に接続しました", dotted.c_str(), portNumber));

  // Built whole rather than cut at a buffer size: a cut request line would
  // lose its protocol version and mean something else to the server.
  std::string request = method + (proxy.use ? " " + url : " /" + target.path) + " HTTP/1.0\r\n";
  request += "Host: " + target.host + ":" + target.portText + "\r\n";
  request += "User-Agent: " + userAgent_ + "\r\n\r\n";
  OnRequestSent(request);
  for (std::size_t sent = 0; sent < request.size();) {
    if (aborted_.load()) return Cancelled();
    int n = net::Send(s, request.data() + sent, static_cast<int>(request.size() - sent));
    if (n <= 0) {
      OnStatusText("Getリクエストの送信に失敗しました");
      return kHttpSendFailed;
    }
    sent += static_cast<std::size_t>(n);
  }

  // The time-out bounds the whole reply, not each receive: a peer that
  // sends a byte now and then must not keep the request alive for ever.
  const Deadline deadline = std::min(end, Clock::now() + std::chrono::milliseconds(receiveMs_));
  char chunk[kChunk];
  std::string header;
  std::size_t headerEnd = std::string::npos;
  while (headerEnd == std::string::npos) {
    const std::uint32_t left = MsLeft(deadline);
    int n = left > 0 ? net::Receive(s, chunk, kChunk, left, &aborted_) : net::kNetTimeout;
    if (aborted_.load()) return Cancelled();
    if (n <= 0 || header.size() + static_cast<std::size_t>(n) > kMaxHeaderBytes) {
      OnStatusText("レスポンスヘッダーの取得に失敗しました。");
      return kHttpHeaderFailed;
    }
    // The blank line may straddle two chunks: search from just before the new bytes.
    std::size_t from = header.size() >= 3 ? header.size() - 3 : 0;
    header.append(chunk, static_cast<std::size_t>(n));
    headerEnd = header.find("\r\n\r\n", from);
  }
  std::string body = header.substr(headerEnd + 4);
  header.resize(headerEnd + 4);
  OnHeaderReceived(header);
  ParseHttpHeader(header, info);

  if (KeepRedirect(info) == 0 && IsRedirect(info.status)) {
    info.location = ResolveHttpLocation(info.location, url);
    *redirected = true;
    return kHttpOk;
  }
  OnStatusText("データの受信を開始します...");
  if (info.unknownCoding) return BadReply();
  // A chunked body ends with its last chunk: its length, if any, means nothing.
  if (info.chunked) info.expected = 0;
  ChunkedDecoder decoder;
  bool lastChunk = false;
  std::string decoded;
  auto take = [&](const char* bytes, int length) {
    if (!info.chunked) return Deliver(bytes, length, info);
    decoded.clear();
    const ChunkedDecoder::Outcome outcome = decoder.Feed(bytes, static_cast<std::size_t>(length), &decoded);
    if (outcome == ChunkedDecoder::kBad) return BadReply();
    lastChunk = outcome == ChunkedDecoder::kDone;
    return Deliver(decoded.data(), static_cast<int>(decoded.size()), info);
  };
  // Complete once the last chunk or the declared length has arrived: a peer
  // that keeps the connection open afterwards (keep-alive) is not waited for.
  auto complete = [&] {
    return info.chunked ? lastChunk : info.expected != 0 && info.received >= info.expected;
  };
  int result = take(body.data(), static_cast<int>(body.size()));
  while (result == kHttpOk && !complete()) {
    const std::uint32_t left = MsLeft(deadline);
    int n = left > 0 ? net::Receive(s, chunk, kChunk, left, &aborted_) : net::kNetTimeout;
    if (aborted_.load()) return Cancelled();
    // Only the peer's orderly close ends a body. A stalled one, one still
    // coming when the time is up, or a receive that failed (a reset) is
    // never a complete one, length or not.
    if (n < 0) return kHttpShortBody;
    if (n == 0) break;
    result = take(chunk, n);
  }
  if (result == kHttpOk && (info.chunked ? !lastChunk : info.expected != 0 && info.received != info.expected))
    result = kHttpShortBody;
  return result;
}

int HttpClient::BadReply() {
  OnStatusText("レスポンスの形式が正しくありません。");
  return kHttpBadReply;
}

int HttpClient::Deliver(const char* bytes, int length, HttpResponseInfo& info) {
  if (length <= 0) return kHttpOk;
  if (OnData(bytes, length) == 0) {
    OnStatusText("データ出力に失敗しました。");
    return kHttpOutputFailed;
  }
  info.received += length;
  if (OnProgress(info.received, info.expected) == 0) {
    OnStatusText("キャンセルされました。");
    return kHttpCancelled;
  }
  return kHttpOk;
}

int HttpClient::OnStatusText(const std::string&) { return 1; }
int HttpClient::OnData(const char*, int) { return 0; }
int HttpClient::OnProgress(int, int) { return 1; }
void HttpClient::OnRequestSent(const std::string&) {}
void HttpClient::OnHeaderReceived(const std::string&) {}
int HttpClient::KeepRedirect(const HttpResponseInfo&) { return 0; }

bool StartSocketLayer() { return net::StartLayer(); }
void StopSocketLayer() { net::StopLayer(); }
