#include "input/plugin_cddb.h"

#include "cddb/cddb_ui_client.h"
#include "input/plugin_paths.h"

CddbUiClient& PluginCddbClient() {
  static CddbUiClient client;
  return client;
}

std::string CddbCachePath() { return plugin::CacheFilePath(); }
