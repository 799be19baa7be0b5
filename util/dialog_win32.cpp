#include "util/dialog.h"

#include <mutex>
#include <vector>

namespace dlg {

void InitCommonControlsOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    if (!InitCommonControlsEx(&controls)) InitCommonControls();
  });
}

void Control::Bind(HWND dialog, int id) {
  parent_ = dialog;
  id_ = id;
  window_ = GetDlgItem(dialog, id);
  instance_ = window_ ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE)) : nullptr;
}

LRESULT Control::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
  return window_ ? SendMessageA(window_, message, wParam, lParam) : 0;
}

std::string Control::Text(std::size_t limit) const {
  std::vector<char> buffer(limit + 1, '\0');
  if (window_) GetWindowTextA(window_, buffer.data(), static_cast<int>(buffer.size()));
  return buffer.data();
}

void Control::SetText(const std::string& text) const {
  if (window_) SetWindowTextA(window_, text.c_str());
}

void Control::Enable(bool enabled) const {
  if (window_) EnableWindow(window_, enabled ? TRUE : FALSE);
}

bool Control::Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }

void Control::SetChecked(bool checked) const { Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }

void Control::SelectText(int first, int last) const {
  Send(EM_SETSEL, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
}

void Control::Copy() const { Send(WM_COPY); }

int ComboBox::Add(const std::string& text) const {
  return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::Insert(int index, const std::string& text) const {
  return static_cast<int>(Send(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::Select(int index) const { return static_cast<int>(Send(CB_SETCURSEL, static_cast<WPARAM>(index))); }

int ComboBox::Selection() const { return Window() ? static_cast<int>(Send(CB_GETCURSEL)) : CB_ERR; }

int ComboBox::Find(const std::string& text) const {
  return static_cast<int>(Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::Count() const { return static_cast<int>(Send(CB_GETCOUNT)); }

void ComboBox::Reset() {
  Send(CB_RESETCONTENT);
  valueCount_ = 0;
}

int ComboBox::AddWithValue(const std::string& text, std::uint32_t value) {
  if (valueCount_ >= kMaxValues) return -1;
  // Appended, not sorted in: the value array follows insertion order.
  const int index = static_cast<int>(Send(CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
  if (index < 0) return -1;
  values_[static_cast<std::size_t>(valueCount_++)] = value;
  return index;
}

int ComboBox::SelectByValue(std::uint32_t value) const {
  for (int i = 0; i < valueCount_; ++i) {
    if (values_[static_cast<std::size_t>(i)] == value) return Select(i);
  }
  return -1;
}

std::uint32_t ComboBox::ValueOf(int index, std::uint32_t none) const {
  if (index < 0 || index >= valueCount_) return none;
  return values_[static_cast<std::size_t>(index)];
}

int ListBox::Add(const std::string& text) const {
  return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ListBox::Insert(int index, const std::string& text) const {
  return static_cast<int>(Send(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str())));
}

int ListBox::Delete(int index) const { return static_cast<int>(Send(LB_DELETESTRING, static_cast<WPARAM>(index))); }

std::string ListBox::TextAt(int index) const {
  const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

int ListBox::Selection() const { return Window() ? static_cast<int>(Send(LB_GETCURSEL)) : LB_ERR; }

void ListBox::SetSelection(int index) const { Send(LB_SETCURSEL, static_cast<WPARAM>(index)); }

int ListBox::Count() const { return static_cast<int>(Send(LB_GETCOUNT)); }

bool Tooltip::Attach(const Control& control, UINT stringId, bool multiLine, UINT autoPopMs) {
  Destroy();
  if (!control.Window()) return false;
  char text[1024] = {};
  LoadStringA(control.Instance(), stringId, text, sizeof text);
  window_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control.Window(), nullptr,
                            control.Instance(), nullptr);
  if (!window_) return false;
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = control.Parent();
  tool.uId = reinterpret_cast<UINT_PTR>(control.Window());
  tool.hinst = control.Instance();
  tool.lpszText = text;
  SendMessageA(window_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  if (multiLine) SendMessageA(window_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
  SendMessageA(window_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(autoPopMs, 0));
  SendMessageA(window_, TTM_ACTIVATE, TRUE, 0);
  return true;
}

void Tooltip::Destroy() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
}

Dialog::Dialog(HINSTANCE instance, int templateId, HWND owner, DLGPROC proc)
    : instance_(instance), templateId_(templateId), owner_(owner), proc_(proc) {}

INT_PTR Dialog::RunModal(LPARAM param) {
  param_ = param;
  return DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId_), owner_, CommonProc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(LPARAM param) {
  param_ = param;
  return CreateDialogParamA(instance_, MAKEINTRESOURCEA(templateId_), owner_, CommonProc,
                            reinterpret_cast<LPARAM>(this));
}

Control& Dialog::Item(int id) {
  std::unique_ptr<Control>& item = items_[id];
  if (!item) {
    item.reset(new Control);
    item->Bind(window_, id);
  }
  return *item;
}

INT_PTR CALLBACK Dialog::CommonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  Dialog* self = reinterpret_cast<Dialog*>(lParam);
  if (!self || !self->proc_) return FALSE;
  self->window_ = window;
  SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(self->proc_));
  return self->proc_(window, message, wParam, self->param_);
}

void ResizeClient(HWND window, int width, int height) {
  RECT outer, inner;
  if (!GetWindowRect(window, &outer) || !GetClientRect(window, &inner)) return;
  const int frameW = (outer.right - outer.left) - (inner.right - inner.left);
  const int frameH = (outer.bottom - outer.top) - (inner.bottom - inner.top);
  SetWindowPos(window, nullptr, 0, 0, width + frameW, height + frameH, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dlg
