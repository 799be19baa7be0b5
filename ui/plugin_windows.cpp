#include "ui/plugin_windows.h"

#include "cddb/cddb_windows.h"
#include "ui/device_change_window.h"

namespace ui {

void OpenPluginWindows() {
  CreateDeviceChangeWindow();
  cddb_windows::Install();
}

void ClosePluginWindows() {
  cddb_windows::Uninstall();
  DestroyDeviceChangeWindow();
}

}  // namespace ui
