#pragma once
// Where the settings sheet reaches outside itself, provided by the plug-in:
// its CDDB client, which takes the server, proxy and status-window settings,
// the cache manager behind the CDDB page's button, the transport the drives
// are reached through, and the module that holds the sheet's resources.
#include "host_api/win_types.h"
#include "ui/settings_pages.h"

namespace settings_links {

settings_pages::CddbClientSettings& CddbClient();
void OpenCacheManager(HWND owner);
int TransportKind();
// The module whose templates and strings the sheet uses.
HINSTANCE Instance();

}  // namespace settings_links
