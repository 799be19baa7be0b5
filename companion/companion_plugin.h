#pragma once
// The companion plug-in's life: init, config and quit as the host calls them.
#include "companion/companion_settings.h"
#include "host_api/win_types.h"

namespace companion {

// The module handle the system passed at process attach (the property
// page's instance).
void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();

int Init(HWND hostWindow);
void Config(HWND hostWindow);
void Quit(HWND hostWindow);

CompanionSettings& Settings();

}  // namespace companion
