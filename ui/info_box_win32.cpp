#include "ui/info_box.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "resources/in_quorvo_cddb_info_res.h"
#include "util/codepage.h"
#include "util/window_guard.h"

namespace ui {

namespace {

// Each box owns its model: the host may open another box from a message
// that the first one dispatches (while its lookup waits, say), and that box
// must neither see nor free the first one's.
struct BoxState {
  const InfoBoxRequest* request;
  std::unique_ptr<InfoBoxModel> model;
  // A resolve may dispatch messages: a choice that arrives meanwhile is
  // not started on top of it.
  bool resolving = false;
};

BoxState* StateOf(HWND dialog) { return reinterpret_cast<BoxState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

// A wide box: titles in any script read exactly, whatever the system's code page.
void SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, codepage::Utf8ToWide(text).c_str());
}

void ShowSourceTexts(HWND dialog, const InfoBoxFields& fields) {
  SetText(dialog, IDC_INFO_TITLE, fields.title);
  SetText(dialog, IDC_INFO_SOURCE_TITLE, fields.texts.title);
  SetText(dialog, IDC_INFO_PERFORMER, fields.texts.performer);
  SetText(dialog, IDC_INFO_SONGWRITER, fields.texts.songwriter);
  SetText(dialog, IDC_INFO_COMPOSER, fields.texts.composer);
  SetText(dialog, IDC_INFO_ARRANGER, fields.texts.arranger);
}

void OnInit(HWND dialog, BoxState& state) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
  state.model = std::make_unique<InfoBoxModel>(state.request->sources, state.request->resolve,
                                               state.request->verification);
  InfoBoxModel& model = *state.model;
  const HWND combo = GetDlgItem(dialog, IDC_INFO_SOURCE);
  for (const InfoBoxSource& source : model.Sources()) {
    const std::wstring name = codepage::Utf8ToWide(source.displayName);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  state.resolving = true;
  model.Open(state.request->file);
  state.resolving = false;
  const InfoBoxFields& fields = model.Fields();
  ShowSourceTexts(dialog, fields);
  SetText(dialog, IDC_INFO_LENGTH, fields.length);
  SetText(dialog, IDC_INFO_DRIVE, fields.drive);
  SetText(dialog, IDC_INFO_TRACK, fields.track);
  SetText(dialog, IDC_INFO_VERIFICATION, fields.verification);
}

INT_PTR CALLBACK InfoBoxProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInit(dialog, *reinterpret_cast<BoxState*>(lParam));
      SetFocus(GetDlgItem(dialog, IDOK));  // not a selected title field
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_INFO_SOURCE: {
          const int index = static_cast<int>(SendDlgItemMessageW(dialog, IDC_INFO_SOURCE, CB_GETCURSEL, 0, 0));
          BoxState* state = StateOf(dialog);
          if (!state || !state->model || state->resolving) return TRUE;
          state->resolving = true;
          const bool changed = state->model->Choose(index);
          state->resolving = false;
          if (changed) ShowSourceTexts(dialog, state->model->Fields());
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
  BoxState state{&request, nullptr};
  const INT_PTR result = DialogBoxParamW(request.instance, MAKEINTRESOURCEW(IDD_INFO_BOX), parent,
                                         GuardedDialogProc<InfoBoxProc>, reinterpret_cast<LPARAM>(&state));
  return result > 0 ? static_cast<int>(result) : 0;
}

}  // namespace ui
