#include "tests/host/window_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "util/codepage.h"

namespace window_driver {

namespace {

struct Search {
  const std::string* caption;
  const std::string* className;
  HWND found;
};

bool Matches(HWND window, const std::string& caption, const std::string& className) {
  if (!caption.empty() && Text(window) != caption) return false;
  if (!className.empty() && ClassName(window) != className) return false;
  return true;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  if (Matches(window, *search->caption, *search->className)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct ChildSearch {
  int id;
  HWND visible;
  HWND any;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM param) {
  ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  if (search->any == nullptr) search->any = window;
  if (IsWindowVisible(window)) {
    search->visible = window;
    return FALSE;
  }
  return TRUE;
}

struct TooltipSearch {
  HWND control;
  HWND tooltip;
  TOOLINFOA tool;
};

BOOL CALLBACK MatchTooltip(HWND window, LPARAM param) {
  TooltipSearch* search = reinterpret_cast<TooltipSearch*>(param);
  if (ClassName(window) != TOOLTIPS_CLASSA) return TRUE;
  int count = static_cast<int>(SendMessageA(window, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    if (!SendMessageA(window, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool))) continue;
    bool byWindow = (tool.uFlags & TTF_IDISHWND) != 0 && reinterpret_cast<HWND>(tool.uId) == search->control;
    if (byWindow || tool.hwnd == search->control) {
      search->tooltip = window;
      search->tool = tool;
      return FALSE;
    }
  }
  return TRUE;
}

std::vector<std::string> Items(HWND box, UINT countMsg, UINT lengthMsg, UINT textMsg) {
  std::vector<std::string> items;
  int count = static_cast<int>(SendMessageW(box, countMsg, 0, 0));
  for (int i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(box, lengthMsg, static_cast<WPARAM>(i), 0);
    if (length < 0) length = 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(box, textMsg, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    items.push_back(codepage::WideToUtf8(text.c_str()));
  }
  return items;
}

void NotifyOwner(HWND control, int code) {
  SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

// CRC-32 (PNG chunks) and Adler-32 (zlib stream).
std::uint32_t Crc32(const unsigned char* data, size_t length, std::uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBe32(std::vector<unsigned char>& out, std::uint32_t v) {
  out.push_back(static_cast<unsigned char>(v >> 24));
  out.push_back(static_cast<unsigned char>(v >> 16));
  out.push_back(static_cast<unsigned char>(v >> 8));
  out.push_back(static_cast<unsigned char>(v));
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc32(&out[start], out.size() - start));
}

}  // namespace

std::string Text(HWND window) {
  wchar_t buffer[8192] = {};
  // WM_GETTEXT rather than GetWindowText: it reads other threads' controls too.
  SendMessageW(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer));
  return codepage::WideToUtf8(buffer);
}

std::string MenuText(HMENU menu, UINT position) {
  wchar_t buffer[512] = {};
  GetMenuStringW(menu, position, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]), MF_BYPOSITION);
  return codepage::WideToUtf8(buffer);
}

std::string ClassName(HWND window) {
  char buffer[256] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

HWND FindWindowBy(const std::string& caption, const std::string& className, DWORD threadId) {
  Search search{&caption, &className, nullptr};
  if (threadId != 0) {
    EnumThreadWindows(threadId, MatchWindow, reinterpret_cast<LPARAM>(&search));
  } else {
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

HWND WaitForWindow(const std::string& caption, const std::string& className, DWORD timeoutMs, DWORD threadId) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowBy(caption, className, threadId);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(20);
  }
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

HWND FindControl(HWND parent, int id) {
  ChildSearch search{id, nullptr, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.visible != nullptr ? search.visible : search.any;
}

HWND WaitForControl(HWND parent, int id, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND control = FindControl(parent, id);
    if (control != nullptr && IsWindowVisible(control)) return control;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(20);
  }
}

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

bool Click(HWND button) { return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0); }

bool ClickId(HWND parent, int id) { return Click(FindControl(parent, id)); }

bool SetChecked(HWND button, bool checked) {
  if (button == nullptr) return false;
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  NotifyOwner(button, BN_CLICKED);
  return true;
}

bool SetEditText(HWND edit, const std::string& text) {
  if (edit == nullptr) return false;
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(codepage::Utf8ToWide(text).c_str()));
  if (ClassName(edit) == "ComboBox") {
    NotifyOwner(edit, CBN_EDITCHANGE);
  } else {
    NotifyOwner(edit, EN_CHANGE);
  }
  return true;
}

std::vector<std::string> ComboItems(HWND combo) {
  return Items(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

bool SelectComboItem(HWND combo, int index) {
  if (combo == nullptr) return false;
  if (SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index) return false;
  NotifyOwner(combo, CBN_SELCHANGE);
  return true;
}

bool SelectComboText(HWND combo, const std::string& text) {
  std::vector<std::string> items = ComboItems(combo);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return SelectComboItem(combo, static_cast<int>(i));
  }
  return false;
}

std::vector<std::string> ListItems(HWND list) { return Items(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT); }

int ListSelection(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0)); }

bool SelectListItem(HWND list, int index) {
  if (list == nullptr) return false;
  if (SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0) == LB_ERR && index >= 0) return false;
  NotifyOwner(list, LBN_SELCHANGE);
  return true;
}

HWND SheetCurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

bool SheetSelectPage(HWND sheet, int index) {
  return SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != 0;
}

bool ReadTooltip(HWND control, TooltipInfo* info) {
  TooltipSearch search = {};
  search.control = control;
  EnumThreadWindows(GetWindowThreadProcessId(control, nullptr), MatchTooltip, reinterpret_cast<LPARAM>(&search));
  if (search.tooltip == nullptr) return false;
  // Wine's narrow text message stops at 80 characters.
  wchar_t text[4096] = {};
  TOOLINFOW tool = {};
  tool.cbSize = TTTOOLINFOW_V1_SIZE;
  tool.hwnd = search.tool.hwnd;
  tool.uId = search.tool.uId;
  tool.lpszText = text;
  SendMessageW(search.tooltip, TTM_GETTEXTW, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(&tool));
  info->window = search.tooltip;
  info->text = codepage::WideToUtf8(text);
  info->maxWidth = static_cast<int>(SendMessageA(search.tooltip, TTM_GETMAXTIPWIDTH, 0, 0));
  info->autoPopMs = static_cast<int>(SendMessageA(search.tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0));
  return true;
}

std::string ScreenshotDirectory() {
  const char* env = std::getenv("QUORVO_SCREENSHOT_DIR");
  if (env != nullptr && env[0] != '\0') return env;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  size_t slash = dir.find_last_of("\\/");
  dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
  return dir + "\\..\\screenshots";
}

bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) return false;
  // Raw scan lines, each with filter byte 0.
  std::vector<unsigned char> raw;
  size_t rowBytes = static_cast<size_t>(width) * 3;
  raw.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + y * rowBytes, rgb.begin() + (y + 1) * rowBytes);
  }
  // A zlib stream of stored deflate blocks: no compressor needed.
  std::vector<unsigned char> z = {0x78, 0x01};
  size_t offset = 0;
  do {
    size_t n = raw.size() - offset;
    if (n > 65535) n = 65535;
    bool last = offset + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<unsigned char>(n));
    z.push_back(static_cast<unsigned char>(n >> 8));
    z.push_back(static_cast<unsigned char>(~n));
    z.push_back(static_cast<unsigned char>(~n >> 8));
    z.insert(z.end(), raw.begin() + offset, raw.begin() + offset + n);
    offset += n;
  } while (offset < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, (b << 16) | a);

  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<unsigned char> header;
  PutBe32(header, static_cast<std::uint32_t>(width));
  PutBe32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});   // 8-bit RGB
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && ok;
}

std::string SaveScreenshot(HWND window, const std::string& name) {
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) return "";
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return "";
  // Bring it up and let it paint itself before copying the screen.
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(300);

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;   // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::string written;
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    const unsigned char* src = static_cast<const unsigned char*>(bits);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
      rgb[i * 3] = src[i * 4 + 2];
      rgb[i * 3 + 1] = src[i * 4 + 1];
      rgb[i * 3 + 2] = src[i * 4];
    }
    std::string dir = ScreenshotDirectory();
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\" + name + ".png";
    if (WritePng(path, width, height, rgb)) written = path;
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace window_driver
