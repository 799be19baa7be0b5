#include "input/plugin_lifecycle.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "cddb/plugin_cddb.h"
#include "device/device_map.h"
#include "input/plugin_settings.h"
#include "input/readers.h"
#include "input/plugin_strings.h"
#include "resources/in_quorvo_res.h"
#include "ui/plugin_windows.h"
#include "ui/info_box.h"
#include "ui/settings_sheet.h"
#include "util/host_dir.h"
#include "util/message_box.h"
#include "util/named_event.h"

namespace plugin {

namespace {

constexpr unsigned kInfinite = 0xFFFFFFFFu;

CNamedEvent g_initComplete;
std::atomic<bool> g_initSeen{false};
// A host that unloads the library without Quit must not take the process
// down with std::terminate; the thread is joined by Quit in the normal order.
struct InitThread {
  std::thread thread;
  ~InitThread() {
    if (thread.joinable()) thread.detach();
  }
} g_init;
std::mutex g_infoBoxMutex;
std::string g_infoBoxFile;

// Opened once when the library is loaded: every process shares the one lock.
struct DriveLockHolder {
  CCriticalSection lock;
  DriveLockHolder() { lock.Create(kDriveLockName); }
};

void BackgroundInitialisation() {
  BuildChoiceTables();
  StartCddb();
  if (Settings().aspi) {
    DeviceMap map;
    LoadDeviceMap(SystemProfile(), SettingsPath().c_str(), map);
    ChooseTransport(InfoReader(), true, map);
    ChooseTransport(PlaybackReader(), true, map);
  }
  InfoReader().EnumerateDrives();
  PlaybackReader().EnumerateDrives();
  g_initComplete.Set();
}

}  // namespace

CCriticalSection& DriveLock() {
  static DriveLockHolder holder;
  return holder.lock;
}

std::string SettingsPath() { return IniPathIn(HostDirectory()); }

void WaitForInitialisation() {
  if (g_initSeen.load(std::memory_order_acquire)) return;
  g_initComplete.Wait(kInfinite);
  g_initSeen.store(true, std::memory_order_release);
}

void Init() {
  Settings().Load(SystemProfile(), SettingsPath());  // the stored version is not used
  DriveLock();

  if (g_init.thread.joinable()) g_init.thread.join();
  g_initSeen.store(false, std::memory_order_release);
  g_initComplete.Close();
  g_initComplete.Create(true, false, nullptr);

  if (Settings().multithreadInitialize) {
    g_init.thread = std::thread(BackgroundInitialisation);
  } else {
    BackgroundInitialisation();
  }
  ui::OpenPluginWindows();
}

void Quit() {
  WaitForInitialisation();
  if (g_init.thread.joinable()) g_init.thread.join();
  // The lookup thread's status window is owned by the device-change window:
  // end the thread before that window goes.
  StopCddb();
  ui::ClosePluginWindows();
  Settings().Save(SystemProfile(), SettingsPath(), kVersion);
}

void About(HWND parent) {
  const std::string text = LoadPluginString(IDS_ABOUT_TEXT) + kVersionSuffix + "\n\n\n" +
                           LoadPluginString(IDS_ABOUT_NOTICE);
  msgbox::Show(parent, text, LoadPluginString(IDS_ABOUT_CAPTION), msgbox::kOk);
}

void Config(HWND parent) {
  WaitForInitialisation();
  ui::ShowSettingsSheet(parent);
}

int InfoBox(const char* fileName, HWND parent) {
  {
    std::lock_guard<std::mutex> lock(g_infoBoxMutex);
    g_infoBoxFile = fileName ? fileName : "";
  }
  WaitForInitialisation();
  ui::ShowInfoBox(fileName, parent);
  return 0;
}

std::string InfoBoxFileName() {
  std::lock_guard<std::mutex> lock(g_infoBoxMutex);
  return g_infoBoxFile;
}

void EQSet(int, char*, int) { WaitForInitialisation(); }

}  // namespace plugin
