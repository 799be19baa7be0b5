#pragma once
// The stand-in for the player: a real main window with a menu, the host side
// of the input-plug-in table (vis/DSP/SetInfo callbacks that record their
// calls, the recording output plug-in), a playlist driven by the host's IPC
// messages, and a log of every message the main window receives.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "host_api/gen_module.h"
#include "host_api/in_module.h"
#include "tests/host/call_log.h"

struct WindowMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

class TestHost {
 public:
  TestHost();
  ~TestHost();

  // Creates the main window on the calling thread, which must pump messages
  // (PumpFor) whenever the plug-in may send or post to it. Winamp 5's is a
  // Unicode window, an older host's an ANSI one.
  bool CreateMainWindow(bool unicode = false);
  HWND MainWindow() const { return window_; }
  HMENU MainMenu() const { return menu_; }

  // Loads in_quorvo.dll (or the given file) from the program's folder and
  // fills the host fields of its table. Init is not called.
  In_Module* LoadInputPlugin(const char* file = "in_quorvo.dll");
  void UnloadInputPlugin();
  In_Module* Input() const { return in_; }
  HMODULE InputLibrary() const { return inLib_; }
  // The wide metadata export a current host asks for when the input plug-in
  // has it (nullptr: the loaded library lacks it).
  using ExtendedFileInfoW = int (*)(const wchar_t* fn, const char* key, wchar_t* dest, size_t destlen);
  ExtendedFileInfoW InputExtendedFileInfoW() const;
  // The extended-read exports a format converter or ripper reads a track
  // through (members null when the library lacks them).
  struct ExtendedRead {
    intptr_t (*open)(const char* fn, int* size, int* bps, int* nch, int* srate) = nullptr;
    intptr_t (*openW)(const wchar_t* fn, int* size, int* bps, int* nch, int* srate) = nullptr;
    intptr_t (*getData)(intptr_t handle, char* dest, size_t len, int* killswitch) = nullptr;
    int (*setTime)(intptr_t handle, int millisecs) = nullptr;
    void (*close)(intptr_t handle) = nullptr;
    bool Complete() const { return open && openW && getData && setTime && close; }
  };
  ExtendedRead InputExtendedRead() const;

  winampGeneralPurposePlugin* LoadGeneralPlugin(const char* file = "gen_quorvo.dll");
  void UnloadGeneralPlugin();

  // Runs the message loop of this thread for the given time.
  void PumpFor(DWORD ms);
  // Pumps until a message with that id has arrived or the time is up.
  bool PumpUntilMessage(UINT msg, DWORD timeoutMs);
  // Pumps until the condition holds or the time is up.
  template <class Condition>
  bool PumpUntil(Condition condition, DWORD timeoutMs = 30000) {
    const DWORD start = GetTickCount();
    while (!condition()) {
      if (GetTickCount() - start > timeoutMs) return false;
      PumpFor(5);
    }
    return true;
  }

  std::vector<WindowMessage> Messages() const;
  void ClearMessages();
  std::vector<std::string> Playlist() const;
  CallLog& Callbacks();

  // How the host's DSP hook behaves: off, or doubling every sample.
  static void SetDspDoubles(bool on);

  // Scripts the host's answer to messages, as a real host calls into the
  // plug-ins from whatever it dispatches (end of stream: Stop and Play the
  // next entry). Runs after the message is logged; true: handled, the
  // window procedure answers 0. An empty function removes the hook.
  using MessageHook = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam)>;
  static void SetMessageHook(MessageHook hook);

  static std::string ProgramDirectory();

  // What the main window answers when a plug-in asks where the host keeps
  // its settings: a current host (both forms), one before the Unicode forms
  // (narrow only), or an old one that knows neither (answers 0). The folder
  // is the program's own unless one is given. Set before or after the host
  // is made; when a host ends the next answers as a current one with the
  // program's folder again. A new host also forgets the notices about
  // failed saves kept by an earlier test.
  enum class SettingsAnswer { kCurrent, kNarrowOnly, kOldHost };
  static void SetSettingsAnswer(SettingsAnswer answer, const std::wstring& folder = std::wstring());
  // The settings folder answered (UTF-16), and its winamp.ini.
  static std::wstring SettingsFolder();
  static std::wstring SettingsIni();

 private:
  HWND window_ = nullptr;
  HMENU menu_ = nullptr;
  HMODULE inLib_ = nullptr;
  HMODULE genLib_ = nullptr;
  In_Module* in_ = nullptr;
  winampGeneralPurposePlugin* gen_ = nullptr;
};

// Closes a modal box found by its caption from a watcher thread, recording
// the text it showed (UTF-8). Tests never wait on a box a person would have to close.
class ModalBoxCloser {
 public:
  explicit ModalBoxCloser(std::string caption, DWORD timeoutMs = 20000);
  ~ModalBoxCloser();
  bool Closed() const { return closed_; }
  std::string Text() const { return text_; }
  void Join();

 private:
  static DWORD WINAPI Run(void* self);
  std::string caption_;
  DWORD timeoutMs_;
  HANDLE thread_ = nullptr;
  volatile bool closed_ = false;
  std::string text_;
};
