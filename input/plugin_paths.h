#pragma once
// Where the input plug-in's settings and CDDB cache live, decided once at
// Init from the host's answer: the host's winamp.ini and settings folder, or,
// under a host that does not say, winamp.ini beside the host's program and
// the cache beside the plug-in.
#include <string>

#include "host_api/win_types.h"

namespace plugin {

// Asks the host (on its thread) and keeps the answer until the next Init.
void ChoosePluginFiles(HWND hostWindow);

// The winamp.ini that Quit writes.
std::string SettingsPath();
// The file the settings are read from: the old winamp.ini while they move
// over to the host's file, else SettingsPath().
std::string SettingsSourcePath();
// True while the settings come from the old file.
bool SettingsMoving();

// cddb_cache.dat in the settings folder, and where older versions kept it.
std::string CacheFilePath();
std::string OldCacheFilePath();

// The folder for rip logs, as a path in the ANSI code page that the file
// functions open: the Rip_LogFolder setting, or "rip logs" in the settings
// folder (beside the plug-in under a host that does not say). A relative
// setting is taken inside that same folder.
std::string RipLogFolder();
// The same for a setting given as a UTF-8 text (the settings page's field
// before it is applied); empty: the default folder.
std::string RipLogFolderFor(const std::string& settingUtf8);

}  // namespace plugin
