#pragma once
// The plug-in's configuration: the seven-page settings property sheet.
#include "host_api/win_types.h"

namespace ui {

// Runs the sheet modally over `parent`; returns when it closes. The pages
// change the in-memory settings only.
void ShowSettingsSheet(HWND parent);

}  // namespace ui
