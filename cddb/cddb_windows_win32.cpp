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
#include "util/codepage.h"
#include "util/message_box.h"
#include "util/window_guard.h"

namespace cddb_windows {

namespace {

constexpr int kQuitByClose = 2;
// Sent to the status window by a lookup running on another thread: the
// candidates dialog must belong to the window's own thread.
constexpr UINT kMsgChooseCandidate = WM_APP + 1;

// Set at shutdown: waits end and the candidates dialog closes at once.
std::atomic<bool> g_abandoned{false};
std::atomic<HWND> g_candidatesDialog{nullptr};
std::atomic<HINSTANCE> g_instance{nullptr};
std::atomic<HWND> g_owner{nullptr};
// The status window whose lookup runs on another thread, while its own
// thread waits in AwaitWork.
std::atomic<HWND> g_lent{nullptr};

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

INT_PTR CALLBACK CandidatesProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

// The chosen row + 1, 0 for no choice.
int RunCandidatesDialog(HWND parent, const std::vector<CddbCandidate>& candidates) {
  if (g_abandoned.load()) return 0;
  InitCommonControlsOnce();
  const INT_PTR result = DialogBoxParamW(g_instance.load(), MAKEINTRESOURCEW(IDD_CDDB_CANDIDATES), parent,
                                         ui::GuardedDialogProc<CandidatesProc>, reinterpret_cast<LPARAM>(&candidates));
  g_candidatesDialog.store(nullptr);
  return result > 0 && result <= static_cast<INT_PTR>(candidates.size()) ? static_cast<int>(result) : 0;
}

INT_PTR CALLBACK StatusProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case kMsgChooseCandidate: {
      const auto* candidates = reinterpret_cast<const std::vector<CddbCandidate>*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, RunCandidatesDialog(dialog, *candidates));
      return TRUE;
    }
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
      if (g_abandoned.load()) PostMessageW(dialog, WM_CLOSE, 0, 0);
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
              SendDlgItemMessageW(dialog, IDC_CANDIDATE_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
          if (row >= 0) {
            EndDialog(dialog, row + 1);
          } else {
            msgbox::Show(dialog, "選択されていません", "エラー", MB_OK | MB_ICONERROR);
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
    const HWND window = CreateDialogParamW(g_instance.load(), MAKEINTRESOURCEW(IDD_CDDB_STATUS),
                                           ownersThread ? owner : nullptr,
                                           ui::GuardedDialogProc<StatusProc>, 0);
    if (!window) return false;
    window_ = window;
    Remember(window, true);
    char id[16];
    std::snprintf(id, sizeof id, "%.8X", static_cast<unsigned>(discId));
    SetDlgItemTextW(window, IDC_STATUS_DISC_ID, codepage::Utf8ToWide(id).c_str());
    // A lookup the user did not ask for must not take the keyboard from the
    // host; the information box's own lookup may.
    ShowWindow(window, ownersThread ? SW_SHOW : SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return true;
  }

  void SetMessage(const std::string& text) override {
    const HWND window = Target();
    if (!window) return;
    SetDlgItemTextW(window, IDC_STATUS_MESSAGE, codepage::Utf8ToWide(text).c_str());
    // The lookup does not pump messages: paint the new line now.
    UpdateWindow(GetDlgItem(window, IDC_STATUS_MESSAGE));
  }

  void SetMessageAndDetail(const std::string& text, const std::string& detail) override {
    const HWND window = Target();
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
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          // Our close ends the wait; anybody else's quit is the thread's own
          // business and is handed back to its loop.
          if (msg.wParam != kQuitByClose) PostQuitMessage(static_cast<int>(msg.wParam));
          return;
        }
        if (!window_ || !IsDialogMessageW(window_, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
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

  bool AwaitWork(const std::function<bool()>& finished, const std::function<void()>& cancel, std::uint32_t limitMs,
                 std::uint32_t graceMs) override {
    const HWND window = window_;
    g_lent.store(window);
    // While the lookup runs the close button cancels it.
    if (window) EnableWindow(GetDlgItem(window, IDC_STATUS_CLOSE), TRUE);
    const std::uint64_t start = NowMs();
    std::uint64_t end = start + limitMs;
    bool cancelled = false;
    bool quit = false;
    WPARAM quitCode = 0;
    const auto cancelOnce = [&] {
      if (cancelled) return;
      cancelled = true;
      cancel();
      end = NowMs() + graceMs;
    };
    MSG msg;
    while (!finished()) {
      if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          // Our close cancels; anybody else's quit is the thread's own
          // business, handed back to its loop once the lookup has ended.
          if (msg.wParam != kQuitByClose) {
            quit = true;
            quitCode = msg.wParam;
          }
          cancelOnce();
        } else if (!window || !IsDialogMessageW(window, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        continue;
      }
      if (g_abandoned.load()) cancelOnce();
      const std::uint64_t now = NowMs();
      if (now >= end) {
        if (cancelled) break;
        cancelOnce();
        continue;
      }
      // Sleeps until a message comes (the worker's Wake is one) or the time is up.
      const std::uint64_t left = end - now;
      MsgWaitForMultipleObjectsEx(0, nullptr, left > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(left),
                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    g_lent.store(nullptr);
    if (window) EnableWindow(GetDlgItem(window, IDC_STATUS_CLOSE), FALSE);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return finished();
  }

  void Wake() override {
    if (const HWND window = g_lent.load()) PostMessageW(window, WM_NULL, 0, 0);
  }

  void Abandon() override {
    g_abandoned.store(true);
    if (const HWND dialog = g_candidatesDialog.load()) PostMessageW(dialog, WM_CLOSE, 0, 0);
    // Wakes each wait: its window's close posts the quit that ends it.
    std::lock_guard<std::mutex> lock(g_openMutex);
    for (HWND window : g_open) PostMessageW(window, WM_CLOSE, 0, 0);
  }

  void Close() override {
    const HWND window = window_;
    window_ = nullptr;
    if (!window) return;
    Remember(window, false);
    DestroyWindow(window);
  }

  int ChooseCandidate(const std::vector<CddbCandidate>& candidates) override {
    if (window_ || !g_lent.load()) return RunCandidatesDialog(window_, candidates);
    // From the lookup's worker: the window's thread shows the dialog (it
    // waits in AwaitWork and so answers at once).
    const HWND window = g_lent.load();
    return static_cast<int>(SendMessageW(window, kMsgChooseCandidate, 0, reinterpret_cast<LPARAM>(&candidates)));
  }

 private:
  // This thread's window, or the one lent to this thread's lookup.
  static HWND Target() { return window_ ? window_ : g_lent.load(); }

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
