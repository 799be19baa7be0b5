#pragma once
// Finding and reading the plug-in's dialogs from a watcher thread while the
// test's own thread sits in a modal call, and saving a picture of one.
// Captions and texts are UTF-8, through the wide functions.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/host/test_host.h"
#include "tests/host/window_driver.h"
#include "util/codepage.h"

namespace dialog_helpers {

// A visible or hidden top-level window of this process with that caption.
inline HWND FindOwnWindow(const char* caption) {
  HWND found = nullptr;
  HWND window = nullptr;
  const std::wstring wide = codepage::Utf8ToWide(caption);
  while ((window = FindWindowExW(nullptr, window, nullptr, wide.c_str())) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) {
      found = window;
      break;
    }
  }
  return found;
}

// Visible, that is: a dialog shows itself only once it has been filled.
inline HWND WaitForWindow(const char* caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindOwnWindow(caption);
    if (window && IsWindowVisible(window)) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(20);
  }
}

inline bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

inline std::string ItemText(HWND dialog, int id) { return window_driver::Text(GetDlgItem(dialog, id)); }

// Selects a drop-down item as a user would: the combo tells its parent.
inline void SelectComboItem(HWND dialog, int id, int index) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The window as it is on screen, as a 24-bit BMP in the screenshot folder
// (the test run turns those of build/screenshots into PNGs). False when
// nothing could be captured.
inline bool SaveScreenshot(HWND window, const std::string& name) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(200);
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(h);
  const std::string dir = window_driver::ScreenshotDirectory();
  CreateDirectoryA(dir.c_str(), nullptr);
  bool ok = false;
  if (FILE* f = std::fopen((dir + "\\" + name + ".bmp").c_str(), "wb")) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, 1, size, f) == size;
    std::fclose(f);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace dialog_helpers
