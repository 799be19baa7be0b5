#pragma once
// Where the running program, our own module and the host's settings live.
// A host that says where its settings are (its IPC) gets them there; an old
// one that does not keeps winamp.ini beside its executable and the CDDB cache
// beside the plug-in.
#include <string>

#include "host_api/win_types.h"
#include "util/profile.h"

// The folder of the running program's executable, without a trailing
// separator ("" when it cannot be found).
std::string HostDirectory();

// The folder of a loaded module (an HMODULE/HINSTANCE on Windows), or of the
// program itself when moduleHandle is null.
std::string ModuleDirectory(void* moduleHandle);

// Everything before the last backslash of a Windows path, stepping over
// Shift-JIS double-byte characters whose trail byte is 0x5C; "" without one.
std::string DirectoryOfWindowsPath(const std::string& path);

bool FileExists(const std::string& path);

// What the host's main window answers (asked on the host's thread), as paths
// in the ANSI code page that the profile and file functions can open: the
// Unicode answer where the host gives one, in its short (8.3) form when it
// does not convert without loss. Empty iniPath: the host did not say.
struct HostSettingsLocation {
  std::string iniPath;  // the winamp.ini the host uses
  std::string folder;   // its folder for plug-in files, no trailing backslash
};
HostSettingsLocation AskHostSettingsLocation(HWND hostWindow);

// The files one plug-in's settings are read from and written to.
struct SettingsFiles {
  std::string ini;        // written at quit
  std::string sourceIni;  // read at start: the old file while settings move over, else ini
  std::string folder;     // the host's settings folder; "" under an old host
  bool moving = false;    // sourceIni is the old file
};

// Under a host that answered, its own files; settings that exist only in the
// old winamp.ini (beside the host's program) are read from there until the
// first quit writes them to the host's file. The old file is never written.
SettingsFiles ChooseSettingsFiles(const HostSettingsLocation& host, const std::string& oldIni, Profile& profile,
                                  const char* section);
