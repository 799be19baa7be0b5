#include "input/plugin_cddb.h"

#include "cddb/cddb_ui_client.h"
#include "input/plugin_strings.h"
#include "util/host_dir.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator[] = "\\";
#else
constexpr char kSeparator[] = "/";
#endif

}  // namespace

CddbUiClient& PluginCddbClient() {
  static CddbUiClient client;
  return client;
}

std::string CddbCachePath() { return ModuleDirectory(PluginInstance()) + kSeparator + "cddb_cache.dat"; }
