// What the settings sheet reaches outside itself: the plug-in's CDDB client,
// which takes the server, proxy and status-window settings, and the cache
// manager behind the CDDB page's button.
#include "ui/settings_links.h"

#include "cddb/cache_manager.h"
#include "cddb/cddb_ui_client.h"
#include "input/plugin_cddb.h"
#include "input/plugin_strings.h"
#include "input/readers.h"
#include "plugin/offset_detection.h"

namespace settings_links {

namespace {

class PluginClient : public settings_pages::CddbClientSettings {
 public:
  void SetServerUrl(const std::string& url) override { PluginCddbClient().SetServerUrl(url.c_str()); }
  void SetUseUtf8(bool flag) override { PluginCddbClient().SetUseUtf8(flag); }
  int SetProxy(const std::string& text) override { return PluginCddbClient().SetProxy(text.c_str()); }
  void SetUseProxy(bool flag) override { PluginCddbClient().SetUseProxy(flag); }
  void SetAutoClose(bool flag) override { PluginCddbClient().SetAutoClose(flag); }
  void SetEmail(const std::string& address) override { PluginCddbClient().SetEmail(address.c_str()); }
};

}  // namespace

settings_pages::CddbClientSettings& CddbClient() {
  static PluginClient client;
  return client;
}

void OpenCacheManager(HWND owner) { cddb_windows::ShowCacheManager(owner, PluginCddbClient()); }

int TransportKind() { return PlaybackReader().TransportKind(); }

HINSTANCE Instance() { return PluginInstance(); }

bool StartOffsetDetection(HWND page, unsigned message, const std::string& server) {
  return offset_detection::Start(page, message, server);
}

OffsetDetectionAnswer LastOffsetDetection() {
  const offset_detection::Detection d = offset_detection::Last();
  OffsetDetectionAnswer answer;
  answer.found = d.state == offset_detection::kOffsetFound;
  answer.offset = d.offset;
  answer.text = d.text;
  return answer;
}

}  // namespace settings_links
