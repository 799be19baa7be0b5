#pragma once
// The few list-view calls the CDDB windows share: UTF-8 texts into wide
// list views, so titles in any script show exactly.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace cddb_windows {

struct ListColumn {
  const char* text;
  int width;
  int format;  // LVCFMT_LEFT or LVCFMT_CENTER
};

// Grid lines, full-row select and info tips.
constexpr DWORD kListExtendedStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;

void InitCommonControlsOnce();
// Sets the extended styles and the columns; the first column honours its
// alignment too (a list view draws its column 0 left-aligned otherwise).
void SetUpList(HWND list, const ListColumn* columns, int count);
// Appends a row with `texts` (count of the columns); returns its index.
int AddRow(HWND list, const std::string* texts, int count, LPARAM data);

}  // namespace cddb_windows
