#include "ui/info_box.h"

// No dialogs outside Windows.
namespace ui {

int ShowInfoBox(const InfoBoxRequest&, HWND) { return 0; }

}  // namespace ui
