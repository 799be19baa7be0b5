#pragma once
// Where the settings sheet reaches the CDDB side: the plug-in's CDDB client,
// which takes the server and proxy settings, and the cache manager behind the
// CDDB page's button.
#include "host_api/win_types.h"
#include "ui/settings_pages.h"

namespace settings_links {

settings_pages::CddbClientSettings& CddbClient();
void OpenCacheManager(HWND owner);

}  // namespace settings_links
