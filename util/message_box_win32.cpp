#include "util/message_box.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "util/codepage.h"

namespace msgbox {

namespace {

// The threads that show an abortable box right now.
std::mutex g_mutex;
std::vector<DWORD> g_abortableThreads;

BOOL CALLBACK EndBox(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (lstrcmpW(name, L"#32770") == 0) {
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    *reinterpret_cast<bool*>(found) = true;
  }
  return TRUE;
}

// A wide box: its texts read the same on any system code page.
int ShowWide(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  return MessageBoxW(owner, codepage::Utf8ToWide(text).c_str(), codepage::Utf8ToWide(caption).c_str(), type);
}

}  // namespace

int Show(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  return ShowWide(owner, text, caption, type);
}

int ShowAbortable(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  const DWORD self = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_abortableThreads.push_back(self);
  }
  ShowWide(owner, text, caption, type | MB_SETFOREGROUND);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_abortableThreads.erase(std::find(g_abortableThreads.begin(), g_abortableThreads.end(), self));
  return kIdOk;
}

bool CloseAbortable() {
  std::vector<DWORD> threads;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    threads = g_abortableThreads;
  }
  bool found = false;
  for (DWORD thread : threads) EnumThreadWindows(thread, EndBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<Shown>& RecordedForTesting() {
  static std::vector<Shown> none;
  return none;
}

void SetShowHookForTesting(void (*)(const Shown&)) {}
void SetCloseHookForTesting(void (*)()) {}

}  // namespace msgbox
