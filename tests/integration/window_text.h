#pragma once
// What window_driver and dialog_helpers do not read: list-view cells and
// headers, and a box's message. UTF-8, through the wide messages.
#include <commctrl.h>
#include <windows.h>

#include <string>

#include "tests/host/window_driver.h"
#include "util/codepage.h"

namespace window_text {

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

// The message of a box: its longest static text.
inline std::string BoxText(HWND box) {
  std::string longest;
  for (HWND child = nullptr; (child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr;) {
    const std::string text = window_driver::Text(child);
    if (text.size() > longest.size()) longest = text;
  }
  return longest;
}

}  // namespace window_text
