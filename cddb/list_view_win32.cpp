#include "cddb/list_view_win32.h"

namespace cddb_windows {

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)done;
}

void SetUpList(HWND list, const ListColumn* columns, int count) {
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExtendedStyle, kListExtendedStyle);
  LVCOLUMNA placeholder = {};
  placeholder.mask = LVCF_WIDTH;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&placeholder));
  for (int i = 0; i < count; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[i].format;
    column.cx = columns[i].width;
    column.pszText = const_cast<char*>(columns[i].text);
    column.iSubItem = i + 1;
    SendMessageA(list, LVM_INSERTCOLUMNA, i + 1, reinterpret_cast<LPARAM>(&column));
  }
  SendMessageA(list, LVM_DELETECOLUMN, 0, 0);
}

int AddRow(HWND list, const std::string* texts, int count, LPARAM data) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<char*>(texts[0].c_str());
  item.lParam = data;
  const int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return row;
  for (int i = 1; i < count; ++i) {
    LVITEMA sub = {};
    sub.iSubItem = i;
    sub.pszText = const_cast<char*>(texts[i].c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
  }
  return row;
}

}  // namespace cddb_windows
