#pragma once
// The companion's configuration: a property sheet with the one page "メニュー".
#include "companion/companion_settings.h"
#include "host_api/win_types.h"

namespace companion {

extern const char kSettingsSheetCaption[];

// Modal; returns when the sheet is closed. OK copies the check marks into
// `settings` (in memory only); Cancel leaves them.
void ShowSettingsSheet(HWND owner, HINSTANCE instance, CompanionSettings& settings);

}  // namespace companion
