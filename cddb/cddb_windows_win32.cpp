#include "cddb/cddb_windows.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>

#include "cddb/cddb_status_ui.h"
#include "cddb/fit_text_win32.h"
#include "cddb/list_view_win32.h"
#include "input/plugin_strings.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "ui/device_change_window.h"

namespace cddb_windows {

namespace {

constexpr int kQuitByClose = 2;

// Set at shutdown: waits end and the candidates dialog closes at once.
std::atomic<bool> g_abandoned{false};
std::atomic<HWND> g_candidatesDialog{nullptr};

// The millisecond timer widened to 64 bits, so a deadline survives the
// 49.7-day wrap of the 32-bit count. Per thread: each lookup thread waits alone.
std::uint64_t NowMs() {
  thread_local std::uint32_t last = GetTickCount();
  thread_local std::uint64_t high = 0;
  const std::uint32_t now = GetTickCount();
  if (now < last) high += std::uint64_t{1} << 32;
  last = now;
  return high | now;
}

INT_PTR CALLBACK StatusProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_STATUS_CLOSE || LOWORD(wParam) == IDCANCEL) {
        PostQuitMessage(kQuitByClose);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      PostQuitMessage(kQuitByClose);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK CandidatesProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      g_candidatesDialog.store(dialog);
      if (g_abandoned.load()) PostMessageA(dialog, WM_CLOSE, 0, 0);
      const HWND list = GetDlgItem(dialog, IDC_CANDIDATE_LIST);
      static const ListColumn kColumns[] = {
          {"ジャンル", 64, LVCFMT_CENTER}, {"タイトル", 256, LVCFMT_LEFT}, {"アーティスト", 128, LVCFMT_LEFT}};
      SetUpList(list, kColumns, 3);
      const auto* candidates = reinterpret_cast<const std::vector<CddbCandidate>*>(lParam);
      LPARAM row = 0;
      for (const CddbCandidate& c : *candidates) {
        const std::string texts[3] = {c.category, c.title, c.performer};
        AddRow(list, texts, 3, row++);
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CANDIDATE_OK: {
          const int row = static_cast<int>(
              SendDlgItemMessageA(dialog, IDC_CANDIDATE_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
          if (row >= 0) {
            EndDialog(dialog, row + 1);
          } else {
            MessageBoxA(dialog, "選択されていません", "エラー", MB_OK | MB_ICONERROR);
          }
          return TRUE;
        }
        case IDCANCEL:  // Escape or the close box: no choice
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

// One object serves every lookup; the window belongs to the thread that
// runs the lookup, and only one lookup runs at a time on each thread.
class StatusWindows : public CddbStatusUi {
 public:
  bool Open(std::uint32_t discId) override {
    InitCommonControlsOnce();
    const HWND window = CreateDialogParamA(PluginInstance(), MAKEINTRESOURCEA(IDD_CDDB_STATUS),
                                           ui::DeviceChangeWindow(), StatusProc, 0);
    if (!window) return false;
    window_ = window;
    char id[16];
    std::snprintf(id, sizeof id, "%.8X", static_cast<unsigned>(discId));
    SetDlgItemTextA(window, IDC_STATUS_DISC_ID, id);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return true;
  }

  void SetMessage(const std::string& text) override {
    const HWND window = window_;
    if (!window) return;
    SetDlgItemTextA(window, IDC_STATUS_MESSAGE, text.c_str());
    // The lookup does not pump messages: paint the new line now.
    UpdateWindow(GetDlgItem(window, IDC_STATUS_MESSAGE));
  }

  void SetMessageAndDetail(const std::string& text, const std::string& detail) override {
    const HWND window = window_;
    if (!window) return;
    SetMessage(text + "\r\n" + FitTextToControl(GetDlgItem(window, IDC_STATUS_MESSAGE), detail));
  }

  void EnableClose() override {
    const HWND window = window_;
    if (!window) return;
    EnableWindow(GetDlgItem(window, IDC_STATUS_CLOSE), TRUE);
    UpdateWindow(window);
  }

  void Wait(std::uint32_t waitMs) override {
    const std::uint64_t deadline = NowMs() + waitMs;
    MSG msg;
    while (NowMs() < deadline && !g_abandoned.load()) {
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
          // Our close ends the wait; anybody else's quit is the thread's own
          // business and is handed back to its loop.
          if (msg.wParam != kQuitByClose) PostQuitMessage(static_cast<int>(msg.wParam));
          break;
        }
        if (!window_ || !IsDialogMessageA(window_, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      Sleep(0);
    }
  }

  void Abandon() override {
    g_abandoned.store(true);
    if (const HWND dialog = g_candidatesDialog.load()) PostMessageA(dialog, WM_CLOSE, 0, 0);
  }

  void Close() override {
    const HWND window = window_;
    window_ = nullptr;
    if (window) DestroyWindow(window);
  }

  int ChooseCandidate(const std::vector<CddbCandidate>& candidates) override {
    if (g_abandoned.load()) return 0;
    InitCommonControlsOnce();
    const INT_PTR result = DialogBoxParamA(PluginInstance(), MAKEINTRESOURCEA(IDD_CDDB_CANDIDATES), window_,
                                           CandidatesProc, reinterpret_cast<LPARAM>(&candidates));
    g_candidatesDialog.store(nullptr);
    return result > 0 && result <= static_cast<INT_PTR>(candidates.size()) ? static_cast<int>(result) : 0;
  }

 private:
  static thread_local HWND window_;
};

thread_local HWND StatusWindows::window_ = nullptr;

StatusWindows g_windows;

}  // namespace

void Install() {
  g_abandoned.store(false);
  InstallCddbStatusUi(&g_windows);
}
void Uninstall() { InstallCddbStatusUi(nullptr); }

}  // namespace cddb_windows
