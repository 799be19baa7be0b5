// The host hook: the subclassed main window, the CD drive menu, the drive
// checks of a menu command and the short threads that fill the playlist.
#include "companion/companion_plugin.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "companion/drive_menu.h"
#include "companion/play_request.h"
#include "companion/settings_page.h"
#include "device/cd_device.h"
#include "device/device_map.h"
#include "device/system_info.h"
#include "host_api/host_messages.h"
#include "input/plugin_settings.h"
#include "util/host_dir.h"
#include "util/message_box.h"
#include "util/named_event.h"

namespace companion {

namespace {

const char kErrorCaption[] = "エラー  - gen_quorvo.dll";
constexpr DWORD kRequestDelayMs = 100;
// Quit gives running requests this long to finish their messages, and the
// device start-up (bounded by the transport's own command time-outs) this long.
constexpr DWORD kQuitRequestWaitMs = 5000;
constexpr DWORD kQuitStartupWaitMs = 60000;

HINSTANCE g_instance = nullptr;
HWND g_hostWindow = nullptr;
WNDPROC g_previousProc = nullptr;
DriveCommandTable g_commands;

CdDevice& Device() {
  static CdDevice device;
  return device;
}

CNamedEvent g_deviceReady;
bool g_deviceReadyWaited = false;  // UI thread only
HANDLE g_startupThread = nullptr;

// Request threads still running; Quit waits for them and wakes their delay.
std::mutex g_requestsMutex;
std::vector<HANDLE> g_requests;
HANDLE g_quitEvent = nullptr;  // manual reset, set during Quit
std::atomic<bool> g_quitting{false};

std::string IniPath() { return IniPathIn(HostDirectory()); }

void StartDeviceLayer() {
  CdDevice& device = Device();
  if (Settings().aspi) {
    DeviceMap map;
    LoadDeviceMap(SystemProfile(), IniPath().c_str(), map);
    ChooseTransport(device, true, map);
  }
  device.EnumerateDrives();
  g_deviceReady.Set();
}

DWORD WINAPI StartupThread(void*) {
  StartDeviceLayer();
  return 0;
}

void BuildMenu(HWND hostWindow) {
  const DriveMenuPlan plan = PlanDriveMenu(
      CurrentSystemInfo().LogicalDriveStrings(),
      [](const std::string& root) { return CurrentSystemInfo().IsCdRom(root); }, Settings().allDrives);
  g_commands.Reset(plan.baseId);
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(hostWindow, host::kMsgIpc, 0, host::kIpcGetHmenu));
  HMENU sub = menu ? GetSubMenu(menu, 2) : nullptr;
  if (!sub) return;
  for (const DriveMenuItem& item : plan.items) {
    InsertMenuA(sub, static_cast<UINT>(item.position), MF_BYPOSITION | MF_STRING, static_cast<UINT_PTR>(item.id),
                item.text.c_str());
    g_commands.Add(item.id, item.letter);
  }
  InsertMenuA(sub, static_cast<UINT>(plan.separatorPosition), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

// The newest request; an older one still sending stops, so that two quick
// clicks leave the second disc's list, never a mixture of both.
std::atomic<unsigned> g_latestRequest{0};

struct RequestArgs {
  HWND hostWindow;
  std::unique_ptr<PlayRequestTable> table;
  unsigned number;
  HANDLE previous;  // the request before this one (owned), or null
};

bool Superseded(const RequestArgs& args) { return g_quitting.load() || g_latestRequest.load() != args.number; }

DWORD WINAPI RequestThread(void* param) {
  std::unique_ptr<RequestArgs> args(static_cast<RequestArgs*>(param));
  const bool quit = WaitForSingleObject(g_quitEvent, kRequestDelayMs) != WAIT_TIMEOUT;
  if (args->previous) {
    // The previous request sees it is superseded at its next message.
    HANDLE waits[2] = {args->previous, g_quitEvent};
    if (!quit) WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    CloseHandle(args->previous);
  }
  if (quit || Superseded(*args)) return 0;
  const PlayRequestTable& table = *args->table;
  SendMessageA(args->hostWindow, host::kMsgIpc, 0, host::kIpcDeletePlaylist);
  for (int i = 1; i <= table.trackCount; ++i) {
    if (Superseded(*args)) return 0;
    SendMessageA(args->hostWindow, host::kMsgIpc, reinterpret_cast<WPARAM>(&table.records[i]),
                 host::kIpcEnqueueFile);
  }
  if (!Superseded(*args) && Settings().quickStart) {
    SendMessageA(args->hostWindow, host::kMsgIpc, 0, host::kIpcStartPlay);
  }
  return 0;
}

// Forgets requests that have ended.
void ReapRequests() {
  std::lock_guard<std::mutex> lock(g_requestsMutex);
  for (auto it = g_requests.begin(); it != g_requests.end();) {
    if (WaitForSingleObject(*it, 0) == WAIT_OBJECT_0) {
      CloseHandle(*it);
      it = g_requests.erase(it);
    } else {
      ++it;
    }
  }
}

void ShowDriveError(char letter, int error) {
  msgbox::Show(g_hostWindow, DriveErrorText(letter, error), kErrorCaption, msgbox::kOk | msgbox::kIconError);
}

void HandleCommand(int id) {
  const char letter = g_commands.Find(id);
  if (!letter) return;
  if (!g_deviceReadyWaited) {
    g_deviceReady.Wait(kWaitForever);
    g_deviceReadyWaited = true;
  }
  CdDevice& device = Device();
  if (!device.FindDrive(letter)) return ShowDriveError(letter, kDriveErrorUnusable);
  if (device.IsDriveUsable(letter) != 1) return ShowDriveError(letter, kDriveErrorBusy);
  if (!device.SelectDrive(letter)) return ShowDriveError(letter, kDriveErrorUnavailable);
  if (device.TestUnitReady() != 1) return ShowDriveError(letter, kDriveErrorNoDisc);
  // A disc whose table cannot be read would only empty the playlist.
  auto table = std::make_unique<PlayRequestTable>();
  if (FillPlayRequest(*table, letter, device.ReadToc()) < 1) return ShowDriveError(letter, kDriveErrorNoDisc);

  ReapRequests();
  std::lock_guard<std::mutex> lock(g_requestsMutex);
  HANDLE previous = nullptr;
  if (!g_requests.empty()) {
    DuplicateHandle(GetCurrentProcess(), g_requests.back(), GetCurrentProcess(), &previous, SYNCHRONIZE, FALSE, 0);
  }
  auto* args = new RequestArgs{g_hostWindow, std::move(table), g_latestRequest.load() + 1, previous};
  g_latestRequest.store(args->number);
  HANDLE thread = CreateThread(nullptr, 0, RequestThread, args, 0, nullptr);
  if (!thread) {
    if (previous) CloseHandle(previous);
    delete args;
    return;
  }
  g_requests.push_back(thread);
}

LRESULT CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) HandleCommand(LOWORD(wParam));
  if (g_previousProc) return CallWindowProcA(g_previousProc, hwnd, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The request threads send to the host window, whose thread is this one:
// keep taking their messages while waiting.
void WaitForRequests() {
  std::vector<HANDLE> pending;
  {
    std::lock_guard<std::mutex> lock(g_requestsMutex);
    pending.swap(g_requests);
  }
  const DWORD start = GetTickCount();
  for (HANDLE thread : pending) {
    for (;;) {
      const DWORD spent = GetTickCount() - start;
      const DWORD left = spent >= kQuitRequestWaitMs ? 0 : kQuitRequestWaitMs - spent;
      const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
      if (r != WAIT_OBJECT_0 + 1) break;
      MSG m;
      PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
  }
}

}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE ModuleInstance() { return g_instance; }

CompanionSettings& Settings() {
  static CompanionSettings settings;
  return settings;
}

int Init(HWND hostWindow) {
  g_hostWindow = hostWindow;
  g_quitting.store(false);
  if (!g_quitEvent) g_quitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(g_quitEvent);

  Settings().Load(SystemProfile(), IniPath());

  g_previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookProc)));

  BuildMenu(hostWindow);

  g_deviceReadyWaited = false;
  g_deviceReady.Close();
  g_deviceReady.Create(true, false, nullptr);
  if (Settings().multithreadInitialize) {
    g_startupThread = CreateThread(nullptr, 0, StartupThread, nullptr, 0, nullptr);
    if (!g_startupThread) StartDeviceLayer();
  } else {
    StartDeviceLayer();
  }
  return 0;
}

void Config(HWND hostWindow) { ShowSettingsSheet(hostWindow, g_instance, Settings()); }

void Quit(HWND hostWindow) {
  g_quitting.store(true);
  if (g_quitEvent) SetEvent(g_quitEvent);
  WaitForRequests();
  if (g_previousProc) {
    SetWindowLongPtrA(hostWindow ? hostWindow : g_hostWindow, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(g_previousProc));
    g_previousProc = nullptr;
  }
  if (g_startupThread) {
    WaitForSingleObject(g_startupThread, kQuitStartupWaitMs);
    CloseHandle(g_startupThread);
    g_startupThread = nullptr;
  }
  Settings().Save(SystemProfile(), IniPath());
}

}  // namespace companion
