#include "ui/settings_sheet.h"

// No dialogs outside Windows.
namespace ui {

void ShowSettingsSheet(HWND) {}

}  // namespace ui
