#include "util/dialog.h"

#include <cstring>
#include <mutex>
#include <string>

#include "util/codepage.h"

namespace ui {

namespace {

// Every window these wrappers make or drive is a wide one: the texts are
// UTF-8 here and UTF-16 in the window, whatever the system's code page.
std::wstring Wide(const char* text) { return text ? codepage::Utf8ToWide(text) : std::wstring(); }

LPARAM TextParam(const std::wstring& text) { return reinterpret_cast<LPARAM>(text.c_str()); }

// `utf8` into out[size], cut before a character that does not fit.
int CopyUtf8(const std::string& utf8, char* out, int size) {
  const std::size_t n = codepage::Utf8PrefixLength(utf8.data(), utf8.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(out, utf8.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace

// --- Control ---------------------------------------------------------------

Control::~Control() { Release(); }

void Control::Release() {
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
  for (HICON* icon : {&buttonIcon_, &smallIcon_, &largeIcon_}) {
    if (*icon != nullptr) DestroyIcon(*icon);
    *icon = nullptr;
  }
}

bool Control::Bind(HWND dialog, int itemId) {
  Release();
  parent_ = dialog;
  id_ = itemId;
  window_ = GetDlgItem(dialog, itemId);
  module_ = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  valueCount_ = 0;
  return window_ != nullptr;
}

bool Control::Checked() const {
  return SendMessageW(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Control::SetChecked(bool checked) {
  SendMessageW(window_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int Control::ComboAdd(const char* text) {
  return static_cast<int>(SendMessageW(window_, CB_ADDSTRING, 0, TextParam(Wide(text))));
}

int Control::ComboAddWithValue(const char* text, std::uint32_t value) {
  if (valueCount_ >= kMaxValues) return -1;
  int index = ComboAdd(text);
  if (index < 0) return -1;
  if (!values_) values_.reset(new std::uint32_t[kMaxValues]);
  values_[valueCount_++] = value;
  return index;
}

int Control::ComboInsert(int index, const char* text) {
  return static_cast<int>(
      SendMessageW(window_, CB_INSERTSTRING, static_cast<WPARAM>(index), TextParam(Wide(text))));
}

int Control::ComboSelect(int index) {
  return static_cast<int>(SendMessageW(window_, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int Control::ComboSelection() const {
  return static_cast<int>(SendMessageW(window_, CB_GETCURSEL, 0, 0));
}

int Control::ComboFind(const char* text) const {
  return static_cast<int>(
      SendMessageW(window_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), TextParam(Wide(text))));
}

void Control::ComboReset() {
  SendMessageW(window_, CB_RESETCONTENT, 0, 0);
  valueCount_ = 0;
}

int Control::ComboSelectValue(std::uint32_t value) {
  for (int i = 0; i < valueCount_; ++i) {
    if (values_[i] == value) {
      ComboSelect(i);
      return i;
    }
  }
  return -1;
}

std::uint32_t Control::ComboValueAt(int index) const {
  if (index < 0 || index >= valueCount_) return kNoValue;
  return values_[index];
}

std::uint32_t Control::ComboSelectedValue() const { return ComboValueAt(ComboSelection()); }

int Control::ListAdd(const char* text) {
  return static_cast<int>(SendMessageW(window_, LB_ADDSTRING, 0, TextParam(Wide(text))));
}

int Control::ListInsert(int index, const char* text) {
  return static_cast<int>(
      SendMessageW(window_, LB_INSERTSTRING, static_cast<WPARAM>(index), TextParam(Wide(text))));
}

int Control::ListDelete(int index) {
  return static_cast<int>(SendMessageW(window_, LB_DELETESTRING, static_cast<WPARAM>(index), 0));
}

int Control::ListText(int index, char* out, int size) const {
  if (out == nullptr || size <= 0) return -1;
  out[0] = '\0';
  const LRESULT length = SendMessageW(window_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR || length < 0) return -1;
  // LB_GETTEXT has no size limit: the buffer takes the whole item.
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got =
      SendMessageW(window_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  if (got == LB_ERR || got < 0) return -1;
  text.resize(static_cast<std::size_t>(got) < text.size() ? static_cast<std::size_t>(got) : text.size() - 1);
  const std::string utf8 = codepage::WideToUtf8(text);
  if (utf8.size() >= static_cast<std::size_t>(size)) return -1;
  return CopyUtf8(utf8, out, size);
}

int Control::ListSelection() const { return static_cast<int>(SendMessageW(window_, LB_GETCURSEL, 0, 0)); }

int Control::ListSelect(int index) {
  return static_cast<int>(SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int Control::ListCount() const { return static_cast<int>(SendMessageW(window_, LB_GETCOUNT, 0, 0)); }

void Control::EditSelect(int first, int last) {
  SendMessageW(window_, EM_SETSEL, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
}

void Control::EditCopy() { SendMessageW(window_, WM_COPY, 0, 0); }

int Control::Text(char* out, int size) const {
  if (out == nullptr || size <= 0) return 0;
  out[0] = '\0';
  const int length = GetWindowTextLengthW(window_);
  if (length <= 0) return 0;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window_, &text[0], length + 1)));
  return CopyUtf8(codepage::WideToUtf8(text), out, size);
}

void Control::SetText(const char* text) { SetWindowTextW(window_, Wide(text).c_str()); }

bool Control::CreateListView(DWORD style, DWORD exStyle) {
  wchar_t className[32] = {};
  if (window_ != nullptr && GetClassNameW(window_, className, 32) > 0 && lstrcmpiW(className, WC_LISTVIEWW) == 0) {
    if (exStyle != 0) ListViewSetExtendedStyle(exStyle);
    ShowWindow(window_, SW_SHOW);
    return true;
  }
  RECT rect = {0, 0, 100, 100};
  if (window_ != nullptr) {
    GetWindowRect(window_, &rect);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
    DestroyWindow(window_);
  }
  window_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style | WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), module_, nullptr);
  if (window_ == nullptr) return false;
  SendMessageW(window_, WM_SETFONT, SendMessageW(parent_, WM_GETFONT, 0, 0), FALSE);
  if (exStyle != 0) ListViewSetExtendedStyle(exStyle);
  ShowWindow(window_, SW_SHOW);
  return true;
}

int Control::ListViewAddColumn(int index, const char* text, int width) {
  std::wstring wide = Wide(text);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = &wide[0];
  column.cx = width;
  column.iSubItem = index;
  return static_cast<int>(
      SendMessageW(window_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

int Control::ListViewInsertItem(int index, const char* text, LPARAM param) {
  std::wstring wide = Wide(text);
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = &wide[0];
  item.lParam = param;
  return static_cast<int>(SendMessageW(window_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool Control::ListViewSetText(int itemIndex, int subItem, const char* text) {
  std::wstring wide = Wide(text);
  LVITEMW item = {};
  item.iSubItem = subItem;
  item.pszText = &wide[0];
  return SendMessageW(window_, LVM_SETITEMTEXTW, static_cast<WPARAM>(itemIndex),
                      reinterpret_cast<LPARAM>(&item)) != 0;
}

bool Control::ListViewSetState(int itemIndex, UINT state, UINT mask) {
  LVITEMW item = {};
  item.state = state;
  item.stateMask = mask;
  return SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(itemIndex),
                      reinterpret_cast<LPARAM>(&item)) != 0;
}

UINT Control::ListViewState(int itemIndex, UINT mask) const {
  return static_cast<UINT>(SendMessageW(window_, LVM_GETITEMSTATE, static_cast<WPARAM>(itemIndex), mask));
}

int Control::ListViewCount() const { return static_cast<int>(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0)); }

int Control::ListViewNextSelected(int after) const {
  return static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
}

LPARAM Control::ListViewParam(int itemIndex) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = itemIndex;
  if (!SendMessageW(window_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return item.lParam;
}

bool Control::ListViewDelete(int itemIndex) {
  return SendMessageW(window_, LVM_DELETEITEM, static_cast<WPARAM>(itemIndex), 0) != 0;
}

bool Control::ListViewDeleteAll() { return SendMessageW(window_, LVM_DELETEALLITEMS, 0, 0) != 0; }

bool Control::ListViewSort(PFNLVCOMPARE compare, LPARAM param) {
  return SendMessageW(window_, LVM_SORTITEMS, static_cast<WPARAM>(param), reinterpret_cast<LPARAM>(compare)) != 0;
}

void Control::ListViewSetExtendedStyle(DWORD style) {
  SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

bool Control::SetButtonIcon(int iconId) {
  HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 16, 16, 0));
  if (icon == nullptr) return false;
  if (buttonIcon_ != nullptr) DestroyIcon(buttonIcon_);
  buttonIcon_ = icon;
  SendMessageW(window_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  return true;
}

bool Control::SetWindowIcons(int iconId) {
  HICON small16 = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 16, 16, 0));
  HICON large32 = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 32, 32, 0));
  if (small16 == nullptr || large32 == nullptr) {
    if (small16 != nullptr) DestroyIcon(small16);
    if (large32 != nullptr) DestroyIcon(large32);
    return false;
  }
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small16));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large32));
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  if (largeIcon_ != nullptr) DestroyIcon(largeIcon_);
  smallIcon_ = small16;
  largeIcon_ = large32;
  return true;
}

bool Control::SetFont(const LOGFONTW& logFont) {
  HFONT font = CreateFontIndirectW(&logFont);
  if (font == nullptr) return false;
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
  return true;
}

bool Control::ResizeClient(int width, int height) {
  RECT window = {}, client = {};
  if (!GetWindowRect(window_, &window) || !GetClientRect(window_, &client)) return false;
  int frameWidth = (window.right - window.left) - (client.right - client.left);
  int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
  return SetWindowPos(window_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

bool Control::AddTooltip(int stringId, bool multiLine, int autoPopMs) {
  wchar_t text[1024] = {};
  if (LoadStringW(module_, static_cast<UINT>(stringId), text, 1024) <= 0) return false;
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                             module_, nullptr);
  if (tooltip_ == nullptr) return false;
  TOOLINFOW tool = {};
  // The version-1 size works with every comctl32 the host may run with.
  tool.cbSize = TTTOOLINFOW_V1_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = parent_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  tool.hinst = module_;
  tool.lpszText = text;
  if (!SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
    DestroyWindow(tooltip_);
    tooltip_ = nullptr;
    return false;
  }
  if (multiLine) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
  SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(autoPopMs, 0));
  SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
  return true;
}

// --- Dialog ----------------------------------------------------------------

namespace {
const wchar_t kDialogProperty[] = L"quorvo.dialog";
}

struct Dialog::Start {
  Dialog* dialog;
  LPARAM param;
};

Dialog::Dialog(HINSTANCE module, int templateId, HWND owner, DLGPROC userProc)
    : module_(module), templateId_(templateId), owner_(owner), userProc_(userProc) {}

Dialog::~Dialog() {
  items_.clear();
  if (window_ != nullptr && IsWindow(window_)) RemovePropW(window_, kDialogProperty);
}

INT_PTR Dialog::RunModal(LPARAM param) {
  InitCommonControlsOnce();
  Start start{this, param};
  return DialogBoxParamW(module_, MAKEINTRESOURCEW(templateId_), owner_, &Dialog::CommonProc,
                         reinterpret_cast<LPARAM>(&start));
}

HWND Dialog::CreateModeless(LPARAM param) {
  InitCommonControlsOnce();
  Start start{this, param};
  return CreateDialogParamW(module_, MAKEINTRESOURCEW(templateId_), owner_, &Dialog::CommonProc,
                            reinterpret_cast<LPARAM>(&start));
}

Control& Dialog::Item(int itemId) {
  std::unique_ptr<Control>& slot = items_[itemId];
  if (!slot) {
    slot.reset(new Control);
    slot->Bind(window_, itemId);
  }
  return *slot;
}

Dialog* Dialog::FromWindow(HWND window) { return static_cast<Dialog*>(GetPropW(window, kDialogProperty)); }

// The user procedure runs behind this one: an exception fails its message
// rather than unwinding through the system's frames.
INT_PTR CALLBACK Dialog::UserProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    Dialog* self = FromWindow(window);
    return self && self->userProc_ ? self->userProc_(window, msg, wParam, lParam) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

INT_PTR CALLBACK Dialog::CommonProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg != WM_INITDIALOG) return FALSE;
  try {
    Start* start = reinterpret_cast<Start*>(lParam);
    Dialog* self = start->dialog;
    self->window_ = window;
    SetPropW(window, kDialogProperty, self);
    SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&Dialog::UserProc));
    return self->userProc_(window, msg, wParam, start->param);
  } catch (...) {
    return FALSE;
  }
}

// --- Process-wide ----------------------------------------------------------

void InitCommonControlsOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX init = {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
  });
}

namespace {
typedef BOOL(WINAPI* SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);
typedef BOOL(WINAPI* UpdateLayeredFn)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
struct Layered {
  std::once_flag once;
  HMODULE library = nullptr;
  SetLayeredFn setAttributes = nullptr;
  UpdateLayeredFn update = nullptr;
};
Layered& LayeredFunctions() {
  static Layered layered;
  std::call_once(layered.once, [] {
    layered.library = LoadLibraryW(L"user32.dll");
    if (layered.library == nullptr) return;
    // Through void*: the looked-up functions have their own signatures.
    layered.setAttributes = reinterpret_cast<SetLayeredFn>(
        reinterpret_cast<void*>(GetProcAddress(layered.library, "SetLayeredWindowAttributes")));
    layered.update = reinterpret_cast<UpdateLayeredFn>(
        reinterpret_cast<void*>(GetProcAddress(layered.library, "UpdateLayeredWindow")));
  });
  return layered;
}
}  // namespace

bool LayeredWindowsAvailable() {
  Layered& l = LayeredFunctions();
  return l.setAttributes != nullptr && l.update != nullptr;
}

BOOL SetLayeredAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
  Layered& l = LayeredFunctions();
  if (!LayeredWindowsAvailable()) return 0;
  return l.setAttributes(window, key, alpha, flags);
}

BOOL UpdateLayered(HWND window, HDC dst, POINT* dstPos, SIZE* size, HDC src, POINT* srcPos, COLORREF key,
                   BLENDFUNCTION* blend, DWORD flags) {
  Layered& l = LayeredFunctions();
  if (!LayeredWindowsAvailable()) return 0;
  return l.update(window, dst, dstPos, size, src, srcPos, key, blend, flags);
}

void ReleaseLayeredWindows() {
  Layered& l = LayeredFunctions();
  l.setAttributes = nullptr;
  l.update = nullptr;
  if (l.library != nullptr) FreeLibrary(l.library);
  l.library = nullptr;
}

}  // namespace ui
