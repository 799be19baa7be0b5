#pragma once
// An HTTP/1.0 client: one request per connection, optionally through a
// proxy, with the reply body streamed to a hook.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

struct HttpResponseInfo {
  int status = 0;
  int received = 0;
  int expected = 0;
  int contentLength = 0;
  std::string location;
  bool chunked = false;        // Transfer-Encoding: chunked
  bool unknownCoding = false;  // a transfer coding this client cannot decode
};

enum HttpResult : int {
  kHttpOk = 0,
  kHttpShortBody = 2,
  kHttpBadUrl = 3,
  kHttpNoSocket = 4,
  kHttpHostNotFound = 5,
  kHttpConnectFailed = 6,
  kHttpSendFailed = 7,
  kHttpHeaderFailed = 8,
  kHttpCloseFailed = 9,
  kHttpCancelled = 10,
  kHttpOutputFailed = 11,
  kHttpBadReply = 12  // the reply breaks its own framing (its transfer coding)
};

class HttpClient {
 public:
  HttpClient();
  virtual ~HttpClient();

  int Request(const char* method, const char* url, HttpResponseInfo& info);  // an HttpResult
  int Get(const char* url, HttpResponseInfo& info) { return Request("GET", url, info); }
  // The proxy settings may change from another thread at any time; a request
  // takes its own copy when it starts.
  int SetProxy(const char* text);  // 1 accepted ("host:port"), 0 refused (unchanged)
  int SetUseProxy(bool flag);      // returns 1
  bool UseProxy() const;
  std::string ProxyHost() const;
  int ProxyPort() const;
  // Counts changes of the proxy settings (a setter that changes nothing
  // does not count).
  unsigned ProxyChanges() const { return proxyChanges_.load(); }
  // From any thread: the request in progress ends with kHttpCancelled as
  // soon as it can (its connection is shut down, every wait and step looks
  // at the flag), and so does every later one until AllowRequests.
  void Abort();
  void AllowRequests();
  bool Aborted() const { return aborted_.load(); }
  // Time-outs in ms for connect and for the whole reply, header and body,
  // from the request sent (default 30000 each); a request with its
  // redirects ends within their sum. A seam for tests, not a setting.
  void SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs);

 protected:  // the six hooks, in this slot order
  virtual int OnStatusText(const std::string& text);       // base: 1
  virtual int OnData(const char* bytes, int length);       // base: 0
  virtual int OnProgress(int received, int expected);      // base: 1
  virtual void OnRequestSent(const std::string& request);  // base: nothing
  virtual void OnHeaderReceived(const std::string& header);  // base: nothing
  // 301, 302, 303, 307 and 308 are followed unless this says to keep the
  // reply; a relative Location is resolved against the request's URL.
  virtual int KeepRedirect(const HttpResponseInfo& info);  // base: 0 (follow)

 private:
  struct Target;
  struct Proxy {
    bool use = false;
    std::string host;
    int port = 8080;
  };
  using Deadline = std::chrono::steady_clock::time_point;
  static bool ParseUrl(const std::string& url, Target* out);
  // `end`: when the whole request, redirects included, must be over.
  int RequestOnce(const std::string& method, const std::string& url, const Proxy& proxy, Deadline end,
                  HttpResponseInfo& info, bool* redirected);
  int Exchange(std::intptr_t socket, const std::string& method, const std::string& url, const Target& target,
               const Proxy& proxy, Deadline end, HttpResponseInfo& info, bool* redirected);
  int Deliver(const char* bytes, int length, HttpResponseInfo& info);
  int Cancelled();
  int BadReply();
  // The connection of the request in progress, for Abort.
  bool Track(std::intptr_t socket);
  void Untrack();

  std::string userAgent_ = "http client ";
  mutable std::mutex proxyMutex_;
  Proxy proxy_;
  std::atomic<unsigned> proxyChanges_{0};
  std::atomic<bool> aborted_{false};
  std::mutex socketMutex_;
  std::intptr_t active_ = -1;
  std::uint32_t connectMs_ = 30000;
  std::uint32_t receiveMs_ = 30000;
};

// Header parsing, portable and fuzzable: fills status, contentLength,
// location, chunked and unknownCoding of `info`. The status comes from a
// line "HTTP/d.d NNN" followed by any reason phrase, or none.
void ParseHttpHeader(const std::string& header, HttpResponseInfo& info);

// The URL a redirect's Location names, resolved against the URL of the
// request that got it (an absolute one is taken as it is).
std::string ResolveHttpLocation(const std::string& location, const std::string& requestUrl);

// Starts/stops the socket layer (WinSock 1.1 on Windows; nothing elsewhere).
// Counted, thread-safe.
bool StartSocketLayer();
void StopSocketLayer();
