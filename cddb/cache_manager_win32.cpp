#include "cddb/cache_manager.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "cddb/cache_rows.h"
#include "cddb/list_view_win32.h"
#include "cddb/cddb_windows.h"
#include "resources/in_quorvo_cddb_info_res.h"

namespace cddb_windows {

namespace {

// Rebuilt at every opening; list rows carry their index into it. One
// manager at a time: it is modal on the host's thread.
std::vector<CacheRow> g_rows;
CacheRowSource* g_source = nullptr;

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) {
  const std::size_t ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
  if (ia >= g_rows.size() || ib >= g_rows.size()) return 0;
  return CacheManagerSortState().Compare(g_rows[ia], g_rows[ib]);
}

void Fill(HWND list) {
  static const ListColumn kColumns[] = {
      {"DISC-ID", 70, LVCFMT_CENTER}, {"タイトル", 256, LVCFMT_LEFT}, {"アーティスト", 122, LVCFMT_LEFT}};
  SetUpList(list, kColumns, 3);
  g_rows = g_source->Rows();
  for (std::size_t i = 0; i < g_rows.size(); ++i) {
    const std::string texts[3] = {DiscIdText(g_rows[i].discId), g_rows[i].title, g_rows[i].performer};
    AddRow(list, texts, 3, static_cast<LPARAM>(i));
  }
}

LPARAM RowData(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

void DeleteSelected(HWND list) {
  int from = -1;
  for (;;) {
    const int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(from), LVNI_SELECTED));
    if (row < 0) break;
    const std::size_t index = static_cast<std::size_t>(RowData(list, row));
    if (index < g_rows.size()) g_source->Delete(g_rows[index].key);
    SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    from = row - 1;  // the rows below moved up by one
  }
}

INT_PTR CALLBACK CacheManagerProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      Fill(GetDlgItem(dialog, IDC_CACHE_LIST));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_CACHE_LIST && header->code == LVN_COLUMNCLICK) {
        CacheManagerSortState().Click(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        SendMessageA(header->hwndFrom, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRows));
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CACHE_DELETE:
          DeleteSelected(GetDlgItem(dialog, IDC_CACHE_LIST));
          return TRUE;
        case IDC_CACHE_CLOSE:
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 2);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, 2);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int ShowCacheManager(HWND parent, CacheRowSource& source) {
  InitCommonControlsOnce();
  g_source = &source;
  DialogBoxParamA(TemplateInstance(), MAKEINTRESOURCEA(IDD_CDDB_CACHE), parent, CacheManagerProc, 0);
  g_rows.clear();
  g_source = nullptr;
  return 1;
}

}  // namespace cddb_windows
