#include "util/message_box.h"

#include <mutex>

namespace msgbox {

namespace {
std::mutex g_mutex;
}

std::vector<Shown>& RecordedForTesting() {
  static std::vector<Shown> shown;
  return shown;
}

int Show(HWND, const std::string& text, const std::string& caption, unsigned type) {
  std::lock_guard<std::mutex> lock(g_mutex);
  RecordedForTesting().push_back({text, caption, type});
  return kIdOk;
}

}  // namespace msgbox
