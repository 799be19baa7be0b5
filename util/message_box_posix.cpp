#include "util/message_box.h"

#include <atomic>
#include <mutex>

namespace msgbox {

namespace {
std::mutex g_mutex;
std::atomic<void (*)(const Shown&)> g_hook{nullptr};
std::atomic<void (*)()> g_closeHook{nullptr};
std::atomic<int> g_abortableOpen{0};
}  // namespace

std::vector<Shown>& RecordedForTesting() {
  static std::vector<Shown> shown;
  return shown;
}

int Show(HWND, const std::string& text, const std::string& caption, unsigned type) {
  const Shown box{text, caption, type};
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    RecordedForTesting().push_back(box);
  }
  if (auto hook = g_hook.load()) hook(box);
  return kIdOk;
}

int ShowAbortable(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  ++g_abortableOpen;
  Show(owner, text, caption, type);
  --g_abortableOpen;
  return kIdOk;
}

bool CloseAbortable() {
  if (g_abortableOpen.load() == 0) return false;
  if (auto hook = g_closeHook.load()) hook();
  return true;
}

void SetShowHookForTesting(void (*hook)(const Shown&)) { g_hook.store(hook); }
void SetCloseHookForTesting(void (*hook)()) { g_closeHook.store(hook); }

}  // namespace msgbox
