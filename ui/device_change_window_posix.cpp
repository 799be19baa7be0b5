#include "ui/device_change_window.h"

// No broadcasts to receive outside Windows.
namespace ui {

void CreateDeviceChangeWindow(HINSTANCE, DeviceChangeHandler) {}
void DestroyDeviceChangeWindow() {}
HWND DeviceChangeWindow() { return nullptr; }

}  // namespace ui
