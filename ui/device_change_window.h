#pragma once
// The invisible window that receives the system's device-change broadcasts.
// It lives from Init to Quit on the host's thread and also owns the CDDB
// status windows made on that thread.
#include <cstdint>

#include "host_api/win_types.h"

namespace ui {

// Answers one broadcast: its event code, whether its record is a volume
// record, and the record's drive-letter unit mask (bit 0 = A:); 1 when the
// event is one the plug-in handles.
using DeviceChangeHandler = int (*)(std::uint32_t event, bool volumeRecord, std::uint32_t unitMask);

// From the template of `instance`; does nothing when the window exists.
void CreateDeviceChangeWindow(HINSTANCE instance, DeviceChangeHandler handler);
void DestroyDeviceChangeWindow();
HWND DeviceChangeWindow();  // nullptr when there is none

}  // namespace ui
