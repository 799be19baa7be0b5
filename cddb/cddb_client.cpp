#include "cddb/cddb_client.h"

#include <cstdio>
#include <cstring>

#include "cddb/cddb_email.h"
#include "cddb/cddb_lookup.h"
#include "cddb/cddb_reply.h"
#include "cddb/disc_id.h"

namespace {

// A CDDB reply is a few kilobytes; a server that streams without end is cut
// off here rather than filling memory.
constexpr std::size_t kMaxBody = 1 << 20;

// The longest request URL sent. Every piece within its own limit fits,
// the query of a 99-track disc included; cut, a request would ask the
// server for something else.
constexpr std::size_t kMaxRequestUrl = 2047;

bool Fits(const std::string& text, std::size_t limit) { return text.size() <= limit; }

}  // namespace

// The owner starts the socket layer (the plug-in at Init, each lookup thread
// for itself): a destructor runs at unload, where WinSock must not be touched.
CddbClient::CddbClient() : serverUrl_(kCddbDefaultServerUrl) {}

CddbClient::~CddbClient() = default;

int CddbClient::SetServerUrl(const char* url) {
  std::lock_guard<std::mutex> lock(configMutex_);
  const std::string text = url ? url : "";
  if (text != serverUrl_) ++configChanges_;
  serverUrl_ = text;
  return 1;
}

unsigned CddbClient::ConfigChanges() const { return configChanges_.load() + ProxyChanges(); }

std::string CddbClient::ServerUrl() const {
  std::lock_guard<std::mutex> lock(configMutex_);
  return serverUrl_;
}

void CddbClient::SetClientInfo(const char* name, const char* version) {
  std::lock_guard<std::mutex> lock(configMutex_);
  clientName_ = name ? name : "";
  clientVersion_ = version ? version : "";
}

void CddbClient::SetEmail(const char* address) {
  std::string user = "username", host = "hostname";
  SplitCddbEmail(address ? address : "", &user, &host);
  std::lock_guard<std::mutex> lock(configMutex_);
  if (user != helloUser_ || host != helloHost_) ++configChanges_;
  helloUser_ = user;
  helloHost_ = host;
}

void CddbClient::SetUseUtf8(bool flag) { SetProtocolLevel(flag ? 6 : 1); }

int CddbClient::SetProtocolLevel(int level) {
  if (level != 1 && level != 6) return 0;
  if (proto_.exchange(level) != level) ++configChanges_;
  return 1;
}

std::string CddbClient::CommandUrl(const std::string& command) const {
  std::lock_guard<std::mutex> lock(configMutex_);
  if (!Fits(serverUrl_, 512) || !Fits(command, 1536 + 11) || !Fits(helloUser_, 256) || !Fits(helloHost_, 256) ||
      !Fits(clientName_, 256) || !Fits(clientVersion_, 64))
    return std::string();
  const std::string url = serverUrl_ + "?cmd=" + command + "&hello=" + helloUser_ + "+" + helloHost_ + "+" +
                          clientName_ + "+" + clientVersion_ + "&proto=" + std::to_string(proto_.load());
  return Fits(url, kMaxRequestUrl) ? url : std::string();
}

int CddbClient::OnData(const char* bytes, int length) {
  if (length <= 0) return length;
  const std::size_t n = static_cast<std::size_t>(length);
  // CDDB text never holds a zero byte: whatever sends one is no CDDB server.
  if (std::memchr(bytes, 0, n) != nullptr) {
    zeroByte_ = true;
    return 0;
  }
  if (body_.size() + n > kMaxBody) return 0;
  body_.append(bytes, n);
  return length;
}

int CddbClient::OnProgress(int, int) { return Aborted() ? 0 : 1; }

int CddbClient::ChooseCandidate(const std::vector<CddbCandidate>&) { return 1; }

void CddbClient::OnHeaderReceived(const std::string& header) { httpStatusLine_ = CddbStatusLine(header); }

int CddbClient::Fetch(const std::string& url) {
  HttpResponseInfo info;
  const int r = Get(url.c_str(), info);
  httpStatus_ = info.status;
  return r;
}

int CddbClient::FindInCache(const std::string& key) {
  CddbDiscRecord record;
  if (!cache_.Find(key, &record)) return 0;
  std::lock_guard<std::mutex> lock(resultMutex_);
  result_ = std::move(record);
  return 1;
}

void CddbClient::StoreInCache(const std::string& key) { cache_.Store(key, CurrentResult()); }

CddbDiscRecord CddbClient::CurrentResult() const {
  std::lock_guard<std::mutex> lock(resultMutex_);
  return result_;
}

void CddbClient::SetCurrentResult(const CddbDiscRecord& record) {
  std::lock_guard<std::mutex> lock(resultMutex_);
  result_ = record;
}

int CddbClient::GetTrackText(int number, TitleInfo* out) const {
  if (number < 0) return 0;
  std::lock_guard<std::mutex> lock(resultMutex_);
  auto it = result_.tracks.find(static_cast<std::uint32_t>(number));
  if (it == result_.tracks.end()) return 0;
  if (out) *out = it->second;
  return 1;
}

std::string CddbClient::RefusalLine() const {
  std::lock_guard<std::mutex> lock(resultMutex_);
  return refusalLine_;
}

int CddbClient::Refused(const std::string& line) {
  std::lock_guard<std::mutex> lock(resultMutex_);
  refusalLine_ = line;
  return kCddbServerRefused;
}

int CddbClient::Command(const std::string& command, bool informational) {
  body_.clear();
  httpStatus_ = 0;
  httpStatusLine_.clear();
  zeroByte_ = false;
  const std::string url = CommandUrl(command);
  if (url.empty()) return kCddbServerUnreachable;  // nothing sent rather than a request cut short
  const int r = Fetch(url);
  if (zeroByte_) return kCddbUnexpectedData;
  if (r == kHttpBadReply) return kCddbUnexpectedData;
  if (r != kHttpOk) return kCddbServerUnreachable;
  // Only a 200 reply carries CDDB text: an error page (a proxy's, a
  // gateway's, the web server's own) says nothing about the disc.
  if (httpStatus_ != 200) return IsCddbRefusal(httpStatus_) ? Refused(httpStatusLine_) : kCddbServerUnreachable;
  if (informational) return 0;
  if (IsCddbRefusal(CddbReplyStatus(body_))) return Refused(CddbStatusLine(body_));
  return 0;
}

int CddbClient::Lookup(const DiscToc& toc, CddbDiscRecord* found) {
  {
    std::lock_guard<std::mutex> lock(resultMutex_);
    result_.tracks.clear();
    refusalLine_.clear();
  }
  std::string key;
  const std::uint32_t id = BuildQueryKey(toc, &key);
  if (id == 0) return kCddbNoDisc;
  if (cacheEnabled_ && FindInCache(key)) {
    if (found) *found = CurrentResult();
    return kCddbFoundInCache;
  }

  // The message of the day is information only: a server without one
  // (401) or without the command (500) still answers the query. A server
  // that cannot be reached, or an HTTP error, ends the lookup here.
  int r = Command("motd", true);
  if (r != 0) return r;

  CddbDiscRecord record;
  record.discId = id;
  std::string category, lineId;
  r = Command("cddb+query+" + key);
  if (r != 0) return r;
  r = ParseQueryReply(
      body_, proto_.load(), [this](const std::vector<CddbCandidate>& c) { return ChooseCandidate(c); }, &record,
      &category, &lineId);
  if (r != 0) return r;

  // The entry to read is the one the matching line names: with several
  // matches the chosen one may be filed under an id of its own. The record
  // keeps the computed id, which names the disc in the cache.
  if (lineId.empty()) {
    char id8[16];
    std::snprintf(id8, sizeof id8, "%.8x", static_cast<unsigned>(id));
    lineId = id8;
  }
  r = Command("cddb+read+" + category + "+" + lineId);
  if (r != 0) return r;
  r = ParseReadReply(body_, proto_.load(), &record);
  if (r != 0) return r;
  // A reply without a length that the connection cut short reads like a
  // whole one but lacks its final line: its titles would be cached, cut, for
  // good.
  if (!HasCddbTerminator(body_)) return kCddbReadFailed;

  const bool store = !record.tracks.empty();
  {
    std::lock_guard<std::mutex> lock(resultMutex_);
    result_ = record;
  }
  if (store) cache_.Store(key, record);
  if (found) *found = std::move(record);
  return kCddbFoundOnServer;
}
