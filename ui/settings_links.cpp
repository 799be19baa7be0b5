#include "ui/settings_links.h"

#include <atomic>
#include <boost/regex.hpp>

namespace settings_links {

namespace {

class StandInClient : public settings_pages::CddbClientSettings {
 public:
  void SetServerUrl(const std::string&) override {}
  void SetUseUtf8(bool) override {}
  int SetProxy(const std::string& text) override { return IsProxyText(text) ? 1 : 0; }
  void SetUseProxy(bool) override {}
};

StandInClient g_standIn;
std::atomic<settings_pages::CddbClientSettings*> g_client{nullptr};
std::atomic<CacheManagerOpener> g_opener{nullptr};

}  // namespace

void InstallCddbClient(settings_pages::CddbClientSettings* client) { g_client.store(client); }

settings_pages::CddbClientSettings& CddbClient() {
  settings_pages::CddbClientSettings* client = g_client.load();
  return client ? *client : g_standIn;
}

void InstallCacheManagerOpener(CacheManagerOpener opener) { g_opener.store(opener); }

void OpenCacheManager(HWND owner) {
  if (CacheManagerOpener opener = g_opener.load()) opener(owner);
}

bool IsProxyText(const std::string& text) {
  static const boost::regex form("([^:/]+)(:([0-9]+))");
  return boost::regex_match(text, form);
}

}  // namespace settings_links
