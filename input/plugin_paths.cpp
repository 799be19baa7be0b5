#include "input/plugin_paths.h"

#include <mutex>

#include "input/plugin_settings.h"
#include "input/plugin_strings.h"
#include "util/codepage.h"
#include "util/host_dir.h"

namespace plugin {

namespace {

#ifdef _WIN32
constexpr char kSeparator[] = "\\";
#else
constexpr char kSeparator[] = "/";
#endif
constexpr char kCacheFile[] = "cddb_cache.dat";
constexpr char kRipLogs[] = "rip logs";

std::mutex g_mutex;
bool g_chosen = false;
SettingsFiles g_files;

std::string OldSettingsPath() { return IniPathIn(HostDirectory()); }

SettingsFiles Files() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_chosen) return g_files;
  SettingsFiles files;  // before Init: the old rule
  files.ini = files.sourceIni = OldSettingsPath();
  return files;
}

}  // namespace

void ChoosePluginFiles(HWND hostWindow) {
  const SettingsFiles files =
      ChooseSettingsFiles(AskHostSettingsLocation(hostWindow), OldSettingsPath(), SystemProfile(), kSettingsSection);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_files = files;
  g_chosen = true;
}

std::string SettingsPath() { return Files().ini; }
std::string SettingsSourcePath() { return Files().sourceIni; }
bool SettingsMoving() { return Files().moving; }

std::string CacheFilePath() {
  const std::string folder = Files().folder;
  return folder.empty() ? OldCacheFilePath() : folder + "\\" + kCacheFile;
}

std::string OldCacheFilePath() { return ModuleDirectory(PluginInstance()) + kSeparator + kCacheFile; }

std::string RipLogFolder() { return RipLogFolderFor(SettingsSnapshot().ripLogFolder); }

std::string RipLogFolderFor(const std::string& settingUtf8) {
  const std::string setting = codepage::Utf8ToAnsi(settingUtf8);
  const bool absolute = !setting.empty() && (setting[0] == '\\' || setting[0] == '/' ||
                                             (setting.size() > 1 && setting[1] == ':'));
  if (absolute) return setting;
  // A relative name would follow the host's working folder, wherever that is.
  const std::string folder = Files().folder;
  const std::string base = folder.empty() ? ModuleDirectory(PluginInstance()) + kSeparator : folder + "\\";
  return base + (setting.empty() ? std::string(kRipLogs) : setting);
}

}  // namespace plugin
