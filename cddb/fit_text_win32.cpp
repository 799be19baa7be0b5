#include "cddb/fit_text_win32.h"

#include "util/sjis.h"

std::string FitTextToControl(HWND control, const std::string& text) {
  RECT client;
  if (!control || !GetClientRect(control, &client)) return text;
  const HDC dc = GetDC(control);
  if (!dc) return text;
  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  auto widthOf = [dc](const std::string& s) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, s.data(), static_cast<int>(s.size()), &size);
    return size.cx;
  };
  const LONG width = client.right - client.left;
  std::string fitted = text;
  if (widthOf(text) > width) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t step = sjis::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
      if (widthOf(text.substr(0, i + step) + "...") > width) break;
      i += step;
      kept = i;
    }
    fitted = text.substr(0, kept) + "...";
  }
  if (previous) SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return fitted;
}
