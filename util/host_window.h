#pragma once
// Messages to the host's main window (end of stream, title refresh). On
// Windows they are posted; elsewhere (unit tests) they are recorded.
#include <vector>

#include "host_api/win_types.h"

namespace host_window {

bool Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

struct Posted {
  HWND window;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
// POSIX only: every message posted so far, and a way to forget them.
std::vector<Posted> PostedForTesting();
void ClearPostedForTesting();

}  // namespace host_window
