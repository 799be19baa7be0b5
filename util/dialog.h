#pragma once
// Thin wrappers over dialogs, controls and tooltips, shared by every dialog
// and property page of both plug-ins. Texts are UTF-8; the windows are wide
// ones (UTF-16), so every text reads the same on any system code page.
// Win32 only.
#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>

namespace ui {

// One bound dialog item: its window, its dialog and the module that owns the
// dialog's resources (tooltip strings, icons).
class Control {
 public:
  static constexpr int kMaxValues = 1024;
  // What ComboValue() reports for "no selection": no stored value matches it
  // in practice, and callers test Selection() first.
  static constexpr std::uint32_t kNoValue = 0xFFFFFFFFu;

  Control() = default;
  ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  bool Bind(HWND dialog, int itemId);
  HWND Window() const { return window_; }
  HWND Parent() const { return parent_; }
  HINSTANCE Module() const { return module_; }
  int Id() const { return id_; }

  // Check box.
  bool Checked() const;
  void SetChecked(bool checked);

  // Combo box; the value array stays parallel to the items in insertion order.
  int ComboAdd(const char* text);
  int ComboAddWithValue(const char* text, std::uint32_t value);  // -1: full or failed
  int ComboInsert(int index, const char* text);
  int ComboSelect(int index);
  int ComboSelection() const;
  int ComboFind(const char* text) const;   // exact match, -1 none
  void ComboReset();
  int ComboSelectValue(std::uint32_t value);   // index selected, -1: none matches
  std::uint32_t ComboValueAt(int index) const;  // kNoValue when out of range
  std::uint32_t ComboSelectedValue() const;     // kNoValue when nothing selected
  int ComboCount() const { return valueCount_; }

  // List box.
  int ListAdd(const char* text);
  int ListInsert(int index, const char* text);
  int ListDelete(int index);
  int ListText(int index, char* out, int size) const;   // bytes, -1: bad index or too long
  int ListSelection() const;
  int ListSelect(int index);
  int ListCount() const;

  // Edit.
  void EditSelect(int first, int last);
  void EditCopy();
  int Text(char* out, int size) const;   // bytes copied, cut at a character boundary
  void SetText(const char* text);

  // List view: creates a "SysListView32" in place of this item's rectangle
  // (or binds an existing one when the item already is a list view).
  bool CreateListView(DWORD style, DWORD exStyle);
  int ListViewAddColumn(int index, const char* text, int width);
  int ListViewInsertItem(int index, const char* text, LPARAM param);
  bool ListViewSetText(int item, int subItem, const char* text);
  bool ListViewSetState(int item, UINT state, UINT mask);
  UINT ListViewState(int item, UINT mask) const;
  int ListViewCount() const;
  int ListViewNextSelected(int after) const;   // -1: none
  LPARAM ListViewParam(int item) const;
  bool ListViewDelete(int item);
  bool ListViewDeleteAll();
  bool ListViewSort(PFNLVCOMPARE compare, LPARAM param);
  void ListViewSetExtendedStyle(DWORD style);

  // Icons and font.
  bool SetButtonIcon(int iconId);                  // 16 x 16, from Module()
  bool SetWindowIcons(int iconId);                 // 16 x 16 and 32 x 32 on this window
  bool SetFont(const LOGFONTW& font);              // kept and deleted with the binding
  bool ResizeClient(int width, int height);        // position unchanged

  // Tooltip for the whole control, string from Module(); multiLine sets the
  // maximum width to the screen width.
  bool AddTooltip(int stringId, bool multiLine, int autoPopMs);
  HWND Tooltip() const { return tooltip_; }

 private:
  void Release();
  HWND window_ = nullptr;
  HWND parent_ = nullptr;
  HINSTANCE module_ = nullptr;
  int id_ = 0;
  HWND tooltip_ = nullptr;
  HFONT font_ = nullptr;
  HICON buttonIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HICON largeIcon_ = nullptr;
  std::unique_ptr<std::uint32_t[]> values_;
  int valueCount_ = 0;
};

// A dialog from a template: modal or modeless. The common procedure stores
// the window at WM_INITDIALOG, installs the user procedure and forwards the
// message; later messages go to the user procedure directly.
class Dialog {
 public:
  Dialog(HINSTANCE module, int templateId, HWND owner, DLGPROC userProc);
  ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  INT_PTR RunModal(LPARAM param);       // EndDialog's result, -1 on failure
  HWND CreateModeless(LPARAM param);    // nullptr on failure
  HWND Window() const { return window_; }
  HINSTANCE Module() const { return module_; }
  // The binding for an item, made on first use and kept with the object.
  Control& Item(int itemId);

  // The Dialog a window was created by (nullptr if none).
  static Dialog* FromWindow(HWND window);

 private:
  struct Start;
  static INT_PTR CALLBACK CommonProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static INT_PTR CALLBACK UserProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  HINSTANCE module_;
  int templateId_;
  HWND owner_;
  DLGPROC userProc_;
  HWND window_ = nullptr;
  std::map<int, std::unique_ptr<Control>> items_;
};

// Common controls: once per process, before the first dialog.
void InitCommonControlsOnce();

// Optional layered-window functions, looked up in user32 at first use.
bool LayeredWindowsAvailable();
BOOL SetLayeredAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags);   // 0 if missing
BOOL UpdateLayered(HWND window, HDC dst, POINT* dstPos, SIZE* size, HDC src, POINT* srcPos,
                   COLORREF key, BLENDFUNCTION* blend, DWORD flags);             // 0 if missing
// Releases the library (at unload).
void ReleaseLayeredWindows();

}  // namespace ui
#endif
