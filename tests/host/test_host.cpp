#include "tests/host/test_host.h"

#include <cstdlib>
#include <mutex>
#include <type_traits>

#include "host_api/host_messages.h"
#include "tests/host/pass_through_stand_in.h"
#include "tests/host/recording_output.h"
#include "util/codepage.h"
#include "util/sjis.h"

namespace {

const char kWindowClass[] = "Winamp v1.x";

std::mutex g_mutex;
std::vector<WindowMessage> g_messages;
std::vector<std::string> g_playlist;
CallLog g_callbacks;
bool g_dspDoubles = false;
TestHost* g_host = nullptr;
TestHost::MessageHook g_hook;  // host's thread only

// The settings answers; the strings stay put while a plug-in may read them.
TestHost::SettingsAnswer g_settingsAnswer = TestHost::SettingsAnswer::kCurrent;
std::wstring g_settingsFolder, g_settingsIni;
std::string g_settingsFolderNarrow, g_settingsIniNarrow;

// As a host converts its own paths: characters outside the code page
// become '?'.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &narrow[0], n, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(n) - 1);
  return narrow;
}

LRESULT SettingsIpc(LPARAM code) {
  const bool current = g_settingsAnswer == TestHost::SettingsAnswer::kCurrent;
  const bool old = g_settingsAnswer == TestHost::SettingsAnswer::kOldHost;
  switch (code) {
    case host::kIpcGetVersion:
      return old ? 0x2081 : current ? 0x5066 : 0x5036;
    case host::kIpcGetIniFile:
      return old ? 0 : reinterpret_cast<LRESULT>(g_settingsIniNarrow.c_str());
    case host::kIpcGetIniDirectory:
      return old ? 0 : reinterpret_cast<LRESULT>(g_settingsFolderNarrow.c_str());
    case host::kIpcGetIniFileW:
      return current ? reinterpret_cast<LRESULT>(g_settingsIni.c_str()) : 0;
    case host::kIpcGetIniDirectoryW:
      return current ? reinterpret_cast<LRESULT>(g_settingsFolder.c_str()) : 0;
    default:
      return 0;
  }
}

// Host callbacks handed to the input plug-in.
void SAVSAInit(int latency, int srate) {
  g_callbacks.Add("SAVSAInit(" + std::to_string(latency) + "," + std::to_string(srate) + ")");
}
void SAVSADeInit() { g_callbacks.Add("SAVSADeInit"); }
void SAAddPCMData(void*, int nch, int bps, int) {
  g_callbacks.Add("SAAddPCMData(" + std::to_string(nch) + "," + std::to_string(bps) + ")");
}
int SAGetMode() { return 0; }
int SAAdd(void*, int, int) { return 0; }
void VSAAddPCMData(void*, int nch, int bps, int) {
  g_callbacks.Add("VSAAddPCMData(" + std::to_string(nch) + "," + std::to_string(bps) + ")");
}
int VSAGetMode(int* specNch, int* waveNch) {
  if (specNch) *specNch = 0;
  if (waveNch) *waveNch = 0;
  return 0;
}
int VSAAdd(void*, int) { return 0; }
void VSASetInfo(int nch, int srate) {
  g_callbacks.Add("VSASetInfo(" + std::to_string(nch) + "," + std::to_string(srate) + ")");
}
int DspIsActive() { return g_dspDoubles ? 1 : 0; }
int DspDoSamples(short* samples, int numsamples, int bps, int nch, int) {
  if (!g_dspDoubles || bps != 16) return numsamples;
  // Doubles the samples: every sample pair is repeated.
  for (int i = numsamples - 1; i >= 0; --i) {
    for (int c = 0; c < nch; ++c) {
      samples[(2 * i) * nch + c] = samples[i * nch + c];
      samples[(2 * i + 1) * nch + c] = samples[i * nch + c];
    }
  }
  return numsamples * 2;
}
void SetInfo(int bitrate, int srate, int stereo, int synched) {
  g_callbacks.Add("SetInfo(" + std::to_string(bitrate) + "," + std::to_string(srate) + "," + std::to_string(stereo) +
                  "," + std::to_string(synched) + ")");
}

bool IsSettingsQuestion(UINT msg, LPARAM lParam) {
  return msg == host::kMsgIpc &&
         (lParam == host::kIpcGetVersion || lParam == host::kIpcGetIniFile || lParam == host::kIpcGetIniDirectory ||
          lParam == host::kIpcGetIniFileW || lParam == host::kIpcGetIniDirectoryW);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Questions about the host change nothing and stay out of the log, where
  // tests wait for the plug-ins' requests.
  if (IsSettingsQuestion(msg, lParam)) return SettingsIpc(lParam);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_messages.push_back({msg, wParam, lParam});
  }
  // A copy: the hook may replace itself.
  if (TestHost::MessageHook hook = g_hook) {
    if (hook(msg, wParam, lParam)) return 0;
  }
  if (msg == host::kMsgIpc) {
    switch (lParam) {
      case host::kIpcEnqueueFile: {
        const auto* record = reinterpret_cast<const enqueueFileWithMetaStruct*>(wParam);
        if (record && record->filename) {
          std::lock_guard<std::mutex> lock(g_mutex);
          g_playlist.emplace_back(record->filename);
        }
        return 0;
      }
      case host::kIpcDeletePlaylist: {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_playlist.clear();
        return 0;
      }
      case host::kIpcStartPlay: {
        std::string first;
        {
          std::lock_guard<std::mutex> lock(g_mutex);
          if (!g_playlist.empty()) first = g_playlist.front();
        }
        if (g_host && g_host->Input() && !first.empty()) g_host->Input()->Play(&first[0]);
        return 0;
      }
      case host::kIpcGetHmenu:
        return wParam == 0 && g_host ? reinterpret_cast<LRESULT>(g_host->MainMenu()) : 0;
      default:
        return 0;
    }
  }
  return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

HMENU BuildMenu() {
  HMENU bar = CreateMenu();
  const char* titles[] = {"ファイル", "再生", "オプション", "ヘルプ"};
  for (int i = 0; i < 4; ++i) {
    HMENU sub = CreatePopupMenu();
    // Six items, as many as the host's own menus hold before a plug-in's
    // entries at position 4 and on.
    for (int item = 0; item < 6; ++item) {
      const std::string text = std::string(titles[i]) + " " + std::to_string(item + 1);
      AppendMenuW(sub, MF_STRING, 40000 + i * 10 + item, codepage::Utf8ToWide(text).c_str());
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), codepage::Utf8ToWide(titles[i]).c_str());
  }
  return bar;
}

}  // namespace

// Every host starts with empty logs: a test sees only its own calls.
TestHost::TestHost() {
  g_host = this;
  g_callbacks.Clear();
  if (g_settingsIni.empty()) SetSettingsAnswer(SettingsAnswer::kCurrent);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\in_quorvo", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "SaveFailed");
    RegDeleteValueA(key, "CompanionSaveFailed");
    RegCloseKey(key);
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_messages.clear();
  g_playlist.clear();
}

TestHost::~TestHost() {
  g_hook = nullptr;
  g_settingsIni.clear();  // the next host answers as a current one again
  UnloadGeneralPlugin();
  UnloadInputPlugin();
  if (window_) DestroyWindow(window_);
  if (g_host == this) g_host = nullptr;
}

bool TestHost::CreateMainWindow(bool unicode) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kWindowClass;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&wc);  // already registered is fine
  menu_ = BuildMenu();
  window_ = CreateWindowExA(0, kWindowClass, "Winamp (test host)", WS_OVERLAPPEDWINDOW, 40, 40, 640, 400, nullptr,
                            menu_, wc.hInstance, nullptr);
  // Its procedure set through the wide function makes it a Unicode window.
  if (window_ && unicode) SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
  if (window_ && getenv("QUORVO_SHOW_HOST")) ShowWindow(window_, SW_SHOWNORMAL);
  ClearMessages();
  return window_ != nullptr && (IsWindowUnicode(window_) != FALSE) == unicode;
}

std::string TestHost::ProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path);
  const std::size_t cut = sjis::FindLastChar(full, '\\');
  return cut == std::string::npos ? std::string(".") : full.substr(0, cut);
}

void TestHost::SetSettingsAnswer(SettingsAnswer answer, const std::wstring& folder) {
  g_settingsAnswer = answer;
  if (folder.empty()) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    g_settingsFolder = path;
    g_settingsFolder.resize(g_settingsFolder.rfind(L'\\'));
  } else {
    g_settingsFolder = folder;
  }
  g_settingsIni = g_settingsFolder + L"\\winamp.ini";
  g_settingsFolderNarrow = Narrow(g_settingsFolder);
  g_settingsIniNarrow = Narrow(g_settingsIni);
}

std::wstring TestHost::SettingsFolder() { return g_settingsFolder; }
std::wstring TestHost::SettingsIni() { return g_settingsIni; }

In_Module* TestHost::LoadInputPlugin(const char* file) {
  const std::string path = ProgramDirectory() + "\\" + file;
  inLib_ = LoadLibraryA(path.c_str());
  if (!inLib_) return nullptr;
  pass_through_stand_in::Install(inLib_);  // the virtual drives answer its device paths
  using GetModule = In_Module* (*)();
  auto get = reinterpret_cast<GetModule>(reinterpret_cast<void*>(GetProcAddress(inLib_, "winampGetInModule2")));
  if (!get) return nullptr;
  in_ = get();
  if (!in_) return nullptr;
  in_->hMainWindow = window_;
  in_->hDllInstance = inLib_;
  in_->SAVSAInit = SAVSAInit;
  in_->SAVSADeInit = SAVSADeInit;
  in_->SAAddPCMData = SAAddPCMData;
  in_->SAGetMode = SAGetMode;
  in_->SAAdd = SAAdd;
  in_->VSAAddPCMData = VSAAddPCMData;
  in_->VSAGetMode = VSAGetMode;
  in_->VSAAdd = VSAAdd;
  in_->VSASetInfo = VSASetInfo;
  in_->dsp_isactive = DspIsActive;
  in_->dsp_dosamples = DspDoSamples;
  in_->SetInfo = SetInfo;
  in_->outMod = recording_output::Table();
  in_->outMod->hMainWindow = window_;
  return in_;
}

TestHost::ExtendedFileInfoW TestHost::InputExtendedFileInfoW() const {
  if (!inLib_) return nullptr;
  return reinterpret_cast<ExtendedFileInfoW>(
      reinterpret_cast<void*>(GetProcAddress(inLib_, "winampGetExtendedFileInfoW")));
}

TestHost::ExtendedRead TestHost::InputExtendedRead() const {
  ExtendedRead read;
  if (!inLib_) return read;
  const auto find = [this](auto& fn, const char* name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(reinterpret_cast<void*>(GetProcAddress(inLib_, name)));
  };
  find(read.open, "winampGetExtendedRead_open");
  find(read.openW, "winampGetExtendedRead_openW");
  find(read.getData, "winampGetExtendedRead_getData");
  find(read.setTime, "winampGetExtendedRead_setTime");
  find(read.close, "winampGetExtendedRead_close");
  return read;
}

void TestHost::UnloadInputPlugin() {
  if (inLib_) FreeLibrary(inLib_);
  inLib_ = nullptr;
  in_ = nullptr;
}

winampGeneralPurposePlugin* TestHost::LoadGeneralPlugin(const char* file) {
  const std::string path = ProgramDirectory() + "\\" + file;
  genLib_ = LoadLibraryA(path.c_str());
  if (!genLib_) return nullptr;
  pass_through_stand_in::Install(genLib_);
  using GetPlugin = winampGeneralPurposePlugin* (*)();
  auto get =
      reinterpret_cast<GetPlugin>(reinterpret_cast<void*>(GetProcAddress(genLib_, "winampGetGeneralPurposePlugin")));
  if (!get) return nullptr;
  gen_ = get();
  if (!gen_) return nullptr;
  gen_->hwndParent = window_;
  gen_->hDllInstance = genLib_;
  return gen_;
}

void TestHost::UnloadGeneralPlugin() {
  if (genLib_) FreeLibrary(genLib_);
  genLib_ = nullptr;
  gen_ = nullptr;
}

void TestHost::PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (GetTickCount() - start >= ms) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (true);
}

bool TestHost::PumpUntilMessage(UINT msg, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpFor(5);
    for (const auto& m : Messages()) {
      if (m.msg == msg) return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

std::vector<WindowMessage> TestHost::Messages() const {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_messages;
}

void TestHost::ClearMessages() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_messages.clear();
}

std::vector<std::string> TestHost::Playlist() const {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_playlist;
}

CallLog& TestHost::Callbacks() { return g_callbacks; }

void TestHost::SetDspDoubles(bool on) { g_dspDoubles = on; }

void TestHost::SetMessageHook(MessageHook hook) { g_hook = std::move(hook); }

ModalBoxCloser::ModalBoxCloser(std::string caption, DWORD timeoutMs)
    : caption_(std::move(caption)), timeoutMs_(timeoutMs) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

ModalBoxCloser::~ModalBoxCloser() { Join(); }

void ModalBoxCloser::Join() {
  if (!thread_) return;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

namespace {
BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    wchar_t text[4096] = {};
    GetWindowTextW(child, text, static_cast<int>(sizeof text / sizeof text[0]));
    if (text[0]) *reinterpret_cast<std::string*>(param) += codepage::WideToUtf8(text);
  }
  return TRUE;
}
}  // namespace

DWORD WINAPI ModalBoxCloser::Run(void* self) {
  auto* closer = static_cast<ModalBoxCloser*>(self);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < closer->timeoutMs_) {
    HWND box = FindWindowW(L"#32770", codepage::Utf8ToWide(closer->caption_).c_str());
    if (box) {
      Sleep(50);  // let the box finish its set-up
      EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&closer->text_));
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      closer->closed_ = true;
      return 0;
    }
    Sleep(20);
  }
  return 0;
}
