#include "ui/device_change_window.h"

#include <windows.h>
#include <dbt.h>

#include "resources/in_quorvo_cddb_info_res.h"
#include "util/window_guard.h"

namespace ui {

namespace {

HWND g_window = nullptr;
DeviceChangeHandler g_handler = nullptr;

INT_PTR CALLBACK DeviceChangeProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_DEVICECHANGE) return FALSE;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  bool volume = false;
  DWORD unitMask = 0;
  // Only arrival and removal events carry a record worth looking at.
  if (header && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEQUERYREMOVEFAILED ||
                 wParam == DBT_DEVICEREMOVECOMPLETE) &&
      header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
    volume = true;
    unitMask = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam)->dbcv_unitmask;
  }
  const int handled = g_handler ? g_handler(static_cast<std::uint32_t>(wParam), volume, unitMask) : 0;
  SetWindowLongPtrW(window, DWLP_MSGRESULT, handled ? TRUE : FALSE);
  return handled ? TRUE : FALSE;
}

}  // namespace

void CreateDeviceChangeWindow(HINSTANCE instance, DeviceChangeHandler handler) {
  if (g_window) return;
  g_handler = handler;
  g_window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_DEVICE_MONITOR), nullptr,
                                GuardedDialogProc<DeviceChangeProc>, 0);
}

void DestroyDeviceChangeWindow() {
  if (!g_window) return;
  DestroyWindow(g_window);
  g_window = nullptr;
}

HWND DeviceChangeWindow() { return g_window; }

}  // namespace ui
