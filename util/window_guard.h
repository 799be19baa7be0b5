#pragma once
// Dialog and window procedures of both plug-ins run under the system's
// frames, which an exception cannot unwind through: it would end the host.
// Each procedure is installed through one of these, which fails the message
// instead (FALSE for a dialog, the default handling for a window). Win32 only.
#ifdef _WIN32
#include <windows.h>

namespace ui {

using DialogProcFn = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using WindowProcFn = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

template <DialogProcFn Proc>
INT_PTR CALLBACK GuardedDialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    return Proc(window, msg, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

template <WindowProcFn Proc>
LRESULT CALLBACK GuardedWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    return Proc(window, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(window, msg, wParam, lParam);
  }
}

}  // namespace ui
#endif
