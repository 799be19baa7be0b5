#include "util/host_window.h"

namespace host_window {

bool Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostMessageA(window, msg, wParam, lParam) != 0;
}

std::vector<Posted> PostedForTesting() { return {}; }
void ClearPostedForTesting() {}

}  // namespace host_window
