#pragma once
// The cache manager dialog: lists the cached discs, sorts them by a column,
// deletes the selected ones (the file changes when the plug-in quits).
#include <string>
#include <vector>

#include "cddb/cache_rows.h"
#include "cddb/cddb_record.h"
#include "host_api/win_types.h"

class CddbClient;

namespace cddb_windows {

// What the dialog needs of a cache.
class CacheRowSource {
 public:
  virtual ~CacheRowSource() = default;
  // One row per entry in key order; title and performer of the disc entry.
  virtual std::vector<CacheRow> Rows() = 0;
  virtual void Delete(const std::string& key) = 0;
};

// Modal over `parent`; always 1.
int ShowCacheManager(HWND parent, CacheRowSource& source);
// The same over a client's cache (the settings page's button).
int ShowCacheManager(HWND parent, CddbClient& client);

}  // namespace cddb_windows

// One cache entry as a row: the disc entry's texts, empty when it has none.
CacheRow MakeCacheRow(const std::string& key, const CddbDiscRecord& record);
