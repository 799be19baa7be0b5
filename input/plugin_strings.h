#pragma once
// The plug-in's string table: loaded from the DLL's resources on Windows,
// from the same texts compiled in elsewhere. A missing id gives "".
#include <string>

#include "host_api/win_types.h"

void SetPluginInstance(HINSTANCE instance);
HINSTANCE PluginInstance();
std::string LoadPluginString(unsigned id);
