#pragma once
// Thin wrappers over the system's dialogs, controls and tooltips on which the
// plug-ins' dialogs and property pages are built. Win32 only.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace dlg {

// Common controls (tooltips, list views, property sheets): once per process.
void InitCommonControlsOnce();

// One control of a dialog: its window, its dialog and the module owning it.
class Control {
 public:
  virtual ~Control() = default;
  void Bind(HWND dialog, int id);
  HWND Window() const { return window_; }
  HWND Parent() const { return parent_; }
  HINSTANCE Instance() const { return instance_; }
  int Id() const { return id_; }

  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // Up to `limit` bytes of the window text.
  std::string Text(std::size_t limit = 1023) const;
  void SetText(const std::string& text) const;
  void Enable(bool enabled) const;

  // Check boxes.
  bool Checked() const;
  void SetChecked(bool checked) const;  // checked or unchecked, nothing else

  // Edits.
  void SelectText(int first, int last) const;
  void Copy() const;

 private:
  HWND window_ = nullptr;
  HWND parent_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int id_ = 0;
};

// A combo box whose items may carry a 32-bit value each, kept parallel to the
// items in insertion order.
class ComboBox : public Control {
 public:
  static constexpr int kMaxValues = 1024;

  int Add(const std::string& text) const;
  int Insert(int index, const std::string& text) const;
  int Select(int index) const;
  int Selection() const;  // CB_ERR (-1) for none
  int Find(const std::string& text) const;
  int Count() const;
  void Reset();  // items and values

  // Appends the item and stores its value at the next slot; -1 when full.
  int AddWithValue(const std::string& text, std::uint32_t value);
  // Selects the first item with that value; -1 (nothing changed) when none.
  int SelectByValue(std::uint32_t value) const;
  // The value of an item; `none` for an index without one.
  std::uint32_t ValueOf(int index, std::uint32_t none) const;

 private:
  std::array<std::uint32_t, kMaxValues> values_{};
  int valueCount_ = 0;
};

class ListBox : public Control {
 public:
  int Add(const std::string& text) const;
  int Insert(int index, const std::string& text) const;
  int Delete(int index) const;
  std::string TextAt(int index) const;  // "" for no such item
  int Selection() const;                // LB_ERR (-1) for none
  void SetSelection(int index) const;
  int Count() const;
};

// A tooltip for one control: the text is a string of the control's module.
class Tooltip {
 public:
  Tooltip() = default;
  Tooltip(const Tooltip&) = delete;
  Tooltip& operator=(const Tooltip&) = delete;
  ~Tooltip() { Destroy(); }

  // Multi-line turns the maximum width to the screen width. False when the
  // window could not be made.
  bool Attach(const Control& control, UINT stringId, bool multiLine, UINT autoPopMs);
  void Destroy();
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

// Every caller in this system shows its tooltips this way.
constexpr UINT kTooltipAutoPopMs = 10000;

// A dialog from a template: modal or modeless. The common procedure stores
// the window at WM_INITDIALOG and then hands the dialog to `proc`.
class Dialog {
 public:
  Dialog(HINSTANCE instance, int templateId, HWND owner, DLGPROC proc);
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  INT_PTR RunModal(LPARAM param);
  HWND CreateModeless(LPARAM param);
  HWND Window() const { return window_; }
  // Bound on first use, kept as long as the object.
  Control& Item(int id);

 private:
  static INT_PTR CALLBACK CommonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  int templateId_;
  HWND owner_;
  DLGPROC proc_;
  LPARAM param_ = 0;
  HWND window_ = nullptr;
  std::map<int, std::unique_ptr<Control>> items_;
};

// The window grows or shrinks so that its client area gets this size.
void ResizeClient(HWND window, int width, int height);

// Property pages: `Page` is made at WM_INITDIALOG from the page's window,
// asked to apply at PSN_APPLY and freed at WM_DESTROY. It provides
// `explicit Page(HWND)`, `void Apply()` and `bool OnCommand(int id, int code)`.
template <class Page>
INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Page* page = reinterpret_cast<Page*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      page = new Page(window);
      SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
      return TRUE;
    case WM_COMMAND:
      return page && page->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (page && header && header->code == static_cast<UINT>(PSN_APPLY)) {
        page->Apply();
        SetWindowLongPtrA(window, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      SetWindowLongPtrA(window, DWLP_USER, 0);
      delete page;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace dlg
