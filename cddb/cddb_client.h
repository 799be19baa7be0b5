#pragma once
// The CDDB exchange over HTTP: motd, query and read, each a GET of the
// server's cddb.cgi, and the cache consulted before the network.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "cddb/cddb_cache.h"
#include "cddb/cddb_record.h"
#include "cddb/cddb_status_ui.h"
#include "device/disc_toc.h"
#include "util/http_client.h"

constexpr char kCddbDefaultServerUrl[] = "http://gnudb.gnudb.org:80/~cddb/cddb.cgi";

class CddbClient : public HttpClient {
 public:
  CddbClient();
  ~CddbClient() override;
  CddbClient(const CddbClient&) = delete;
  CddbClient& operator=(const CddbClient&) = delete;

  int SetServerUrl(const char* url);  // 1
  void SetClientInfo(const char* name, const char* version);
  // The address whose user and host make the hello of every request; empty,
  // or not an address, sends the words "username hostname".
  void SetEmail(const char* address);
  void SetUseUtf8(bool flag);
  int SetProtocolLevel(int level);  // 1 for 1 or 6; 0 and unchanged otherwise
  int ProtocolLevel() const { return proto_.load(); }
  std::string ServerUrl() const;
  // Counts the changes of everything that shapes a request (server, proxy,
  // hello, protocol level); a setter that changes nothing does not count.
  unsigned ConfigChanges() const;

  // Motd, query, read and store; a CddbResult 0-7 or 10, with the disc's
  // record in *found for 0 and 1. Callers serialise.
  int Lookup(const DiscToc& toc, CddbDiscRecord* found = nullptr);
  // The server's own status line when the last lookup was refused (10);
  // empty otherwise.
  std::string RefusalLine() const;

  // 1 with the texts of `number` (0: the disc) of the current result.
  int GetTrackText(int number, TitleInfo* out) const;
  CddbDiscRecord CurrentResult() const;
  void SetCurrentResult(const CddbDiscRecord& record);

  CddbCache& Cache() { return cache_; }
  int LoadCache(const std::string& path) { return cache_.Load(path); }
  // 0 on any failure, the old file then left exactly as it was.
  int SaveCache(const std::string& path) { return cache_.Save(path); }
  // 1 and the current result replaced by the cached entry; 0 if absent.
  int FindInCache(const std::string& key);
  void StoreInCache(const std::string& key);
  int DeleteFromCache(const std::string& key) { return cache_.Delete(key); }
  void FirstCacheEntry() { cache_.First(); }
  int NextCacheEntry(std::string* key, CddbDiscRecord* record) { return cache_.Next(key, record); }

  // The request URL for a command, as sent; empty when a piece is longer
  // than its limit (server URL 512, command 1547, hello words 256, client
  // name 256, version 64) or the whole longer than 2047.
  std::string CommandUrl(const std::string& command) const;

 protected:
  int OnData(const char* bytes, int length) override;
  int OnProgress(int received, int expected) override;
  void OnHeaderReceived(const std::string& header) override;
  // The seventh operation: the number of the candidate to read (from 1).
  virtual int ChooseCandidate(const std::vector<CddbCandidate>& candidates);
  // One GET into the response body (through OnData) and the HTTP status
  // (emptied and 0 before); an HttpResult. Tests replace it to feed canned
  // replies.
  virtual int Fetch(const std::string& url);

  std::string body_;
  int httpStatus_ = 0;
  std::string httpStatusLine_;
  bool zeroByte_ = false;  // the reply held a zero byte

 private:
  mutable std::mutex configMutex_;
  std::string serverUrl_;
  std::string clientName_ = "cddb_client";
  std::string clientVersion_ = "Ver.0.01";
  std::string helloUser_ = "username", helloHost_ = "hostname";
  std::atomic<int> proto_{1};
  std::atomic<unsigned> configChanges_{0};
  const bool cacheEnabled_ = true;

  // One command: 4 when the transfer failed or the HTTP status is neither
  // 200 nor an error, 10 when the server (or a proxy on the way) refused it,
  // 7 for a reply that is no CDDB text, else 0 with the reply in body_.
  // An informational command (motd) is not judged by its CDDB status.
  int Command(const std::string& command, bool informational = false);
  int Refused(const std::string& line);  // 10, remembering the line

  mutable std::mutex resultMutex_;
  CddbDiscRecord result_;
  std::string refusalLine_;
  CddbCache cache_;
};
