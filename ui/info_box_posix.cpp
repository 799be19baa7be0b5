#include "ui/info_box.h"

// No dialogs outside Windows.
namespace ui {

int ShowInfoBox(const char*, HWND) { return 0; }

}  // namespace ui
