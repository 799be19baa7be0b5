#pragma once
// Drives the plug-ins' windows from a test thread, as a person would: finds
// windows and controls, reads their texts, clicks, selects, reads tooltips
// and saves screenshots. Meant for windows of this process (the plug-ins run
// inside the test host), usually created by another thread. Texts are UTF-8,
// exact on any code page.
#include <windows.h>

#include <string>
#include <vector>

namespace window_driver {

// Top-level windows (and the windows of a thread when threadId is given).
// An empty caption or class matches any; threadId 0 matches every thread.
HWND FindWindowBy(const std::string& caption, const std::string& className = "", DWORD threadId = 0);
// Polls until a matching visible window exists; nullptr on time-out.
HWND WaitForWindow(const std::string& caption, const std::string& className, DWORD timeoutMs,
                   DWORD threadId = 0);
// Polls until the window is gone or hidden; false on time-out.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// A descendant with that id (property pages are children of the sheet);
// when several have it, the first visible one wins.
HWND FindControl(HWND parent, int id);
// Polls until the descendant exists and is visible.
HWND WaitForControl(HWND parent, int id, DWORD timeoutMs);

std::string Text(HWND window);
std::string MenuText(HMENU menu, UINT position);
std::string ClassName(HWND window);
bool IsChecked(HWND button);
bool IsEnabled(HWND window);

// Posted, so that a click which opens a modal box does not block the test.
bool Click(HWND button);
bool ClickId(HWND parent, int id);
// Sets the check state and tells the owner, as a click would.
bool SetChecked(HWND button, bool checked);
// Replaces an edit's (or a combo's edit field's) text and sends EN_CHANGE /
// CBN_EDITCHANGE.
bool SetEditText(HWND edit, const std::string& text);

// Combo and list boxes: items, selection; Select* notifies the owner with
// CBN_SELCHANGE / LBN_SELCHANGE as a mouse choice would.
std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);
bool SelectComboItem(HWND combo, int index);
bool SelectComboText(HWND combo, const std::string& text);
std::vector<std::string> ListItems(HWND list);
int ListSelection(HWND list);
bool SelectListItem(HWND list, int index);

// Property sheets: the current page's window, and changing page by index.
HWND SheetCurrentPage(HWND sheet);
bool SheetSelectPage(HWND sheet, int index);

struct TooltipInfo {
  HWND window = nullptr;
  std::string text;
  int maxWidth = -1;     // TTM_GETMAXTIPWIDTH
  int autoPopMs = -1;    // TTM_GETDELAYTIME(TTDT_AUTOPOP)
};
// The tooltip window that has a tool for this control (by its window).
bool ReadTooltip(HWND control, TooltipInfo* info);

// Saves the window's pixels as <dir>/<name>.png; dir is ScreenshotDirectory().
// Returns the path written, empty on failure.
std::string SaveScreenshot(HWND window, const std::string& name);
// QUORVO_SCREENSHOT_DIR, else "screenshots" beside the program's folder
// (build/screenshots for programs in build/win64).
std::string ScreenshotDirectory();
// Encodes 24-bit top-down RGB rows as a PNG file (stored deflate blocks).
bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);

}  // namespace window_driver
