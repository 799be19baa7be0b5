#pragma once
// Reading the plug-ins' windows through the wide functions: a text read here
// is the window's own UTF-16 in UTF-8, so it compares with a UTF-8 literal
// on any system code page. Windows of this process only.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "resources/in_quorvo_cddb_info_res.h"
#include "util/codepage.h"

namespace window_text {

inline std::wstring Wide(const char* utf8) { return codepage::Utf8ToWide(utf8); }

inline std::string Text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::string();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], length + 1)));
  return codepage::WideToUtf8(text);
}

inline std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

// A top-level window of this process with that caption (visible or not).
inline HWND FindOwnWindow(const char* caption) {
  const std::wstring wide = codepage::Utf8ToWide(caption);
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, wide.c_str())) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

// Visible: a dialog shows itself only once it has been filled.
inline HWND WaitForWindow(const char* caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const HWND window = FindOwnWindow(caption);
    if (window && IsWindowVisible(window)) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(20);
  }
}

inline std::string ListViewText(HWND list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return codepage::WideToUtf8(text);
}

// A column's header text; `column` gets its width and format too.
inline std::string ListViewColumn(HWND list, int index, LVCOLUMNW* column) {
  wchar_t text[256] = {};
  *column = LVCOLUMNW{};
  column->mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column->pszText = text;
  column->cchTextMax = 256;
  SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(column));
  column->pszText = nullptr;
  return codepage::WideToUtf8(text);
}

// The items of a list box (LB_) or a combo box (CB_).
inline std::vector<std::string> Items(HWND box, bool combo) {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageW(box, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(box, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) continue;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(box, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    items.push_back(codepage::WideToUtf8(text.c_str()));
  }
  return items;
}

// The message of a box: its longest static text.
inline std::string BoxText(HWND box) {
  std::string longest;
  HWND child = nullptr;
  while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
    const std::string text = Text(child);
    if (text.size() > longest.size()) longest = text;
  }
  return longest;
}

// Waits for a box of this process with that caption, reads its message and
// presses OK; "" when none came in time. Runs on a thread of its own.
inline std::string CloseBox(const char* caption, DWORD timeoutMs) {
  const HWND box = WaitForWindow(caption, timeoutMs);
  if (!box) return std::string();
  const std::string text = BoxText(box);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return text;
}

// The CDDB status window's outcome: its first message past the connection
// and the query ("" if none came in time or the window went).
inline std::string StatusOutcome(HWND status, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); IsWindow(status) && GetTickCount() - start < timeoutMs; Sleep(20)) {
    const std::string shown = ItemText(status, IDC_STATUS_MESSAGE);
    if (shown != "接続中..." && shown != "サーバに問い合わせています" && !shown.empty()) return shown;
  }
  return std::string();
}

}  // namespace window_text
