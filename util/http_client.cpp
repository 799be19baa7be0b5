#include "util/http_client.h"

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

int HttpClient::Request(const char*, const char*, HttpResponseInfo& info) {
  info = HttpResponseInfo();
  return kHttpNoSocket;
}

int HttpClient::SetProxy(const char*) { return 0; }
int HttpClient::SetUseProxy(bool flag) {
  useProxy_ = flag;
  return 1;
}
bool HttpClient::UseProxy() const { return useProxy_; }
const std::string& HttpClient::ProxyHost() const { return proxyHost_; }
int HttpClient::ProxyPort() const { return proxyPort_; }
void HttpClient::SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) {
  connectMs_ = connectMs;
  receiveMs_ = receiveMs;
}

int HttpClient::OnStatusText(const std::string&) { return 1; }
int HttpClient::OnData(const char*, int) { return 0; }
int HttpClient::OnProgress(int, int) { return 1; }
void HttpClient::OnRequestSent(const std::string&) {}
void HttpClient::OnHeaderReceived(const std::string&) {}
int HttpClient::KeepRedirect(const HttpResponseInfo&) { return 0; }

void ParseHttpHeader(const std::string&, HttpResponseInfo&) {}

bool StartSocketLayer() { return true; }
void StopSocketLayer() {}
