#pragma once
// The plug-in's CDDB client and where its cache file lives.
#include <string>

class CddbUiClient;

CddbUiClient& PluginCddbClient();
// cddb_cache.dat in the host's settings folder (beside the plug-in under a
// host that does not say where its settings are).
std::string CddbCachePath();
