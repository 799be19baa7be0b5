#include "cddb/plugin_cddb.h"

#include "cddb/cddb_status_ui.h"
#include "cddb/cddb_ui_client.h"
#include "input/plugin_settings.h"
#include "input/plugin_strings.h"
#include "util/host_dir.h"

namespace {

// A lookup thread ends within its HTTP time-outs once cancelled; Quit does
// not wait longer than one connect plus one receive.
constexpr std::uint32_t kStopWaitMs = 61000;

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

namespace plugin {

std::string CddbCachePath() { return ModuleDirectory(PluginInstance()) + kSeparator + "cddb_cache.dat"; }

void StartCddb() {
  CddbUiClient& client = PluginCddbClient();
  const PluginSettings& s = Settings();
  client.SetClientInfo("in_quorvo.dll", "Ver.0.26");
  client.SetServerUrl(s.cddbUrl.c_str());
  client.SetUseUtf8(s.cddbUseUtf8);
  client.SetProxy(s.cddbProxy.c_str());
  client.SetUseProxy(s.cddbUseProxy);
  client.SetEmail(s.cddbEmail.c_str());
  client.SetAutoClose(s.cddbDialogAutoClose);
  client.LoadCache(CddbCachePath());
  InstallTitleCddb(&client);
}

void StopCddb() {
  CddbUiClient& client = PluginCddbClient();
  // A status window may be waiting for its user (auto-close off) or a
  // candidate choice: end it, or the lookup thread would outlive us.
  if (CddbStatusUi* ui = InstalledCddbStatusUi()) ui->Abandon();
  client.StopBackgroundLookup(kStopWaitMs);
  client.SaveCache(CddbCachePath());
}

}  // namespace plugin

int RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs) {
  return PluginCddbClient().RunLookupWithStatus(toc, show, waitMs);
}
