#pragma once
// Making a folder and showing it in the system's file browser, for the
// settings' "open the log folder" button.
#include <string>

#include "host_api/win_types.h"

namespace folders {

// Creates the folder and any missing parents (a path in the ANSI code page
// on Windows). True when it is a folder afterwards; a file in the way fails.
bool CreateFolderTree(const std::string& path);

// CreateFolderTree, then asks the shell to show the folder. True when the
// folder exists and the shell took the request. Outside Windows nothing is
// shown.
bool OpenFolder(HWND owner, const std::string& path);

}  // namespace folders
