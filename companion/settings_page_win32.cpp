#include "companion/settings_page.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "resources/gen_quorvo_res.h"
#include "util/codepage.h"
#include "util/dialog.h"
#include "util/window_guard.h"

namespace companion {

const char kSettingsSheetCaption[] = "設定  -  音楽CD再生プラグイン - 補助プラグイン [gen_quorvo.dll]";

namespace {

constexpr int kTooltipShowMs = 10000;

struct PageContext {
  HINSTANCE instance;
  CompanionSettings* settings;
};

// Lives from WM_INITDIALOG to WM_DESTROY; the bindings own the tooltips.
struct PageState {
  PageContext* context = nullptr;
  ui::Control allDrives;
  ui::Control quickStart;
};

void InitPage(HWND page, PageContext* context) {
  auto* state = new PageState;
  state->context = context;
  SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  state->allDrives.Bind(page, IDC_ALL_DRIVES);
  state->quickStart.Bind(page, IDC_QUICK_START);
  state->allDrives.AddTooltip(IDS_TIP_ALL_DRIVES, true, kTooltipShowMs);
  state->quickStart.AddTooltip(IDS_TIP_QUICK_START, true, kTooltipShowMs);
  state->allDrives.SetChecked(context->settings->allDrives);
  state->quickStart.SetChecked(context->settings->quickStart);
}

INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM, LPARAM lParam) {
  auto* state = reinterpret_cast<PageState*>(GetWindowLongPtrW(page, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
      InitPage(page, reinterpret_cast<PageContext*>(sheetPage->lParam));
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->code == static_cast<UINT>(PSN_APPLY) && state) {
        state->context->settings->allDrives = state->allDrives.Checked();
        state->context->settings->quickStart = state->quickStart.Checked();
        SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      if (state) {
        delete state;
        SetWindowLongPtrW(page, DWLP_USER, 0);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowSettingsSheet(HWND owner, HINSTANCE instance, CompanionSettings& settings) {
  ui::InitCommonControlsOnce();

  PageContext context{instance, &settings};
  // Wide throughout, so that the sheet reads the same on any code page; the
  // page's tab takes its title from the template's caption.
  PROPSHEETPAGEW page = {};
  page.dwSize = sizeof page;
  page.hInstance = instance;
  page.pszTemplate = MAKEINTRESOURCEW(IDD_MENU_PAGE);
  page.pfnDlgProc = ui::GuardedDialogProc<PageProc>;
  page.lParam = reinterpret_cast<LPARAM>(&context);

  const std::wstring caption = codepage::Utf8ToWide(kSettingsSheetCaption);
  PROPSHEETHEADERW sheet = {};
  sheet.dwSize = sizeof sheet;
  sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
  sheet.hwndParent = owner;
  sheet.hInstance = instance;
  sheet.pszCaption = caption.c_str();
  sheet.nPages = 1;
  sheet.ppsp = &page;
  PropertySheetW(&sheet);
}

}  // namespace companion
