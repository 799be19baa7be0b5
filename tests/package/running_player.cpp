// Stands in for a running player as an installer sees it: a top-level window
// of the player's class. Prints "ready" once the window exists and lives
// until it is killed or the given milliseconds (default 60000) have passed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const UINT lifetime = argc > 1 ? static_cast<UINT>(std::strtoul(argv[1], nullptr, 10)) : 60000;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Winamp v1.x";
  if (!RegisterClassA(&wc)) return 2;
  HWND window = CreateWindowA(wc.lpszClassName, "Winamp", WS_OVERLAPPEDWINDOW, 0, 0, 275, 116, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (window == nullptr) return 3;
  std::printf("ready\n");
  std::fflush(stdout);
  SetTimer(window, 1, lifetime, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) DispatchMessageA(&msg);
  DestroyWindow(window);
  return 0;
}
