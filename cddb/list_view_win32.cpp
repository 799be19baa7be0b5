#include "cddb/list_view_win32.h"

#include "util/codepage.h"

namespace cddb_windows {

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)done;
}

void SetUpList(HWND list, const ListColumn* columns, int count) {
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExtendedStyle, kListExtendedStyle);
  LVCOLUMNW placeholder = {};
  placeholder.mask = LVCF_WIDTH;
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&placeholder));
  for (int i = 0; i < count; ++i) {
    std::wstring text = codepage::Utf8ToWide(columns[i].text);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[i].format;
    column.cx = columns[i].width;
    column.pszText = &text[0];
    column.iSubItem = i + 1;
    SendMessageW(list, LVM_INSERTCOLUMNW, i + 1, reinterpret_cast<LPARAM>(&column));
  }
  SendMessageW(list, LVM_DELETECOLUMN, 0, 0);
}

int AddRow(HWND list, const std::string* texts, int count, LPARAM data) {
  std::wstring first = codepage::Utf8ToWide(texts[0]);
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = &first[0];
  item.lParam = data;
  const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return row;
  for (int i = 1; i < count; ++i) {
    std::wstring text = codepage::Utf8ToWide(texts[i]);
    LVITEMW sub = {};
    sub.iSubItem = i;
    sub.pszText = &text[0];
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
  }
  return row;
}

}  // namespace cddb_windows
