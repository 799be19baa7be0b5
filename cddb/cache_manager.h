#pragma once
// The cache manager dialog: lists the cached discs, sorts them by a column,
// deletes the selected ones (the file changes when the plug-in quits).
#include <string>
#include <vector>

#include "cddb/cache_rows.h"
#include "host_api/win_types.h"

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

}  // namespace cddb_windows
