#include "cddb/fit_text_win32.h"

#include "util/codepage.h"

namespace {

// A cut never leaves half of a surrogate pair behind.
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::string FitTextToControl(HWND control, const std::string& text) {
  RECT client;
  if (!control || !GetClientRect(control, &client)) return text;
  const HDC dc = GetDC(control);
  if (!dc) return text;
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  auto widthOf = [dc](const std::wstring& s) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, s.data(), static_cast<int>(s.size()), &size);
    return size.cx;
  };
  const LONG width = client.right - client.left;
  const std::wstring wide = codepage::Utf8ToWide(text);
  std::string fitted = text;
  if (widthOf(wide) > width) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < wide.size();) {
      const std::size_t step = IsHighSurrogate(wide[i]) && i + 1 < wide.size() ? 2 : 1;
      if (widthOf(wide.substr(0, i + step) + L"...") > width) break;
      i += step;
      kept = i;
    }
    fitted = codepage::WideToUtf8(wide.substr(0, kept)) + "...";
  }
  if (previous) SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return fitted;
}
