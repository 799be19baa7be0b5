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

std::string Limited(const std::string& text, std::size_t limit) {
  return text.size() > limit ? text.substr(0, limit) : text;
}

}  // namespace

// The owner starts the socket layer (the plug-in at Init, each lookup thread
// for itself): a destructor runs at unload, where WinSock must not be touched.
CddbClient::CddbClient() : serverUrl_(kCddbDefaultServerUrl) {}

CddbClient::~CddbClient() = default;

int CddbClient::SetServerUrl(const char* url) {
  std::lock_guard<std::mutex> lock(configMutex_);
  serverUrl_ = url ? url : "";
  return 1;
}

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
  helloUser_ = user;
  helloHost_ = host;
}

void CddbClient::SetUseUtf8(bool flag) { proto_.store(flag ? 6 : 1); }

int CddbClient::SetProtocolLevel(int level) {
  if (level != 1 && level != 6) return 0;
  proto_.store(level);
  return 1;
}

std::string CddbClient::CommandUrl(const std::string& command) const {
  std::lock_guard<std::mutex> lock(configMutex_);
  // Every formatted text stops at 1023 characters; the pieces are limited
  // first so that nothing is formatted past its own width.
  std::string url = Limited(serverUrl_, 512) + "?cmd=" + Limited(command, 1024) + "&hello=" +
                    Limited(helloUser_, 256) + "+" + Limited(helloHost_, 256) + "+" + Limited(clientName_, 256) +
                    "+" + Limited(clientVersion_, 64) + "&proto=" + std::to_string(proto_.load());
  return Limited(url, 1023);
}

int CddbClient::OnData(const char* bytes, int length) {
  if (length <= 0) return length;
  const std::size_t n = strnlen(bytes, static_cast<std::size_t>(length));
  if (body_.size() + n > kMaxBody) return 0;
  body_.append(bytes, n);
  return length;
}

int CddbClient::OnProgress(int, int) { return Aborted() ? 0 : 1; }

int CddbClient::ChooseCandidate(const std::vector<CddbCandidate>&) { return 1; }

void CddbClient::OnHeaderReceived(const std::string& header) { httpStatusLine_ = CddbStatusLine(header); }

int CddbClient::Fetch(const std::string& url) {
  body_.clear();
  httpStatus_ = 0;
  httpStatusLine_.clear();
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

int CddbClient::Command(const std::string& command) {
  if (Fetch(CommandUrl(command)) != kHttpOk) return kCddbServerUnreachable;
  if (IsCddbRefusal(CddbReplyStatus(body_))) return Refused(CddbStatusLine(body_));
  // An error page (a proxy's, or the web server's own) is no answer about the disc either.
  if (IsCddbRefusal(httpStatus_)) return Refused(httpStatusLine_);
  return 0;
}

int CddbClient::Lookup(const DiscToc& toc) {
  {
    std::lock_guard<std::mutex> lock(resultMutex_);
    result_.tracks.clear();
    refusalLine_.clear();
  }
  std::string key;
  const std::uint32_t id = BuildQueryKey(toc, &key);
  if (id == 0) return kCddbNoDisc;
  if (cacheEnabled_ && FindInCache(key)) return kCddbFoundInCache;

  // The motd says nothing about the disc, but a server that refuses the
  // hello refuses it here first.
  int r = Command("motd");
  if (r != 0) return r;

  CddbDiscRecord record;
  record.discId = id;
  std::string category;
  r = Command("cddb+query+" + key);
  if (r != 0) return r;
  r = ParseQueryReply(
      body_, proto_.load(), [this](const std::vector<CddbCandidate>& c) { return ChooseCandidate(c); }, &record,
      &category);
  if (r != 0) return r;

  // The reply's own disc id is not used: the computed one names the disc.
  char id8[16];
  std::snprintf(id8, sizeof id8, "%.8X", static_cast<unsigned>(id));
  r = Command("cddb+read+" + Limited(category, 128) + "+" + id8);
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
  return kCddbFoundOnServer;
}
