// The companion's life in one place: the subclassed host window, the CD drive
// menu, the device layer's start-up, the drive checks of a menu command and
// the short threads that fill the playlist; what init starts and, in order,
// what quit ends. The host frees the library right after quit.
#include "companion/companion_plugin.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include "companion/drive_menu.h"
#include "companion/play_request.h"
#include "companion/settings_page.h"
#include "device/cd_device.h"
#include "device/device_map.h"
#include "device/system_info.h"
#include "host_api/host_messages.h"
#include "input/plugin_settings.h"
#include "resources/gen_quorvo_res.h"
#include "util/codepage.h"
#include "util/host_dir.h"
#include "util/message_box.h"
#include "util/fault_injection.h"
#include "util/named_event.h"
#include "util/no_throw.h"
#include "util/own_frames.h"
#include "util/plugin_thread.h"
#include "util/save_notice.h"

namespace companion {

namespace {

const char kErrorCaption[] = "エラー  - gen_quorvo.dll";
constexpr DWORD kRequestDelayMs = 100;
// Quit waits this long for the threads it started, answering the messages
// they send meanwhile; a thread still busy after that (a drive command that
// takes its time-out) ends by itself and holds the library until then.
constexpr std::uint32_t kQuitWaitMs = 1500;
// A menu command waits at most this long for the device layer's start-up
// (answering sent messages); every drive command in it is bounded well below.
constexpr std::uint32_t kDeviceReadyWaitMs = 60000;

// The procedure our subclass replaced, kept on the host window itself. When
// another plug-in subclassed the window after us, quit leaves our procedure
// in the chain (and the library mapped); an init after that finds it here and
// goes on with it instead of subclassing a second time, which would make our
// procedure its own predecessor and recurse until the stack ran out.
const char kPreviousProcProperty[] = "quorvo.gen_quorvo.previous";
// Set when that procedure was taken with the wide functions. A subclass
// must get, set and call its predecessor with the pair that matches how it
// was installed: a narrow procedure on a Unicode window (Winamp 5's) would
// make the window an ANSI one, and every text passed through it would lose
// what the system's code page cannot hold.
const char kPreviousProcWideProperty[] = "quorvo.gen_quorvo.previous.wide";

HINSTANCE g_instance = nullptr;
HWND g_hostWindow = nullptr;
DriveCommandTable g_commands;
// Where the menu items went, for quit to take them out again.
HMENU g_menu = nullptr;
int g_separatorPosition = -1;

CdDevice& Device() {
  static CdDevice device;
  return device;
}

CNamedEvent g_deviceReady;
bool g_deviceReadyWaited = false;  // UI thread only

// Who releases the device layer at quit: quit itself, or the start-up thread
// when it is still at work then.
std::mutex g_lifeMutex;
bool g_startupRunning = false;
plugin_thread::Handle g_startupThread = nullptr;

// Request threads still running; quit waits for them and wakes their delay.
std::mutex g_requestsMutex;
std::vector<plugin_thread::Handle> g_requests;
HANDLE g_quitEvent = nullptr;  // manual reset, set during quit
std::atomic<bool> g_quitting{false};

// Decided at init: the host's winamp.ini, or the old one beside its program.
SettingsFiles g_files;
// The notice about a save that failed at the last quit (the user's registry).
constexpr char kSaveNoticeName[] = "CompanionSaveFailed";
plugin_thread::Handle g_noticeThread = nullptr;

std::string LoadText(UINT id) {
  wchar_t buffer[1024];
  const int n = LoadStringW(g_instance, id, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
  return n > 0 ? codepage::WideToUtf8(std::wstring(buffer, static_cast<std::size_t>(n))) : std::string();
}

// Writes the two settings (and, while they move over from the old file, the
// input plug-in's read-only keys); a failure is kept for the next start.
void SaveSettings() {
  const std::string& ini = g_files.ini;
  if (ini.empty()) return;  // never started
  if (Settings().Save(SystemProfile(), ini) &&
      (!g_files.moving || CarryOverReadOnlyKeys(SystemProfile(), g_files.sourceIni, ini))) {
    return;
  }
  const save_notice::Reason reason = save_notice::WhyNotWritten(ini, save_notice::LastError());
  // The path is in the ANSI code page, the notice's text UTF-8.
  save_notice::Record(kSaveNoticeName, save_notice::Compose(LoadText(IDS_SAVE_COMPANION_FAILED),
                                                            codepage::AnsiToUtf8(ini),
                                                            LoadText(IDS_SAVE_REASON_FIRST + reason)));
}

// The ASPI layer is a library of its own: it is freed by quit or by the last
// thread that used it, never by a destructor at unload under the loader lock.
void ReleaseDeviceLayer() { Device().SetTransport(kTransportNone); }

// Ends with the ready event set whatever failed on the way: a menu command
// then finds no drive (and says so) instead of waiting for ever.
void StartDeviceLayer() {
  struct Ready {
    ~Ready() { g_deviceReady.Set(); }
  } ready;
  CdDevice& device = Device();
  NoThrow([&device] {
    if (Settings().aspi) {
      DeviceMap map;
      LoadDeviceMap(SystemProfile(), g_files.sourceIni.c_str(), map);
      ChooseTransport(device, true, map);
    } else if (device.TransportKind() == kTransportNone) {
      device.SetTransport(kTransportAuto);  // a quit before this init released it
    }
  });
  NoThrow([&device] {
    if (fault_injection::Requested("gen_startup")) throw std::runtime_error("device start-up");
    device.EnumerateDrives();
  });
}

void StartupThread(void*) {
  StartDeviceLayer();
  std::lock_guard<std::mutex> lock(g_lifeMutex);
  g_startupRunning = false;
  if (g_quitting.load()) ReleaseDeviceLayer();
}

void BuildMenu(HWND hostWindow) {
  const DriveMenuPlan plan = PlanDriveMenu(
      CurrentSystemInfo().LogicalDriveStrings(),
      [](const std::string& root) { return CurrentSystemInfo().IsCdRom(root); }, Settings().allDrives);
  g_commands.Reset(plan.baseId);
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(hostWindow, host::kMsgIpc, 0, host::kIpcGetHmenu));
  HMENU sub = menu ? GetSubMenu(menu, 2) : nullptr;
  if (!sub) return;
  g_menu = sub;
  for (const DriveMenuItem& item : plan.items) {
    InsertMenuW(sub, static_cast<UINT>(item.position), MF_BYPOSITION | MF_STRING, static_cast<UINT_PTR>(item.id),
                codepage::Utf8ToWide(item.text).c_str());
    g_commands.Add(item.id, item.letter);
  }
  if (InsertMenuW(sub, static_cast<UINT>(plan.separatorPosition), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr)) {
    g_separatorPosition = plan.separatorPosition - g_commands.Count();
  }
}

// Takes out what BuildMenu put in, so that an init after this quit on the
// same window adds one set of drive items, not a second one.
void RemoveMenu() {
  HMENU sub = g_menu;
  g_menu = nullptr;
  if (!sub || !IsMenu(sub)) return;
  for (int id : g_commands.Ids()) DeleteMenu(sub, static_cast<UINT>(id), MF_BYCOMMAND);
  if (g_separatorPosition >= 0 &&
      (GetMenuState(sub, static_cast<UINT>(g_separatorPosition), MF_BYPOSITION) & MF_SEPARATOR)) {
    DeleteMenu(sub, static_cast<UINT>(g_separatorPosition), MF_BYPOSITION);
  }
  g_separatorPosition = -1;
  g_commands.Reset(g_commands.BaseId());
}

// The newest request; an older one still sending stops, so that two quick
// clicks leave the second disc's list, never a mixture of both.
std::atomic<unsigned> g_latestRequest{0};

struct RequestArgs {
  HWND hostWindow;
  std::unique_ptr<PlayRequestTable> table;
  unsigned number;
  HANDLE previous;  // the request before this one (a duplicate we own), or null
};

bool Superseded(const RequestArgs& args) { return g_quitting.load() || g_latestRequest.load() != args.number; }

void RequestThread(void* param) {
  std::unique_ptr<RequestArgs> args(static_cast<RequestArgs*>(param));
  const bool quit = WaitForSingleObject(g_quitEvent, kRequestDelayMs) != WAIT_TIMEOUT;
  if (args->previous) {
    // The previous request sees it is superseded at its next message.
    HANDLE waits[2] = {args->previous, g_quitEvent};
    if (!quit) WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    CloseHandle(args->previous);
  }
  if (quit || Superseded(*args)) return;
  const PlayRequestTable& table = *args->table;
  SendMessageA(args->hostWindow, host::kMsgIpc, 0, host::kIpcDeletePlaylist);
  for (int i = 1; i <= table.trackCount; ++i) {
    if (Superseded(*args)) return;
    SendMessageA(args->hostWindow, host::kMsgIpc, reinterpret_cast<WPARAM>(&table.records[i]),
                 host::kIpcEnqueueFile);
  }
  if (!Superseded(*args) && Settings().quickStart) {
    SendMessageA(args->hostWindow, host::kMsgIpc, 0, host::kIpcStartPlay);
  }
}

// Forgets requests that have ended.
void ReapRequests() {
  std::lock_guard<std::mutex> lock(g_requestsMutex);
  for (auto it = g_requests.begin(); it != g_requests.end();) {
    if (plugin_thread::Wait(*it, 0)) {
      plugin_thread::Release(*it);
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
    // The start-up sets the event on every path; the wait answers the
    // messages sent to the host's window meanwhile.
    if (g_deviceReady.WaitAnsweringSentMessages(kDeviceReadyWaitMs) != kWaitSignalled) {
      return ShowDriveError(letter, kDriveErrorUnavailable);  // still starting: not ours to touch
    }
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
  // A box above may have let the host quit us meanwhile.
  if (g_quitting.load()) return;

  ReapRequests();
  std::lock_guard<std::mutex> lock(g_requestsMutex);
  HANDLE previous = nullptr;
  if (!g_requests.empty()) {
    DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(g_requests.back()), GetCurrentProcess(), &previous,
                    SYNCHRONIZE, FALSE, 0);
  }
  auto* args = new (std::nothrow) RequestArgs{g_hostWindow, std::move(table), g_latestRequest.load() + 1, previous};
  if (!args) {
    if (previous) CloseHandle(previous);
    return;
  }
  g_latestRequest.store(args->number);
  plugin_thread::Handle thread = plugin_thread::Start(RequestThread, args);
  if (!thread) {
    if (previous) CloseHandle(previous);
    delete args;
    return;
  }
  g_requests.push_back(thread);
}

WNDPROC PreviousProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetPropA(hwnd, kPreviousProcProperty)); }
bool PreviousIsWide(HWND hwnd) { return GetPropA(hwnd, kPreviousProcWideProperty) != nullptr; }

// The procedure on top of the window's chain, read with the pair that gives
// it as installed (the other pair may give a translating handle instead).
WNDPROC CurrentProc(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(IsWindowUnicode(hwnd) ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC)
                                                         : GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

LRESULT CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  // The host may quit (and free) us from a message passed on below: this
  // frame still has to return here.
  own_frames::Scope frame;
  // After quit this procedure only passes messages on: another plug-in that
  // subclassed after us still calls it. Nothing may unwind into the host's
  // window procedure.
  if (msg == WM_COMMAND && !g_quitting.load()) NoThrow([wParam] { HandleCommand(LOWORD(wParam)); });
  const WNDPROC previous = PreviousProc(hwnd);
  const bool wide = PreviousIsWide(hwnd);
  if (previous && previous != HookProc) {
    return wide ? CallWindowProcW(previous, hwnd, msg, wParam, lParam)
                : CallWindowProcA(previous, hwnd, msg, wParam, lParam);
  }
  return wide ? DefWindowProcW(hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool Chained(HWND hostWindow) { return PreviousProc(hostWindow) != nullptr || CurrentProc(hostWindow) == HookProc; }

void ForgetPrevious(HWND hostWindow) {
  RemovePropA(hostWindow, kPreviousProcProperty);
  RemovePropA(hostWindow, kPreviousProcWideProperty);
}

void Hook(HWND hostWindow) {
  if (!hostWindow || Chained(hostWindow)) return;
  const bool wide = IsWindowUnicode(hostWindow) != FALSE;
  const LONG_PTR previous =
      wide ? GetWindowLongPtrW(hostWindow, GWLP_WNDPROC) : GetWindowLongPtrA(hostWindow, GWLP_WNDPROC);
  // Known before the first message can reach our procedure.
  if (wide && !SetPropA(hostWindow, kPreviousProcWideProperty, reinterpret_cast<HANDLE>(1))) return;
  if (!SetPropA(hostWindow, kPreviousProcProperty, reinterpret_cast<HANDLE>(previous))) {
    ForgetPrevious(hostWindow);
    return;
  }
  const LONG_PTR replaced = wide ? SetWindowLongPtrW(hostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookProc))
                                 : SetWindowLongPtrA(hostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookProc));
  if (!replaced) ForgetPrevious(hostWindow);
}

// Takes our procedure out of the host window's chain. When another plug-in
// subclassed the window after us, its procedure calls ours: ours stays (it
// passes everything on from now on) and so must the library that holds it.
void Unhook(HWND hostWindow) {
  const WNDPROC previous = hostWindow ? PreviousProc(hostWindow) : nullptr;
  if (!previous) return;
  if (CurrentProc(hostWindow) == HookProc) {
    const auto restored = reinterpret_cast<LONG_PTR>(previous);
    if (PreviousIsWide(hostWindow)) {
      SetWindowLongPtrW(hostWindow, GWLP_WNDPROC, restored);
    } else {
      SetWindowLongPtrA(hostWindow, GWLP_WNDPROC, restored);
    }
    ForgetPrevious(hostWindow);
    return;
  }
  own_frames::PinThisLibrary();
}

// The request threads send to the host window, whose thread is this one: the
// wait answers their messages.
void WaitForRequests(std::uint32_t waitMs) {
  std::vector<plugin_thread::Handle> pending;
  {
    std::lock_guard<std::mutex> lock(g_requestsMutex);
    pending.swap(g_requests);
  }
  const DWORD start = GetTickCount();
  for (plugin_thread::Handle thread : pending) {
    const DWORD spent = GetTickCount() - start;
    plugin_thread::Wait(thread, spent >= waitMs ? 0 : waitMs - spent);
    plugin_thread::Release(thread);
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

  // A library kept loaded past an earlier quit starts from the defaults too.
  Settings() = CompanionSettings{};
  g_files = ChooseSettingsFiles(AskHostSettingsLocation(hostWindow), IniPathIn(HostDirectory()), SystemProfile(),
                                kSettingsSection);
  Settings().Load(SystemProfile(), g_files.sourceIni);

  Hook(hostWindow);
  RemoveMenu();  // an init without a quit before it
  BuildMenu(hostWindow);

  g_deviceReadyWaited = false;
  g_deviceReady.Close();
  g_deviceReady.Create(true, false, nullptr);
  if (Settings().multithreadInitialize) {
    std::lock_guard<std::mutex> lock(g_lifeMutex);
    g_startupRunning = true;
    g_startupThread = plugin_thread::Start(StartupThread, nullptr);
    if (!g_startupThread) g_startupRunning = false;
  }
  if (!g_startupThread) StartDeviceLayer();

  plugin_thread::Release(g_noticeThread);
  g_noticeThread = save_notice::ShowLater(hostWindow, save_notice::Take(kSaveNoticeName), kErrorCaption);
  return 0;
}

void Config(HWND hostWindow) {
  own_frames::Scope frame;  // a modal sheet: the host may quit us from it
  ShowSettingsSheet(hostWindow, g_instance, Settings());
}

void Quit(HWND hostWindow) {
  // Called from a message one of our frames dispatched (our window
  // procedure, the sheet, a box): the library must outlive that frame.
  own_frames::PinIfOthersOpen(0);
  // From here on commands are passed on untouched and threads stop at their
  // next step.
  g_quitting.store(true);
  if (g_quitEvent) SetEvent(g_quitEvent);
  Unhook(hostWindow ? hostWindow : g_hostWindow);
  RemoveMenu();
  SaveSettings();

  WaitForRequests(kQuitWaitMs);
  plugin_thread::Wait(g_startupThread, kQuitWaitMs);
  plugin_thread::Release(g_startupThread);
  g_startupThread = nullptr;
  if (g_noticeThread) {
    msgbox::CloseAbortable();
    plugin_thread::Wait(g_noticeThread, kQuitWaitMs);
    plugin_thread::Release(g_noticeThread);
    g_noticeThread = nullptr;
  }
  std::lock_guard<std::mutex> lock(g_lifeMutex);
  if (!g_startupRunning) ReleaseDeviceLayer();
}

}  // namespace companion
