#include "util/message_box.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace msgbox {

namespace {

// The threads that show an abortable box right now.
std::mutex g_mutex;
std::vector<DWORD> g_abortableThreads;

BOOL CALLBACK EndBox(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "#32770") == 0) {
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    *reinterpret_cast<bool*>(found) = true;
  }
  return TRUE;
}

}  // namespace

int Show(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

int ShowAbortable(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  const DWORD self = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_abortableThreads.push_back(self);
  }
  MessageBoxA(owner, text.c_str(), caption.c_str(), type | MB_SETFOREGROUND);
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
