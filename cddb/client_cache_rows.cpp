#include <string>
#include <vector>

#include "cddb/cache_manager.h"
#include "cddb/cddb_client.h"

CacheRow MakeCacheRow(const std::string& key, const CddbDiscRecord& record) {
  CacheRow row;
  row.discId = record.discId;
  row.key = key;
  const auto disc = record.tracks.find(0);
  if (disc != record.tracks.end()) {
    row.title = disc->second.title;
    row.performer = disc->second.performer;
  }
  return row;
}

namespace cddb_windows {

namespace {

// A client's cache; the client guards it against lookup threads.
class ClientCacheRowSource : public CacheRowSource {
 public:
  explicit ClientCacheRowSource(CddbClient& client) : client_(client) {}
  std::vector<CacheRow> Rows() override {
    std::vector<CacheRow> rows;
    client_.FirstCacheEntry();
    std::string key;
    CddbDiscRecord record;
    while (client_.NextCacheEntry(&key, &record)) rows.push_back(MakeCacheRow(key, record));
    return rows;
  }
  void Delete(const std::string& key) override { client_.DeleteFromCache(key); }

 private:
  CddbClient& client_;
};

}  // namespace

int ShowCacheManager(HWND parent, CddbClient& client) {
  ClientCacheRowSource source(client);
  return ShowCacheManager(parent, source);
}

}  // namespace cddb_windows
