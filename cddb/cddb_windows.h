#pragma once
// The CDDB windows of the plug-in: the status window that accompanies a
// lookup and the candidates dialog, installed for the lookup driver.
#include "host_api/win_types.h"

namespace cddb_windows {

// Installs the windows for the lookup driver (Init) and removes them (Quit).
// Templates come from `instance`; status windows made on the owner's own
// thread are owned by `owner` (the plug-in's invisible window), those of a
// background thread by nobody, so that the host's input never waits for a
// thread that does not answer its messages during a lookup.
void Install(HINSTANCE instance, HWND owner);
void Uninstall();
// The module whose templates the CDDB windows use (null: the program's own).
HINSTANCE TemplateInstance();

}  // namespace cddb_windows
