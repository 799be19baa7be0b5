#include "cddb/cache_manager.h"

// No dialogs outside Windows.
namespace cddb_windows {

int ShowCacheManager(HWND, CacheRowSource&) { return 1; }

}  // namespace cddb_windows
