#include "util/host_window.h"

#include <mutex>

namespace host_window {

namespace {
std::mutex g_mutex;
std::vector<Posted> g_posted;
}  // namespace

bool Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_posted.push_back({window, msg, wParam, lParam});
  return true;
}

std::vector<Posted> PostedForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_posted;
}

void ClearPostedForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_posted.clear();
}

}  // namespace host_window
