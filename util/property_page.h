#pragma once
// Property pages on the dialog wrappers: `Page` is made at WM_INITDIALOG from
// the page's window and the lParam of its PROPSHEETPAGE (the state of the
// sheet it belongs to), applies at PSN_APPLY and is freed at WM_DESTROY. It
// provides `Page(HWND, LPARAM)`, `void Apply()` and
// `bool OnCommand(int id, int code)` (true: handled). An exception fails
// the message: it cannot unwind through the system's frames. The pages are
// wide ones (PROPSHEETPAGEW). Win32 only.
#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace ui {

template <class Page>
INT_PTR PageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Page* page = reinterpret_cast<Page*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
      page = new Page(window, sheetPage ? sheetPage->lParam : 0);
      SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
      return TRUE;
    }
    case WM_COMMAND:
      return page && page->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (page && header && header->code == static_cast<UINT>(PSN_APPLY)) {
        page->Apply();
        SetWindowLongPtrW(window, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      SetWindowLongPtrW(window, DWLP_USER, 0);
      delete page;
      return FALSE;
    default:
      return FALSE;
  }
}

template <class Page>
INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    return PageMessage<Page>(window, message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

}  // namespace ui
#endif
