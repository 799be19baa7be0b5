#pragma once
// The plug-in's CDDB client and where its cache file lives.
#include <string>

class CddbUiClient;

CddbUiClient& PluginCddbClient();
// cddb_cache.dat beside the plug-in library.
std::string CddbCachePath();
