#pragma once
// Window messages and IPC codes of the host's main window. IPC requests are
// sent as WM_USER with the code in lParam.
#include "host_api/win_types.h"

namespace host {

constexpr UINT kMsgEndOfStream = WM_USER + 2;  // posted by the input plug-in, both params 0
constexpr UINT kMsgIpc = WM_USER;

constexpr LPARAM kIpcEnqueueFile = 100;         // wParam: enqueueFileWithMetaStruct*
constexpr LPARAM kIpcDeletePlaylist = 101;
constexpr LPARAM kIpcStartPlay = 102;
constexpr LPARAM kIpcUpdateTitle = 243;
constexpr LPARAM kIpcRefreshPlaylistCache = 247;
constexpr LPARAM kIpcGetHmenu = 281;            // wParam: 0 main menu

// Where the host keeps its settings. Answers are pointers into the host's
// memory (0 from a host that does not know the code): 0x20yx for 2.yx,
// 0x50yx for 5.yx.
constexpr LPARAM kIpcGetVersion = 0;
constexpr LPARAM kIpcGetIniFile = 334;        // char*: full path of the winamp.ini in use (2.90 and later)
constexpr LPARAM kIpcGetIniDirectory = 335;   // char*: folder for plug-in files (5.0 and later)
constexpr LPARAM kIpcGetIniFileW = 1334;      // wchar_t* forms of the two above (5.58 and later)
constexpr LPARAM kIpcGetIniDirectoryW = 1335;
constexpr LRESULT kVersionNarrowIniPaths = 0x2090;
constexpr LRESULT kVersionWideIniPaths = 0x5058;

}  // namespace host
