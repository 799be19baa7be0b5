#include "companion/settings_page.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "resources/gen_quorvo_res.h"

namespace companion {

const char kSettingsSheetCaption[] = "設定  -  音楽CD再生プラグイン - 補助プラグイン [gen_quorvo.dll]";

namespace {

const char kPageTitle[] = "メニュー";
constexpr int kTooltipShowMs = 10000;

struct PageContext {
  HINSTANCE instance;
  CompanionSettings* settings;
};

// Lives from WM_INITDIALOG to WM_DESTROY.
struct PageState {
  PageContext* context = nullptr;
  HWND tooltip = nullptr;
  char tips[2][1024] = {};
};

void AddTooltip(PageState& state, HWND page, int controlId, int index, UINT stringId) {
  LoadStringA(state.context->instance, stringId, state.tips[index], sizeof state.tips[index]);
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = page;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(page, controlId));
  tool.lpszText = state.tips[index];
  SendMessageA(state.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void InitPage(HWND page, PageContext* context) {
  auto* state = new PageState;
  state->context = context;
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  state->tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr, context->instance,
                                   nullptr);
  if (state->tooltip) {
    // A width limit makes the tooltip honour the line breaks of its text.
    SendMessageA(state->tooltip, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
    SendMessageA(state->tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kTooltipShowMs, 0));
    AddTooltip(*state, page, IDC_ALL_DRIVES, 0, IDS_TIP_ALL_DRIVES);
    AddTooltip(*state, page, IDC_QUICK_START, 1, IDS_TIP_QUICK_START);
  }
  CheckDlgButton(page, IDC_ALL_DRIVES, context->settings->allDrives ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_QUICK_START, context->settings->quickStart ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM, LPARAM lParam) {
  auto* state = reinterpret_cast<PageState*>(GetWindowLongPtrA(page, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
      InitPage(page, reinterpret_cast<PageContext*>(sheetPage->lParam));
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->code == static_cast<UINT>(PSN_APPLY) && state) {
        state->context->settings->allDrives = IsDlgButtonChecked(page, IDC_ALL_DRIVES) == BST_CHECKED;
        state->context->settings->quickStart = IsDlgButtonChecked(page, IDC_QUICK_START) == BST_CHECKED;
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      if (state) {
        if (state->tooltip) DestroyWindow(state->tooltip);
        delete state;
        SetWindowLongPtrA(page, DWLP_USER, 0);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowSettingsSheet(HWND owner, HINSTANCE instance, CompanionSettings& settings) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  PageContext context{instance, &settings};
  PROPSHEETPAGEA page = {};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_USETITLE;
  page.hInstance = instance;
  page.pszTemplate = MAKEINTRESOURCEA(IDD_MENU_PAGE);
  page.pfnDlgProc = PageProc;
  page.pszTitle = kPageTitle;
  page.lParam = reinterpret_cast<LPARAM>(&context);

  PROPSHEETHEADERA sheet = {};
  sheet.dwSize = sizeof sheet;
  sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
  sheet.hwndParent = owner;
  sheet.hInstance = instance;
  sheet.pszCaption = kSettingsSheetCaption;
  sheet.nPages = 1;
  sheet.ppsp = &page;
  PropertySheetA(&sheet);
}

}  // namespace companion
