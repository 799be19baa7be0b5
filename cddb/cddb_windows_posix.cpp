#include "cddb/cddb_windows.h"

// Without windows a lookup runs with no status window and no wait.
namespace cddb_windows {

void Install(HINSTANCE, HWND) {}
void Uninstall() {}
HINSTANCE TemplateInstance() { return nullptr; }

}  // namespace cddb_windows
