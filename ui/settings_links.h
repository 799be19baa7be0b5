#pragma once
// Where the settings sheet reaches the CDDB side: the client that takes the
// server and proxy settings, and the cache manager behind the CDDB page's
// button. Until the plug-in installs its own, a stand-in is used that checks
// proxy texts as the HTTP client does and opens nothing.
#include "host_api/win_types.h"
#include "ui/settings_pages.h"

namespace settings_links {

void InstallCddbClient(settings_pages::CddbClientSettings* client);  // nullptr: the stand-in
settings_pages::CddbClientSettings& CddbClient();

using CacheManagerOpener = void (*)(HWND owner);
void InstallCacheManagerOpener(CacheManagerOpener opener);  // nullptr: none
void OpenCacheManager(HWND owner);

// The proxy form the HTTP client accepts: "host:port", decimal port.
bool IsProxyText(const std::string& text);

}  // namespace settings_links
