#pragma once
// The invisible window that receives the system's device-change broadcasts
// for the playback engine. It lives from Init to Quit on the host's thread
// and also owns the CDDB status windows.
#include "host_api/win_types.h"

namespace ui {

void CreateDeviceChangeWindow();   // does nothing when it exists
void DestroyDeviceChangeWindow();
HWND DeviceChangeWindow();         // nullptr when there is none

}  // namespace ui
