#include "cddb/cache_manager.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "cddb/cache_rows.h"
#include "cddb/list_view_win32.h"
#include "cddb/cddb_windows.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "util/window_guard.h"

namespace cddb_windows {

namespace {

// Each manager owns its rows (rebuilt at every opening; list rows carry
// their index into them) through its creation parameter: another one opened
// from a message this one dispatches must not replace them underneath it.
struct ManagerState {
  CacheRowSource* source;
  std::vector<CacheRow> rows;
};

ManagerState* StateOf(HWND dialog) { return reinterpret_cast<ManagerState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM manager) {
  const std::vector<CacheRow>& rows = reinterpret_cast<const ManagerState*>(manager)->rows;
  const std::size_t ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
  if (ia >= rows.size() || ib >= rows.size()) return 0;
  return CacheManagerSortState().Compare(rows[ia], rows[ib]);
}

void Fill(HWND list, ManagerState& state) {
  static const ListColumn kColumns[] = {
      {"DISC-ID", 70, LVCFMT_CENTER}, {"タイトル", 256, LVCFMT_LEFT}, {"アーティスト", 122, LVCFMT_LEFT}};
  SetUpList(list, kColumns, 3);
  state.rows = state.source->Rows();
  for (std::size_t i = 0; i < state.rows.size(); ++i) {
    const CacheRow& row = state.rows[i];
    const std::string texts[3] = {DiscIdText(row.discId), row.title, row.performer};
    AddRow(list, texts, 3, static_cast<LPARAM>(i));
  }
}

LPARAM RowData(HWND list, int row) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

void DeleteSelected(HWND list, ManagerState& state) {
  int from = -1;
  for (;;) {
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(from), LVNI_SELECTED));
    if (row < 0) break;
    const std::size_t index = static_cast<std::size_t>(RowData(list, row));
    if (index < state.rows.size()) state.source->Delete(state.rows[index].key);
    SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    from = row - 1;  // the rows below moved up by one
  }
}

INT_PTR CALLBACK CacheManagerProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<ManagerState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      Fill(GetDlgItem(dialog, IDC_CACHE_LIST), *state);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      ManagerState* state = StateOf(dialog);
      if (state && header && header->idFrom == IDC_CACHE_LIST && header->code == LVN_COLUMNCLICK) {
        CacheManagerSortState().Click(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        SendMessageW(header->hwndFrom, LVM_SORTITEMS, reinterpret_cast<WPARAM>(state),
                     reinterpret_cast<LPARAM>(CompareRows));
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CACHE_DELETE:
          if (ManagerState* state = StateOf(dialog)) DeleteSelected(GetDlgItem(dialog, IDC_CACHE_LIST), *state);
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
  ManagerState state{&source, {}};
  DialogBoxParamW(TemplateInstance(), MAKEINTRESOURCEW(IDD_CDDB_CACHE), parent,
                  ui::GuardedDialogProc<CacheManagerProc>,
                  reinterpret_cast<LPARAM>(&state));
  return 1;
}

}  // namespace cddb_windows
