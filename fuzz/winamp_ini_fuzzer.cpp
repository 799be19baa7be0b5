// winamp.ini files of any content, read as both plug-ins read them at start:
// every setting of the input plug-in, the ASPI device map and the
// companion's flags, through the same profile reader the plug-ins use here.
// What was read is then saved to a fresh file and must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "companion/companion_settings.h"
#include "device/device_map.h"
#include "fuzz/scratch_dir.h"
#include "input/plugin_settings.h"
#include "util/profile.h"

namespace {

std::string g_dir;

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// At most 1023 bytes of the file, each of which becomes at most three bytes
// of UTF-8 (a half-width katakana, or U+FFFD for a byte that is no character).
void CheckText(const std::string& text) {
  if (text.size() > 3 * 1023) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_dir = fuzz::MakeScratchDir("ini-fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string ini = g_dir + "/winamp.ini";
  if (!WriteFile(ini, data, size)) std::abort();
  Profile& profile = SystemProfile();

  PluginSettings settings;
  const std::string version = settings.Load(profile, ini);
  CheckText(version);
  for (const std::string* text : {&settings.defaultTitleFormat, &settings.cdtextTitleFormat,
                                  &settings.cddbTitleFormat, &settings.cddbUrl, &settings.cddbProxy,
                                  &settings.extendedFileInfoDefaultTitle})
    CheckText(*text);
  for (const std::string& entry : settings.titlePriority) {
    if (entry.empty()) __builtin_trap();
    CheckText(entry);
  }
  for (const auto* history : {&settings.urlHistory, &settings.proxyHistory}) {
    if (history->size() > 4096 + 2) __builtin_trap();
    for (const std::string& entry : *history) {
      if (entry.empty()) __builtin_trap();
      CheckText(entry);
    }
  }
  if (settings.doubleBufferSize != 2 * settings.bufferSize || settings.jitterCorrection) __builtin_trap();

  DeviceMap map;
  LoadDeviceMap(profile, ini.c_str(), map);
  for (const auto& entry : map) {
    if (entry.first < 'A' || entry.first > 'Z') __builtin_trap();
    if (entry.second.hostAdapter < 0 || entry.second.target < 0 || entry.second.lun < 0) __builtin_trap();
  }

  CompanionSettings companion;
  companion.Load(profile, ini);

  // Numbers and flags survive a Quit and the next start unchanged.
  const std::string saved = g_dir + "/saved.ini";
  std::remove(saved.c_str());
  settings.Save(profile, saved, "0.26");
  companion.Save(profile, saved);
  PluginSettings reread;
  reread.Load(profile, saved);
  CompanionSettings companionAgain;
  companionAgain.Load(profile, saved);
  if (reread.bufferSize != settings.bufferSize || reread.preReadSize != settings.preReadSize ||
      reread.readSpeed != settings.readSpeed || reread.cddbCache != settings.cddbCache ||
      reread.cddbUseUtf8 != settings.cddbUseUtf8 || reread.cddbUseProxy != settings.cddbUseProxy ||
      reread.cddbDialogAutoClose != settings.cddbDialogAutoClose ||
      reread.extendedFileInfoDefault != settings.extendedFileInfoDefault ||
      reread.multithreadInitialize != settings.multithreadInitialize || reread.aspi ||
      companionAgain.allDrives != companion.allDrives || companionAgain.quickStart != companion.quickStart)
    __builtin_trap();
  return 0;
}
