#include "cddb/cddb_windows.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "cddb/cddb_status_ui.h"
#include "cddb/fit_text_win32.h"
#include "cddb/list_view_win32.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "util/window_guard.h"

namespace cddb_windows {

namespace {

constexpr int kQuitByClose = 2;

// Set at shutdown: waits end and the candidates dialog closes at once.
std::atomic<bool> g_abandoned{false};
std::atomic<HWND> g_candidatesDialog{nullptr};
std::atomic<HINSTANCE> g_instance{nullptr};
std::atomic<HWND> g_owner{nullptr};

// Status windows open now (one per lookup thread), for Abandon.
std::mutex g_openMutex;
std::vector<HWND> g_open;

void Remember(HWND window, bool open) {
  std::lock_guard<std::mutex> lock(g_openMutex);
  if (open) {
    g_open.push_back(window);
  } else {
    g_open.erase(std::remove(g_open.begin(), g_open.end(), window), g_open.end());
  }
}

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
    HWND owner = g_owner.load();
    const bool ownersThread = owner && GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId();
    const HWND window = CreateDialogParamA(g_instance.load(), MAKEINTRESOURCEA(IDD_CDDB_STATUS),
                                           ownersThread ? owner : nullptr,
                                           ui::GuardedDialogProc<StatusProc>, 0);
    if (!window) return false;
    window_ = window;
    Remember(window, true);
    char id[16];
    std::snprintf(id, sizeof id, "%.8X", static_cast<unsigned>(discId));
    SetDlgItemTextA(window, IDC_STATUS_DISC_ID, id);
    // A lookup the user did not ask for must not take the keyboard from the
    // host; the information box's own lookup may.
    ShowWindow(window, ownersThread ? SW_SHOW : SW_SHOWNOACTIVATE);
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
    const std::uint64_t deadline = waitMs == 0xFFFFFFFFu ? UINT64_MAX : NowMs() + waitMs;
    MSG msg;
    for (;;) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          // Our close ends the wait; anybody else's quit is the thread's own
          // business and is handed back to its loop.
          if (msg.wParam != kQuitByClose) PostQuitMessage(static_cast<int>(msg.wParam));
          return;
        }
        if (!window_ || !IsDialogMessageA(window_, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      if (g_abandoned.load()) return;
      const std::uint64_t now = NowMs();
      if (now >= deadline) return;
      // Sleeps until a message comes or the deadline passes: no polling.
      const std::uint64_t left = deadline - now;
      MsgWaitForMultipleObjectsEx(0, nullptr, left > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(left),
                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }

  void Abandon() override {
    g_abandoned.store(true);
    if (const HWND dialog = g_candidatesDialog.load()) PostMessageA(dialog, WM_CLOSE, 0, 0);
    // Wakes each wait: its window's close posts the quit that ends it.
    std::lock_guard<std::mutex> lock(g_openMutex);
    for (HWND window : g_open) PostMessageA(window, WM_CLOSE, 0, 0);
  }

  void Close() override {
    const HWND window = window_;
    window_ = nullptr;
    if (!window) return;
    Remember(window, false);
    DestroyWindow(window);
  }

  int ChooseCandidate(const std::vector<CddbCandidate>& candidates) override {
    if (g_abandoned.load()) return 0;
    InitCommonControlsOnce();
    const INT_PTR result = DialogBoxParamA(g_instance.load(), MAKEINTRESOURCEA(IDD_CDDB_CANDIDATES), window_,
                                           ui::GuardedDialogProc<CandidatesProc>, reinterpret_cast<LPARAM>(&candidates));
    g_candidatesDialog.store(nullptr);
    return result > 0 && result <= static_cast<INT_PTR>(candidates.size()) ? static_cast<int>(result) : 0;
  }

 private:
  static thread_local HWND window_;
};

thread_local HWND StatusWindows::window_ = nullptr;

StatusWindows g_windows;

}  // namespace

void Install(HINSTANCE instance, HWND owner) {
  g_instance.store(instance);
  g_owner.store(owner);
  g_abandoned.store(false);
  InstallCddbStatusUi(&g_windows);
}
void Uninstall() { InstallCddbStatusUi(nullptr); }

HINSTANCE TemplateInstance() { return g_instance.load(); }

}  // namespace cddb_windows
