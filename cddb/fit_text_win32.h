#pragma once
// Texts that must stay on one line of a control.
#include <windows.h>

#include <string>

// `text` (UTF-8) cut at a character boundary (never inside a surrogate
// pair), with "..." after the cut, so that it fits the client width of
// `control` in the control's own font; unchanged when it fits or cannot be
// measured.
std::string FitTextToControl(HWND control, const std::string& text);
