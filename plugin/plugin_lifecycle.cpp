// The input plug-in's life in one place: what Init starts, in order, and what
// Quit ends, in the order that loses least (what is worth keeping first, then
// everything that may have to wait). The host frees the library right after
// Quit and may call in from any message it dispatches meanwhile.
#include "plugin/plugin_lifecycle.h"

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "cddb/cddb_ui_client.h"
#include "cddb/cddb_windows.h"
#include "device/device_map.h"
#include "host_api/in_module.h"
#include "input/host_slots.h"
#include "input/playback_engine.h"
#include "input/plugin_cddb.h"
#include "input/plugin_paths.h"
#include "input/plugin_state.h"
#include "input/plugin_settings.h"
#include "input/plugin_strings.h"
#include "input/readers.h"
#include "input/title_queries.h"
#include "plugin/offset_detection.h"
#include "plugin/rip_handles.h"
#include "resources/in_quorvo_res.h"
#include "ui/device_change_window.h"
#include "ui/info_box.h"
#include "ui/settings_sheet.h"
#include "util/host_dir.h"
#include "util/fault_injection.h"
#include "util/http_client.h"
#include "util/message_box.h"
#include "util/no_throw.h"
#include "util/own_frames.h"
#include "util/plugin_thread.h"
#include "util/codepage.h"
#include "util/save_notice.h"

namespace plugin {

namespace {

// Quit gives a background lookup this long to end once its transfer and
// windows have been closed; a thread still stuck in a name lookup after that
// ends by itself, holding the library until then.
constexpr std::uint32_t kQuitLookupWaitMs = 1500;
// A rip's reads end at the next command (a batch at most); Quit waits this
// long for one still inside, then leaves it the library (its frame pins it).
constexpr std::uint32_t kQuitRipWaitMs = 1000;

// The notice about a save that failed at the last Quit, kept in the user's
// registry under this name until the next start shows it.
constexpr char kSaveNoticeName[] = "SaveFailed";
constexpr char kErrorCaption[] = "エラー - CDirectCDDA";

plugin_thread::Handle g_noticeThread = nullptr;  // host's thread only
plugin_thread::Handle g_initThread = nullptr;    // host's thread only

// Broadcasts arrive on the host's thread, possibly while the drive table is
// still being built on the initialisation thread: those are answered without
// looking at it (a drive that is not enumerated yet cannot be playing).
int OnDeviceChange(std::uint32_t event, bool volumeRecord, std::uint32_t unitMask) {
  if (!InitialisationComplete()) {
    return event == kDeviceArrival || event == kDeviceQueryRemoveFailed || event == kDeviceRemoveComplete ? 1 : 0;
  }
  return Engine().OnDeviceChange(event, volumeRecord, unitMask);
}

void StartCddb(const PluginSettings& s) {
  CddbUiClient& client = PluginCddbClient();
  client.SetClientInfo("in_quorvo.dll", "Ver.0.26");
  client.SetServerUrl(s.cddbUrl.c_str());
  client.SetUseUtf8(s.cddbUseUtf8);
  client.SetProxy(s.cddbProxy.c_str());
  client.SetUseProxy(s.cddbUseProxy);
  client.SetEmail(s.cddbEmail.c_str());
  client.SetAutoClose(s.cddbDialogAutoClose);
  client.SetHostWindow([] { return Module().hMainWindow; });
  // Discs found by an older version, kept beside the plug-in, come along
  // once; that file stays as it was.
  const std::string cache = CddbCachePath(), oldCache = plugin::OldCacheFilePath();
  client.LoadCache(!FileExists(cache) && oldCache != cache ? oldCache : cache);
  InstallTitleCddb(&client);
}

void ChooseTransports(const PluginSettings& s) {
  if (s.aspi) {
    DeviceMap map;
    LoadDeviceMap(SystemProfile(), SettingsSourcePath().c_str(), map);
    ChooseTransport(InfoReader(), true, map);
    ChooseTransport(PlaybackReader(), true, map);
    return;
  }
  // A Quit before this Init released them.
  for (CDirectCDDA* reader : {&InfoReader(), &PlaybackReader()}) {
    if (reader->TransportKind() == kTransportNone) reader->SetTransport(kTransportAuto);
  }
}

// Completion is signalled whatever fails on the way: every slot waits for
// it. A step that fails (an exception: memory, a thread refused) leaves the
// plug-in working as far as the other steps got, with no drives at worst.
void BackgroundInitialisation(void*) {
  struct Complete {
    ~Complete() { SignalInitialisationDone(); }
  } complete;
  PluginSettings s;
  NoThrow([&s] { s = SettingsSnapshot(); });
  NoThrow([] { BuildChoiceTables(); });
  NoThrow([&s] { StartCddb(s); });
  NoThrow([&s] { ChooseTransports(s); });
  NoThrow([] {
    if (fault_injection::Requested("in_init")) throw std::runtime_error("initialisation");
    InfoReader().EnumerateDrives();
    PlaybackReader().EnumerateDrives();
  });
}

// One paragraph of the notice: which file, and why it could not be written.
std::string SaveProblem(unsigned textId, const std::string& path, unsigned long lastError) {
  const save_notice::Reason reason = save_notice::WhyNotWritten(path, lastError);
  // The path is an ANSI string; the notice is UTF-8 text.
  return save_notice::Compose(LoadPluginString(textId), codepage::AnsiToUtf8(path),
                              LoadPluginString(IDS_SAVE_REASON_FIRST + reason));
}

}  // namespace

void Init() {
  ChoosePluginFiles(Module().hMainWindow);
  {
    std::lock_guard<std::mutex> lock(SettingsMutex());
    Settings().Load(SystemProfile(), SettingsSourcePath());  // the stored version is not used
  }
  DriveLock();
  // Immediate lookups run on the host's thread; a background lookup thread
  // takes its own hold of the socket layer.
  StartSocketLayer();
  rip_handles::Reopen();
  offset_detection::Reopen();
  PluginCddbClient().Reopen();

  // An earlier initialisation that Quit left running still writes the
  // tables: this one starts only after it.
  if (g_initThread != nullptr && !plugin_thread::Wait(g_initThread, kInitWaitLimitMs)) return;
  plugin_thread::Release(g_initThread);
  g_initThread = nullptr;
  const bool signalled = ReopenInitialisationGate();

  if (signalled && SettingsSnapshot().multithreadInitialize) {
    g_initThread = plugin_thread::Start(BackgroundInitialisation, nullptr);
  }
  // Without a thread of its own the initialisation runs here, as it would
  // have without the setting.
  if (g_initThread == nullptr) BackgroundInitialisation(nullptr);

  ui::CreateDeviceChangeWindow(PluginInstance(), OnDeviceChange);
  cddb_windows::Install(PluginInstance(), ui::DeviceChangeWindow());

  // A save that failed at the last Quit is told once, without holding up
  // the host's start.
  plugin_thread::Release(g_noticeThread);
  g_noticeThread = save_notice::ShowLater(Module().hMainWindow, save_notice::Take(kSaveNoticeName), kErrorCaption);
}

void Quit() {
  // The initialisation thread only talks to drives, each command bounded;
  // the wait answers sent messages all the same. One that is still at work
  // keeps the library (its own reference) and the objects it uses.
  const bool initialised = WaitForInitialisation();
  if (initialised) {
    plugin_thread::Join(g_initThread);
    g_initThread = nullptr;
  }

  // What the user would lose first. Settings that moved over from the old
  // file take the keys Quit never writes along.
  std::string problems;
  const std::string ini = SettingsPath();
  if (!Settings().Save(SystemProfile(), ini, kVersion) ||
      (SettingsMoving() && !CarryOverReadOnlyKeys(SystemProfile(), SettingsSourcePath(), ini))) {
    problems = SaveProblem(IDS_SAVE_SETTINGS_FAILED, ini, save_notice::LastError());
  }

  // Then everything that may wait. The host normally stops before it quits.
  if (Engine().HasThreads()) Engine().Stop();
  // A rip the host left open ends here: its reads stop within a command.
  rip_handles::EndAll(kQuitRipWaitMs);
  offset_detection::EndAll();
  // Called from a message that a frame of ours dispatched (a modal dialog,
  // a wait that answers sent messages), or beside a rip that is still
  // inside a command: the library must outlive that frame. Counted after
  // the rips were ended, so that one that has returned pins nothing.
  own_frames::PinIfOthersOpen(1);
  // The lookup thread's status window may be owned by the device-change
  // window: the thread ends (or is let go) before that window goes.
  PluginCddbClient().Close(kQuitLookupWaitMs);
  // After the client has closed, so that a lookup ending during Quit is kept.
  const std::string cache = CddbCachePath();
  if (!PluginCddbClient().SaveCache(cache)) {
    const unsigned long error = save_notice::LastError();
    problems += (problems.empty() ? "" : "\n\n") + SaveProblem(IDS_SAVE_CACHE_FAILED, cache, error);
  }
  if (!problems.empty()) save_notice::Record(kSaveNoticeName, problems);
  // A notice still open goes with us (its thread holds the library).
  if (g_noticeThread) {
    msgbox::CloseAbortable();
    plugin_thread::Wait(g_noticeThread, kQuitLookupWaitMs);
    plugin_thread::Release(g_noticeThread);
    g_noticeThread = nullptr;
  }
  InstallTitleCddb(nullptr);
  cddb_windows::Uninstall();
  ui::DestroyDeviceChangeWindow();
  // The ASPI layer is a library of its own: freed here, never from a
  // destructor at unload, where the loader lock is held. Not while a thread
  // may still send through it (a Stop that gave up, a Quit from inside
  // Stop's own wait, an initialisation still running): then it stays.
  if (initialised && !Engine().HasThreads() && !Engine().Stopping()) {
    InfoReader().SetTransport(kTransportNone);
    PlaybackReader().SetTransport(kTransportNone);
  }
  StopSocketLayer();
}

void About(HWND parent) {
  const std::string text = LoadPluginString(IDS_ABOUT_TEXT) + kVersionSuffix + "\n\n\n" +
                           LoadPluginString(IDS_ABOUT_NOTICE);
  msgbox::Show(parent, text, LoadPluginString(IDS_ABOUT_CAPTION), msgbox::kOk);
}

void Config(HWND parent) {
  if (!WaitForInitialisation()) return;
  ui::ShowSettingsSheet(parent);
}

// Each box gets its own request: the host may open another one from a
// message that this one dispatches.
int InfoBox(const char* fileName, HWND parent) {
  if (!WaitForInitialisation()) return 0;
  ui::InfoBoxRequest request;
  request.instance = PluginInstance();
  request.file = fileName && *fileName ? fileName : Engine().CurrentFileName();
  request.sources = InfoBoxSources(SettingsSnapshot());
  request.resolve = [](const std::string& file, const char* source, TrackDescription& record) {
    titles::PluginResolver().Resolve(kQueryInfoDialog, file.c_str(), source, nullptr, record);
  };
  request.verification = rip_handles::LatestVerification;
  ui::ShowInfoBox(request, parent);
  return 0;
}

void EQSet(int, char*, int) { WaitForInitialisation(); }

}  // namespace plugin
