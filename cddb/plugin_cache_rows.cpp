#include <string>
#include <vector>

#include "cddb/cache_manager.h"
#include "cddb/cddb_ui_client.h"
#include "cddb/plugin_cddb.h"

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

// The plug-in's own cache; the client guards it against lookup threads.
class PluginCacheRowSource : public CacheRowSource {
 public:
  std::vector<CacheRow> Rows() override {
    std::vector<CacheRow> rows;
    CddbUiClient& client = PluginCddbClient();
    client.FirstCacheEntry();
    std::string key;
    CddbDiscRecord record;
    while (client.NextCacheEntry(&key, &record)) rows.push_back(MakeCacheRow(key, record));
    return rows;
  }
  void Delete(const std::string& key) override { PluginCddbClient().DeleteFromCache(key); }
};

}  // namespace

int ShowCacheManager(HWND parent) {
  PluginCacheRowSource source;
  return ShowCacheManager(parent, source);
}

}  // namespace cddb_windows
