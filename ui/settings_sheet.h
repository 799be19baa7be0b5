#pragma once
// The plug-in's configuration: the settings property sheet of eight pages.
#include "host_api/win_types.h"

namespace ui {

// Runs the sheet modally over `parent`; returns when it closes. The pages
// change the in-memory settings only. A call while the sheet is open (from a
// message it dispatches) brings that sheet to the front and returns.
void ShowSettingsSheet(HWND parent);

}  // namespace ui
