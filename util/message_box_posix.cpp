#include "util/message_box.h"

#include <atomic>
#include <mutex>

namespace msgbox {

namespace {
std::mutex g_mutex;
std::atomic<void (*)(const Shown&)> g_hook{nullptr};
}

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

void SetShowHookForTesting(void (*hook)(const Shown&)) { g_hook.store(hook); }

}  // namespace msgbox
