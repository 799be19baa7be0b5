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

}  // namespace host
