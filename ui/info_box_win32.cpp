#include "ui/info_box.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "resources/in_quorvo_cddb_info_res.h"

namespace ui {

namespace {

// One box at a time: the host's InfoBox call runs it modally on its thread.
std::unique_ptr<InfoBoxModel> g_model;
const InfoBoxRequest* g_request = nullptr;

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

void ShowSourceTexts(HWND dialog, const InfoBoxFields& fields) {
  SetText(dialog, IDC_INFO_TITLE, fields.title);
  SetText(dialog, IDC_INFO_SOURCE_TITLE, fields.texts.title);
  SetText(dialog, IDC_INFO_PERFORMER, fields.texts.performer);
  SetText(dialog, IDC_INFO_SONGWRITER, fields.texts.songwriter);
  SetText(dialog, IDC_INFO_COMPOSER, fields.texts.composer);
  SetText(dialog, IDC_INFO_ARRANGER, fields.texts.arranger);
}

void OnInit(HWND dialog) {
  g_model = std::make_unique<InfoBoxModel>(g_request->sources, g_request->resolve);
  const HWND combo = GetDlgItem(dialog, IDC_INFO_SOURCE);
  for (const InfoBoxSource& source : g_model->Sources()) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(source.displayName.c_str()));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  g_model->Open(g_request->file);
  const InfoBoxFields& fields = g_model->Fields();
  ShowSourceTexts(dialog, fields);
  SetText(dialog, IDC_INFO_LENGTH, fields.length);
  SetText(dialog, IDC_INFO_DRIVE, fields.drive);
  SetText(dialog, IDC_INFO_TRACK, fields.track);
}

INT_PTR CALLBACK InfoBoxProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInit(dialog);
      SetFocus(GetDlgItem(dialog, IDOK));  // not a selected title field
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_INFO_SOURCE: {
          const int index = static_cast<int>(SendDlgItemMessageA(dialog, IDC_INFO_SOURCE, CB_GETCURSEL, 0, 0));
          if (g_model && g_model->Choose(index)) ShowSourceTexts(dialog, g_model->Fields());
          return TRUE;
        }
        case IDOK:
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

int ShowInfoBox(const InfoBoxRequest& request, HWND parent) {
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)commonControls;
  g_request = &request;
  const INT_PTR result = DialogBoxParamA(request.instance, MAKEINTRESOURCEA(IDD_INFO_BOX), parent, InfoBoxProc, 0);
  g_model.reset();
  g_request = nullptr;
  return result > 0 ? static_cast<int>(result) : 0;
}

}  // namespace ui
