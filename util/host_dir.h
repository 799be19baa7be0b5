#pragma once
// Where the running program and our own module live; winamp.ini sits beside
// the host's executable, the CDDB cache beside the plug-in.
#include <string>

// The folder of the running program's executable, without a trailing
// separator ("" when it cannot be found).
std::string HostDirectory();

// The folder of a loaded module (an HMODULE/HINSTANCE on Windows), or of the
// program itself when moduleHandle is null.
std::string ModuleDirectory(void* moduleHandle);

// Everything before the last backslash of a Windows path, stepping over
// Shift-JIS double-byte characters whose trail byte is 0x5C; "" without one.
std::string DirectoryOfWindowsPath(const std::string& path);
