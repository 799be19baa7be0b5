#pragma once
// Message boxes, behind a seam: the Win32 shell shows a real modal box; the
// POSIX build (unit tests) records the request and answers IDOK.
#include <string>
#include <vector>

#include "host_api/win_types.h"

namespace msgbox {

// The values of the system's MB_* and ID* codes used here.
constexpr unsigned kOk = 0x00000000;
constexpr unsigned kIconError = 0x00000010;
constexpr unsigned kIconInformation = 0x00000040;
constexpr int kIdOk = 1;

int Show(HWND owner, const std::string& text, const std::string& caption, unsigned type);

// A box that another thread may end at any time with CloseAbortable (a
// worker's error report that must not outlive the work it reports on). It
// comes to the front; its answer is kIdOk however it ends.
int ShowAbortable(HWND owner, const std::string& text, const std::string& caption, unsigned type);
// Ends every abortable box open in this process now; true when there was one.
bool CloseAbortable();

struct Shown {
  std::string text;
  std::string caption;
  unsigned type;
};
// POSIX only: every box requested so far (cleared by the caller).
std::vector<Shown>& RecordedForTesting();
// POSIX only: called on the showing thread after a box is recorded and
// before it is answered, so that a test can hold a box open (nullptr: none).
void SetShowHookForTesting(void (*hook)(const Shown& box));
// POSIX only: called by CloseAbortable while an abortable box is held open by
// the show hook, so that the test can let it go (nullptr: none).
void SetCloseHookForTesting(void (*hook)());

}  // namespace msgbox
